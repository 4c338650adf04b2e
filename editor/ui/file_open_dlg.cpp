#include "editor/ui/file_open_dlg.h"

#include <QtCore/QDir>
#include <QtCore/QFile>

namespace tqm {

CFileOpenDlg::CFileOpenDlg(Kind kind, const QString& initialName, QWidget* owner) : QFileDialog(owner) {
    const bool save = kind == Kind::Save;
    setObjectName(save ? QStringLiteral("file_save_dlg") : QStringLiteral("file_load_dlg"));
    // The toolkit's dialog runs the same everywhere, the offscreen platform included.
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowTitle(QString::fromLatin1(save ? kSaveTitle : kLoadTitle));
    setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    setNameFilter(QString::fromLatin1(kFilter));
    setDefaultSuffix(QString::fromLatin1(kSuffix));
    setDirectory(QDir::currentPath());
    if (!initialName.isEmpty()) selectFile(initialName);
}

std::optional<std::string> CFileOpenDlg::choosePath() {
    if (exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return QFile::encodeName(chosen.first()).toStdString();
}

}  // namespace tqm
