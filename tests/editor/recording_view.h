#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "editor/equalizer_view.h"

namespace tqm::test {

// An equalizer view that keeps what it was told to show and counts graphs and repaints.
class RecordingView final : public EqualizerView {
public:
    void showBandTexts(int band, const BandTexts& texts) override {
        bandTexts[band] = {texts.freq, texts.level, texts.bwth};
    }
    void showCaptions(const std::array<std::string_view, kEqualizerBands>& shown) override {
        captions.assign(shown.begin(), shown.end());
    }
    void showGraph() override { ++graphs; }
    void scheduleRepaint() override { ++repaints; }

    // FREQ, LEVEL and BWTH texts by band.
    std::map<int, std::vector<std::string>> bandTexts;
    std::vector<std::string> captions;
    int graphs = 0;
    int repaints = 0;
};

}  // namespace tqm::test
