#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <tuple>
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
using Entry = std::tuple<std::string, std::string, std::string>;  // key, value name, data

// Every value in the store, as {key, name, data}.
std::vector<Entry> allEntries(const Registry& registry) {
    std::vector<Entry> out;
    for (const std::string& key : registry.keys()) {
        for (const auto& [name, data] : registry.values(key)) out.emplace_back(key, name, data);
    }
    return out;
}

class HeadlessRunTest : public ::testing::Test {
protected:
    void SetUp() override { Registry::setPathOverride(file()); }
    void TearDown() override { Registry::setPathOverride({}); }

    std::filesystem::path file() const { return m_dir / "registry.reg"; }

    Registry stored() const {
        Registry registry(file());
        EXPECT_TRUE(registry.load());
        return registry;
    }

    // Runs the start as main would, capturing both streams.
    int run(const Args& args) {
        m_out.str({});
        m_err.str({});
        return runHeadless(parseCommandLine(args), m_out, m_err);
    }

    test::ScratchDirectory m_dir;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

const std::vector<Entry> kRegisteredEntries = {
    {std::string(kAppIdGuidKey), "", std::string(kAppIdName)},
    {std::string(kAppIdExeKey), "AppID", std::string(kAppIdGuid)},
};

TEST_F(HeadlessRunTest, RegServerWritesTheTwoEntriesOnceUnregServerRemovesThemAndOtherKeysStay) {
    EXPECT_EQ(run({"-UNREGSERVER"}), kExitSuccess);
    EXPECT_FALSE(std::filesystem::exists(file())) << "nothing registered: nothing written";
    Registry other(file());
    other.setDefaultValue("HKEY_CLASSES_ROOT\\AppID\\{OTHER}", "Someone else");
    ASSERT_TRUE(other.save());

    EXPECT_EQ(run({"-regserver"}), kExitSuccess);
    EXPECT_TRUE(m_out.str().empty());
    EXPECT_TRUE(m_err.str().empty()) << m_err.str();
    const std::string once = test::readFile(file());
    ASSERT_EQ(run({"/RegServer"}), kExitSuccess);
    EXPECT_EQ(test::readFile(file()), once) << "registering twice changes nothing";
    std::vector<Entry> expected = {{"HKEY_CLASSES_ROOT\\AppID\\{OTHER}", "", "Someone else"}};
    expected.insert(expected.end(), kRegisteredEntries.begin(), kRegisteredEntries.end());
    EXPECT_EQ(allEntries(stored()), expected);

    EXPECT_EQ(run({"/UnregServer"}), kExitSuccess);
    const Registry after = stored();
    EXPECT_FALSE(after.hasKey(kAppIdExeKey));
    EXPECT_TRUE(after.hasKey(kAppIdGuidKey)) << "the AppID key itself stays";
    EXPECT_EQ(allEntries(after), std::vector<Entry>{expected[0]}) << "its value goes, other keys stay";
}

TEST_F(HeadlessRunTest, WindowStartsTouchNoRegistryAndBadOptionsAreUsageErrors) {
    EXPECT_EQ(run({"-RegServer", "--no-splash"}), kRunWindow);
    EXPECT_NE(m_err.str().find("-RegServer"), std::string::npos) << m_err.str();
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(run({"--version"}), kExitSuccess);
    EXPECT_EQ(m_out.str(), "TQM-4700 Parametric Equalizer Control Version  1.22\n");
    EXPECT_EQ(run({"--frobnicate"}), kExitUsage);
    EXPECT_NE(m_err.str().find("unrecognized option '--frobnicate'"), std::string::npos) << m_err.str();
}

// The child ends by exiting with success within a generous bound.
void expectCleanExit(test::ChildProcess& child) {
    const auto status = child.waitStatus(30s);
    ASSERT_TRUE(status.has_value()) << "still running after the signal";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by a signal instead of exiting";
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

class AutomationStartTest : public ::testing::TestWithParam<int> {};

// The child holds the signals blocked as main does and says so on a pipe; the signal
// then comes at any point of its start, before or during the wait.
TEST_P(AutomationStartTest, WaitsWithoutWindowUntilTheSignalThenExitsWithSuccess) {
    const CommandLine line = parseCommandLine(Args{"-Embedding"});
    ASSERT_EQ(line.action, CommandAction::Automation);
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    test::ChildProcess child([&line, &ready] {
        const char byte = 1;
        if (!blockSignals(terminationSignals(line.action)) || ::write(ready[1], &byte, 1) != 1) return 3;
        return runHeadless(line);
    });
    ::close(ready[1]);
    ASSERT_TRUE(child.started());
    pollfd entry{ready[0], POLLIN, 0};
    const bool announced = ::poll(&entry, 1, 30000) == 1;
    ::close(ready[0]);
    ASSERT_TRUE(announced) << "the child never reached the start";
    EXPECT_TRUE(child.running());

    ASSERT_TRUE(child.signal(GetParam()));
    expectCleanExit(child);
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, AutomationStartTest, ::testing::Values(SIGTERM, SIGINT));

}  // namespace
}  // namespace tqm
