#include "editor/ui/equalizer_controls.h"

#include <algorithm>

#include <QtWidgets/QLabel>

#include "editor/ui/color_group_box.h"
#include "editor/ui/color_static.h"
#include "editor/ui/control_id.h"
#include "editor/ui/graph_static.h"
#include "editor/ui/step_button.h"

namespace tqm {
namespace {

struct BandControlIds {
    ControlId frame;
    std::array<ControlId, 3> rowLabels;
    std::array<ControlId, 3> values;
};

using enum ControlId;

constexpr std::array<BandControlIds, kEqualizerBands> kBandControlIds = {{
    {Eq1Frame, {Eq1FreqLabel, Eq1LevelLabel, Eq1BwthLabel}, {Eq1FreqValue, Eq1LevelValue, Eq1BwthValue}},
    {Eq2Frame, {Eq2FreqLabel, Eq2LevelLabel, Eq2BwthLabel}, {Eq2FreqValue, Eq2LevelValue, Eq2BwthValue}},
    {Eq3Frame, {Eq3FreqLabel, Eq3LevelLabel, Eq3BwthLabel}, {Eq3FreqValue, Eq3LevelValue, Eq3BwthValue}},
}};

// The buttons with the code each sends.
struct ButtonId {
    std::int32_t code;
    ControlId id;
};

constexpr std::array<ButtonId, EqualizerControls::kButtonCount> kButtonIds = {{
    {4, Eq1FreqUp},   {5, Eq1FreqDown},   {6, Eq2FreqUp},   {7, Eq2FreqDown},   {8, Eq3FreqUp},   {9, Eq3FreqDown},
    {10, Eq1LevelUp}, {11, Eq1LevelDown}, {12, Eq2LevelUp}, {13, Eq2LevelDown}, {14, Eq3LevelUp}, {15, Eq3LevelDown},
    {16, Eq1BwthUp},  {17, Eq1BwthDown},  {18, Eq2BwthUp},  {19, Eq2BwthDown},  {20, Eq3BwthUp},  {21, Eq3BwthDown},
    {kCancelCode, CancelButton},     {kExitCode, ExitButton},         {kApplyCode, AppliButton},
    {kComCode, ComButton},           {kFileLoadCode, FileLoadButton}, {kFileSaveCode, FileSaveButton},
}};
static_assert(std::ranges::all_of(kButtonIds, [](const ButtonId& button) {
    const auto slot = button.code - EqualizerControls::kFirstButtonCode;
    return slot >= 0 && static_cast<std::size_t>(slot) < EqualizerControls::kButtonCount;
}));

}  // namespace

EqualizerControls EqualizerControls::find(const QWidget& window) {
    EqualizerControls found;
    found.graph = &requireControl<CGraphStatic>(window, Graph);
    found.lamp = &requireControl<QLabel>(window, Lamp);
    for (std::size_t band = 0; band < found.bands.size(); ++band) {
        const BandControlIds& ids = kBandControlIds[band];
        BandControls& controls = found.bands[band];
        controls.frame = &requireControl<CColorGroupBox>(window, ids.frame);
        for (std::size_t row = 0; row < ids.values.size(); ++row) {
            controls.rowLabels[row] = &requireControl<CColorStatic>(window, ids.rowLabels[row]);
            controls.values[row] = &requireControl<CColorStatic>(window, ids.values[row]);
        }
    }
    for (const ButtonId& button : kButtonIds) {
        found.buttons[static_cast<std::size_t>(button.code - kFirstButtonCode)] =
            &requireControl<CStepButton>(window, button.id);
    }
    return found;
}

}  // namespace tqm
