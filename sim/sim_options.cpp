#include "sim/sim_options.h"

#include <charconv>
#include <cmath>

namespace tqm::sim {
namespace {

enum class OptionId {
    Baud, Link, Silent, Model, IdSuffix, RefuseAi, DelayMs, Noise, Drop, PowerOffAt, PowerOnAt,
    FrontPanel, Log, Seed, Pe, ProgramValues, Help, Version
};

struct OptionRow {
    OptionId id;
    const char* name;
    const char* argument;  // nullptr for a switch
    const char* help;
};

constexpr OptionRow s_options[] = {
    {OptionId::Baud, "--baud", "N", "line speed: 4800, 9600, 19200 or 38400 (default 4800); both directions are paced at 11 bits a byte"},
    {OptionId::Link, "--link", "PATH", "also publish the device as a symlink at PATH (re-pointed after a reopen, removed at exit)"},
    {OptionId::Silent, "--silent", nullptr, "receive and log commands but never send anything"},
    {OptionId::Model, "--model", "CODE", "four-digit model code in the ID replies (default 4700)"},
    {OptionId::IdSuffix, "--id-suffix", "NNN", "the three digits after the model code in the reply to the identification command (default 001)"},
    {OptionId::RefuseAi, "--refuse-ai", nullptr, "ignore AI1; auto information stays off and reads as AI0;"},
    {OptionId::DelayMs, "--delay-ms", "N", "wait N milliseconds before each reply"},
    {OptionId::Noise, "--noise", "RATE", "chance (0..1) of a random garbage byte before each byte sent"},
    {OptionId::Drop, "--drop", "RATE", "chance (0..1) that a byte sent is lost"},
    {OptionId::PowerOffAt, "--power-off-at", "SECONDS", "switch the power off SECONDS after start"},
    {OptionId::PowerOnAt, "--power-on-at", "SECONDS", "switch the power on SECONDS after start (starts powered off unless --power-off-at comes earlier)"},
    {OptionId::FrontPanel, "--front-panel", "SECONDS", "every SECONDS change a random equalizer value on the front panel; reported while auto information is on"},
    {OptionId::Log, "--log", "FILE", "write the wire log: one line per command or reply, \"<ms> <dir> <bytes>\", dir '>' to the transceiver, '<' from it"},
    {OptionId::Seed, "--seed", "N", "seed of the random source (noise, drops, front panel), for reproducible runs"},
    {OptionId::Pe, "--pe", "SBP=VALUE", "start value of one equalizer value, e.g. --pe 011=-3 (set, band, parameter digits)"},
    {OptionId::ProgramValues, "--program-start-values", nullptr, "start with FREQ 0, LEVEL +5, BWTH 10 everywhere instead of a used radio's values"},
    {OptionId::Help, "--help", nullptr, "show this help and exit"},
    {OptionId::Version, "--version", nullptr, "show the version and exit"},
};

template <class T>
bool parseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

bool parseRate(const std::string& text, double& value) {
    return parseNumber(text, value) && value >= 0.0 && value <= 1.0;
}

bool parseSeconds(const std::string& text, std::optional<double>& value) {
    double seconds = 0;
    if (!parseNumber(text, seconds) || !std::isfinite(seconds) || seconds < 0) {
        return false;
    }
    value = seconds;
    return true;
}

bool parsePeStart(const std::string& text, PeqValues& peq) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
        return false;
    }
    const std::optional<PeAddress> address = parsePeAddress(std::string_view(text).substr(0, equals));
    int value = 0;
    const std::string number = text.substr(equals + 1);
    const std::string digits = !number.empty() && number[0] == '+' ? number.substr(1) : number;
    if (!address || !parseNumber(digits, value) || !peValueInRange(*address, value)) {
        return false;
    }
    peq[peIndex(*address)] = value;
    return true;
}

// Applies one option with its argument (empty for a switch); false when the argument is unusable.
bool apply(OptionId id, const std::string& arg, SimConfig& config) {
    int number = 0;
    switch (id) {
    case OptionId::Baud:
        return parseNumber(arg, config.baud) && isSupportedBaud(config.baud);
    case OptionId::Link:
        config.linkPath = arg;
        return !arg.empty();
    case OptionId::Silent:
        config.silent = true;
        return true;
    case OptionId::Model:
        config.modelCode = arg;
        return isValidModelCode(arg);
    case OptionId::IdSuffix:
        if (arg.size() != 3 || !parseNumber(arg, number) || number < 0) {
            return false;
        }
        config.idSuffix = number;
        return true;
    case OptionId::RefuseAi:
        config.refuseAi = true;
        return true;
    case OptionId::DelayMs:
        if (!parseNumber(arg, number) || number < 0) {
            return false;
        }
        config.replyDelay = std::chrono::milliseconds(number);
        return true;
    case OptionId::Noise:
        return parseRate(arg, config.noiseRate);
    case OptionId::Drop:
        return parseRate(arg, config.dropRate);
    case OptionId::PowerOffAt:
        return parseSeconds(arg, config.powerOffAt);
    case OptionId::PowerOnAt:
        return parseSeconds(arg, config.powerOnAt);
    case OptionId::FrontPanel:
        return parseSeconds(arg, config.frontPanelPeriod) && *config.frontPanelPeriod > 0;
    case OptionId::Log:
        config.logPath = arg;
        return !arg.empty();
    case OptionId::Seed: {
        std::uint64_t seed = 0;
        if (!parseNumber(arg, seed)) {
            return false;
        }
        config.seed = seed;
        return true;
    }
    case OptionId::Pe:
        return parsePeStart(arg, config.peq);
    case OptionId::ProgramValues:
        config.peq = programStartValues();
        return true;
    case OptionId::Help:
    case OptionId::Version:
        return true;
    }
    return false;
}

const OptionRow* findOption(const std::string& name) {
    for (const OptionRow& row : s_options) {
        if (name == row.name) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

OptionsResult parseSimOptions(const std::vector<std::string>& args, SimConfig& config, std::string& error) {
    OptionsResult result = OptionsResult::Run;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool inlineValue = false;
        if (const std::size_t equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            inlineValue = true;
        }
        const OptionRow* option = findOption(name);
        if (option == nullptr) {
            error = "unknown option " + args[i];
            return OptionsResult::Error;
        }
        if (option->argument != nullptr && !inlineValue) {
            if (i + 1 >= args.size()) {
                error = name + " needs " + option->argument;
                return OptionsResult::Error;
            }
            value = args[++i];
        } else if (option->argument == nullptr && inlineValue) {
            error = name + " takes no value";
            return OptionsResult::Error;
        }
        if (!apply(option->id, value, config)) {
            error = "bad value for " + name + ": " + value;
            return OptionsResult::Error;
        }
        if (result == OptionsResult::Run && option->id == OptionId::Help) result = OptionsResult::Help;
        if (result == OptionsResult::Run && option->id == OptionId::Version) result = OptionsResult::Version;
    }
    return result;
}

std::string simUsageText() {
    std::string text =
        "Usage: zr4700-sim [OPTION]...\n"
        "A simulated ZR-4700 transceiver on a pseudo-terminal. The first line of the\n"
        "output is the device path to open. SIGTERM or SIGINT end it.\n\nOptions:\n";
    for (const OptionRow& row : s_options) {
        std::string head = std::string("  ") + row.name;
        if (row.argument != nullptr) {
            head += std::string(" ") + row.argument;
        }
        text += head;
        text += head.size() < 28 ? std::string(28 - head.size(), ' ') : std::string("\n") + std::string(28, ' ');
        text += row.help;
        text += '\n';
    }
    return text;
}

}  // namespace tqm::sim
