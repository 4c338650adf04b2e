#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/command_sink.h"
#include "editor/equalizer_model.h"
#include "editor/equalizer_tables.h"
#include "editor/setting_file.h"
#include "fuzz/fuzz_file.h"
#include "protocol/pe_command.h"
#include "tests/support/recording_sink.h"

// Loads arbitrary bytes as an equalizer setting file into one set of an editor,
// offline or connected (chosen from the input's bytes so the file stays a file):
// - a rejected file changes no value and sends nothing;
// - a loaded file leaves every value of the set within its range, changes no other
//   set, and either shows the values at once (offline) or sends each changed value
//   with its read-back (connected);
// - what was loaded, saved in the file format and loaded again, comes back unchanged;
// - a plain file of three lines "n,n,n" (LF or CR LF ends) loads exactly when its
//   nine numbers are table frequencies, levels and bandwidths.

namespace tqm {
namespace {

using test::RecordingSink;

struct Editor {
    RecordingSink sink;
    EqualizerModel model{sink};
};

// A valid starting point that differs between sets.
EqualizerValues startValues(int set) {
    EqualizerValues values;
    for (int band = 0; band < kEqualizerBands; ++band) {
        values[paramIndex(band, PeqParam::Freq)] = 1 + set;
        values[paramIndex(band, PeqParam::Level)] = -3 * set;
        values[paramIndex(band, PeqParam::Bwth)] = 2 + band + set;
    }
    return values;
}

void prepare(Editor& editor, int set, bool connected) {
    for (int s = 0; s < kEqualizerSets; ++s) {
        editor.model.setShown(s, startValues(s));
        editor.model.setReference(s, startValues(s));
    }
    editor.model.selectSet(set);
    editor.model.setConnected(connected);
    editor.model.setPause([](std::chrono::milliseconds) {});
}

bool withinRanges(const EqualizerValues& values) {
    for (int band = 0; band < kEqualizerBands; ++band) {
        const std::int32_t freq = values.get(band, PeqParam::Freq);
        const std::int32_t level = values.get(band, PeqParam::Level);
        const std::int32_t bwth = values.get(band, PeqParam::Bwth);
        if (freq < 0 || static_cast<std::size_t>(freq) >= kFreqTables[static_cast<std::size_t>(band)].size()) return false;
        if (level < kLevelMin || level > kLevelMax || bwth < kBwthMin || bwth > kBwthMax) return false;
    }
    return true;
}

bool otherSetsUnchanged(const EqualizerModel& model, int set) {
    for (int s = 0; s < kEqualizerSets; ++s) {
        if (s == set) continue;
        if (!(model.shown(s) == startValues(s)) || !(model.reference(s) == startValues(s))) return false;
    }
    return true;
}

std::size_t differing(const EqualizerValues& a, const EqualizerValues& b) {
    std::size_t count = 0;
    for (int p = 0; p < kEqualizerParams; ++p) count += a[p] != b[p] ? 1 : 0;
    return count;
}

// Every command is a "PE" set or read of the given set.
bool commandsWellFormed(const std::vector<std::string>& commands, int set) {
    for (const std::string& command : commands) {
        if (command.size() != kPeSetLength && command.size() != kPeReadLength) return false;
        if (command.compare(0, 2, "PE") != 0 || command[2] != static_cast<char>('0' + set) || command.back() != ';')
            return false;
    }
    return true;
}

// The nine numbers of a file of exactly three lines "n,n,n", each ended by LF or
// CR LF, with n an optional "-" and one to six digits; nothing for any other file.
std::optional<std::array<std::int32_t, kEqualizerParams>> plainNumbers(std::string_view text) {
    std::array<std::int32_t, kEqualizerParams> numbers{};
    std::size_t at = 0;
    for (int p = 0; p < kEqualizerParams; ++p) {
        const bool negative = at < text.size() && text[at] == '-';
        if (negative) ++at;
        std::int32_t value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 7) {
            value = value * 10 + (text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 6) return std::nullopt;
        numbers[static_cast<std::size_t>(p)] = negative ? -value : value;
        if (p % 3 < 2) {
            if (at >= text.size() || text[at++] != ',') return std::nullopt;
            continue;
        }
        if (at < text.size() && text[at] == '\r') ++at;
        if (at >= text.size() || text[at++] != '\n') return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;
    return numbers;
}

// The values such a file stands for, when all nine are valid.
std::optional<EqualizerValues> expectedValues(const std::array<std::int32_t, kEqualizerParams>& numbers) {
    EqualizerValues values;
    for (int p = 0; p < kEqualizerParams; ++p) {
        const std::int32_t n = numbers[static_cast<std::size_t>(p)];
        const int band = bandOfParam(p);
        switch (kindOfParam(p)) {
            case PeqParam::Freq: {
                const auto table = kFreqTables[static_cast<std::size_t>(band)];
                std::int32_t index = -1;
                for (std::size_t i = 0; i < table.size() && index < 0; ++i) {
                    if (table[i] == n) index = static_cast<std::int32_t>(i);
                }
                if (index < 0) return std::nullopt;
                values[p] = index;
                break;
            }
            case PeqParam::Level:
                if (n < kLevelMin || n > kLevelMax) return std::nullopt;
                values[p] = n;
                break;
            case PeqParam::Bwth:
                if (n < kBwthMin || n > kBwthMax) return std::nullopt;
                values[p] = n;
                break;
        }
    }
    return values;
}

void checkRoundTrip(const EqualizerValues& loaded, int set) {
    const std::string text = SettingFile::format(loaded);
    fuzz::FuzzFile file(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    if (!file.ok()) return;
    Editor again;
    prepare(again, set, false);
    if (SettingFile::load(file.path(), again.model) != LoadResult::Loaded) __builtin_trap();
    if (!(again.model.reference(set) == loaded) || !(again.model.shown(set) == loaded)) __builtin_trap();
}

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    fuzz::FuzzFile file(data, size);
    if (!file.ok()) return 0;
    std::uint32_t mix = static_cast<std::uint32_t>(size);
    for (std::size_t i = 0; i < size; ++i) mix = mix * 31 + data[i];
    const int set = static_cast<int>(mix % 3);
    const bool connected = ((mix >> 2) & 1) != 0;

    Editor editor;
    prepare(editor, set, connected);
    const LoadResult result = SettingFile::load(file.path(), editor.model);
    const EqualizerModel& model = editor.model;
    if (!otherSetsUnchanged(model, set)) __builtin_trap();
    const EqualizerValues& reference = model.reference(set);
    const EqualizerValues& shown = model.shown(set);

    if (result == LoadResult::Rejected) {
        if (!(reference == startValues(set)) || !(shown == startValues(set)) || !editor.sink.commands.empty())
            __builtin_trap();
    } else if (result == LoadResult::Loaded) {
        if (!withinRanges(reference)) __builtin_trap();
        const std::size_t changed = differing(reference, startValues(set));
        if (connected) {
            if (!(shown == startValues(set)) || editor.sink.commands.size() != 2 * changed ||
                model.pendingReplies() != static_cast<int>(changed) || !commandsWellFormed(editor.sink.commands, set))
                __builtin_trap();
        } else if (!(shown == reference) || !editor.sink.commands.empty()) {
            __builtin_trap();
        }
        checkRoundTrip(reference, set);
    } else {
        __builtin_trap();  // nothing was awaited, so the editor was never busy
    }

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto numbers = plainNumbers(text)) {
        const auto expected = expectedValues(*numbers);
        if (expected.has_value() != (result == LoadResult::Loaded)) __builtin_trap();
        if (expected && !(reference == *expected)) __builtin_trap();
    }
    return 0;
}
