#pragma once

#include <optional>
#include <string>

#include <QtWidgets/QFileDialog>

namespace tqm {

// The file dialog of FILE SAVE and FILE LOAD: the toolkit's own (not the desktop's)
// file dialog, set up for equalizer setting files (".pef") in the process's current
// directory. It never changes the current directory.
class CFileOpenDlg final : public QFileDialog {
    Q_OBJECT

public:
    enum class Kind {
        Save,  // asks before overwriting an existing file
        Load,  // only an existing file can be chosen
    };

    static constexpr const char* kSaveTitle = "File Save";
    static constexpr const char* kLoadTitle = "File Load";
    static constexpr const char* kFilter = "Parametric Equalizer Setting File (*.pef)";
    static constexpr const char* kSuffix = "pef";

    // initialName is the file name offered at the start (empty: none).
    CFileOpenDlg(Kind kind, const QString& initialName, QWidget* owner);

    // Blocks on the dialog's modal loop. The chosen path in the file system's
    // encoding, or nothing when the dialog was cancelled.
    std::optional<std::string> choosePath();
};

}  // namespace tqm
