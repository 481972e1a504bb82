#pragma once
// Small measures the host benchmarks share: elapsed milliseconds, the median of a run's values,
// a field of /proc/PID/status in kB and the CPU time a process has used.
//
//   double ms = millisecondsSince(start, Clock::now());
//   long rssKb = statusKb(host.pid(), "VmRSS");
//   double seconds = cpuSeconds(host.pid());

#include "bench/host/HostProcess.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tarvex::bench {

inline double millisecondsSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// -1 when the process or the field is gone.
inline long statusKb(pid_t pid, const std::string &key)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

// The time all the process's threads ran, in seconds, from the scheduler's nanosecond counts
// (the clock ticks of /proc/PID/stat are too coarse for an idle process).
inline double cpuSeconds(pid_t pid)
{
    unsigned long long total = 0;
    for (const auto &task :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::ifstream schedstat(task.path() / "schedstat");
        unsigned long long ranNs = 0;
        if (schedstat >> ranNs)
            total += ranNs;
    }
    return static_cast<double>(total) / 1e9;
}

} // namespace tarvex::bench
