#include "editor/ui/baud_rate_dlg.h"

#include "ui_baud_rate_dlg.h"

namespace tqm {

CBaudRateDlg::CBaudRateDlg(std::int32_t shownSet, QWidget* parent, std::filesystem::path settingsBase)
    : CPortSettingDlg(PortSetting::BaudRate, shownSet, std::move(settingsBase), parent) {
    Ui::BaudRateDlg().setupUi(this);
    attach();
}

}  // namespace tqm
