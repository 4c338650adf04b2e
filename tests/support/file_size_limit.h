#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <functional>

namespace tqm::test {

// Runs action with the process's file size limit at bytes and SIGXFSZ ignored, so
// that a write beyond the limit fails as on a full disk; false when the limit could
// not be set (action not run).
inline bool withFileSizeLimit(rlim_t bytes, const std::function<void()>& action) {
    rlimit saved{};
    if (::getrlimit(RLIMIT_FSIZE, &saved) != 0) return false;
    rlimit limited = saved;
    limited.rlim_cur = bytes;
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    const bool limitSet = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    if (limitSet) action();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    return limitSet;
}

}  // namespace tqm::test
