#pragma once

#include <iostream>

#include "editor/command_line.h"

namespace tqm {

// runHeadless's result when the caller is to run the window.
inline constexpr int kRunWindow = -1;
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 2;

// Handles every start that needs no window: registration, unregistration, the
// automation start, help, version and bad options. Returns the process exit code,
// or kRunWindow for a normal start (after printing any warnings to err).
// Blocks on the registry file for the server switches, and for the automation start
// until SIGTERM or SIGINT arrives (waitForTermination).
int runHeadless(const CommandLine& commandLine, std::ostream& out = std::cout, std::ostream& err = std::cerr);

// Blocks until SIGTERM or SIGINT is delivered to the process; the signals' earlier
// handlers and this thread's signal mask are restored afterwards. Safe when other
// threads run: whichever thread takes the signal wakes this one through a pipe.
// Returns the signal number, or 0 when the wait could not be set up.
int waitForTermination();

}  // namespace tqm
