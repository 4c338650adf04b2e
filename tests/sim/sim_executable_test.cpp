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

TEST(SimExecutableTest, HelpAndABadOption) {
    test::ScratchDirectory dir;
    test::ChildProcess help = runSim({"--help"}, dir / "help");
    EXPECT_EQ(exitCode(help), 0);
    EXPECT_NE(readFile(dir / "help").find("--refuse-ai"), std::string::npos);
    test::ChildProcess bad = runSim({"--baud", "300"}, dir / "bad");
    EXPECT_EQ(exitCode(bad), 2);
    EXPECT_NE(readFile(dir / "bad").find("--baud"), std::string::npos);
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
