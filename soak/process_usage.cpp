#include "soak/process_usage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tqm::soak {
namespace {

namespace fs = std::filesystem;

int countEntries(const fs::path& directory) {
    std::error_code error;
    int count = 0;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) ++count;
    return count;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

}  // namespace

ProcessUsage readProcessUsage() {
    ProcessUsage usage;
    usage.threads = countEntries("/proc/self/task");
    // The directory iterator holds one descriptor of its own while it counts.
    usage.fds = countEntries("/proc/self/fd") - 1;
    usage.rssKb = residentKb();
    return usage;
}

std::string describe(const ProcessUsage& usage) {
    char text[96];
    std::snprintf(text, sizeof text, "threads %d, fds %d, rss %ld kB", usage.threads, usage.fds, usage.rssKb);
    return text;
}

std::vector<std::string> threadNames() {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it("/proc/self/task", error), end; !error && it != end; it.increment(error)) {
        std::ifstream comm(it->path() / "comm");
        std::string name;
        std::getline(comm, name);
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> descriptorTargets() {
    std::vector<std::string> targets;
    std::error_code error;
    for (fs::directory_iterator it("/proc/self/fd", error), end; !error && it != end; it.increment(error)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (!linkError && target.string().rfind("/proc/", 0) != 0) targets.push_back(target.string());
    }
    std::sort(targets.begin(), targets.end());
    return targets;
}

}  // namespace tqm::soak
