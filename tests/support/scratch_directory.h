#pragma once

#include <filesystem>
#include <string>

namespace tqm::test {

// A fresh directory under the system's temporary directory, removed with all its
// contents when the object goes.
class ScratchDirectory final {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string readFile(const std::filesystem::path& path);
// Writes the file in one go; false on failure.
bool writeFile(const std::filesystem::path& path, const std::string& content);

}  // namespace tqm::test
