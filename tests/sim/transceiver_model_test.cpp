#include <gtest/gtest.h>

#include "sim/transceiver_model.h"

namespace tqm {
namespace {

using sim::SimConfig;
using sim::TransceiverModel;

struct Exchange {
    const char* command;
    const char* reply;  // "" for a set, which is answered by nothing
};

// Each row runs on the same radio in order, so a set is checked by the read after it.
constexpr Exchange kExchanges[] = {
    {"AI;", "AI0;"}, {"AI1;", ""}, {"AI;", "AI1;"}, {"AI0;", ""}, {"AI;", "AI0;"}, {"AI2;", "?;"}, {"AI11;", "?;"},
    {"ID;", "ID4700;"}, {"ID4700;", "ID4700001;"}, {"ID47;", "?;"}, {"ID47x0;", "?;"},
    {"PS;", "PS1;"}, {"PS1;", "?;"}, {"ZZ;", "?;"}, {"MD0;", "?;"},
    // Equalizer reads in the wire format, then every range at both ends.
    {"PE000;", "PE000003;"}, {"PE001;", "PE001-02;"}, {"PE011;", "PE011+03;"}, {"PE101;", "PE101000;"},
    {"PE220;", "PE220014;"},
    {"PE000007;", ""}, {"PE000008;", ""}, {"PE000;", "PE000007;"},    // EQ1 FREQ 0..7
    {"PE010009;", ""}, {"PE010010;", ""}, {"PE010;", "PE010009;"},    // EQ2 FREQ 0..9
    {"PE020018;", ""}, {"PE020019;", ""}, {"PE020;", "PE020018;"},    // EQ3 FREQ 0..18
    {"PE111-20;", ""}, {"PE111-21;", ""}, {"PE111;", "PE111-20;"},    // LEVEL -20..+10
    {"PE111+10;", ""}, {"PE111+11;", ""}, {"PE111;", "PE111+10;"},
    {"PE222001;", ""}, {"PE222000;", ""}, {"PE222;", "PE222001;"},    // BWTH 1..10
    {"PE222010;", ""}, {"PE222011;", ""}, {"PE222;", "PE222010;"},
    {"PE300;", "?;"}, {"PE0A0;", "?;"}, {"PE00;", "?;"}, {"PE0000;", "?;"}, {"PE000x07;", "?;"},
    {"PE001*05;", "?;"}, {"PE0010005;", "?;"}, {"PE;", "?;"},
    // Menu values have their own widths and ranges.
    {"EX001;", "EX0010300;"}, {"EX008;", "EX00804;"}, {"EX031;", "EX031+05;"}, {"EX090;", "EX090-15;"},
    {"EX0012000;", ""}, {"EX0010010;", ""}, {"EX001;", "EX0012000;"}, {"EX042-1000;", ""},
    {"EX042;", "EX042-1000;"}, {"EX031+21;", ""}, {"EX031;", "EX031+05;"}, {"EX00112;", "?;"},
    {"EX03105;", "?;"}, {"EX002;", "?;"}, {"EX0x1;", "?;"},
    // VFO frequencies: eight digits, 30 kHz .. 60 MHz.
    {"FA;", "FA14200000;"}, {"FB;", "FB07050000;"}, {"FA00030000;", ""}, {"FA;", "FA00030000;"},
    {"FB60000001;", ""}, {"FB00029999;", ""}, {"FB;", "FB07050000;"}, {"FB1425000;", "?;"}, {"FA1425000x;", "?;"},
};

TEST(TransceiverModelTest, AnswersEachCommandAndKeepsValuesInTheirRanges) {
    TransceiverModel radio{SimConfig{}};
    for (const Exchange& e : kExchanges) EXPECT_EQ(radio.handle(e.command), e.reply) << e.command;
}

TEST(TransceiverModelTest, FrontPanelChangesAndThePowerSwitch) {
    TransceiverModel radio{SimConfig{}};
    std::string report = "old";
    EXPECT_TRUE(radio.frontPanelChange({2, 1, 1}, -7, report));
    EXPECT_EQ(report, "") << "reported only with auto information";
    EXPECT_EQ(radio.handle("PE211;"), "PE211-07;");
    radio.handle("AI1;");
    EXPECT_TRUE(radio.frontPanelChange({2, 1, 1}, 9, report));
    EXPECT_EQ(report, "PE211+09;");
    EXPECT_FALSE(radio.frontPanelChange({0, 0, 0}, 8, report)) << "out of range";
    radio.powerOff();
    EXPECT_FALSE(radio.frontPanelChange({0, 0, 0}, 2, report)) << "power off";
    // Off, only the power read is answered.
    EXPECT_EQ(radio.handle("PS;"), "PS0;");
    for (const char* command : {"AI;", "ID;", "PE000;", "ZZ;", "PS1;", "FA;"}) {
        EXPECT_EQ(radio.handle(command), "") << command;
    }
    radio.powerOn();
    EXPECT_EQ(radio.handle("PS;"), "PS1;");
    EXPECT_EQ(radio.handle("AI;"), "AI0;") << "the power cycle forgot auto information";
    EXPECT_EQ(radio.handle("PE000;"), "PE000003;") << "neither refused change was stored";
}

}  // namespace
}  // namespace tqm
