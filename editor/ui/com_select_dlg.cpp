#include "editor/ui/com_select_dlg.h"

#include "ui_com_select_dlg.h"

namespace tqm {

CComSelectDlg::CComSelectDlg(std::int32_t shownSet, QWidget* parent, std::filesystem::path settingsBase)
    : CPortSettingDlg(PortSetting::ComPort, shownSet, std::move(settingsBase), parent),
      m_ui(std::make_unique<Ui::ComSelectDlg>()) {
    m_ui->setupUi(this);
    attach(m_ui->id_1019, m_ui->id_1, m_ui->id_2);
}

CComSelectDlg::~CComSelectDlg() = default;

}  // namespace tqm
