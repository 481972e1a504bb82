#pragma once
// Small measures the host benchmarks share: elapsed milliseconds, the median of a run's values
// and a field of /proc/PID/status in kB.
//
//   double ms = millisecondsSince(start, Clock::now());
//   long rssKb = statusKb(host.pid(), "VmRSS");

#include "bench/host/HostProcess.h"

#include <algorithm>
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

} // namespace tarvex::bench
