#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_registration.h"
#include "app/command_line.h"
#include "app/headless_run.h"
#include "platform/registry.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

// The starts without a window, as main runs them, on a registry file of the test's own.
class HeadlessRunTest : public ::testing::Test {
protected:
    void SetUp() override { Registry::setPathOverride(m_file); }
    void TearDown() override { Registry::setPathOverride({}); }

    int run(const Args& args) {
        m_out.str({});
        m_err.str({});
        return runHeadless(parseCommandLine(args), m_out, m_err);
    }
    std::string text() const { return std::filesystem::is_directory(m_file) ? "a directory" : test::readFile(m_file); }

    test::ScratchDirectory m_dir;
    const std::filesystem::path m_file = m_dir / "registry.reg";
    std::ostringstream m_out;
    std::ostringstream m_err;
};

// The two entries are written once and removed again; whatever else the file holds,
// lines registration does not understand included, stays where it was.
TEST_F(HeadlessRunTest, RegServerWritesTheTwoEntriesOnceAndUnregServerRemovesThem) {
    EXPECT_EQ(run({"-UNREGSERVER"}), kExitSuccess);
    EXPECT_FALSE(std::filesystem::exists(m_file)) << "nothing registered: nothing written";
    const std::string foreign = "[HKEY_CLASSES_ROOT\\AppID\\{OTHER}]\n\"Count\"=dword:00000002\n";
    ASSERT_TRUE(test::writeFile(m_file, "Windows Registry Editor Version 5.00\n\n; kept\n" + foreign));
    const std::string kept = "Windows Registry Editor Version 5.00\n\n; kept\n\n[HKEY_CLASSES_ROOT]\n\n[HKEY_CLASSES_ROOT\\AppID]\n\n" +
                             foreign + "\n[HKEY_CLASSES_ROOT\\AppID\\{6C1E0B5A-93D2-4F7B-A1E4-2B8C5D0F7A91}]\n";
    for (const char* option : {"-regserver", "/RegServer"}) {  // the second changes nothing
        EXPECT_EQ(run({option}), kExitSuccess);
        EXPECT_EQ(m_out.str() + m_err.str(), "");
        EXPECT_EQ(text(), kept + "@=\"TQM4700_ParametricEqualizerControl\"\n\n"
                                 "[HKEY_CLASSES_ROOT\\AppID\\TQM4700_ParametricEqualizerControl.EXE]\n"
                                 "\"AppID\"=\"{6C1E0B5A-93D2-4F7B-A1E4-2B8C5D0F7A91}\"\n");
    }
    EXPECT_EQ(run({"/UnregServer"}), kExitSuccess);
    EXPECT_EQ(text(), kept) << "the AppID key itself stays, emptied";
}

TEST_F(HeadlessRunTest, SwitchesThatCannotDoTheirWorkSaySoAndChangeNothing) {
    const std::pair<const char*, const char*> rows[] = {
        {"one\ntwo\nthree\n", "not a registry file"},
        {nullptr, "not a regular file"},  // a directory
    };
    for (const auto& [content, words] : rows) {
        for (const char* option : {"-RegServer", "-UnregServer"}) {
            SCOPED_TRACE(std::string(words) + ", " + option);
            std::filesystem::remove_all(m_file);
            ASSERT_TRUE(content ? test::writeFile(m_file, content) : std::filesystem::create_directory(m_file));
            const std::string before = text();
            EXPECT_EQ(run({option}), kExitRegistrationFailed);
            EXPECT_NE(m_err.str().find(words), std::string::npos) << m_err.str();
            EXPECT_NE(m_err.str().find(m_file.string()), std::string::npos) << m_err.str();
            EXPECT_EQ(text(), before);
        }
    }
}

TEST_F(HeadlessRunTest, WindowStartsTouchNoRegistryAndBadOptionsAreUsageErrors) {
    EXPECT_EQ(run({"-RegServer", "--no-splash"}), kRunWindow);
    EXPECT_NE(m_err.str().find("-RegServer"), std::string::npos) << m_err.str();
    EXPECT_FALSE(std::filesystem::exists(m_file));
    EXPECT_EQ(run({"--version"}), kExitSuccess);
    EXPECT_EQ(m_out.str(), "TQM-4700 Parametric Equalizer Control Version  1.22\n");
    EXPECT_EQ(run({"--frobnicate"}), kExitUsage);
    EXPECT_NE(m_err.str().find("unrecognized option '--frobnicate'"), std::string::npos) << m_err.str();
}

// The child holds the signals blocked as main does and says so on a pipe; the signal
// then comes at any point of its start, before or during the wait. It waits without a
// window and exits with success.
TEST(AutomationStart, WaitsUntilATerminationSignalThenExitsWithSuccess) {
    const CommandLine line = parseCommandLine(Args{"-Embedding"});
    ASSERT_EQ(line.action, CommandAction::Automation);
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        int ready[2];
        ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
        test::ChildProcess child([&line, &ready] {
            const char byte = 1;
            if (!blockSignals(terminationSignals(line.action)) || ::write(ready[1], &byte, 1) != 1) return 3;
            return runHeadless(line);
        });
        ::close(ready[1]);
        pollfd entry{ready[0], POLLIN, 0};
        const bool announced = ::poll(&entry, 1, 30000) == 1;
        ::close(ready[0]);
        ASSERT_TRUE(announced) << "the child never reached the start";
        EXPECT_TRUE(child.running());
        ASSERT_TRUE(child.signal(signalNumber));
        EXPECT_EQ(child.exitCode(30s), 0) << "exits with success, not ended by the signal";
    }
}

}  // namespace
}  // namespace tqm
