#pragma once

#include <cstdint>
#include <filesystem>

#include "editor/ui/port_setting_dlg.h"

namespace tqm {

// Setup > COM Select: every COM number with the device path it maps to and whether
// the device is there; the port in use in red. A new port must open before it is taken.
class CComSelectDlg final : public CPortSettingDlg {
    Q_OBJECT

public:
    // shownSet is saved with the port settings; settingsBase holds CommoFiles (empty:
    // the settings folder).
    explicit CComSelectDlg(std::int32_t shownSet, QWidget* parent = nullptr,
                           std::filesystem::path settingsBase = {});
};

}  // namespace tqm
