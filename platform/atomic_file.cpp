#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

namespace tqm {
namespace {

constexpr int kMaxLinkHops = 40;  // as the system's own limit for path lookups
constexpr int kNameAttempts = 16;
constexpr mode_t kNewFileMode = 0644;

// The path a write to target lands on: symbolic links followed to their end (which
// may not exist yet). False for a loop of links.
bool resolveLinks(std::filesystem::path target, std::filesystem::path& resolved) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        std::error_code error;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
            resolved = target;
            return true;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error) {
            errno = error.value();
            return false;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    errno = ELOOP;
    return false;
}

bool writeAll(int fd, std::string_view content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Creates a temporary file with a fresh name beside target; its descriptor, or -1.
int createTemporary(const std::filesystem::path& target, mode_t mode, std::string& name) {
    std::random_device random;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (target.parent_path() / ("." + target.filename().string() + "." + std::to_string(random()) + ".tmp"))
                   .string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Writes, syncs and closes the temporary file; false (the file still there) on failure.
bool fillTemporary(int fd, bool keepMode, mode_t mode, std::string_view content) {
    // Created with the umask applied; a replaced file's bits are restored exactly.
    const bool written = (!keepMode || ::fchmod(fd, mode) == 0) && writeAll(fd, content) && ::fsync(fd) == 0;
    const int saved = errno;
    const bool closed = ::close(fd) == 0;
    if (!written) errno = saved;
    return written && closed;
}

// The rename is made durable; it has happened either way, so a failure is not reported.
void syncDirectory(const std::filesystem::path& file) {
    const std::filesystem::path directory = file.parent_path();
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool writeFileAtomically(const std::filesystem::path& target, std::string_view content) {
    std::filesystem::path file;
    if (target.empty() || !resolveLinks(target, file)) {
        if (target.empty()) errno = ENOENT;
        return false;
    }
    struct stat existing {};
    const bool exists = ::stat(file.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return false;
    if (exists && !S_ISREG(existing.st_mode)) {
        errno = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
        return false;
    }
    // Writing in place would fail for such a file; replacing it would not.
    if (exists && ::access(file.c_str(), W_OK) != 0) return false;
    const mode_t mode = exists ? (existing.st_mode & 07777) : kNewFileMode;
    std::string temporary;
    const int fd = createTemporary(file, mode, temporary);
    if (fd < 0) return false;
    if (!fillTemporary(fd, exists, mode, content) || ::rename(temporary.c_str(), file.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return false;
    }
    syncDirectory(file);
    return true;
}

}  // namespace tqm
