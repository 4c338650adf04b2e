#include "editor/ui/setting_file_actions.h"

#include "editor/equalizer_model.h"
#include "editor/setting_file.h"
#include "editor/string_table.h"
#include "editor/ui/file_open_dlg.h"
#include "editor/ui/notice_box.h"

namespace tqm {

void fileSave(QWidget& owner, EqualizerModel& model) {
    if (model.pendingReplies() != 0) return;
    CFileOpenDlg dialog(CFileOpenDlg::Kind::Save, QString::fromStdString(SettingFile::defaultNameNow()), &owner);
    const auto path = dialog.choosePath();
    if (!path) return;
    switch (SettingFile::save(*path, model)) {
        case SaveResult::Saved:
        case SaveResult::Busy:
            return;
        case SaveResult::PathTooLong:
        case SaveResult::Failed:
            showNoticeBox(&owner, IDS_SAVE_FAILED);
            return;
    }
}

void fileLoad(QWidget& owner, EqualizerModel& model) {
    if (model.pendingReplies() != 0) return;
    CFileOpenDlg dialog(CFileOpenDlg::Kind::Load, QString(), &owner);
    const auto path = dialog.choosePath();
    if (path) loadSettingFile(owner, model, *path);
}

void loadSettingFile(QWidget& owner, EqualizerModel& model, const std::string& path) {
    if (SettingFile::load(path, model) == LoadResult::Rejected) {
        showNoticeBox(&owner, IDS_INPUT_RANGE);
    }
}

}  // namespace tqm
