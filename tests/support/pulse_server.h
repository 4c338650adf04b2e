#pragma once

#include <atomic>
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
    static bool installed();
    // The process's server, started on first use; null when it would not start.
    static PulseServer* instance();

    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;
    ~PulseServer();

    // Blocks on pactl. Plugs in an input fed from a named pipe (16-bit mono samples at
    // rate) under this description; its module number, or none on failure.
    std::optional<int> plugInput(const std::string& description, int rate, const std::filesystem::path& pipe);
    // Blocks on pactl. Pulls the input of that module out again.
    bool pull(int module);

private:
    PulseServer() = default;
    bool start();
    bool pactl(const std::vector<std::string>& arguments, std::string* output = nullptr);

    ScratchDirectory m_dir;
    std::string m_socket;
    std::unique_ptr<ChildProcess> m_process;
};

// Feeds samples into a pipe input on a thread of its own, as fast as the server takes
// them, then holds the pipe open and silent until stopped.
class PipeFeeder final {
public:
    PipeFeeder(std::filesystem::path pipe, std::vector<float> samples);
    ~PipeFeeder();
    PipeFeeder(const PipeFeeder&) = delete;
    PipeFeeder& operator=(const PipeFeeder&) = delete;

    // Blocks until the feeding thread has ended.
    void stop();
    bool fedAll() const { return m_fedAll; }

private:
    void run();

    std::filesystem::path m_pipe;
    std::vector<float> m_samples;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_fedAll{false};
    std::thread m_thread;
};

}  // namespace tqm::test
