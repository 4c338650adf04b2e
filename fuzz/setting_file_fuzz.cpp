#include <chrono>
#include <cstdint>
#include <string>

#include "editor/equalizer_model.h"
#include "editor/equalizer_tables.h"
#include "editor/setting_file.h"
#include "fuzz/fuzz_file.h"
#include "tests/support/recording_sink.h"

// Loads arbitrary bytes as an equalizer setting file into one set of an editor,
// offline or connected (chosen from the input's bytes so the file stays a file): a
// rejected file changes no value and sends nothing; a loaded one leaves the set's
// values within their ranges, and they come back unchanged through the saved file's
// format. (The save itself flushes to the disk, which would slow every run down to it.)

namespace tqm {
namespace {

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

struct Editor {
    test::RecordingSink sink;
    EqualizerModel model{sink};

    Editor(int set, bool connected) {
        for (int s = 0; s < kEqualizerSets; ++s) {
            model.setShown(s, startValues(s));
            model.setReference(s, startValues(s));
        }
        model.selectSet(set);
        model.setConnected(connected);
        model.setPause([](std::chrono::milliseconds) {});
    }
    bool unchanged() const {
        for (int s = 0; s < kEqualizerSets; ++s) {
            if (!(model.shown(s) == startValues(s)) || !(model.reference(s) == startValues(s))) return false;
        }
        return sink.commands.empty();
    }
};

}  // namespace
}  // namespace tqm

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tqm;
    const auto file = fuzz::writeFuzzFile("input.csv", fuzz::bytesOf(data, size));
    if (file.empty()) return 0;
    std::uint32_t mix = static_cast<std::uint32_t>(size);
    for (std::size_t i = 0; i < size; ++i) mix = mix * 31 + data[i];
    const int set = static_cast<int>(mix % 3);

    Editor editor(set, ((mix >> 2) & 1) != 0);
    const LoadResult result = SettingFile::load(file, editor.model);
    if (result == LoadResult::Rejected) {
        if (!editor.unchanged()) __builtin_trap();
        return 0;
    }
    const EqualizerValues& loaded = editor.model.reference(set);
    if (result != LoadResult::Loaded) __builtin_trap();
    for (int band = 0; band < kEqualizerBands; ++band) {  // every value within its range
        const std::int32_t freq = loaded.get(band, PeqParam::Freq), level = loaded.get(band, PeqParam::Level);
        const std::int32_t bwth = loaded.get(band, PeqParam::Bwth);
        if ((freq != 0 && freqHz(band, freq) == 0) || level < kLevelMin || level > kLevelMax || bwth < kBwthMin ||
            bwth > kBwthMax)
            __builtin_trap();
    }
    const auto saved = fuzz::writeFuzzFile("saved.csv", SettingFile::format(loaded));
    Editor again(set, false);
    if (saved.empty()) return 0;
    if (SettingFile::load(saved, again.model) != LoadResult::Loaded || !(again.model.reference(set) == loaded))
        __builtin_trap();
    return 0;
}
