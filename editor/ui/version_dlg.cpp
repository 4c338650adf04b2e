#include "editor/ui/version_dlg.h"

#include "editor/string_table.h"
#include "editor/ui/qt_text.h"
#include "editor/ui/resource_init.h"
#include "ui_version_dlg.h"

namespace tqm {

CVersionDlg::CVersionDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::VersionDlg>()) {
    ensureResources();
    m_ui->setupUi(this);
    m_ui->id_1048->setText(toQString(loadString(IDS_VERSION)));
    m_ui->id_1049->setText(toQString(loadString(IDS_VERSION_NOTICE)));
}

CVersionDlg::~CVersionDlg() = default;

}  // namespace tqm
