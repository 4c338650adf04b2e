#pragma once

#include <cstdint>
#include <filesystem>

#include "editor/ui/port_setting_dlg.h"

namespace tqm {

// Setup > Baud rate: the four line speeds, the one in use in red.
class CBaudRateDlg final : public CPortSettingDlg {
    Q_OBJECT

public:
    // shownSet is saved with the port settings; settingsBase holds CommoFiles (empty:
    // the settings folder).
    explicit CBaudRateDlg(std::int32_t shownSet, QWidget* parent = nullptr,
                          std::filesystem::path settingsBase = {});
};

}  // namespace tqm
