#include "editor/ui/baud_rate_dlg.h"

#include "ui_baud_rate_dlg.h"

namespace tqm {

CBaudRateDlg::CBaudRateDlg(std::int32_t shownSet, QWidget* parent, std::filesystem::path settingsBase)
    : CPortSettingDlg(PortSetting::BaudRate, shownSet, std::move(settingsBase), parent),
      m_ui(std::make_unique<Ui::BaudRateDlg>()) {
    m_ui->setupUi(this);
    attach(m_ui->id_1019, m_ui->id_1, m_ui->id_2);
}

CBaudRateDlg::~CBaudRateDlg() = default;

}  // namespace tqm
