#pragma once

#include <ostream>
#include <string_view>

#include "app/ctl/ctl_command_line.h"
#include "app/ctl/link_session.h"

namespace tqm {

// What every command is given: the parsed command line and where its results (out)
// and its messages and progress (err) go.
struct CtlContext {
    const CtlOptions& options;
    std::ostream& out;
    std::ostream& err;
    bool progressOnErr = false;  // err is a terminal and --quiet is not given
};

// Runs the command of a parsed command line; returns the exit code. Blocks on the
// transceiver for the commands that use the link. main must have blocked SIGINT and
// SIGTERM in every thread before: the link commands take them from a signalfd.
int runCtl(const CtlContext& context);

int runPorts(const CtlContext& context);
int runCheck(const CtlContext& context);
int runRead(const CtlContext& context);
int runSave(const CtlContext& context);
int runApply(const CtlContext& context);
int runSet(const CtlContext& context);
int runMonitor(const CtlContext& context);
int runFit(const CtlContext& context);

// Writes a message, one "tqm4700-ctl: " line per line of text.
void tell(std::ostream& err, std::string_view text);
// The exit code for a connection that did not come up.
int connectExitCode(LinkResult result);

}  // namespace tqm
