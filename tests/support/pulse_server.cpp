#include "tests/support/pulse_server.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace tqm::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgram = "/usr/bin/pulseaudio";

std::optional<int> parseModule(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || value < 0) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace

bool PulseServer::installed() { return ::access(kProgram, X_OK) == 0 && ::access("/usr/bin/pactl", X_OK) == 0; }

PulseServer* PulseServer::instance() {
    static std::unique_ptr<PulseServer> s_server = [] {
        std::unique_ptr<PulseServer> server(new PulseServer);
        if (!installed() || !server->start()) server.reset();
        return server;
    }();
    return s_server.get();
}

PulseServer::~PulseServer() {
    if (m_process) {
        m_process->signal(SIGTERM);
        m_process->waitStatus(10s);
    }
}

bool PulseServer::start() {
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
    return waitUntil([this] { return !m_process->running() || pactl({"info"}); }, 20000ms) && m_process->running();
}

bool PulseServer::pactl(const std::vector<std::string>& arguments, std::string* output) {
    const auto out = m_dir / "pactl.out";
    std::vector<std::string> command{"PULSE_SERVER=unix:" + m_socket, "pactl"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    ChildProcess run = runProgram("/usr/bin/env", command, out, m_dir / "pactl.err");
    const bool done = run.exitCode(20000ms) == 0;
    if (output != nullptr) *output = readFile(out);
    return done;
}

std::optional<int> PulseServer::plugInput(const std::string& description, int rate, const std::filesystem::path& pipe) {
    std::string output;
    const bool loaded = pactl({"load-module", "module-pipe-source", "source_name=test_input_" + std::to_string(rate),
                               "file=" + pipe.string(), "format=s16le", "channels=1", "rate=" + std::to_string(rate),
                               "source_properties=\"device.description='" + description + "'\""},
                              &output);
    return loaded ? parseModule(output) : std::nullopt;
}

bool PulseServer::pull(int module) { return pactl({"unload-module", std::to_string(module)}); }

PipeFeeder::PipeFeeder(std::filesystem::path pipe, std::vector<float> samples)
    : m_pipe(std::move(pipe)), m_samples(std::move(samples)), m_thread([this] { run(); }) {}

PipeFeeder::~PipeFeeder() { stop(); }

void PipeFeeder::stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void PipeFeeder::run() {
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
            std::this_thread::sleep_for(2ms);
        }
    }
    m_fedAll = left == 0;
    while (!m_stop) std::this_thread::sleep_for(5ms);
    ::close(fd);
}

}  // namespace tqm::test
