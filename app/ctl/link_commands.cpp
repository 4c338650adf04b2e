// The commands that use the transceiver once: read, save, apply, set and fit.
#include <cerrno>
#include <cstring>
#include <optional>

#include "app/ctl/ctl_commands.h"
#include "app/ctl/equalizer_text.h"
#include "app/ctl/voice_fit.h"
#include "editor/setting_file.h"
#include "editor/string_table.h"

namespace tqm {
namespace {

// The session of one link command: settings, signals, progress and the link.
class LinkCommand final {
public:
    explicit LinkCommand(const CtlContext& context)
        : m_context(context),
          m_settings(loadLinkSettings(context.options, context.err, context.options.quiet)),
          m_progress(context.err, context.progressOnErr),
          m_session(m_settings, context.options.timeout, m_signals, m_progress) {}

    // Blocks until connected with the values read. The exit code when that failed.
    std::optional<int> connect() {
        if (!m_settings.error.empty()) {
            tell(m_context.err, m_settings.error);
            return kCtlExitUsage;
        }
        const LinkResult result = m_session.connect();
        if (result == LinkResult::Done) return std::nullopt;
        m_session.finish();
        tell(m_context.err, m_session.failureText(result));
        return connectExitCode(result);
    }
    LinkSession& session() { return m_session; }

private:
    const CtlContext& m_context;
    LinkSettings m_settings;
    TerminationSignals m_signals;
    ProgressLine m_progress;
    LinkSession m_session;
};

// Tells how an apply ended; the exit code.
int reportApply(const CtlContext& context, int set, const ApplyReport& report, const std::string& failure) {
    const std::string letter(setLetter(set));
    if (report.refused) {
        tell(context.err, loadString(IDS_INPUT_RANGE));
        return kCtlExitRefused;
    }
    if (report.verified && report.notApplied().empty()) {
        context.out << letter << ": "
                    << (report.differing.empty() ? "the transceiver holds these values already; nothing was sent"
                                                 : "applied " + assignmentList(report.differing, report.target))
                    << '\n'
                    << std::flush;
        return kCtlExitDone;
    }
    const std::vector<int> applied = report.applied();
    const std::vector<int> missing = report.notApplied();
    std::string text = report.result == LinkResult::Done ? "the transceiver did not take every value" : failure;
    text += "\n" + letter + ": applied: " + (applied.empty() ? "none" : assignmentList(applied, report.target));
    text += "\n" + letter + ": not applied: " + assignmentList(missing, report.target);
    text += "\n" + letter + ": the transceiver reports: " + assignmentList(missing, report.after);
    tell(context.err, text);
    return kCtlExitRefused;
}

int applyValues(const CtlContext& context, const EqualizerValues* values, const std::vector<std::pair<int, std::int32_t>>& changes) {
    const int set = context.options.set;
    const std::string file = values != nullptr ? context.options.arguments.front() : std::string();
    LinkCommand command(context);
    if (const auto failed = command.connect()) return *failed;
    EqualizerValues target = values != nullptr ? *values : LinkSession::values(set);
    for (const auto& [p, value] : changes) target[p] = value;
    const ApplyReport report = command.session().apply(set, target, file);
    const std::string failure = command.session().failureText(report.result);
    command.session().finish();
    return reportApply(context, set, report, failure);
}

}  // namespace

int runRead(const CtlContext& context) {
    LinkCommand command(context);
    if (const auto failed = command.connect()) return *failed;
    std::vector<SetValues> sets;
    for (int set = 0; set < kEqualizerSets; ++set) {
        if (context.options.set == kCtlAllSets || context.options.set == set) sets.push_back({set, LinkSession::values(set)});
    }
    command.session().finish();
    writeSets(context.out, sets, context.options.format);
    context.out.flush();
    return kCtlExitDone;
}

int runSave(const CtlContext& context) {
    const std::string& path = context.options.arguments.front();
    LinkCommand command(context);
    if (const auto failed = command.connect()) return *failed;
    EqualizerModel& model = command.session().window().model();
    model.selectSet(context.options.set);
    errno = 0;
    const SaveResult result = SettingFile::save(path, model);
    const int error = errno;
    command.session().finish();
    if (result == SaveResult::Saved) return kCtlExitDone;
    std::string text = std::string(loadString(IDS_SAVE_FAILED)) + "\n" + path + ": ";
    text += result == SaveResult::PathTooLong ? "the path is too long"
                                              : (error != 0 ? std::strerror(error) : "it cannot be written");
    tell(context.err, text);
    return kCtlExitRefused;
}

int runApply(const CtlContext& context) {
    const std::string& path = context.options.arguments.front();
    EqualizerValues values;
    std::string reason;
    // A refused file puts nothing on the line: it is checked before the port opens.
    if (!SettingFile::check(path, values, reason)) {
        tell(context.err, std::string(loadString(IDS_INPUT_RANGE)) + "\n" + path + ": " + reason);
        return kCtlExitRefused;
    }
    return applyValues(context, &values, {});
}

int runSet(const CtlContext& context) {
    std::vector<std::pair<int, std::int32_t>> changes;
    for (const std::string& argument : context.options.arguments) {
        int p = 0;
        std::int32_t value = 0;
        std::string problem;
        switch (parseAssignment(argument, p, value, problem)) {
        case AssignmentResult::Taken: changes.emplace_back(p, value); break;
        case AssignmentResult::Malformed: tell(context.err, problem); return kCtlExitUsage;
        case AssignmentResult::OutOfRange:
            tell(context.err, std::string(loadString(IDS_INPUT_RANGE)) + "\n" + problem);
            return kCtlExitRefused;
        }
    }
    return applyValues(context, nullptr, changes);
}

// The recording, the target and a --from file are checked before the port opens.
int runFit(const CtlContext& context) {
    const int set = context.options.set;
    FitInput input;
    if (const auto failed = loadFitInput(context, input)) return *failed;
    const std::string& from = context.options.fromFile;
    if (!from.empty()) {
        EqualizerValues current;
        std::string reason;
        if (!SettingFile::check(from, current, reason)) {
            tell(context.err, std::string(loadString(IDS_INPUT_RANGE)) + "\n" + from + ": " + reason);
            return kCtlExitRefused;
        }
        writeFitProposal(context, set, fitEqualizer(input.voice, input.target, current));
        return kCtlExitDone;
    }
    LinkCommand command(context);
    if (const auto failed = command.connect()) return *failed;
    const FitProposal proposal = fitEqualizer(input.voice, input.target, LinkSession::values(set));
    writeFitProposal(context, set, proposal);
    if (!context.options.applyFit) {
        command.session().finish();
        return kCtlExitDone;
    }
    const ApplyReport report = command.session().apply(set, proposal.values);
    const std::string failure = command.session().failureText(report.result);
    command.session().finish();
    return reportApply(context, set, report, failure);
}

}  // namespace tqm
