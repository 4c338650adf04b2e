#pragma once

#include <string>

class QWidget;

namespace tqm {

class EqualizerModel;

// FILE SAVE: while no replies are awaited, asks for a file (offering the time-stamp
// name) and writes the current set's shown values into it. A file that cannot be
// written is reported. Blocks on the file dialog and the message box.
void fileSave(QWidget& owner, EqualizerModel& model);

// FILE LOAD: while no replies are awaited, asks for an existing file and applies it
// to the current set; a rejected file is reported. Blocks on the file dialog, the
// message box and, connected, the paced apply.
void fileLoad(QWidget& owner, EqualizerModel& model);

// FILE LOAD past its dialog: while no replies are awaited, applies the file at path to
// the current set (offline shown at once, connected sent with its read-backs); a
// rejected file is reported. Blocks on the message box and, connected, the paced apply.
void loadSettingFile(QWidget& owner, EqualizerModel& model, const std::string& path);

}  // namespace tqm
