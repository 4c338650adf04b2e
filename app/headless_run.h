#pragma once

#include <signal.h>

#include <iostream>

#include "app/command_line.h"

namespace tqm {

// runHeadless's result when the caller is to run the window.
inline constexpr int kRunWindow = -1;
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUsage = 2;

// The signals that end a run in an orderly way: SIGTERM and SIGINT, and for the
// window SIGHUP as well (the desktop session ends). Empty for the starts that end by
// themselves (registration, help, version, bad options).
sigset_t terminationSignals(CommandAction action);
// Blocks the signals in the calling thread; threads it starts later inherit the mask.
// main calls it before any thread starts, so that no thread ends the process by a
// signal's default action and the signals wait until the program takes them.
bool blockSignals(const sigset_t& set);

// Handles every start that needs no window: registration, unregistration, the
// automation start, help, version and bad options. Returns the process exit code,
// or kRunWindow for a normal start (after printing any warnings to err).
// Blocks on the registry file for the server switches, and for the automation start
// until SIGTERM or SIGINT arrives (waitForTermination).
int runHeadless(const CommandLine& commandLine, std::ostream& out = std::cout, std::ostream& err = std::cerr);

// Blocks until SIGTERM or SIGINT is pending for the process or this thread and takes
// it; the thread's signal mask is restored afterwards. The signals are blocked in
// this thread for the wait; other threads must block them too (main does), or one
// of them may take a signal by its default action. A signal that arrived earlier
// while blocked is taken at once. Returns the signal number, or 0 when the wait
// could not be made.
int waitForTermination();

}  // namespace tqm
