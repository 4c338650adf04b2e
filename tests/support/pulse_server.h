#pragma once

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scratch_directory.h"

namespace tqm::test {

// A private PulseAudio server for the test process, with no input until a test plugs
// one in. Clients of this process reach it (and only it) once it runs: PULSE_SERVER
// names its socket and the client configuration forbids starting any other server.
class PulseServer final {
public:
    static bool installed() { return ::access(kProgram, X_OK) == 0 && ::access("/usr/bin/pactl", X_OK) == 0; }
    // The process's server, started on first use; null when it would not start.
    static PulseServer* instance() {
        static std::unique_ptr<PulseServer> s_server = [] {
            std::unique_ptr<PulseServer> server(new PulseServer);
            if (!installed() || !server->start()) server.reset();
            return server;
        }();
        return s_server.get();
    }

    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;
    ~PulseServer() {
        if (!m_process) return;
        m_process->signal(SIGTERM);
        m_process->waitStatus(std::chrono::seconds(10));
    }

    // Blocks on pactl. Plugs in an input fed from a named pipe (16-bit mono samples at
    // rate) under this description; its module number, or none on failure.
    std::optional<int> plugInput(const std::string& description, int rate, const std::filesystem::path& pipe) {
        std::string output;
        if (!pactl({"load-module", "module-pipe-source", "source_name=test_input_" + std::to_string(rate),
                    "file=" + pipe.string(), "format=s16le", "channels=1", "rate=" + std::to_string(rate),
                    "source_properties=\"device.description='" + description + "'\""},
                   &output)) {
            return std::nullopt;
        }
        char* end = nullptr;
        const long module = std::strtol(output.c_str(), &end, 10);
        if (end == output.c_str() || module < 0) return std::nullopt;
        return static_cast<int>(module);
    }
    // Blocks on pactl. Pulls the input of that module out again.
    bool pull(int module) { return pactl({"unload-module", std::to_string(module)}); }

private:
    static constexpr const char* kProgram = "/usr/bin/pulseaudio";
    static constexpr std::chrono::milliseconds kBound{20000};

    PulseServer() = default;
    bool start() {
        const auto runtime = m_dir / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        m_socket = (m_dir / "native").string();
        const auto clientConfig = m_dir / "client.conf";
        if (!writeFile(clientConfig, "autospawn = no\n")) return false;
        // Built in place: a child process cannot be moved.
        m_process.reset(new ChildProcess(runProgram(
            "/usr/bin/env",
            {"HOME=" + m_dir.path().string(), "XDG_RUNTIME_DIR=" + runtime.string(),
             "XDG_CONFIG_HOME=" + (m_dir / "config").string(), kProgram, "-n", "--daemonize=no", "--exit-idle-time=-1",
             "--use-pid-file=no", "--disallow-module-loading=no", "--log-target=stderr",
             "--load=module-native-protocol-unix auth-anonymous=1 socket=" + m_socket},
            m_dir / "server.log")));
        ::setenv("PULSE_SERVER", ("unix:" + m_socket).c_str(), 1);
        ::setenv("PULSE_CLIENTCONFIG", clientConfig.c_str(), 1);
        return waitUntil([this] { return !m_process->running() || pactl({"info"}); }, kBound) && m_process->running();
    }
    bool pactl(const std::vector<std::string>& arguments, std::string* output = nullptr) {
        const auto out = m_dir / "pactl.out";
        std::vector<std::string> command{"PULSE_SERVER=unix:" + m_socket, "pactl"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ChildProcess run = runProgram("/usr/bin/env", command, out, m_dir / "pactl.err");
        const bool done = run.exitCode(kBound) == 0;
        if (output != nullptr) *output = readFile(out);
        return done;
    }

    ScratchDirectory m_dir;
    std::string m_socket;
    std::unique_ptr<ChildProcess> m_process;
};

// Feeds samples into a pipe input on a thread of its own, as fast as the server takes
// them, then holds the pipe open and silent until stopped.
class PipeFeeder final {
public:
    PipeFeeder(std::filesystem::path pipe, std::vector<float> samples)
        : m_pipe(std::move(pipe)), m_samples(std::move(samples)), m_thread([this] { run(); }) {}
    ~PipeFeeder() { stop(); }
    PipeFeeder(const PipeFeeder&) = delete;
    PipeFeeder& operator=(const PipeFeeder&) = delete;

    // Blocks until the feeding thread has ended.
    void stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    bool fedAll() const { return m_fedAll; }

private:
    void run() {
        pthread_setname_np(pthread_self(), "test-pipe-feed");
        // A pulled input closes the pipe's far end; the write then fails instead of killing us.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const int fd = ::open(m_pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return;
        std::vector<std::int16_t> words(m_samples.size());
        std::transform(m_samples.begin(), m_samples.end(), words.begin(), [](float sample) {
            return static_cast<std::int16_t>(std::lround(std::clamp(sample, -1.0F, 32767.0F / 32768.0F) * 32768.0F));
        });
        const auto* bytes = reinterpret_cast<const char*>(words.data());
        std::size_t left = words.size() * sizeof(std::int16_t);
        while (!m_stop && left > 0) {
            const ssize_t written = ::write(fd, bytes, std::min<std::size_t>(left, 4096));
            if (written > 0) {
                bytes += written;
                left -= static_cast<std::size_t>(written);
            } else if (written < 0 && errno != EAGAIN) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        m_fedAll = left == 0;
        while (!m_stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ::close(fd);
    }

    std::filesystem::path m_pipe;
    std::vector<float> m_samples;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_fedAll{false};
    std::thread m_thread;
};

}  // namespace tqm::test
