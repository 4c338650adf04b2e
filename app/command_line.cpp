#include "app/command_line.h"

#include <initializer_list>
#include <string_view>

#include <algorithm>
#include <array>
#include <charconv>

#include "platform/port_target.h"

namespace tqm {

namespace {

// Joins pieces of a message (the "literal" + std::string form trips a false
// -Wrestrict warning of g++ 12 at -O3).
std::string joinText(std::initializer_list<std::string_view> pieces) {
    std::string text;
    for (std::string_view piece : pieces) text.append(piece);
    return text;
}


enum class LongOption { Help, Version, Simulate, NoSplash, PortMap, SettingsDir, Trace };

struct LongOptionEntry {
    std::string_view name;
    LongOption option;
    bool takesValue;
};

constexpr std::array<LongOptionEntry, 7> kLongOptions{{
    {"help", LongOption::Help, false},
    {"version", LongOption::Version, false},
    {"simulate", LongOption::Simulate, false},
    {"no-splash", LongOption::NoSplash, false},
    {"port-map", LongOption::PortMap, true},
    {"settings-dir", LongOption::SettingsDir, true},
    {"trace", LongOption::Trace, true},
}};

// The framework's switches for a start by the system on behalf of a client.
constexpr std::array<std::string_view, 2> kAutomationSwitches{"Embedding", "Automation"};

struct ServerSwitchEntry {
    std::string_view word;
    ServerSwitch value;
};

// UnregServer is compared first, as the registration scan always has.
constexpr std::array<ServerSwitchEntry, 2> kServerSwitches{{
    {"UnregServer", ServerSwitch::UnregServer},
    {"RegServer", ServerSwitch::RegServer},
}};

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

bool isSwitchMark(char c) {
    return c == '-' || c == '/';
}

ServerSwitch serverSwitchWord(std::string_view word) {
    for (const ServerSwitchEntry& entry : kServerSwitches) {
        if (equalNoCase(word, entry.word)) return entry.value;
    }
    return ServerSwitch::None;
}

bool isAutomationWord(std::string_view word) {
    return std::any_of(kAutomationSwitches.begin(), kAutomationSwitches.end(),
                       [word](std::string_view s) { return equalNoCase(word, s); });
}

const LongOptionEntry* findLongOption(std::string_view name) {
    const auto it = std::find_if(kLongOptions.begin(), kLongOptions.end(),
                                 [name](const LongOptionEntry& e) { return e.name == name; });
    return it == kLongOptions.end() ? nullptr : &*it;
}

// Longer values are shortened in messages.
constexpr std::size_t kQuotedValueLength = 60;

std::string quotedValue(std::string_view value) {
    if (value.size() <= kQuotedValueLength) return joinText({"'", value, "'"});
    return joinText({"'", value.substr(0, kQuotedValueLength), "...' (", std::to_string(value.size()), " characters)"});
}

// "N=TARGET" with N from 1 to 20 and a port target that can be used; what is wrong otherwise.
std::string portMapProblem(std::string_view text, PortMapOverride& out) {
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) return "expected N=PATH";
    int number = 0;
    const char* first = text.data();
    const char* last = text.data() + equals;
    const auto [end, error] = std::from_chars(first, last, number);
    if (equals == 0 || error != std::errc() || end != last || number < kFirstComNumber || number > kLastComNumber) {
        return "the COM number N must be one of 1 to 20";
    }
    const PortTargetParse target = parsePortTarget(text.substr(equals + 1));
    if (!target.ok()) return target.problem;
    out.comNumber = number;
    out.path = target.target.text;
    return {};
}

class Parser {
public:
    Parser(const std::vector<std::string>& arguments, UnknownOptions unknown)
        : m_arguments(arguments), m_unknown(unknown) {}

    CommandLine run() {
        bool automation = false;
        for (m_index = 0; m_index < m_arguments.size() && !m_done; ++m_index) {
            const std::string_view argument = m_arguments[m_index];
            if (argument.starts_with("--")) {
                longOption(argument.substr(2));
            } else if (argument == "-h") {
                finish(CommandAction::Help);
            } else if (argument.size() > 1 && isSwitchMark(argument.front())) {
                automation = switchWord(argument) || automation;
            } else {
                bareArgument(argument);
            }
        }
        if (!m_done && automation) m_result.action = CommandAction::Automation;
        return std::move(m_result);
    }

private:
    void finish(CommandAction action) {
        m_result.action = action;
        m_done = true;
    }

    void fail(std::string message) {
        m_result.error = std::move(message);
        finish(CommandAction::Error);
    }

    // An option the program does not know: an error, or skipped for the toolkit.
    void unknownOption(std::string message) {
        if (m_unknown == UnknownOptions::Refuse) return fail(std::move(message));
        m_skippingValue = true;
    }

    // A "-word" or "/word" argument; true for an automation switch.
    bool switchWord(std::string_view argument) {
        const std::string_view word = argument.substr(1);
        m_skippingValue = false;
        if (isAutomationWord(word)) return true;
        if (serverSwitchWord(word) != ServerSwitch::None) {
            m_result.warnings.push_back(joinText({"'", argument, "' counts only as the last argument; ignored"}));
        } else if (argument.front() == '-') {
            unknownOption(joinText({"unrecognized option '", argument, "'"}));
        } else {
            bareArgument(argument);  // an absolute path
        }
        return false;
    }

    // An argument that is no option: the value of an option left to the toolkit, else
    // the setting file to load; any further one is ignored.
    void bareArgument(std::string_view argument) {
        if (m_skippingValue) {
            m_skippingValue = false;
        } else if (m_result.settingFile.empty()) {
            m_result.settingFile = std::string(argument);
        } else {
            m_result.warnings.push_back(joinText({"ignoring the argument '", argument, "'"}));
        }
    }

    void longOption(std::string_view text) {
        const auto equals = text.find('=');
        const std::string_view name = text.substr(0, equals);
        const LongOptionEntry* entry = findLongOption(name);
        m_skippingValue = false;
        // Ours are the long options: an unknown one is a mistake whoever reads it.
        if (entry == nullptr) return fail(joinText({"unrecognized option '--", text, "'"}));
        std::string_view value;
        if (equals != std::string_view::npos) {
            if (!entry->takesValue) return fail(joinText({"option '--", name, "' takes no value"}));
            value = text.substr(equals + 1);
        } else if (entry->takesValue) {
            if (m_index + 1 >= m_arguments.size()) return fail(joinText({"option '--", name, "' needs a value"}));
            value = m_arguments[++m_index];
        }
        apply(entry->option, value);
    }

    void apply(LongOption option, std::string_view value) {
        switch (option) {
        case LongOption::Help: return finish(CommandAction::Help);
        case LongOption::Version: return finish(CommandAction::Version);
        case LongOption::Simulate: m_result.simulate = true; return;
        case LongOption::NoSplash: m_result.noSplash = true; return;
        case LongOption::PortMap: return portMap(value);
        case LongOption::SettingsDir: return settingsDir(value);
        case LongOption::Trace:
            if (value.empty()) return fail("option '--trace' needs a file name ('-' for standard error)");
            m_result.traceFile = std::string(value);
            return;
        }
    }

    void portMap(std::string_view value) {
        PortMapOverride entry;
        const std::string problem = portMapProblem(value, entry);
        if (!problem.empty()) return fail(joinText({"bad --port-map value ", quotedValue(value), ": ", problem}));
        m_result.portMap.push_back(std::move(entry));
    }

    void settingsDir(std::string_view value) {
        if (value.empty()) return fail("option '--settings-dir' needs a folder");
        m_result.settingsDir = std::string(value);
    }

    const std::vector<std::string>& m_arguments;
    UnknownOptions m_unknown;
    std::size_t m_index = 0;
    bool m_done = false;
    bool m_skippingValue = false;  // the next bare argument may be the value of an option left to the toolkit
    CommandLine m_result;
};

}  // namespace

ServerSwitch findServerSwitch(std::string_view commandLine) {
    for (auto mark = commandLine.find_first_of("-/"); mark != std::string_view::npos;
         mark = commandLine.find_first_of("-/", mark + 1)) {
        const ServerSwitch found = serverSwitchWord(commandLine.substr(mark + 1));
        if (found != ServerSwitch::None) return found;
    }
    return ServerSwitch::None;
}

std::string joinArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        line += argument;
    }
    return line;
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments, UnknownOptions unknown) {
    CommandLine line;
    switch (findServerSwitch(joinArguments(arguments))) {
    case ServerSwitch::RegServer: line.action = CommandAction::RegServer; return line;
    case ServerSwitch::UnregServer: line.action = CommandAction::UnregServer; return line;
    case ServerSwitch::None: break;
    }
    return Parser(arguments, unknown).run();
}

CommandLine parseCommandLine(int argc, const char* const argv[], UnknownOptions unknown) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return parseCommandLine(arguments, unknown);
}

std::string usageText() {
    return R"(Usage: tqm4700-peq [OPTION]... [FILE.pef]
Edit the three-band parametric microphone equalizer of a ZR-4700 transceiver
over a serial line. A setting file given is loaded into the shown set at the
start, as FILE LOAD loads it.

Options:
      --simulate         run on the built-in simulated transceiver, bound to
                         the current COM number
      --no-splash        do not show the splash window at start
      --port-map N=PATH  use PATH for COM number N (1 to 20) in this run; may
                         be given more than once. PATH is a device path,
                         tcp://HOST:PORT (a raw serial server) or
                         rfc2217://HOST:PORT (Telnet COM Port Control)
      --settings-dir DIR keep the port settings and the port map in DIR/CommoFiles
                         instead of the standard settings folder
      --trace FILE       write every command and reply on the line to FILE,
                         one line each ('-' for standard error)
  -h, --help             show this help and exit
      --version          show the version and exit

Server switches (after '-' or '/', in any letter case):
  -RegServer             write the program's registration entries and exit;
                         counts only as the last argument
  -UnregServer           remove them and exit; counts only as the last argument
  -Embedding, -Automation
                         start without a window and run until SIGTERM or SIGINT

Files:
  $XDG_DATA_HOME/tqm4700-peq/registry.reg
                         the registration entries (TQM_REGISTRY_FILE overrides)
  $XDG_CONFIG_HOME/tqm4700-peq/CommoFiles/CommSetting.csv
                         port, baud rate and shown equalizer set
                         (XDG_CONFIG_HOME defaults to ~/.config)
  $XDG_CONFIG_HOME/tqm4700-peq/CommoFiles/PortMap.csv
                         lines "N,PATH": the device path or network target of
                         a COM number (Setup > Ports... writes it)

The toolkit's own options (-style NAME, -platform NAME, ...) are taken as well.

Exit status: 0 on success, 1 when a server switch could not update the registry
file (it says why), 2 for a bad option.
)";
}

}  // namespace tqm
