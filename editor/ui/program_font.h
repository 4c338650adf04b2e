#pragma once

namespace tqm {

// The one font family of the program's windows, which their templates name.
inline constexpr const char* kProgramFontFamily = "Liberation Sans";

// Makes the program's font family the application font, so that what the templates
// do not cover (menus, message boxes, file dialogs, tooltips) shows it too, instead
// of the desktop's font for each class of widget. Call before the first window.
void useProgramFont();

}  // namespace tqm
