#include <array>

#include "app/command_line.h"
#include "app/engine.h"
#include "app/ctl/ctl_commands.h"

namespace tqm {
namespace {

struct CommandEntry {
    CtlCommand command;
    int (*run)(const CtlContext&);
};

constexpr std::array<CommandEntry, 8> kCommandEntries{{
    {CtlCommand::Ports, &runPorts},
    {CtlCommand::Read, &runRead},
    {CtlCommand::Save, &runSave},
    {CtlCommand::Apply, &runApply},
    {CtlCommand::Set, &runSet},
    {CtlCommand::Check, &runCheck},
    {CtlCommand::Monitor, &runMonitor},
    {CtlCommand::Fit, &runFit},
}};

}  // namespace

void tell(std::ostream& err, std::string_view text) {
    while (!text.empty()) {
        const auto end = text.find('\n');
        err << kCtlProgramName << ": " << text.substr(0, end) << '\n';
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    err.flush();
}

int connectExitCode(LinkResult result) {
    switch (result) {
    case LinkResult::Done: return kCtlExitDone;
    case LinkResult::PortFailed: return kCtlExitPort;
    case LinkResult::Interrupted: return kCtlExitRefused;
    default: return kCtlExitNoAnswer;
    }
}

int runCtl(const CtlContext& context) {
    const CtlOptions& options = context.options;
    switch (options.command) {
    case CtlCommand::Help: context.out << ctlUsageText() << std::flush; return kCtlExitDone;
    case CtlCommand::Version: context.out << kVersionText << '\n' << std::flush; return kCtlExitDone;
    case CtlCommand::Error:
        tell(context.err, options.error);
        context.err << "Try '" << kCtlProgramName << " --help' for more information.\n";
        return kCtlExitUsage;
    default: break;
    }
    std::string traceError;
    if (!options.traceFile.empty() && !Engine::startTrace(options.traceFile, traceError)) {
        tell(context.err, "cannot write the wire trace: " + traceError);
        return kCtlExitRefused;
    }
    for (const CommandEntry& entry : kCommandEntries) {
        if (entry.command == options.command) return entry.run(context);
    }
    return kCtlExitUsage;
}

}  // namespace tqm
