#pragma once

#include <array>
#include <string>
#include <string_view>

#include "editor/equalizer_values.h"

namespace tqm {

// The three value texts of one band.
struct BandTexts {
    std::string freq;
    std::string level;
    std::string bwth;
};

// What the equalizer model tells the window that shows it; the window decides where.
class EqualizerView {
public:
    virtual ~EqualizerView() = default;
    // Shows the value texts of one band (0..2) of the current set.
    virtual void showBandTexts(int band, const BandTexts& texts) = 0;
    // Shows the captions of the three bands of the current set.
    virtual void showCaptions(const std::array<std::string_view, kEqualizerBands>& captions) = 0;
    // Redraws the graph now with the shown values of the current set.
    virtual void showGraph() = 0;
    // Starts the one-shot full repaint (the window's 100 ms TIMER_REPAINT).
    virtual void scheduleRepaint() = 0;
};

}  // namespace tqm
