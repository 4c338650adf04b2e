#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

#include "platform/atomic_file.h"

namespace tqm {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kAppDirectory = "tqm4700-peq";
constexpr std::string_view kFileName = "registry.reg";

std::mutex s_overrideMutex;
std::filesystem::path s_override;

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// True when path is key itself or lies below it.
bool isAtOrBelow(std::string_view path, std::string_view key) {
    if (path.size() < key.size() || !equalNoCase(path.substr(0, key.size()), key)) return false;
    return path.size() == key.size() || path[key.size()] == '\\';
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

// The index key of one name under a parent: the parent's position, then the name
// without regard to letter case.
std::string childName(std::size_t parent, std::string_view name) {
    std::string out(reinterpret_cast<const char*>(&parent), sizeof parent);
    for (char c : name) out.push_back(lowerAscii(c));
    return out;
}

bool hasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool isValidKeyPath(std::string_view key) {
    if (key.empty() || key.front() == '\\' || key.back() == '\\' || key.front() == '-') return false;
    if (key.find("\\\\") != std::string_view::npos) return false;
    if (key.find_first_of("[]") != std::string_view::npos) return false;
    return std::none_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string_view trim(std::string_view text) {
    constexpr std::string_view kBlank = " \t\r";
    const auto first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlank);
    return text.substr(first, last - first + 1);
}

// Reads a quoted string at the start of text ("...", with \\ and \" escapes).
// Returns false when text does not start with a complete quoted string.
bool readQuoted(std::string_view& text, std::string& out) {
    if (text.empty() || text.front() != '"') return false;
    out.clear();
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (++i == text.size()) return false;
            out.push_back(text[i]);
        } else {
            out.push_back(c);
        }
    }
    return false;
}

void appendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

}  // namespace

std::filesystem::path Registry::filePath() {
    {
        std::lock_guard lock(s_overrideMutex);
        if (!s_override.empty()) return s_override;
    }
    if (const char* file = std::getenv(kPathVariable); file != nullptr && *file != '\0') return file;
    std::filesystem::path dataHome;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/') {
        dataHome = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        dataHome = std::filesystem::path(home) / ".local" / "share";
    } else {
        dataHome = ".";
    }
    return dataHome / kAppDirectory / kFileName;
}

void Registry::setPathOverride(const std::filesystem::path& path) {
    std::lock_guard lock(s_overrideMutex);
    s_override = path;
}

bool Registry::fail(std::string why) const {
    m_error = m_path.string() + ": " + std::move(why);
    return false;
}

void Registry::reset() {
    m_keys.clear();
    m_children.clear();
    m_pathBytes = 0;
}

bool Registry::load() {
    reset();
    m_error.clear();
    // Non-blocking, so a named pipe in the file's place cannot stall the open.
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || fail(std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > kMaxFileBytes) {
        ::close(fd);
        return fail(S_ISREG(info.st_mode) ? "larger than any registry file of this program"
                                           : "not a regular file");
    }
    std::string text(kMaxFileBytes + 1, '\0');
    std::size_t length = 0;
    int readError = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(fd, text.data() + length, text.size() - length);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) readError = errno;
        if (got <= 0) break;
        length += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (readError != 0) return fail(std::strerror(readError));
    if (length > kMaxFileBytes) return fail("larger than any registry file of this program");  // grew while read
    text.resize(length);
    if (!parse(text)) {
        return fail("not a registry file of this program (its first line is not \"" + std::string(kHeader) + "\")");
    }
    return true;
}

bool Registry::save() const {
    const std::string text = serialize();
    if (text.size() > kMaxFileBytes) return fail("the entries would make the file too large");
    std::error_code error;
    const std::filesystem::path directory = m_path.has_parent_path() ? m_path.parent_path() : ".";
    std::filesystem::create_directories(directory, error);
    if (error) return fail(directory.string() + ": " + error.message());
    if (!writeFileAtomically(m_path, text)) return fail(std::strerror(errno));
    return true;
}

std::string Registry::serialize() const {
    std::string out(kHeader);
    out += "\n";
    for (const Key& key : m_keys) {
        out += key.path.empty() ? "\n" : "\n[" + key.path + "]\n";
        for (const Value& value : key.values) {
            if (value.keptLine) {
                out += value.data;
            } else {
                if (value.name.empty()) {
                    out += "@";
                } else {
                    appendQuoted(out, value.name);
                }
                out += "=";
                appendQuoted(out, value.data);
            }
            out += "\n";
        }
    }
    return out;
}

bool Registry::parse(std::string_view text) {
    reset();
    if (text.empty()) return true;
    const auto headerEnd = text.find('\n');
    if (trim(text.substr(0, headerEnd)) != kHeader) return false;
    text = headerEnd == std::string_view::npos ? std::string_view() : text.substr(headerEnd + 1);
    std::size_t current = kNoKey;  // the section being read
    while (!text.empty()) {
        const auto end = text.find('\n');
        parseLine(text.substr(0, end), current);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return true;
}

void Registry::parseLine(std::string_view whole, std::size_t& current) {
    std::string_view line = trim(whole);
    if (line.empty()) return;  // blank lines are written afresh between sections
    if (line.front() == '[') {
        const bool closed = line.size() >= 2 && line.back() == ']';
        current = closed ? createOne(line.substr(1, line.size() - 2)) : kNoKey;
        if (current == kNoKey) keepLine(whole, current);  // a section of its own, kept as read
        return;
    }
    std::string name;
    std::string data;
    bool understood = current != kNoKey && !m_keys[current].path.empty();
    if (understood && line.front() == '@') {
        line.remove_prefix(1);
    } else if (understood) {
        understood = readQuoted(line, name) && !name.empty();
    }
    if (understood) {
        line = trim(line);
        understood = !line.empty() && line.front() == '=';
    }
    if (understood) {
        line = trim(line.substr(1));
        understood = readQuoted(line, data) && trim(line).empty();  // a string value and nothing after it
    }
    if (understood) {
        storeValue(m_keys[current], name, data);
    } else {
        keepLine(whole, current);
    }
}

// Keeps a line as read, in the section being read or, outside any, in a new one.
void Registry::keepLine(std::string_view line, std::size_t& current) {
    if (current == kNoKey) {
        m_keys.push_back(Key{});
        current = m_keys.size() - 1;
    }
    m_keys[current].values.push_back(Value{{}, std::string(line), true});
}

bool Registry::createKey(std::string_view key) {
    return createOne(key) != kNoKey;
}

// Finds the deepest existing key on the path: its index (kNoKey when none) and where
// the rest of the path starts (npos when the whole path exists).
std::pair<std::size_t, std::size_t> Registry::deepestExisting(std::string_view key) const {
    std::size_t parent = kNoKey;
    for (std::size_t start = 0;;) {
        const std::size_t end = key.find('\\', start);
        const auto found =
            m_children.find(childName(parent, key.substr(start, end == std::string_view::npos ? end : end - start)));
        if (found == m_children.end()) return {parent, start};
        parent = found->second;
        if (end == std::string_view::npos) return {parent, std::string_view::npos};
        start = end + 1;
    }
}

std::size_t Registry::createOne(std::string_view key) {
    if (!isValidKeyPath(key)) return kNoKey;
    auto [parent, start] = deepestExisting(key);
    if (start == std::string_view::npos) return parent;
    // Every missing key stores its whole path: refuse the lot unless all of them fit.
    std::size_t cost = key.size();
    for (std::size_t end = key.find('\\', start); end != std::string_view::npos; end = key.find('\\', end + 1)) {
        cost += end;
    }
    if (cost > kMaxFileBytes - m_pathBytes) return kNoKey;
    m_pathBytes += cost;
    for (;;) {
        const std::size_t end = key.find('\\', start);
        const std::string_view name = key.substr(start, end == std::string_view::npos ? end : end - start);
        m_keys.push_back(Key{std::string(key.substr(0, end)), parent, {}, {}});
        parent = m_keys.size() - 1;
        m_children.emplace(childName(m_keys[parent].parent, name), parent);
        if (end == std::string_view::npos) return parent;
        start = end + 1;
    }
}

bool Registry::setDefaultValue(std::string_view key, std::string_view value) {
    return setValueOf(key, {}, value);
}

bool Registry::setValue(std::string_view key, std::string_view name, std::string_view value) {
    return !name.empty() && setValueOf(key, name, value);
}

bool Registry::setValueOf(std::string_view key, std::string_view name, std::string_view data) {
    if (hasLineBreakOrNul(name) || hasLineBreakOrNul(data)) return false;
    const std::size_t target = createOne(key);
    return target != kNoKey && storeValue(m_keys[target], name, data);
}

bool Registry::storeValue(Key& key, std::string_view name, std::string_view data) {
    const auto [slot, added] = key.valueIndex.emplace(lowerCase(name), key.values.size());
    if (added) {
        key.values.push_back(Value{std::string(name), std::string(data), false});
    } else {
        key.values[slot->second].data = data;
    }
    return true;
}

bool Registry::removeKey(std::string_view key) {
    if (!isValidKeyPath(key)) return false;
    const auto before = m_keys.size();
    std::erase_if(m_keys, [key](const Key& k) { return isAtOrBelow(k.path, key); });
    if (m_keys.size() == before) return false;
    reindex();
    return true;
}

bool Registry::clearKey(std::string_view key) {
    Key* target = findKey(key);
    if (target == nullptr) return false;
    target->values.clear();
    target->valueIndex.clear();
    const auto before = m_keys.size();
    std::erase_if(m_keys, [key](const Key& k) { return k.path.size() != key.size() && isAtOrBelow(k.path, key); });
    if (m_keys.size() != before) reindex();
    return true;
}

// Rebuilds the parent links and the name index after keys were removed. A parent
// always comes before its children, so one pass in order finds every parent.
void Registry::reindex() {
    m_children.clear();
    m_pathBytes = 0;
    for (std::size_t i = 0; i < m_keys.size(); ++i) {
        Key& key = m_keys[i];
        if (key.path.empty()) continue;  // kept lines
        const auto slash = key.path.rfind('\\');
        key.parent = slash == std::string::npos ? kNoKey : findIndex(std::string_view(key.path).substr(0, slash));
        const std::string_view name = slash == std::string::npos ? key.path : std::string_view(key.path).substr(slash + 1);
        m_children.emplace(childName(key.parent, name), i);
        m_pathBytes += key.path.size();
    }
}

bool Registry::hasKey(std::string_view key) const {
    return findKey(key) != nullptr;
}

std::optional<std::string> Registry::defaultValue(std::string_view key) const {
    return value(key, {});
}

std::optional<std::string> Registry::value(std::string_view key, std::string_view name) const {
    const Key* target = findKey(key);
    if (target == nullptr) return std::nullopt;
    const auto found = target->valueIndex.find(lowerCase(name));
    if (found == target->valueIndex.end()) return std::nullopt;
    return target->values[found->second].data;
}

std::vector<std::string> Registry::keys() const {
    std::vector<std::string> out;
    out.reserve(m_keys.size());
    for (const Key& key : m_keys) {
        if (!key.path.empty()) out.push_back(key.path);
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> Registry::values(std::string_view key) const {
    std::vector<std::pair<std::string, std::string>> out;
    if (const Key* target = findKey(key)) {
        for (const Value& v : target->values) {
            if (!v.keptLine) out.emplace_back(v.name, v.data);
        }
    }
    return out;
}

std::size_t Registry::findIndex(std::string_view key) const {
    if (!isValidKeyPath(key)) return kNoKey;
    const auto [index, rest] = deepestExisting(key);
    return rest == std::string_view::npos ? index : kNoKey;
}

Registry::Key* Registry::findKey(std::string_view key) {
    const std::size_t index = findIndex(key);
    return index == kNoKey ? nullptr : &m_keys[index];
}

const Registry::Key* Registry::findKey(std::string_view key) const {
    return const_cast<Registry*>(this)->findKey(key);
}

}  // namespace tqm
