#include "app/ctl/progress_line.h"

namespace tqm {
namespace {
// Back to the start of the line, and the rest of the line cleared.
constexpr const char* kRewrite = "\r\033[K";
}  // namespace

void ProgressLine::show(const std::string& text) {
    if (!m_enabled || text == m_last) return;
    m_out << kRewrite << text << std::flush;
    m_last = text;
    m_shown = true;
}

void ProgressLine::clear() {
    if (!m_shown) return;
    m_out << kRewrite << std::flush;
    m_shown = false;
    m_last.clear();
}

}  // namespace tqm
