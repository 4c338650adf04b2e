#include "serial/wire_trace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

#include "platform/wire_line.h"

namespace tqm {
namespace {

using Clock = std::chrono::steady_clock;

struct TraceState {
    std::atomic<bool> on{false};
    std::mutex mutex;  // the file, the start time
    std::FILE* file = nullptr;
    bool ownsFile = false;
    Clock::time_point start;
};

TraceState& state() {
    static TraceState* s_state = new TraceState;  // outlives every thread
    return *s_state;
}

long long sinceStart(const TraceState& s) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - s.start).count();
}

// A line that cannot be written ends the trace: the program goes on without it.
void writeLine(TraceState& s, const std::string& line) {
    if (s.file == nullptr) return;
    if (std::fputs(line.c_str(), s.file) < 0 || std::fputc('\n', s.file) == EOF || std::fflush(s.file) != 0) {
        std::fprintf(stderr, "the wire trace stops here: %s\n", std::strerror(errno));
        if (s.ownsFile) std::fclose(s.file);
        s.file = nullptr;
        s.on.store(false, std::memory_order_relaxed);
    }
}

void record(char direction, std::string_view bytes) {
    TraceState& s = state();
    if (!s.on.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(s.mutex);
    writeLine(s, formatWireLine(sinceStart(s), direction, bytes));
}

}  // namespace

bool WireTrace::start(const std::string& file, std::string& error) {
    stop();
    TraceState& s = state();
    std::lock_guard lock(s.mutex);
    const bool toStandardError = file == kStandardError;
    s.file = toStandardError ? stderr : std::fopen(file.c_str(), "w");
    if (s.file == nullptr) {
        error = file + ": " + std::strerror(errno);
        return false;
    }
    s.ownsFile = !toStandardError;
    s.start = Clock::now();
    s.on.store(true, std::memory_order_relaxed);
    return true;
}

void WireTrace::stop() {
    TraceState& s = state();
    std::lock_guard lock(s.mutex);
    s.on.store(false, std::memory_order_relaxed);
    if (s.file != nullptr && s.ownsFile) std::fclose(s.file);
    s.file = nullptr;
}

bool WireTrace::isOn() const { return state().on.load(std::memory_order_relaxed); }

void WireTrace::written(const void* bytes, std::size_t length) {
    if (length == 0) return;
    record(kWireToTransceiver, std::string_view(static_cast<const char*>(bytes), length));
}

void WireTrace::framed(const char* text, std::size_t length) {
    if (!isOn()) return;
    std::string frame(text, length);
    frame += ';';
    record(kWireFromTransceiver, frame);
}

void WireTrace::note(const std::string& text) {
    TraceState& s = state();
    if (!s.on.load(std::memory_order_relaxed)) return;
    std::lock_guard lock(s.mutex);
    writeLine(s, "# " + std::to_string(sinceStart(s)) + " " + text);
}

}  // namespace tqm
