#include "sim/device_link.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tqm::sim {
namespace {

// The symlink's target, or an empty text when path is no symlink.
std::string linkTarget(const std::string& path) {
    char buffer[4096] = {};
    const ssize_t size = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return size > 0 ? std::string(buffer, static_cast<std::size_t>(size)) : std::string();
}

}  // namespace

DeviceLink::~DeviceLink() { remove(); }

bool DeviceLink::publish(const std::string& linkPath, const std::string& target) {
    struct stat info {};
    if (lstat(linkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
        m_errorText = linkPath + ": exists and is not a symlink";
        return false;
    }
    const std::string temporary = linkPath + ".new" + std::to_string(getpid());
    ::unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        m_errorText = linkPath + ": " + std::strerror(errno);
        return false;
    }
    if (std::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        m_errorText = linkPath + ": " + std::strerror(errno);
        ::unlink(temporary.c_str());
        return false;
    }
    m_path = linkPath;
    m_target = target;
    m_errorText.clear();
    return true;
}

void DeviceLink::remove() {
    if (!m_path.empty() && linkTarget(m_path) == m_target) {
        ::unlink(m_path.c_str());
    }
    m_path.clear();
    m_target.clear();
}

}  // namespace tqm::sim
