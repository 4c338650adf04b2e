#pragma once

#include <ostream>
#include <string>

namespace tqm {

// One line of progress ("reading 14/27") that rewrites itself on a terminal. Shows
// nothing when disabled (standard error is not a terminal, or --quiet).
class ProgressLine final {
public:
    ProgressLine(std::ostream& out, bool enabled) : m_out(out), m_enabled(enabled) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(const std::string& text);
    // Removes the line, before other output and at the end.
    void clear();

private:
    std::ostream& m_out;
    bool m_enabled;
    bool m_shown = false;
    std::string m_last;
};

}  // namespace tqm
