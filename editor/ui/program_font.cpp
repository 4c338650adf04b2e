#include "editor/ui/program_font.h"

#include <QtGui/QFont>
#include <QtWidgets/QApplication>

namespace tqm {
namespace {

// A point larger than the windows' own 8 points: menus and boxes read as the desktop's do.
constexpr int kApplicationPointSize = 9;

}  // namespace

void useProgramFont() {
    // Without a class name this also drops the desktop's fonts for single classes
    // (menus, message boxes), which would otherwise win over the application font.
    QApplication::setFont(QFont(QString::fromLatin1(kProgramFontFamily), kApplicationPointSize));
}

}  // namespace tqm
