#include "platform/port_target.h"

#include <algorithm>
#include <charconv>

namespace tqm {
namespace {

struct SchemeRow {
    std::string_view name;
    PortTargetKind kind;
};

constexpr SchemeRow kSchemes[] = {
    {"tcp", PortTargetKind::RawTcp},
    {"rfc2217", PortTargetKind::Rfc2217},
};

constexpr std::string_view kSchemeMark = "://";

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool isAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// "word://" at the start: a scheme, known or not.
bool startsWithScheme(std::string_view text, std::string_view& scheme) {
    const auto mark = text.find(kSchemeMark);
    if (mark == std::string_view::npos || mark == 0) return false;
    scheme = text.substr(0, mark);
    return std::all_of(scheme.begin(), scheme.end(), [](char c) { return isAlnum(c) || c == '+' || c == '-' || c == '.'; });
}

bool hostNameChar(char c) { return isAlnum(c) || c == '.' || c == '-' || c == '_'; }
bool addressChar(char c) { return isAlnum(c) || c == ':' || c == '.' || c == '%'; }

// "HOST:PORT" or "[ADDRESS]:PORT" into target; what is wrong otherwise.
std::string readHostAndPort(std::string_view rest, PortTarget& target) {
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return "expected [ADDRESS]:PORT";
        }
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        if (host.empty() || !std::all_of(host.begin(), host.end(), addressChar)) return "the address in brackets is not an IPv6 address";
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) return "expected HOST:PORT";
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos) return "an IPv6 address goes in brackets: [ADDRESS]:PORT";
        if (host.empty()) return "the host name is empty";
        if (!std::all_of(host.begin(), host.end(), hostNameChar)) return "the host name has characters a host name cannot have";
    }
    unsigned number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535) {
        return "the port number must be one of 1 to 65535";
    }
    target.host.assign(host);
    target.port = static_cast<std::uint16_t>(number);
    return {};
}

}  // namespace

PortTargetParse parsePortTarget(std::string_view text) {
    PortTargetParse result;
    const std::string_view trimmed = trim(text);
    result.target.text.assign(trimmed);
    std::string_view scheme;
    if (!startsWithScheme(trimmed, scheme)) {
        if (trimmed.empty()) {
            result.problem = "the device path is empty";
        } else if (trimmed.size() > kMaxDevicePathLength) {
            result.problem = "the device path is longer than " + std::to_string(kMaxDevicePathLength) + " characters";
        } else {
            result.target.path.assign(trimmed);
        }
        return result;
    }
    const auto* row = std::find_if(std::begin(kSchemes), std::end(kSchemes),
                                   [scheme](const SchemeRow& r) { return sameWord(r.name, scheme); });
    if (row == std::end(kSchemes)) {
        result.problem = "'" + std::string(scheme) + "://' is not a kind of port: use a device path, tcp://HOST:PORT or rfc2217://HOST:PORT";
        return result;
    }
    result.target.kind = row->kind;
    result.problem = readHostAndPort(trimmed.substr(scheme.size() + kSchemeMark.size()), result.target);
    return result;
}

}  // namespace tqm
