#include "editor/ui/version_dlg.h"

#include <QtWidgets/QLabel>

#include "editor/string_table.h"
#include "editor/ui/control_id.h"
#include "editor/ui/qt_text.h"
#include "editor/ui/resource_init.h"
#include "ui_version_dlg.h"

namespace tqm {

CVersionDlg::CVersionDlg(QWidget* parent) : QDialog(parent) {
    ensureResources();
    Ui::VersionDlg().setupUi(this);
    requireControl<QLabel>(*this, ControlId::VersionText).setText(toQString(loadString(IDS_VERSION)));
    requireControl<QLabel>(*this, ControlId::VersionNotice).setText(toQString(loadString(IDS_VERSION_NOTICE)));
}

}  // namespace tqm
