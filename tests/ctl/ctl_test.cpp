#include <signal.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/equalizer_tables.h"
#include "editor/setting_file.h"
#include "sim/simulated_transceiver.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/speech_signal.h"
#include "voice/equalizer_fit.h"

namespace tqm::test {
namespace {

using namespace std::chrono_literals;

// Far above what any run takes; only a hang reaches it.
constexpr auto kRunBound = 60s;
constexpr auto kEventBound = 20s;

struct CtlRun {
    std::optional<int> code;
    std::string out;
    std::string err;
};

// tqm4700-ctl against the simulated transceiver through a symlink of the test's own (a
// recycled /dev/pts path is never opened by mistake), with an empty settings folder.
class CtlTest : public ::testing::Test {
protected:
    void SetUp() override { startSim(); }

    void startSim() {
        sim::SimConfig config;
        config.baud = 38400;
        config.linkPath = (m_dir / "radio").string();
        m_sim = std::make_unique<sim::SimulatedTransceiver>(config);
        ASSERT_TRUE(m_sim->start()) << m_sim->errorText();
    }
    // The program started with the settings folder and the device (a later --device wins).
    ChildProcess start(std::vector<std::string> tail) const {
        std::vector<std::string> all{"--settings-dir", m_dir.path().string(), "--device", (m_dir / "radio").string(), "--baud", "38400"};
        all.insert(all.end(), tail.begin(), tail.end());
        return runProgram(TQM_CTL_PATH, all, m_dir / "out", m_dir / "err");
    }
    CtlRun ctl(std::vector<std::string> tail) const {
        ChildProcess process = start(std::move(tail));
        const auto code = process.exitCode(kRunBound);
        return {code, out(), readFile(m_dir / "err")};
    }
    std::string out() const { return readFile(m_dir / "out"); }
    bool waitForOutput(const std::string& text) const {
        return waitUntil([&] { return out().find(text) != std::string::npos; }, kEventBound);
    }
    std::string file(const std::string& name, const std::string& content) const {
        EXPECT_TRUE(writeFile(m_dir / name, content));
        return (m_dir / name).string();
    }
    EqualizerValues radioSet(int set) const {
        EqualizerValues values;
        for (int p = 0; p < kEqualizerParams; ++p) values[p] = m_sim->radio().peValue({set, p / 3, p % 3});
        return values;
    }
    // The program is done with the line: auto information is off, and "AI0;" was the
    // last auto-information command the transceiver received.
    void expectAutoInformationLeftOff() const {
        EXPECT_TRUE(waitUntil([this] { return !m_sim->radio().autoInformation(); }, kEventBound));
        std::string last;
        for (const auto& entry : m_sim->monitor().log()) {
            if (entry.bytes == "AI0;" || entry.bytes == "AI1;") last = entry.bytes;
        }
        EXPECT_EQ(last, "AI0;");
    }

    ScratchDirectory m_dir;
    std::unique_ptr<sim::SimulatedTransceiver> m_sim;
};

TEST_F(CtlTest, ReadSaveApplyAndSetChangeTheTransceiverAndAnEqualFileSendsNothing) {
    ASSERT_TRUE(m_sim->radio().setPeValue({1, 1, 1}, -3));
    ASSERT_TRUE(m_sim->radio().setPeValue({2, 2, 0}, 0));  // EQ3 of P off
    const CtlRun read = ctl({"read", "--format", "json"});
    ASSERT_EQ(read.code, 0) << read.err;
    const auto band = [](int n, int hz, int db, int bwth) {
        return "\"EQ" + std::to_string(n) + "\":{\"freq_hz\":" + std::to_string(hz) + ",\"level_db\":" + std::to_string(db) +
               ",\"bwth\":" + std::to_string(bwth) + "}";
    };
    EXPECT_EQ(read.out, "{\"sets\":{\"F\":{" + band(1, 300, -2, 5) + "," + band(2, 1000, 3, 7) + "," + band(3, 2500, -6, 4) +
                            "},\"R\":{" + band(1, 200, 0, 6) + "," + band(2, 1100, -3, 8) + "," + band(3, 2600, -4, 3) +
                            "},\"P\":{" + band(1, 100, -8, 2) + "," + band(2, 1200, 4, 9) + "," + band(3, 0, 1, 6) + "}}}\n");

    const std::string saved = (m_dir / "f.pef").string();
    const CtlRun save = ctl({"save", "--set", "F", saved});
    ASSERT_EQ(save.code, 0) << save.err;
    EXPECT_EQ(readFile(saved), SettingFile::format(radioSet(0)));

    const CtlRun apply = ctl({"apply", "--set", "P", saved});
    ASSERT_EQ(apply.code, 0) << apply.err;
    EXPECT_EQ(radioSet(2), radioSet(0));
    const CtlRun check = ctl({"read", "--set", "P", "--format", "pef"});
    EXPECT_EQ(check.out, readFile(saved)) << "a second read sees the file's values";

    m_sim->monitor().clear();
    const CtlRun again = ctl({"apply", "--set", "P", saved});
    EXPECT_EQ(again.code, 0) << again.err;
    EXPECT_NE(again.out.find("nothing was sent"), std::string::npos) << again.out;
    for (const auto& entry : m_sim->monitor().log()) {
        EXPECT_FALSE(entry.direction == sim::WireDirection::ToTransceiver && entry.bytes.size() == 9) << entry.bytes;
    }
    expectAutoInformationLeftOff();

    // Hertz, OFF and levels by name, in any case.
    const std::string trace = (m_dir / "wire.trace").string();
    const CtlRun set = ctl({"--trace", trace, "set", "--set", "R", "EQ2.LEVEL=-3", "eq1.freq=700", "EQ3.FREQ=OFF", "EQ3.BWTH=4"});
    ASSERT_EQ(set.code, 0) << set.err;
    EXPECT_NE(readFile(trace).find(" > PE100007;"), std::string::npos) << "the wire trace holds what was sent";
    const auto value = [this](int band, int param) { return m_sim->radio().peValue({1, band, param}); };
    EXPECT_EQ((std::vector{value(1, 1), value(0, 0), value(2, 0), value(2, 2)}), (std::vector{-3, 7, 0, 4}));
}

// Whatever is refused is refused before the port opens: nothing reaches the line.
TEST_F(CtlTest, RefusedInputAndBadUsageExitWithTheirCodesAndPutNothingOnTheWire) {
    const std::string bad = file("bad.pef", "100,11,10\r\n700,0,1\r\n0,0,1\r\n");
    const std::string good = file("good.pef", "100,5,10\r\n700,-3,4\r\n0,5,10\r\n");
    const std::string absent = (m_dir / "absent").string();
    const struct {
        std::vector<std::string> arguments;
        int code;
        std::string text;  // in the output or the messages
    } cases[] = {
        {{"apply", "--set", "R", bad}, 1, "The input range is incorrect.\ntqm4700-ctl: " + bad + ": EQ1 LEVEL: 11 is outside -20..10"},
        {{"check", bad}, 1, "The input range is incorrect."},
        {{"check", good}, 0, "-    EQ2   700 Hz   -3 dB   4"},
        {{"check", "--format", "json", good}, 0, "{\"values\":{\"EQ1\":{\"freq_hz\":100,\"level_db\":5,\"bwth\":10},"},
        {{"set", "--set", "R", "EQ1.FREQ=650"}, 1, "The input range is incorrect.\ntqm4700-ctl: EQ1.FREQ: '650' is not one of OFF"},
        {{"set", "--set", "R", "EQ4.LEVEL=1"}, 2, "is not BAND.PARAM=VALUE"},
        {{"save", good}, 2, "'save' needs --set F, R or P"},
        {{"read", "--format", "pef"}, 2, "--format pef holds one set"},
        {{"read", "--baud", "1200"}, 2, "bad value '1200' for --baud"},
        {{"monitor", "--set", "F"}, 2, "'monitor' takes no --set"},
        {{"--trace", absent + "/wire.trace", "read"}, 1, "cannot write the wire trace: "},
        {{"fit", "--voice", absent, "--target", "Rag chew: warm"}, 1, absent + ": "},
        {{"fit", "--voice", absent, "--target", "Loud"}, 2, "no target named 'Loud'; the targets are:\ntqm4700-ctl:   Flat"},
        {{"fit", "--voice", absent, "--set", "all"}, 2, "'fit' needs one set"},
        {{"fit", "--voice", absent}, 2, "'fit' needs --voice FILE and --target NAME"},
        {{"read", "--apply"}, 2, "'read' takes no --voice"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{}, 2, "no command given"},
        {{"--help"}, 0, "Usage: tqm4700-ctl"},
        {{"--device", absent, "read"}, 3,
         "Failed to open the port.\ntqm4700-ctl: Please confirm the port connection.\ntqm4700-ctl: COM1 (" + absent},
    };
    for (const auto& c : cases) {
        const CtlRun run = ctl(c.arguments);
        EXPECT_EQ(run.code, c.code) << (c.arguments.empty() ? "" : c.arguments.back()) << ": " << run.err;
        EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << run.out << run.err;
    }
    EXPECT_TRUE(m_sim->monitor().log().empty());
}

// A fit reads the set (or a --from file, without the transceiver) and proposes; only
// --apply changes the transceiver, sending just the values that differ.
TEST_F(CtlTest, FitProposesFromTheSetsValuesAndApplySendsOnlyTheDifferingOnes) {
    const std::vector<float> voice = speechSamples({formantEnvelopeDb, 16000, 3.0});
    ASSERT_TRUE(writeWav(m_dir / "voice.wav", voice, 16000));
    const std::string target = "DX: low cut, presence boost";
    const std::vector<std::string> fit{"fit", "--set", "R", "--voice", (m_dir / "voice.wav").string(), "--target", target};
    const EqualizerValues before = radioSet(1);
    const FitProposal proposal = fitEqualizer(*longTermAverage(voice, 16000), *findTarget(builtInTargets(), target), before);
    const CtlRun offline = ctl({fit[0], fit[1], fit[2], fit[3], fit[4], fit[5], fit[6], "--from", file("r.pef", SettingFile::format(before))});
    EXPECT_TRUE(m_sim->monitor().log().empty());
    const CtlRun shown = ctl(fit);
    ASSERT_EQ(shown.code, 0) << shown.err;
    EXPECT_EQ(shown.out, offline.out);
    EXPECT_EQ(radioSet(1), before);
    m_sim->monitor().clear();
    const CtlRun applied = ctl({fit[0], fit[1], fit[2], fit[3], fit[4], fit[5], fit[6], "--apply"});
    ASSERT_EQ(applied.code, 0) << applied.err;
    EXPECT_EQ(radioSet(1), proposal.values);
    int differing = 0, sent = 0;
    for (int p = 0; p < kEqualizerParams; ++p) differing += before[p] != proposal.values[p] ? 1 : 0;
    for (const auto& entry : m_sim->monitor().log()) sent += entry.direction == sim::WireDirection::ToTransceiver && entry.bytes.size() == 9;
    EXPECT_GT(differing, 0);
    EXPECT_EQ(sent, differing);
    EXPECT_NE(applied.out.find("residual: "), std::string::npos) << applied.out;
}

TEST_F(CtlTest, ASilentTransceiverOrAnotherModelExits4AndAutoInformationEndsOff) {
    for (const bool silent : {true, false}) {
        m_sim->line().setSilent(silent);
        ASSERT_TRUE(m_sim->radio().setModelCode(silent ? "4700" : "4701"));
        const CtlRun run = ctl({"read"});
        EXPECT_EQ(run.code, 4) << run.err;
        EXPECT_NE(run.err.find(silent ? "no answer within 5 s" : "did not identify itself"), std::string::npos) << run.err;
    }
    expectAutoInformationLeftOff();
}

// An apply ended half-way, by an interrupt or a pulled port, exits 1 naming what it did.
TEST_F(CtlTest, AnApplyEndedHalfWayExits1NamingTheValuesApplied) {
    for (const bool pull : {false, true}) {
        SCOPED_TRACE(pull ? "pulled port" : "interrupt");
        startSim();
        ChildProcess process = start({"apply", "--set", "P", file("far.pef", "700,10,1\r\n1500,-20,10\r\n3200,10,1\r\n")});
        ASSERT_TRUE(m_sim->monitor().waitForCommand("PE200007;", kEventBound));
        ASSERT_TRUE(pull ? m_sim->line().unplug() : process.signal(SIGINT));
        EXPECT_EQ(process.exitCode(kRunBound), 1);
        const std::string err = readFile(m_dir / "err");
        EXPECT_NE(err.find(pull ? "tqm4700-ctl: P: not applied:"
                                : "tqm4700-ctl: interrupted\ntqm4700-ctl: P: applied: EQ1.FREQ=700"),
                  std::string::npos) << err;
        if (!pull) expectAutoInformationLeftOff();
    }
}

TEST_F(CtlTest, MonitorPrintsFrontPanelChangesAndAPowerCycleUntilInterrupted) {
    ChildProcess process = start({"monitor", "--format", "json"});
    ASSERT_TRUE(waitForOutput("\"event\":\"connected\"}")) << readFile(m_dir / "err");
    ASSERT_TRUE(m_sim->radio().change({1, 1, 1}, -3));
    EXPECT_TRUE(waitForOutput("\"event\":\"change\",\"set\":\"R\",\"band\":\"EQ2\",\"param\":\"LEVEL\",\"value\":-3}"));
    m_sim->radio().powerOff();
    EXPECT_TRUE(waitForOutput("\"event\":\"power_off\"}"));
    // The power comes back after a poll has found it off and read nothing more: a radio
    // that is back before then only looks as if it had dropped auto information.
    m_sim->monitor().clear();
    ASSERT_TRUE(m_sim->monitor().waitForCommand("PS;", kEventBound));
    m_sim->radio().powerOn();
    EXPECT_TRUE(waitForOutput("\"event\":\"power_on\"}"));
    ASSERT_TRUE(process.signal(SIGINT));
    EXPECT_EQ(process.exitCode(kRunBound), 0) << readFile(m_dir / "err");
    EXPECT_EQ(out().find("link_lost"), std::string::npos) << out();
    expectAutoInformationLeftOff();
}

TEST(CtlProgram, LinksNoQt) {
    EXPECT_EQ(std::system("ldd " TQM_CTL_PATH " | grep -q libc.so"), 0);
    EXPECT_NE(std::system("ldd " TQM_CTL_PATH " | grep -q Qt"), 0);
}

}  // namespace
}  // namespace tqm::test
