#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tqm {
namespace {

struct ResultWords {
    FileRead result;
    const char* text;
};

constexpr ResultWords kResultWords[] = {
    {FileRead::Read, "read"},
    {FileRead::Missing, "no such file"},
    {FileRead::NotRegular, "not a regular file"},
    {FileRead::TooLarge, "too large"},
    {FileRead::Failed, "cannot be read"},
};

// Closes a descriptor when it goes.
class Descriptor final {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads to the end, at most maxBytes + 1 bytes (one more tells that the file is too large).
FileRead readAll(int fd, std::size_t maxBytes, std::string& content) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FileRead::Failed;
        if (n == 0) return FileRead::Read;
        content.append(buffer, static_cast<std::size_t>(n));
        if (content.size() > maxBytes) return FileRead::TooLarge;
    }
}

}  // namespace

const char* fileReadText(FileRead result) {
    for (const ResultWords& row : kResultWords) {
        if (row.result == result) return row.text;
    }
    return "cannot be read";
}

FileRead readRegularFile(const char* path, std::size_t maxBytes, std::string& content) {
    content.clear();
    if (path == nullptr) return FileRead::Missing;
    // Devices are not even opened: opening some of them has effects of its own.
    struct stat info {};
    if (::stat(path, &info) != 0) return errno == ENOENT || errno == ENOTDIR ? FileRead::Missing : FileRead::Failed;
    if (!S_ISREG(info.st_mode)) return FileRead::NotRegular;
    const Descriptor file(::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
    // The path may have been replaced between the two looks; the open file decides.
    if (::fstat(file.get(), &info) != 0) return FileRead::Failed;
    if (!S_ISREG(info.st_mode)) return FileRead::NotRegular;
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) return FileRead::TooLarge;
    const FileRead result = readAll(file.get(), maxBytes, content);
    if (result != FileRead::Read) content.clear();
    return result;
}

}  // namespace tqm
