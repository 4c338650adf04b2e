#include <signal.h>

#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "editor/app_registration.h"
#include "editor/command_line.h"
#include "editor/headless_run.h"
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

// Signal dispositions of a process, from /proc/<pid>/status.
bool catchesTermination(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (!line.starts_with("SigCgt:")) continue;
        const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
        const unsigned long long wanted = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1));
        return (caught & wanted) == wanted;
    }
    return false;
}

// The child ends by exiting with success within a generous bound.
void expectCleanExit(test::ChildProcess& child) {
    const auto status = child.waitStatus(30s);
    ASSERT_TRUE(status.has_value()) << "still running after the signal";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by a signal instead of exiting";
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

class AutomationStartTest : public ::testing::TestWithParam<int> {};

TEST_P(AutomationStartTest, WaitsWithoutWindowUntilTheSignalThenExitsWithSuccess) {
    const CommandLine line = parseCommandLine(Args{"-Embedding"});
    ASSERT_EQ(line.action, CommandAction::Automation);
    test::ChildProcess child([&line] { return runHeadless(line); });
    ASSERT_TRUE(child.started());

    ASSERT_TRUE(test::waitUntil([&] { return catchesTermination(child.pid()); }, 30s))
        << "the automation start never began to wait for the signal";
    EXPECT_TRUE(child.running());

    ASSERT_TRUE(child.signal(GetParam()));
    expectCleanExit(child);
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, AutomationStartTest, ::testing::Values(SIGTERM, SIGINT));

TEST(AutomationStart, ASignalThatArrivesBeforeTheWaitIsNotLost) {
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigset_t saved;
    ASSERT_EQ(::pthread_sigmask(SIG_BLOCK, &term, &saved), 0);
    test::ChildProcess child([] { return runHeadless(parseCommandLine(Args{"/Automation"})); });
    ::pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    ASSERT_TRUE(child.started());

    // Sent at once: the child may not have reached the wait yet; it holds the signal blocked.
    ASSERT_TRUE(child.signal(SIGTERM));
    expectCleanExit(child);
}

}  // namespace
}  // namespace tqm
