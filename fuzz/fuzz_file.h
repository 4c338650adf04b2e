#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tqm::fuzz {

// A file in the temporary directory that holds one fuzz input; removed on destruction.
class FuzzFile final {
public:
    FuzzFile(const std::uint8_t* data, std::size_t size) {
        char name[] = "/tmp/tqm-fuzz-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0) return;
        m_path = name;
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = ::write(fd, data + written, size - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        ::close(fd);
    }
    ~FuzzFile() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    bool ok() const { return !m_path.empty(); }
    const char* path() const { return m_path.c_str(); }

private:
    std::string m_path;
};

}  // namespace tqm::fuzz
