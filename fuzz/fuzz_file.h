#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace tqm::fuzz {

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A directory of the run's own under /tmp, made on first use and removed at exit.
inline const std::filesystem::path& fuzzDirectory() {
    static const struct Directory {
        std::filesystem::path path;
        Directory() {
            char pattern[] = "/tmp/tqm-fuzz-XXXXXX";
            if (::mkdtemp(pattern) != nullptr) path = pattern;
        }
        ~Directory() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    } s_directory;
    return s_directory.path;
}

// Writes the bytes to a new file of that name under the run's directory, folders made
// as needed (rewriting a truncated file makes some file systems flush it on close);
// its path, or none.
inline std::filesystem::path writeFuzzFile(const std::filesystem::path& name, std::string_view bytes) {
    if (fuzzDirectory().empty()) return {};
    const std::filesystem::path file = fuzzDirectory() / name;
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    ::unlink(file.c_str());
    std::ofstream out(file, std::ios::binary);
    return out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) ? file : std::filesystem::path();
}

}  // namespace tqm::fuzz
