#pragma once

#include <cstddef>
#include <string>

namespace tqm {

// The wire trace: every command written to the port and every reply framed from it,
// one line each as the simulated transceiver's wire log writes them
// ("<ms> > PE001;", "<ms> < PE001+01;", platform/wire_line.h), and the port's opens,
// closes and faults as comment lines ("# <ms> COM1 closed"). Times count from the
// start of the trace. Off until started: then nothing is formatted or written.
//
// Data-less access object to the process-wide trace; any thread may use it.
class WireTrace final {
public:
    static constexpr const char* kStandardError = "-";

    // Blocks on opening (truncating) the file; "-" traces to standard error. Ends an
    // earlier trace first. False, with error saying why, when the file cannot be opened.
    bool start(const std::string& file, std::string& error);
    // Blocks on flushing and closing the file.
    void stop();
    bool isOn() const;

    // Bytes written to the port.
    void written(const void* bytes, std::size_t length);
    // A reply framed from the port: its text without the ";" that ended it.
    void framed(const char* text, std::size_t length);
    // A comment line: an open, a close, a fault.
    void note(const std::string& text);
};

}  // namespace tqm
