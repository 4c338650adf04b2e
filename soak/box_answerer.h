#pragma once

#include <string>
#include <vector>

#include <QtCore/QTimer>

namespace tqm::soak {

// Answers every message box that opens (OK), from a timer that also runs inside
// the boxes' own nested event loops, and keeps their texts.
class BoxAnswerer final {
public:
    BoxAnswerer();

    std::size_t answered() const { return m_texts.size(); }
    const std::vector<std::string>& texts() const { return m_texts; }
    // True while a message box is open.
    static bool boxOpen();

private:
    void answer();

    QTimer m_timer;
    std::vector<std::string> m_texts;
};

}  // namespace tqm::soak
