#include "editor/ui/notice_box.h"

#include <QtWidgets/QMessageBox>

#include "editor/string_table.h"
#include "editor/ui/qt_text.h"

namespace tqm {

void showNoticeBox(QWidget* owner, const QString& title, std::int32_t stringId, const QString& detail) {
    QString text = toQString(loadString(stringId));
    if (!detail.isEmpty()) text += QStringLiteral("\n\n") + detail;
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("notice_%1").arg(stringId));
    box.exec();
}

}  // namespace tqm
