#include <gtest/gtest.h>

#include "sim/menu_item_table.h"
#include "sim/transceiver_model.h"

namespace tqm {
namespace {

using sim::PeAddress;
using sim::SimConfig;
using sim::TransceiverModel;

TEST(TransceiverModelTest, AutoInformationIsSetSilentlyAndRead) {
    TransceiverModel radio{SimConfig{}};
    EXPECT_EQ(radio.handle("AI;"), "AI0;");
    EXPECT_EQ(radio.handle("AI1;"), "");
    EXPECT_TRUE(radio.autoInformation());
    EXPECT_EQ(radio.handle("AI;"), "AI1;");
    EXPECT_EQ(radio.handle("AI0;"), "");
    EXPECT_EQ(radio.handle("AI;"), "AI0;");
    EXPECT_EQ(radio.handle("AI2;"), "?;");
    EXPECT_EQ(radio.handle("AI11;"), "?;");
}

TEST(TransceiverModelTest, RefusedAutoInformationStaysOff) {
    SimConfig config;
    config.refuseAi = true;
    TransceiverModel radio{config};
    EXPECT_EQ(radio.handle("AI1;"), "");
    EXPECT_EQ(radio.handle("AI;"), "AI0;");
    radio.setRefuseAi(false);
    radio.handle("AI1;");
    EXPECT_EQ(radio.handle("AI;"), "AI1;");
}

TEST(TransceiverModelTest, IdentificationReadAndCommand) {
    TransceiverModel radio{SimConfig{}};
    EXPECT_EQ(radio.handle("ID;"), "ID4700;");
    EXPECT_EQ(radio.handle("ID4700;"), "ID4700001;");
    radio.setModelCode("4800");
    radio.setIdSuffix(42);
    EXPECT_EQ(radio.handle("ID;"), "ID4800;");
    EXPECT_EQ(radio.handle("ID4700;"), "ID4800042;");
    EXPECT_EQ(radio.handle("ID47;"), "?;");
    EXPECT_EQ(radio.handle("ID47x0;"), "?;");
}

TEST(TransceiverModelTest, EqualizerReadsGiveEveryStartValueInTheWireFormat) {
    TransceiverModel radio{SimConfig{}};
    const sim::PeqValues& start = sim::radioStartValues();
    EXPECT_EQ(radio.handle("PE000;"), "PE000003;");
    EXPECT_EQ(radio.handle("PE001;"), "PE001-02;");
    EXPECT_EQ(radio.handle("PE011;"), "PE011+03;");
    EXPECT_EQ(radio.handle("PE101;"), "PE101000;");  // level zero
    EXPECT_EQ(radio.handle("PE220;"), "PE220014;");
    for (std::size_t i = 0; i < sim::kPeCount; ++i) {
        const PeAddress a = sim::peAddressAt(i);
        EXPECT_EQ(radio.peValue(a), start[i]);
        EXPECT_EQ(radio.handle("PE" + std::string{char('0' + a.set), char('0' + a.band), char('0' + a.param)} + ";"),
                  sim::formatPeReport(a, start[i]));
    }
}

TEST(TransceiverModelTest, EqualizerSetsStoreOnlyValuesWithinTheirRange) {
    SimConfig config;
    config.peq = sim::programStartValues();
    TransceiverModel radio{config};
    struct Case {
        const char* set;
        PeAddress address;
        int expected;
    };
    const Case cases[] = {
        {"PE000007;", {0, 0, 0}, 7},   {"PE000008;", {0, 0, 0}, 7},   // EQ1 FREQ 0..7
        {"PE010009;", {0, 1, 0}, 9},   {"PE010010;", {0, 1, 0}, 9},   // EQ2 FREQ 0..9
        {"PE020018;", {0, 2, 0}, 18},  {"PE020019;", {0, 2, 0}, 18},  // EQ3 FREQ 0..18
        {"PE111-20;", {1, 1, 1}, -20}, {"PE111-21;", {1, 1, 1}, -20}, // LEVEL -20..+10
        {"PE111+10;", {1, 1, 1}, 10},  {"PE111+11;", {1, 1, 1}, 10},
        {"PE111000;", {1, 1, 1}, 0},   {"PE111003;", {1, 1, 1}, 3},
        {"PE222001;", {2, 2, 2}, 1},   {"PE222000;", {2, 2, 2}, 1},   // BWTH 1..10
        {"PE222010;", {2, 2, 2}, 10},  {"PE222011;", {2, 2, 2}, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(radio.handle(c.set), "") << c.set;
        EXPECT_EQ(radio.peValue(c.address), c.expected) << c.set;
    }
}

TEST(TransceiverModelTest, MalformedEqualizerCommandsAreRejected) {
    TransceiverModel radio{SimConfig{}};
    for (const char* command : {"PE300;", "PE0A0;", "PE00;", "PE0000;", "PE00000;", "PE000x07;", "PE001*05;",
                                "PE0010005;", "PE;"}) {
        EXPECT_EQ(radio.handle(command), "?;") << command;
    }
    EXPECT_EQ(radio.peValue({0, 0, 0}), 3);
}

TEST(TransceiverModelTest, PowerOffAnswersOnlyThePowerReadAndForgetsAutoInformation) {
    TransceiverModel radio{SimConfig{}};
    radio.handle("AI1;");
    EXPECT_EQ(radio.handle("PS;"), "PS1;");
    radio.powerOff();
    EXPECT_EQ(radio.handle("PS;"), "PS0;");
    for (const char* command : {"AI;", "ID;", "PE000;", "ZZ;", "PS1;", "FA;"}) {
        EXPECT_EQ(radio.handle(command), "") << command;
    }
    radio.powerOn();
    EXPECT_EQ(radio.handle("PS;"), "PS1;");
    EXPECT_EQ(radio.handle("AI;"), "AI0;");
    EXPECT_EQ(radio.handle("PE000;"), "PE000003;");
}

TEST(TransceiverModelTest, StartsPoweredOffWhenOnlyAPowerOnTimeIsGiven) {
    SimConfig config;
    config.powerOnAt = 1.0;
    EXPECT_FALSE(TransceiverModel{config}.isPoweredOn());
    config.powerOffAt = 0.5;
    EXPECT_TRUE(TransceiverModel{config}.isPoweredOn());
    config.powerOffAt = 2.0;
    EXPECT_FALSE(TransceiverModel{config}.isPoweredOn());
}

TEST(TransceiverModelTest, MenuValuesHaveTheirWidthsAndRanges) {
    TransceiverModel radio{SimConfig{}};
    EXPECT_EQ(radio.handle("EX001;"), "EX0010300;");
    EXPECT_EQ(radio.handle("EX008;"), "EX00804;");
    EXPECT_EQ(radio.handle("EX031;"), "EX031+05;");
    EXPECT_EQ(radio.handle("EX090;"), "EX090-15;");
    EXPECT_EQ(radio.handle("EX0012000;"), "");
    EXPECT_EQ(radio.handle("EX001;"), "EX0012000;");
    EXPECT_EQ(radio.handle("EX0010010;"), "");  // below 20: ignored
    EXPECT_EQ(radio.menuValue(1), 2000);
    EXPECT_EQ(radio.handle("EX042-1000;"), "");
    EXPECT_EQ(radio.handle("EX042;"), "EX042-1000;");
    EXPECT_EQ(radio.handle("EX031+21;"), "");
    EXPECT_EQ(radio.menuValue(31), 5);
    EXPECT_EQ(radio.handle("EX00112;"), "?;");  // wrong width
    EXPECT_EQ(radio.handle("EX03105;"), "?;");  // sign missing
    EXPECT_EQ(radio.handle("EX002;"), "?;");    // not kept
    EXPECT_EQ(radio.handle("EX0x1;"), "?;");
    for (const sim::MenuItem& item : sim::menuItems()) {
        const std::string reply = radio.handle("EX" + std::string(3 - std::to_string(item.number).size(), '0') +
                                               std::to_string(item.number) + ";");
        EXPECT_EQ(reply.size(), 6u + static_cast<std::size_t>(item.width)) << reply;
    }
}

TEST(TransceiverModelTest, VfoFrequenciesAreEightDigits) {
    TransceiverModel radio{SimConfig{}};
    EXPECT_EQ(radio.handle("FA;"), "FA14200000;");
    EXPECT_EQ(radio.handle("FB;"), "FB07050000;");
    EXPECT_EQ(radio.handle("FA00030000;"), "");
    EXPECT_EQ(radio.handle("FA;"), "FA00030000;");
    EXPECT_EQ(radio.handle("FB60000001;"), "");  // above the range: ignored
    EXPECT_EQ(radio.handle("FB00029999;"), "");
    EXPECT_EQ(radio.frequency(TransceiverModel::Vfo::B), 7050000);
    EXPECT_EQ(radio.handle("FB1425000;"), "?;");
    EXPECT_EQ(radio.handle("FA1425000x;"), "?;");
}

TEST(TransceiverModelTest, UnknownCommandsGetAQuestionMark) {
    TransceiverModel radio{SimConfig{}};
    EXPECT_EQ(radio.handle("ZZ;"), "?;");
    EXPECT_EQ(radio.handle("MD0;"), "?;");
    EXPECT_EQ(radio.handle("PS1;"), "?;");
}

TEST(TransceiverModelTest, FrontPanelChangesAreReportedOnlyWithAutoInformation) {
    TransceiverModel radio{SimConfig{}};
    std::string report = "old";
    EXPECT_TRUE(radio.frontPanelChange({2, 1, 1}, -7, report));
    EXPECT_EQ(report, "");
    EXPECT_EQ(radio.peValue({2, 1, 1}), -7);
    radio.handle("AI1;");
    EXPECT_TRUE(radio.frontPanelChange({2, 1, 1}, 9, report));
    EXPECT_EQ(report, "PE211+09;");
    EXPECT_FALSE(radio.frontPanelChange({0, 0, 0}, 8, report));
    EXPECT_EQ(report, "");
    EXPECT_EQ(radio.peValue({0, 0, 0}), 3);
    radio.powerOff();
    EXPECT_FALSE(radio.frontPanelChange({0, 0, 0}, 2, report));
    EXPECT_EQ(radio.peValue({0, 0, 0}), 3);
}

TEST(TransceiverModelTest, ConfiguredStartValuesOutsideTheirRangeFallBack) {
    SimConfig config;
    config.peq = sim::programStartValues();
    config.peq[0] = 99;
    TransceiverModel radio{config};
    EXPECT_EQ(radio.peValue({0, 0, 0}), sim::radioStartValues()[0]);
    EXPECT_EQ(radio.peValue({0, 0, 1}), 5);
    EXPECT_EQ(radio.peValue({0, 0, 2}), 10);
}

}  // namespace
}  // namespace tqm
