#include "platform/wire_line.h"

namespace tqm {

std::string formatWireLine(long long milliseconds, char direction, std::string_view bytes) {
    std::string line = std::to_string(milliseconds);
    line += ' ';
    line += direction;
    line += ' ';
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte <= 0x7E && byte != '\\') {
            line += c;
        } else {
            line += "\\x";
            line += kHex[byte >> 4];
            line += kHex[byte & 0x0F];
        }
    }
    return line;
}

}  // namespace tqm
