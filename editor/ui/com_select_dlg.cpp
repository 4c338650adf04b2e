#include "editor/ui/com_select_dlg.h"

#include "ui_com_select_dlg.h"

namespace tqm {

CComSelectDlg::CComSelectDlg(std::int32_t shownSet, QWidget* parent, std::filesystem::path settingsBase)
    : CPortSettingDlg(PortSetting::ComPort, shownSet, std::move(settingsBase), parent) {
    Ui::ComSelectDlg().setupUi(this);
    attach();
}

}  // namespace tqm
