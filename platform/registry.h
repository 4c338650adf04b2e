#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tqm {

// A small key store kept as a text file in the style of a .reg export:
//
//   [HKEY_CLASSES_ROOT\AppID\{GUID}]
//   @="default value"
//   "Name"="value"
//
// The file starts with the header line "Windows Registry Editor Version 5.00";
// a file that does not is someone else's and is never taken over. Keys are
// backslash-separated paths; keys and value names compare without regard to
// letter case, as registry names do. Only string values are understood; every
// other line (comments, other value types, malformed sections with their lines)
// is kept as it was and written back where it stood. Creating a key creates its
// parents. A Registry object is a document: load() reads the file, the setters
// change the copy in memory, save() writes the file back with writeFileAtomically
// (through a symbolic link, the file the link points to).
class Registry final {
public:
    // Files larger than this are refused by load(); save() refuses to write one.
    static constexpr std::size_t kMaxFileBytes = 1024 * 1024;
    // Environment variable naming the file, for tests and for a second instance.
    static constexpr const char* kPathVariable = "TQM_REGISTRY_FILE";

    // The file in use: the override if one is set, else $TQM_REGISTRY_FILE, else
    // $XDG_DATA_HOME/tqm4700-peq/registry.reg (XDG_DATA_HOME defaults to ~/.local/share).
    static std::filesystem::path filePath();
    // Sets the file for the whole process; an empty path removes the override.
    static void setPathOverride(const std::filesystem::path& path);

    Registry() = default;
    explicit Registry(std::filesystem::path path) : m_path(std::move(path)) {}

    const std::filesystem::path& path() const { return m_path; }

    // Blocks on reading the file. A missing or empty file is an empty store. False
    // (an empty store, errorText() saying why) when the file cannot be read, is not
    // a regular file, is larger than kMaxFileBytes or does not start with the header.
    bool load();
    // Blocks on writing and syncing the file. The old file stays as it was when
    // anything fails (errorText() says why); parent directories are created as needed.
    bool save() const;
    // Why the last load() or save() failed, naming the file.
    const std::string& errorText() const { return m_error; }
    std::string serialize() const;
    // False, leaving an empty store, when the text is not empty and does not start
    // with the header line.
    bool parse(std::string_view text);

    // Creates the key (and its parents). False for a malformed key path, or when the
    // key paths together would not fit in a file of kMaxFileBytes.
    bool createKey(std::string_view key);
    // Sets the key's default value (shown as @), creating the key.
    bool setDefaultValue(std::string_view key, std::string_view value);
    // Sets a named value of the key, creating the key.
    bool setValue(std::string_view key, std::string_view name, std::string_view value);
    // Removes the key with all its values and subkeys. False when there was none.
    bool removeKey(std::string_view key);
    // Removes the key's values and subkeys but keeps the key. False when there is none.
    bool clearKey(std::string_view key);

    bool hasKey(std::string_view key) const;
    std::optional<std::string> defaultValue(std::string_view key) const;
    std::optional<std::string> value(std::string_view key, std::string_view name) const;
    // Every key, in file order.
    std::vector<std::string> keys() const;
    // Every value of the key as {name, value}; the default value has the empty name.
    std::vector<std::pair<std::string, std::string>> values(std::string_view key) const;

private:
    static constexpr std::size_t kNoKey = static_cast<std::size_t>(-1);

    struct Value {
        std::string name;  // empty: the default value
        std::string data;  // the value, or the whole line when kept as read
        bool keptLine = false;
    };
    // One section of the file. An empty path holds lines outside any usable section
    // (before the first one, or under a malformed one), kept as read.
    struct Key {
        std::string path;
        std::size_t parent = kNoKey;
        std::vector<Value> values;                                // in file order, kept lines included
        std::unordered_map<std::string, std::size_t> valueIndex;  // lower-case name -> position in values
    };

    // Lookups walk the path one name at a time through m_children, so reading a file
    // takes time in proportion to its length, however many keys or levels it holds.
    std::pair<std::size_t, std::size_t> deepestExisting(std::string_view key) const;
    std::size_t findIndex(std::string_view key) const;
    Key* findKey(std::string_view key);
    const Key* findKey(std::string_view key) const;
    std::size_t createOne(std::string_view key);
    bool setValueOf(std::string_view key, std::string_view name, std::string_view data);
    bool storeValue(Key& key, std::string_view name, std::string_view data);
    void parseLine(std::string_view line, std::size_t& current);
    void keepLine(std::string_view line, std::size_t& current);
    void reset();
    void reindex();
    bool fail(std::string why) const;

    std::filesystem::path m_path = filePath();
    std::vector<Key> m_keys;
    std::unordered_map<std::string, std::size_t> m_children;  // childName(parent, name) -> index in m_keys
    std::size_t m_pathBytes = 0;  // the key paths' total length, at most kMaxFileBytes
    mutable std::string m_error;
};

}  // namespace tqm
