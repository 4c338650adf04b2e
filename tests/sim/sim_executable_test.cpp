#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/sim/slave_client.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;

std::string simExecutable() {
#ifdef TQM_ZR4700_SIM_PATH
    return TQM_ZR4700_SIM_PATH;
#else
    return (std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / "sim" / "zr4700-sim").string();
#endif
}

std::string tempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("zr4700-exe-test-" + std::to_string(getpid()) + "-" + name)).string();
}

// zr4700-sim as a child process with its standard output and error on pipes.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int out[2];
        int err[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        const std::string program = simExecutable();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~SimProcess() {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        ::close(m_out);
        ::close(m_err);
    }

    // Blocks until a whole line has come on standard output, or the timeout passes.
    std::string readLine(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_outText.find('\n') == std::string::npos && readSome(m_out, m_outText, deadline)) {
        }
        const std::size_t end = m_outText.find('\n');
        std::string line = m_outText.substr(0, end);
        m_outText.erase(0, end == std::string::npos ? end : end + 1);
        return line;
    }

    // Blocks until the process has ended (at most the timeout); its exit code, or -1.
    int waitExit(std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_reaped = true;
                while (readSome(m_out, m_outText, deadline) || readSome(m_err, m_errText, deadline)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            poll(nullptr, 0, 10);
        }
        return -1;
    }

    void signal(int number) { kill(m_pid, number); }
    const std::string& output() const { return m_outText; }
    const std::string& errors() const { return m_errText; }

private:
    static bool readSome(int fd, std::string& into, std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        into.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    pid_t m_pid = -1;
    bool m_reaped = false;
    int m_out = -1;
    int m_err = -1;
    std::string m_outText;
    std::string m_errText;
};

TEST(SimExecutableTest, HelpDocumentsEveryOption) {
    SimProcess sim({"--help"});
    EXPECT_EQ(sim.waitExit(), 0);
    for (const char* name : {"--baud", "--link", "--silent", "--model", "--refuse-ai", "--delay-ms", "--noise",
                             "--drop", "--power-off-at", "--power-on-at", "--front-panel", "--log", "--seed"}) {
        EXPECT_NE(sim.output().find(name), std::string::npos) << name;
    }
}

TEST(SimExecutableTest, RefusesABadOption) {
    SimProcess sim({"--baud", "300"});
    EXPECT_EQ(sim.waitExit(), 2);
    EXPECT_NE(sim.errors().find("--baud"), std::string::npos);
}

TEST(SimExecutableTest, PrintsItsDeviceServesItAndEndsCleanlyOnSignals) {
    const std::string link = tempPath("link");
    const std::string log = tempPath("wire.log");
    for (const int endSignal : {SIGTERM, SIGINT}) {
        SimProcess sim({"--baud", "38400", "--link", link, "--log", log, "--model", "1234", "--id-suffix", "042"});
        const std::string device = sim.readLine();
        ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device << sim.errors();
        EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);
        {
            test::SlaveClient client;
            ASSERT_TRUE(client.open(device));
            EXPECT_EQ(client.ask("ID;"), "ID1234;");
            EXPECT_EQ(client.ask("ID4700;"), "ID1234042;");
        }
        sim.signal(endSignal);
        EXPECT_EQ(sim.waitExit(), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
        std::ifstream file(log);
        std::string first;
        std::getline(file, first);
        EXPECT_NE(first.find(" > ID;"), std::string::npos) << first;
    }
    std::filesystem::remove(log);
}

}  // namespace
}  // namespace tqm
