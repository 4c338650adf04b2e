#include <unistd.h>

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/ctl/ctl_commands.h"
#include "app/headless_run.h"

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const tqm::CtlOptions options = tqm::parseCtlCommandLine(arguments);
    // Before any thread starts: SIGINT and SIGTERM wait, in every thread, until the
    // command takes them at a point where it can stop cleanly.
    tqm::blockSignals(tqm::terminationSignals(tqm::CommandAction::Automation));
    // A reader that goes away shows as a failed write, which ends the command cleanly.
    std::signal(SIGPIPE, SIG_IGN);
    const tqm::CtlContext context{options, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1 && !options.quiet};
    return tqm::runCtl(context);
}
