#include "app/ctl/equalizer_text.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "editor/equalizer_model.h"
#include "editor/equalizer_tables.h"
#include "editor/setting_file.h"

namespace tqm {
namespace {

constexpr std::string_view kOffWord = "OFF";
// The JSON member of each parameter, by PeqParam.
constexpr std::array<std::string_view, 3> kJsonNames{"freq_hz", "level_db", "bwth"};

bool equalNoCase(std::string_view a, std::string_view b) {
    const auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

template <std::size_t N>
std::optional<int> indexOf(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (equalNoCase(names[i], name)) return static_cast<int>(i);
    }
    return std::nullopt;
}

std::string paramName(int p) {
    return std::string(kBandNames[static_cast<std::size_t>(bandOfParam(p))]) + "." +
           std::string(kParamNames[static_cast<std::size_t>(kindOfParam(p))]);
}

// The number a value word stands for: FREQ in Hz (OFF is 0), LEVEL and BWTH as written.
bool readNumber(std::string_view text, PeqParam kind, std::int32_t& number) {
    if (kind == PeqParam::Freq && equalNoCase(text, kOffWord)) {
        number = 0;
        return true;
    }
    if (kind == PeqParam::Level && text.starts_with('+')) text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// The value to store for a number, checked as the setting file checks its cells.
std::optional<std::int32_t> storedValue(int band, PeqParam kind, std::int32_t number) {
    switch (kind) {
    case PeqParam::Freq: {
        const auto table = kFreqTables[static_cast<std::size_t>(band)];
        const auto found = std::find(table.begin(), table.end(), number);
        if (found == table.end()) return std::nullopt;
        return static_cast<std::int32_t>(found - table.begin());
    }
    case PeqParam::Level:
        if (number < kLevelMin || number > kLevelMax) return std::nullopt;
        return number;
    case PeqParam::Bwth:
        if (number < kBwthMin || number > kBwthMax) return std::nullopt;
        return number;
    }
    return std::nullopt;
}

std::string rangeText(int band, PeqParam kind) {
    switch (kind) {
    case PeqParam::Freq: {
        std::string text = "OFF";
        for (std::int32_t hz : kFreqTables[static_cast<std::size_t>(band)].subspan(1)) text += ", " + std::to_string(hz);
        return text;
    }
    case PeqParam::Level: return std::to_string(kLevelMin) + ".." + std::to_string(kLevelMax);
    case PeqParam::Bwth: return std::to_string(kBwthMin) + ".." + std::to_string(kBwthMax);
    }
    return {};
}

void writeTable(std::ostream& out, const std::vector<SetValues>& sets) {
    char line[80];
    std::snprintf(line, sizeof line, "%-4s %-5s %-8s %-7s %s\n", "SET", "BAND", "FREQ", "LEVEL", "BWTH");
    out << line;
    for (const SetValues& set : sets) {
        for (int band = 0; band < kEqualizerBands; ++band) {
            const BandTexts texts = EqualizerModel::bandTexts(band, set.values);
            std::snprintf(line, sizeof line, "%-4s %-5s %-8s %-7s %s\n", std::string(setLetter(set.set)).c_str(),
                          std::string(kBandNames[static_cast<std::size_t>(band)]).c_str(), texts.freq.c_str(),
                          texts.level.c_str(), texts.bwth.c_str());
            out << line;
        }
    }
}

}  // namespace

std::string_view setLetter(int set) {
    constexpr std::array<std::string_view, 3> kLetters{"F", "R", "P"};
    return (set >= 0 && set < kEqualizerSets) ? kLetters[static_cast<std::size_t>(set)] : std::string_view("-");
}

std::string valueWord(int p, std::int32_t value) {
    if (kindOfParam(p) != PeqParam::Freq) return std::to_string(value);
    return value == 0 ? std::string(kOffWord) : std::to_string(freqHz(bandOfParam(p), value));
}

std::string assignmentText(int p, std::int32_t value) { return paramName(p) + "=" + valueWord(p, value); }

std::string assignmentList(const std::vector<int>& params, const EqualizerValues& values) {
    std::string text;
    for (int p : params) {
        if (!text.empty()) text += ' ';
        text += assignmentText(p, values[p]);
    }
    return text;
}

AssignmentResult parseAssignment(std::string_view text, int& p, std::int32_t& value, std::string& problem) {
    const auto dot = text.find('.');
    const auto equals = text.find('=');
    const auto band = dot < equals ? indexOf(kBandNames, text.substr(0, dot)) : std::nullopt;
    const auto kind = band ? indexOf(kParamNames, text.substr(dot + 1, equals - dot - 1)) : std::nullopt;
    if (!kind || equals == std::string_view::npos) {
        problem = "'" + std::string(text) + "' is not BAND.PARAM=VALUE (BAND EQ1, EQ2 or EQ3; PARAM FREQ, LEVEL or BWTH)";
        return AssignmentResult::Malformed;
    }
    p = paramIndex(*band, static_cast<PeqParam>(*kind));
    std::int32_t number = 0;
    const std::string_view word = text.substr(equals + 1);
    const auto stored = readNumber(word, kindOfParam(p), number) ? storedValue(*band, kindOfParam(p), number) : std::nullopt;
    if (!stored) {
        problem = paramName(p) + ": '" + std::string(word) + (kindOfParam(p) == PeqParam::Freq ? "' is not one of " : "' is outside ") +
                  rangeText(*band, kindOfParam(p));
        return AssignmentResult::OutOfRange;
    }
    value = *stored;
    return AssignmentResult::Taken;
}

std::string setJson(const EqualizerValues& values) {
    std::string text = "{";
    for (int band = 0; band < kEqualizerBands; ++band) {
        if (band > 0) text += ',';
        text += '"' + std::string(kBandNames[static_cast<std::size_t>(band)]) + "\":{";
        for (int kind = 0; kind < 3; ++kind) {
            const int p = paramIndex(band, static_cast<PeqParam>(kind));
            const std::int32_t number = kind == 0 ? freqHz(band, values[p]) : values[p];
            if (kind > 0) text += ',';
            text += '"' + std::string(kJsonNames[static_cast<std::size_t>(kind)]) + "\":" + std::to_string(number);
        }
        text += '}';
    }
    return text + '}';
}

std::string jsonString(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

void writeSets(std::ostream& out, const std::vector<SetValues>& sets, CtlFormat format) {
    switch (format) {
    case CtlFormat::Text: writeTable(out, sets); return;
    case CtlFormat::Json: {
        out << "{\"sets\":{";
        for (std::size_t i = 0; i < sets.size(); ++i) {
            out << (i > 0 ? "," : "") << '"' << setLetter(sets[i].set) << "\":" << setJson(sets[i].values);
        }
        out << "}}\n";
        return;
    }
    case CtlFormat::Pef:
        for (const SetValues& set : sets) out << SettingFile::format(set.values);
        return;
    }
}

}  // namespace tqm
