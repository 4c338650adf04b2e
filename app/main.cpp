#include <QtWidgets/QApplication>

#include "app/command_line.h"
#include "app/equalizer_app.h"
#include "app/headless_run.h"

int main(int argc, char** argv) {
    const tqm::CommandLine commandLine = tqm::parseCommandLine(argc, argv);
    // Before any thread starts: the signals that end the run wait, in every thread,
    // until the automation start's wait or the window's thread takes them.
    tqm::blockSignals(tqm::terminationSignals(commandLine.action));
    // Registration, automation start, --help, --version and bad options end here,
    // before any window or thread exists.
    const int headless = tqm::runHeadless(commandLine);
    if (headless != tqm::kRunWindow) return headless;

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tqm4700-peq"));
    tqm::CEqualizerApp app(commandLine);
    return app.run();
}
