#include <QtWidgets/QApplication>

#include "app/command_line.h"
#include "app/equalizer_app.h"
#include "app/headless_run.h"

int main(int argc, char** argv) {
    // A first look that leaves unknown options to the toolkit decides whether a window
    // is needed at all.
    const tqm::CommandLine first = tqm::parseCommandLine(argc, argv, tqm::UnknownOptions::LeaveToToolkit);
    // Before any thread starts: the signals that end the run wait, in every thread,
    // until the automation start's wait or the window's thread takes them.
    tqm::blockSignals(tqm::terminationSignals(first.action));
    // Registration, automation start, --help, --version and bad values end here,
    // before any window or thread exists, with no display needed.
    if (first.action != tqm::CommandAction::RunWindow) return tqm::runHeadless(first);

    // The toolkit takes its own options (-style, -platform, ...) out of the arguments;
    // what is left must all be ours.
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tqm4700-peq"));
    const tqm::CommandLine commandLine = tqm::parseCommandLine(argc, argv);
    const int headless = tqm::runHeadless(commandLine);
    if (headless != tqm::kRunWindow) return headless;
    tqm::CEqualizerApp app(commandLine);
    return app.run();
}
