#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/sim/slave_client.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using test::readFile;

// zr4700-sim run with these arguments, its standard output and error going to `out`.
test::ChildProcess runSim(std::vector<std::string> args, const std::filesystem::path& out) {
    args.insert(args.begin(), TQM_ZR4700_SIM_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outPath = out.string();
    return test::ChildProcess([&] {
        const int fd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        ::dup2(fd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        return 127;
    });
}

int exitCode(test::ChildProcess& process) {
    const std::optional<int> status = process.waitStatus(5000ms);
    return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
}

// Starts that end at once: what the user reads and the exit status.
TEST(SimExecutableTest, HelpVersionAndStartsThatCannotRun) {
    test::ScratchDirectory dir;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* words;
    } rows[] = {
        {{"--help"}, 0, "--refuse-ai"},
        {{"--version"}, 0, "zr4700-sim 1."},
        {{"--baud", "300"}, 2, "--baud"},
        {{"--log", (dir / "missing" / "wire.log").string()}, 1, "wire.log: No such file or directory"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0]);
        test::ChildProcess sim = runSim(row.args, dir / "out");
        EXPECT_EQ(exitCode(sim), row.exitCode);
        EXPECT_NE(readFile(dir / "out").find(row.words), std::string::npos) << readFile(dir / "out");
    }
}

// A log that takes nothing (a full disk) is reported once, with the reason, and the
// run ends with status 1; the radio goes on answering.
TEST(SimExecutableTest, AWireLogThatCannotBeWrittenIsReportedOnce) {
    test::ScratchDirectory dir;
    test::ChildProcess sim = runSim({"--log", "/dev/full"}, dir / "out");
    const auto output = [&] { return readFile(dir / "out"); };
    ASSERT_TRUE(test::waitUntil([&] { return output().find('\n') != std::string::npos; }, 5000ms));
    {
        test::SlaveClient client;
        ASSERT_TRUE(client.open(output().substr(0, output().find('\n'))));
        EXPECT_EQ(client.ask("ID;"), "ID4700;");
        EXPECT_EQ(client.ask("PS;"), "PS1;");
    }
    ASSERT_TRUE(sim.signal(SIGTERM));
    EXPECT_EQ(exitCode(sim), 1);
    const std::string text = output();
    const std::string reason = "/dev/full: No space left on device";
    EXPECT_NE(text.find(reason), std::string::npos) << text;
    EXPECT_EQ(text.find(reason), text.rfind(reason)) << "reported once: " << text;
}

TEST(SimExecutableTest, PrintsItsDeviceServesItAndEndsCleanlyOnSignals) {
    test::ScratchDirectory dir;
    for (const int endSignal : {SIGTERM, SIGINT}) {
        test::ChildProcess sim = runSim({"--baud", "38400", "--link", (dir / "link").string(), "--log",
                                         (dir / "wire.log").string(), "--model", "1234", "--id-suffix", "042"},
                                        dir / std::to_string(endSignal));
        const auto output = [&] { return readFile(dir / std::to_string(endSignal)); };
        ASSERT_TRUE(test::waitUntil([&] { return output().find('\n') != std::string::npos; }, 5000ms));
        const std::string device = output().substr(0, output().find('\n'));
        ASSERT_EQ(device.rfind("/dev/", 0), 0u) << output();
        EXPECT_EQ(std::filesystem::read_symlink(dir / "link").string(), device);
        {
            test::SlaveClient client;
            ASSERT_TRUE(client.open(device));
            EXPECT_EQ(client.ask("ID;"), "ID1234;");
            EXPECT_EQ(client.ask("ID4700;"), "ID1234042;");
        }
        ASSERT_TRUE(sim.signal(endSignal));
        EXPECT_EQ(exitCode(sim), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "link")));
        EXPECT_NE(readFile(dir / "wire.log").find(" > ID;"), std::string::npos);
    }
}

}  // namespace
}  // namespace tqm
