#include "editor/ui/setting_file_actions.h"

#include <QtWidgets/QMessageBox>

#include "editor/setting_file.h"
#include "editor/string_table.h"
#include "editor/ui/equalizer_dlg.h"
#include "editor/ui/file_open_dlg.h"
#include "editor/ui/qt_text.h"

namespace tqm {

namespace {

// Blocks until the operator closes the box.
void showNotice(CEqualizerDlg& window, std::int32_t stringId) {
    QMessageBox box(QMessageBox::Warning, window.windowTitle(), toQString(loadString(stringId)), QMessageBox::Ok,
                    &window);
    box.setObjectName(QStringLiteral("notice_%1").arg(stringId));
    box.exec();
}

}  // namespace

void fileSave(CEqualizerDlg& window) {
    EqualizerModel& model = window.model();
    if (model.pendingReplies() != 0) return;
    CFileOpenDlg dialog(CFileOpenDlg::Kind::Save, QString::fromStdString(SettingFile::defaultNameNow()), &window);
    const auto path = dialog.choosePath();
    if (!path) return;
    switch (SettingFile::save(*path, model)) {
        case SaveResult::Saved:
        case SaveResult::Busy:
            return;
        case SaveResult::PathTooLong:
        case SaveResult::Failed:
            showNotice(window, IDS_SAVE_FAILED);
            return;
    }
}

void fileLoad(CEqualizerDlg& window) {
    EqualizerModel& model = window.model();
    if (model.pendingReplies() != 0) return;
    CFileOpenDlg dialog(CFileOpenDlg::Kind::Load, QString(), &window);
    const auto path = dialog.choosePath();
    if (!path) return;
    if (SettingFile::load(*path, model) == LoadResult::Rejected) showNotice(window, IDS_INPUT_RANGE);
}

}  // namespace tqm
