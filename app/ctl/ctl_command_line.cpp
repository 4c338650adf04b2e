#include "app/ctl/ctl_command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <initializer_list>

namespace tqm {
namespace {

std::string joinText(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text.append(piece);
    return text;
}

enum class Option { Port, Device, Baud, SettingsDir, Trace, Timeout, Quiet, Set, Format, Voice, Target, From, Apply, Help, Version };

struct OptionRow {
    std::string_view name;
    Option option;
    bool takesValue;
};

constexpr std::array<OptionRow, 15> kOptions{{
    {"port", Option::Port, true},
    {"device", Option::Device, true},
    {"baud", Option::Baud, true},
    {"settings-dir", Option::SettingsDir, true},
    {"trace", Option::Trace, true},
    {"timeout", Option::Timeout, true},
    {"quiet", Option::Quiet, false},
    {"set", Option::Set, true},
    {"format", Option::Format, true},
    {"voice", Option::Voice, true},
    {"target", Option::Target, true},
    {"from", Option::From, true},
    {"apply", Option::Apply, false},
    {"help", Option::Help, false},
    {"version", Option::Version, false},
}};

// What --set a command takes; OneOrF: one set, F when none is given.
enum class SetRule { None, Any, One, OneOrF };

constexpr unsigned formatBit(CtlFormat format) { return 1U << static_cast<unsigned>(format); }
constexpr unsigned kTextJson = formatBit(CtlFormat::Text) | formatBit(CtlFormat::Json);
constexpr unsigned kAllFormats = kTextJson | formatBit(CtlFormat::Pef);

struct CommandRow {
    std::string_view name;
    CtlCommand command;
    std::size_t minArguments;
    std::size_t maxArguments;
    SetRule set;
    unsigned formats;
};

constexpr std::size_t kMany = 27;

constexpr std::array<CommandRow, 8> kCommands{{
    {"ports", CtlCommand::Ports, 0, 0, SetRule::None, kTextJson},
    {"read", CtlCommand::Read, 0, 0, SetRule::Any, kAllFormats},
    {"save", CtlCommand::Save, 1, 1, SetRule::One, formatBit(CtlFormat::Text)},
    {"apply", CtlCommand::Apply, 1, 1, SetRule::One, formatBit(CtlFormat::Text)},
    {"set", CtlCommand::Set, 1, kMany, SetRule::One, formatBit(CtlFormat::Text)},
    {"check", CtlCommand::Check, 1, 1, SetRule::None, kAllFormats},
    {"monitor", CtlCommand::Monitor, 0, 0, SetRule::None, kTextJson},
    {"fit", CtlCommand::Fit, 0, 0, SetRule::OneOrF, formatBit(CtlFormat::Text)},
}};

struct NamedValue {
    std::string_view name;
    int value;
};

constexpr std::array<NamedValue, 4> kSetNames{{{"F", 0}, {"R", 1}, {"P", 2}, {"all", kCtlAllSets}}};
constexpr std::array<NamedValue, 3> kFormatNames{{{"text", static_cast<int>(CtlFormat::Text)},
                                                   {"json", static_cast<int>(CtlFormat::Json)},
                                                   {"pef", static_cast<int>(CtlFormat::Pef)}}};
constexpr std::array<int, 4> kBaudRates{4800, 9600, 19200, 38400};
constexpr double kMaxTimeoutSeconds = 3600.0;

bool equalNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

template <std::size_t N>
std::optional<int> findName(const std::array<NamedValue, N>& table, std::string_view name) {
    for (const NamedValue& row : table) {
        if (equalNoCase(row.name, name)) return row.value;
    }
    return std::nullopt;
}

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& arguments) : m_arguments(arguments) {}

    CtlOptions run() {
        std::optional<std::string_view> command;
        bool optionsEnded = false;
        for (m_index = 0; m_index < m_arguments.size() && !failed(); ++m_index) {
            const std::string_view argument = m_arguments[m_index];
            if (!optionsEnded && argument == "--") {
                optionsEnded = true;
            } else if (!optionsEnded && argument.starts_with("--")) {
                longOption(argument.substr(2));
            } else if (!optionsEnded && argument == "-h") {
                m_help = true;
            } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-' && !isNumber(argument)) {
                fail(joinText({"unrecognized option '", argument, "'"}));
            } else if (!command) {
                command = argument;
            } else {
                m_result.arguments.emplace_back(argument);
            }
        }
        if (!failed() && m_help) m_result.command = CtlCommand::Help;
        if (!failed() && m_version) m_result.command = CtlCommand::Version;
        if (!failed() && !m_help && !m_version) checkCommand(command);
        return std::move(m_result);
    }

private:
    static bool isNumber(std::string_view text) {
        double ignored = 0;
        return parseNumber(text, ignored);
    }

    bool failed() const { return !m_result.error.empty(); }
    void fail(std::string message) {
        if (!failed()) m_result.error = std::move(message);
        m_result.command = CtlCommand::Error;
    }

    void longOption(std::string_view text) {
        const auto equals = text.find('=');
        const std::string_view name = text.substr(0, equals);
        const auto row = std::find_if(kOptions.begin(), kOptions.end(), [name](const OptionRow& r) { return r.name == name; });
        if (row == kOptions.end()) return fail(joinText({"unrecognized option '--", text, "'"}));
        std::string_view value;
        if (equals != std::string_view::npos) {
            if (!row->takesValue) return fail(joinText({"option '--", name, "' takes no value"}));
            value = text.substr(equals + 1);
        } else if (row->takesValue) {
            if (m_index + 1 >= m_arguments.size()) return fail(joinText({"option '--", name, "' needs a value"}));
            value = m_arguments[++m_index];
        }
        if (!apply(row->option, value)) fail(joinText({"bad value '", value, "' for --", name, valueHint(row->option)}));
    }

    static std::string_view valueHint(Option option) {
        switch (option) {
        case Option::Port: return ": a COM number from 1 to 20";
        case Option::Baud: return ": 4800, 9600, 19200 or 38400";
        case Option::Timeout: return ": seconds, above 0 and up to 3600";
        case Option::Set: return ": F, R, P or all";
        case Option::Format: return ": text, json or pef";
        default: return "";
        }
    }

    bool apply(Option option, std::string_view value) {
        switch (option) {
        case Option::Port: return setPort(value);
        case Option::Device: m_result.device = std::string(value); return !value.empty();
        case Option::Baud: return setBaud(value);
        case Option::SettingsDir: m_result.settingsDir = std::string(value); return !value.empty();
        case Option::Trace: m_result.traceFile = std::string(value); return !value.empty();
        case Option::Timeout: return setTimeout(value);
        case Option::Quiet: m_result.quiet = true; return true;
        case Option::Set: return setNamed(kSetNames, value, m_result.set, m_setGiven);
        case Option::Format: return setFormat(value);
        case Option::Voice: m_result.voiceFile = std::string(value); return fitOption(!value.empty());
        case Option::Target: m_result.targetName = std::string(value); return fitOption(!value.empty());
        case Option::From: m_result.fromFile = std::string(value); return fitOption(!value.empty());
        case Option::Apply: m_result.applyFit = true; return fitOption(true);
        case Option::Help: m_help = true; return true;
        case Option::Version: m_version = true; return true;
        }
        return false;
    }

    bool fitOption(bool valid) {
        m_fitOptionGiven = true;
        return valid;
    }

    bool setPort(std::string_view value) {
        int port = 0;
        if (!parseNumber(value, port) || port < 1 || port > 20) return false;
        m_result.port = port;
        return true;
    }

    bool setBaud(std::string_view value) {
        int baud = 0;
        if (!parseNumber(value, baud) || std::find(kBaudRates.begin(), kBaudRates.end(), baud) == kBaudRates.end()) return false;
        m_result.baud = baud;
        return true;
    }

    bool setTimeout(std::string_view value) {
        double seconds = 0;
        if (!parseNumber(value, seconds) || !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxTimeoutSeconds) return false;
        m_result.timeout = std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000.0)));
        return true;
    }

    template <std::size_t N>
    static bool setNamed(const std::array<NamedValue, N>& table, std::string_view value, int& target, bool& given) {
        const auto found = findName(table, value);
        if (!found) return false;
        target = *found;
        given = true;
        return true;
    }

    bool setFormat(std::string_view value) {
        int format = 0;
        if (!setNamed(kFormatNames, value, format, m_formatGiven)) return false;
        m_result.format = static_cast<CtlFormat>(format);
        return true;
    }

    void checkCommand(std::optional<std::string_view> name) {
        if (!name) return fail("no command given");
        const auto row = std::find_if(kCommands.begin(), kCommands.end(), [&](const CommandRow& r) { return r.name == *name; });
        if (row == kCommands.end()) return fail(joinText({"unknown command '", *name, "'"}));
        m_result.command = row->command;
        const std::size_t count = m_result.arguments.size();
        if (count < row->minArguments) return fail(joinText({"'", row->name, "' needs ", row->minArguments > 1 ? "arguments" : "an argument"}));
        if (count > row->maxArguments) return fail(joinText({"too many arguments for '", row->name, "'"}));
        if (m_setGiven && row->set == SetRule::None) return fail(joinText({"'", row->name, "' takes no --set"}));
        if (row->set == SetRule::One && (!m_setGiven || m_result.set == kCtlAllSets)) {
            return fail(joinText({"'", row->name, "' needs --set F, R or P"}));
        }
        if (row->set == SetRule::OneOrF) {
            if (m_setGiven && m_result.set == kCtlAllSets) return fail(joinText({"'", row->name, "' needs one set: F, R or P"}));
            if (!m_setGiven) m_result.set = 0;
        }
        if (m_fitOptionGiven && row->command != CtlCommand::Fit) {
            return fail(joinText({"'", row->name, "' takes no --voice, --target, --from or --apply"}));
        }
        if (row->command == CtlCommand::Fit) checkFit();
        if (m_formatGiven && (row->formats & formatBit(m_result.format)) == 0) {
            return fail(joinText({"'", row->name, "' does not take this --format"}));
        }
        if (row->command == CtlCommand::Read && m_result.format == CtlFormat::Pef && m_result.set == kCtlAllSets) {
            fail("--format pef holds one set: give --set F, R or P");
        }
    }

    void checkFit() {
        if (m_result.voiceFile.empty() || m_result.targetName.empty()) return fail("'fit' needs --voice FILE and --target NAME");
        if (m_result.applyFit && !m_result.fromFile.empty()) return fail("'fit' takes --apply or --from, not both");
    }

    const std::vector<std::string>& m_arguments;
    std::size_t m_index = 0;
    bool m_fitOptionGiven = false;
    bool m_help = false;
    bool m_version = false;
    bool m_setGiven = false;
    bool m_formatGiven = false;
    CtlOptions m_result;
};

}  // namespace

CtlOptions parseCtlCommandLine(const std::vector<std::string>& arguments) { return Parser(arguments).run(); }

std::string ctlUsageText() {
    return R"(Usage: tqm4700-ctl [OPTION]... COMMAND [ARGUMENT]...
Read, save, apply, check and watch the microphone equalizer of a ZR-4700
transceiver from the command line, with the same link, checks and file rules as
the tqm4700-peq window.

Commands:
  ports                    each COM number with its device and whether it is
                           there, and the serial devices found
  read [--set F|R|P|all] [--format text|json|pef]
                           print the transceiver's values (default: all sets)
  save --set S FILE.pef    write set S to a setting file
  apply --set S FILE.pef   put a setting file on set S: only the values that
                           differ are sent, then the set is read and checked
  set --set S BAND.PARAM=VALUE...
                           the same for single values, e.g. EQ2.LEVEL=-3
                           EQ1.FREQ=700 EQ3.FREQ=OFF EQ3.BWTH=4
  check FILE.pef           check a setting file without the transceiver
  monitor [--format text|json]
                           print every change the transceiver reports until
                           SIGINT or SIGTERM
  fit --voice FILE --target NAME [--set S] [--apply | --from FILE.pef]
                           propose the values of set S (default F) that bring
                           the voice in FILE (WAV, FLAC or OGG) through the
                           equalizer closest to the target, with the residual
                           before and after in dB RMS; the set's values are
                           read from the transceiver, or from FILE.pef without
                           it; --apply applies the proposal as apply does.
                           Targets: "Flat 100-2900 Hz", "DX: low cut, presence
                           boost", "Rag chew: warm", and every file in targets/
                           of the settings folder (one "hz db" pair per line)

Options:
      --port N             the COM number (1 to 20), mapped to a device as in
                           the window (default: the window's port)
      --device PATH        use this device for the COM number in use
      --baud N             4800, 9600, 19200 or 38400 (default: the window's)
      --settings-dir DIR   where CommoFiles/ with the port settings and the port
                           map is (default: the window's settings)
      --trace FILE         write every command and reply on the line to FILE,
                           one line each ('-' for standard error)
      --timeout SECONDS    how long to wait for the transceiver to answer the
                           connection, and between replies (default 5)
      --quiet              no progress and no warnings on standard error
      --set F|R|P|all      the equalizer set
      --format text|json|pef
                           how values are printed (default text)
      --voice FILE         fit: the recording of the operator's voice
      --target NAME        fit: the target curve
      --from FILE.pef      fit: the set's current values from a setting file
      --apply              fit: apply the proposal
  -h, --help               show this help and exit
      --version            show the version and exit

Exit status: 0 done; 1 the file or the values were refused, the transceiver did
not end up with the values asked for, or an interrupt stopped the command; 2 bad
usage; 3 the port cannot be opened; 4 no answer, another model, or the
transceiver is switched off.
)";
}

}  // namespace tqm
