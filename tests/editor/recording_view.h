#pragma once

#include <map>
#include <string>
#include <string_view>

#include "editor/equalizer_model.h"

namespace tqm::test {

// An equalizer view that keeps the control texts and counts redraws and repaints.
class RecordingView final : public EqualizerView {
public:
    void setControlText(int controlId, std::string_view text) override { texts[controlId] = std::string(text); }
    void redrawGraph() override { ++redraws; }
    void scheduleRepaint() override { ++repaints; }

    std::map<int, std::string> texts;
    int redraws = 0;
    int repaints = 0;
};

}  // namespace tqm::test
