#include "editor/pe_command_text.h"

#include <cstdio>
#include <cstdlib>

#include "editor/equalizer_values.h"

namespace tqm {

PeCommandText formatPeCommand(int set, int p, std::optional<std::int32_t> value) {
    PeCommandText text;
    const int band = bandOfParam(p);
    const int kind = static_cast<int>(kindOfParam(p));
    char field[8] = "";
    if (value) {
        const std::int32_t v = *value;
        if (kindOfParam(p) != PeqParam::Level) {
            std::snprintf(field, sizeof field, "%03d", static_cast<int>(v % 1000));
        } else if (v == 0) {
            std::snprintf(field, sizeof field, "000");
        } else {
            std::snprintf(field, sizeof field, "%c%02d", v < 0 ? '-' : '+', static_cast<int>(std::abs(v) % 100));
        }
    }
    const int written =
        std::snprintf(text.bytes.data(), text.bytes.size(), "PE%d%d%d%s;", set, band, kind, field);
    text.length = written > 0 ? static_cast<std::size_t>(written) : 0;
    return text;
}

}  // namespace tqm
