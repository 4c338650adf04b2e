#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "editor/string_table.h"

namespace tqm {

// The version line that --version prints: the version dialog's text.
inline constexpr std::string_view kVersionText = loadString(IDS_VERSION);
inline constexpr std::string_view kProgramName = "tqm4700-peq";

// What a start of the program is asked to do.
enum class CommandAction {
    RunWindow,    // the normal start
    RegServer,    // write the registration entries and end
    UnregServer,  // remove them and end
    Automation,   // started for embedding or automation: no window, run until a signal
    Help,         // print the usage and end
    Version,      // print the version line and end
    Error,        // a bad option: message on stderr, exit code 2
};

// One --port-map override: COM number -> port target (a device path, tcp://HOST:PORT
// or rfc2217://HOST:PORT), for this run only.
struct PortMapOverride {
    int comNumber = 0;
    std::string path;
};

struct CommandLine {
    CommandAction action = CommandAction::RunWindow;
    bool simulate = false;
    bool noSplash = false;
    std::vector<PortMapOverride> portMap;  // in command-line order; a later one wins
    std::string settingsDir;               // --settings-dir: the settings folder; empty: the standard one
    std::string traceFile;                 // --trace: the wire trace's file, "-" for stderr; empty: off
    std::string settingFile;               // the setting file to load at the start; empty: none
    std::string error;                     // what was wrong, for CommandAction::Error
    std::vector<std::string> warnings;     // arguments that were ignored, and why
};

// The registration switch found by the scan of the whole command line.
enum class ServerSwitch { None, RegServer, UnregServer };

inline constexpr int kFirstComNumber = 1;
inline constexpr int kLastComNumber = 20;

// Scans the command line as one string: after each '-' or '/', the rest of the line
// is compared with "UnregServer" and "RegServer" without regard to letter case.
// A switch therefore counts only at the very end of the line.
ServerSwitch findServerSwitch(std::string_view commandLine);

// The arguments after the program name, joined with single blanks.
std::string joinArguments(const std::vector<std::string>& arguments);

// What the parse does with an option it does not know.
enum class UnknownOptions {
    Refuse,         // the result is an Error
    LeaveToToolkit, // a "-word" option is skipped with the argument after it (its value,
                    // if it takes one): it may be one of the toolkit's own (-style,
                    // -platform, ...), taken later; an unknown "--word" is still an Error
};

// Parses the arguments after the program name. The registration scan comes first and
// decides alone; then the options, left to right: --help and --version end the parse,
// the first bad option makes the result an Error.
CommandLine parseCommandLine(const std::vector<std::string>& arguments,
                             UnknownOptions unknown = UnknownOptions::Refuse);
CommandLine parseCommandLine(int argc, const char* const argv[], UnknownOptions unknown = UnknownOptions::Refuse);

// The text that --help prints.
std::string usageText();

}  // namespace tqm
