#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tqm {

inline constexpr std::string_view kCtlProgramName = "tqm4700-ctl";

// The exit codes of tqm4700-ctl.
inline constexpr int kCtlExitDone = 0;
inline constexpr int kCtlExitRefused = 1;    // a file or values refused, values not reached, interrupted
inline constexpr int kCtlExitUsage = 2;
inline constexpr int kCtlExitPort = 3;       // the port cannot be opened
inline constexpr int kCtlExitNoAnswer = 4;   // no answer, another model, or switched off

enum class CtlCommand { Ports, Read, Save, Apply, Set, Check, Monitor, Fit, Help, Version, Error };
enum class CtlFormat { Text, Json, Pef };

// --set all: the three sets.
inline constexpr int kCtlAllSets = 3;

struct CtlOptions {
    CtlCommand command = CtlCommand::Error;
    std::optional<int> port;               // --port: a COM number 1..20
    std::string device;                    // --device: mapped onto the COM number in use
    std::optional<int> baud;               // --baud
    std::string settingsDir;               // --settings-dir; empty for the default
    std::string traceFile;                 // --trace: the wire trace's file, "-" for stderr; empty: off
    std::chrono::milliseconds timeout{5000};
    bool quiet = false;
    int set = kCtlAllSets;                 // --set: 0..2 for F, R, P, or all
    CtlFormat format = CtlFormat::Text;
    std::string voiceFile;                 // fit --voice: the recording
    std::string targetName;                // fit --target
    std::string fromFile;                  // fit --from: the set's values from a setting file
    bool applyFit = false;                 // fit --apply
    std::vector<std::string> arguments;    // the command's arguments, in order
    std::string error;                     // what was wrong, for CtlCommand::Error
};

// Parses the arguments after the program name: options anywhere (--name VALUE or
// --name=VALUE, "--" ends them), the first other argument is the command, the rest
// its arguments. Checks what each command takes; any problem makes it an Error.
CtlOptions parseCtlCommandLine(const std::vector<std::string>& arguments);

// The text that --help prints.
std::string ctlUsageText();

}  // namespace tqm
