#include "editor/ui/notice_box.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QMessageBox>

#include "editor/notice_detail.h"
#include "editor/string_table.h"
#include "editor/ui/qt_text.h"

namespace tqm {
namespace {

// Characters per line of a notice's detail.
constexpr int kDetailColumns = 60;

}  // namespace

void showNoticeBox(QWidget* owner, std::int32_t stringId) {
    QMessageBox box(QMessageBox::Warning, toQString(kWindowTitle), toQString(loadString(stringId)), QMessageBox::Ok,
                    owner);
    box.setObjectName(QStringLiteral("notice_%1").arg(stringId));
    const QString detail = QString::fromStdString(noticeDetail(stringId));
    box.setInformativeText(detail);
    // The box would be as narrow as the one-line text above, and a device path in the
    // detail would break over many short lines.
    auto* detailLabel = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    if (detailLabel != nullptr && !detail.isEmpty()) {
        detailLabel->setMinimumWidth(detailLabel->fontMetrics().averageCharWidth() * kDetailColumns);
    }
    box.exec();
}

}  // namespace tqm
