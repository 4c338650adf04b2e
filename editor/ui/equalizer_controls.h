#pragma once

#include <array>
#include <cstdint>

#include "editor/equalizer_values.h"
#include "editor/ui/button_codes.h"

class QLabel;
class QWidget;

namespace tqm {

class CColorGroupBox;
class CColorStatic;
class CGraphStatic;
class CStepButton;

// One band's controls: the frame that shows the set's caption, and the row labels and
// value statics of FREQ, LEVEL and BWTH.
struct BandControls {
    CColorGroupBox* frame = nullptr;
    std::array<CColorStatic*, 3> rowLabels{};
    std::array<CColorStatic*, 3> values{};
};

// The main window's controls that the program works with. find() looks each up once,
// when the window is built; afterwards none is missing.
struct EqualizerControls {
    static constexpr std::int32_t kFirstButtonCode = 4;
    static constexpr std::size_t kButtonCount = kFileSaveCode - kFirstButtonCode + 1;

    // Stops the program when the window's template lacks one of them.
    static EqualizerControls find(const QWidget& window);

    CGraphStatic* graph = nullptr;
    QLabel* lamp = nullptr;
    std::array<BandControls, kEqualizerBands> bands{};
    // The step and command buttons by the code they send (4..27), from the first.
    std::array<CStepButton*, kButtonCount> buttons{};
};

}  // namespace tqm
