// tarvex-bench-footprint: the host with the example show, headless: start to "ready", CPU while
// idle for ten seconds and resident size, beside Qt's own start (the host with --help, which
// makes the application object and exits) measured in the same run.

#include "bench/host/BenchShow.h"
#include "bench/host/HostProcess.h"
#include "bench/host/Measures.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

using namespace tarvex::bench;
using namespace std::chrono_literals;

namespace {

struct QtStart {
    double ms;
    long maxRssKb;
};

std::optional<QtStart> helpStart()
{
    HostProcess help;
    const Clock::time_point start = Clock::now();
    if (!help.start({TARVEX_HOST_EXE, "--headless", "--help"}))
        return std::nullopt;
    const std::optional<long> rss = help.waitForExit(10s);
    if (!rss)
        return std::nullopt;
    return QtStart{millisecondsSince(start, Clock::now()), *rss};
}

} // namespace

int main()
{
    constexpr int Runs = 5;
    std::vector<double> helpMs, readyMs;
    long helpRss = 0;
    for (int i = 0; i < Runs; ++i) {
        const std::optional<QtStart> qt = helpStart();
        if (!qt) {
            std::cerr << "tarvex-bench-footprint: --help did not end\n";
            return 1;
        }
        helpMs.push_back(qt->ms);
        helpRss = std::max(helpRss, qt->maxRssKb);
    }

    const std::string project = writeExampleShow(freeUdpPort());
    double idleCpu = -1;
    long rss = -1, peak = -1;
    for (int i = 0; i < Runs; ++i) {
        HostProcess host;
        const Clock::time_point start = Clock::now();
        const bool started =
            host.start({TARVEX_HOST_EXE, "--headless", "--plugin", TARVEX_PLUGIN, project});
        const auto ready = started ? host.waitFor("ready", 10s) : std::nullopt;
        if (!ready) {
            std::cerr << "tarvex-bench-footprint: the host did not become ready\n";
            return 1;
        }
        readyMs.push_back(millisecondsSince(start, ready->at));
        if (i == Runs - 1) { // the last start also idles
            std::this_thread::sleep_for(1s);
            const double before = cpuSeconds(host.pid());
            const Clock::time_point idleStart = Clock::now();
            std::this_thread::sleep_for(10s);
            idleCpu = (cpuSeconds(host.pid()) - before) /
                      std::chrono::duration<double>(Clock::now() - idleStart).count();
            rss = statusKb(host.pid(), "VmRSS");
            peak = statusKb(host.pid(), "VmHWM");
        }
        host.quit(5s);
    }
    std::filesystem::remove_all(std::filesystem::path(project).parent_path());

    const double qtMs = median(helpMs), hostMs = median(readyMs);
    std::printf("{\"bench\": \"footprint\", \"qt_start_ms\": %.1f, \"ready_ms\": %.1f, "
                "\"ready_vs_qt_start\": %.2f, \"idle_cpu_percent\": %.3f, \"rss_mb\": %.1f, "
                "\"peak_rss_mb\": %.1f, \"qt_start_peak_rss_mb\": %.1f, "
                "\"rss_vs_qt_start\": %.2f}\n",
                qtMs, hostMs, hostMs / qtMs, idleCpu * 100, rss / 1024.0, peak / 1024.0,
                helpRss / 1024.0, static_cast<double>(rss) / static_cast<double>(helpRss));
    return 0;
}
