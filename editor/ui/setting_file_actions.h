#pragma once

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

}  // namespace tqm
