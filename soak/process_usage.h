#pragma once

#include <string>
#include <vector>

namespace tqm::soak {

// What the process holds at one moment, read from /proc/self.
struct ProcessUsage {
    int threads = 0;   // entries of /proc/self/task
    int fds = 0;       // entries of /proc/self/fd
    long rssKb = 0;    // VmRSS of /proc/self/status
};

ProcessUsage readProcessUsage();
// "threads 7, fds 12, rss 51234 kB"
std::string describe(const ProcessUsage& usage);
// The names of the process's threads (/proc/self/task/*/comm), sorted.
std::vector<std::string> threadNames();
// Where the open descriptors lead (/proc/self/fd/* link targets), sorted.
std::vector<std::string> descriptorTargets();

}  // namespace tqm::soak
