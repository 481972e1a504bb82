// tarvex-bench-show: the host with a show of 10 000 rows, headless: start to "ready", resident
// size once ready, the editor filled ("configure", timed to the answer of the "state" sent right
// after it, since commands run in order), and a project save (to "saved"). One JSON line with
// the medians of five starts.
//
//   tarvex-bench-show [ROWS]

#include "bench/host/BenchShow.h"
#include "bench/host/HostProcess.h"
#include "bench/host/Measures.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

using namespace tarvex::bench;
using namespace std::chrono_literals;

namespace {

struct Timings {
    double readyMs, rssMb, editorMs, saveMs;
};

// One start of the host on the show; nothing when a step did not answer within its bound.
std::optional<Timings> measure(const std::string &project)
{
    HostProcess host;
    const Clock::time_point start = Clock::now();
    if (!host.start(
            {TARVEX_HOST_EXE, "--headless", "--no-dmx-out", "--plugin", TARVEX_PLUGIN, project}))
        return std::nullopt;
    const auto ready = host.waitFor("ready", 30s);
    if (!ready)
        return std::nullopt;
    Timings t{millisecondsSince(start, ready->at),
              static_cast<double>(statusKb(host.pid(), "VmRSS")) / 1024.0, 0, 0};

    const Clock::time_point configure = Clock::now();
    host.send("configure");
    host.send("state");
    const auto filled = host.waitFor("state", 60s);
    if (!filled)
        return std::nullopt;
    t.editorMs = millisecondsSince(configure, filled->at);

    const Clock::time_point save = Clock::now();
    host.send("save");
    const auto saved = host.waitFor("saved", 60s);
    if (!saved)
        return std::nullopt;
    t.saveMs = millisecondsSince(save, saved->at);
    host.quit(10s);
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    constexpr int Runs = 5;
    const std::string project = writeLargeShow(freeUdpPort(), rows);
    std::vector<double> ready, rss, editor, save;
    for (int i = 0; i < Runs; ++i) {
        const std::optional<Timings> t = measure(project);
        if (!t) {
            std::cerr << "tarvex-bench-show: the host did not answer in time\n";
            return 1;
        }
        ready.push_back(t->readyMs);
        rss.push_back(t->rssMb);
        editor.push_back(t->editorMs);
        save.push_back(t->saveMs);
    }
    std::filesystem::remove_all(std::filesystem::path(project).parent_path());
    std::printf("{\"bench\": \"show\", \"rows\": %d, \"ready_ms\": %.1f, \"rss_mb\": %.1f, "
                "\"editor_ms\": %.1f, \"save_ms\": %.1f}\n",
                rows, median(ready), median(rss), median(editor), median(save));
    return 0;
}
