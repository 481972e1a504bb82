// tarvex-bench-imports: large imports on the real host, headless, on the example show. A file of
// ROWS fader rows as compact JSON (99 000 rows make about 25 MB) is imported and replaced by six
// rows five times over; then it is imported and saved; then 10 000 rows that share one id are
// imported and saved, beside 10 000 rows with an id each. Each step is timed from its command to
// its event; its memory is the peak resident size during the step (reset before it through
// /proc/PID/clear_refs) less the resident size before it. One JSON line; the ratios compare with
// the file's size and with the same step on distinct ids, measured in the same run.
//
//   tarvex-bench-imports [ROWS]

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

// Compact rows, one a line, as another program might write them; `sharedId` gives every row that
// id, otherwise each has its own.
std::string writeRows(const std::string &path, int rows, int sharedId = 0)
{
    std::ofstream out(path);
    out << "{\"format\":\"tarvex-actions 1\",\"actions\":[\n";
    for (int i = 1; i <= rows; ++i) {
        out << "{\"address\":\"/fader/" << i
            << "\",\"tags\":[\"f\"],\"argument\":\"1. Float\",\"operator\":\"any\","
               "\"compareValue\":\"-\",\"inMin\":\"0\",\"inMax\":\"1\",\"outMin\":\"0\","
               "\"outMax\":\"255\",\"min\":\"0\",\"max\":\"255\",\"target\":{\"t0\":\"DMX\","
               "\"t1\":\"Fader "
            << i << "\",\"t2\":\"\",\"t3\":1,\"t4\":" << (i - 1) % 512 + 1
            << "},\"activation\":\"Activated\",\"id\":" << (sharedId ? sharedId : 100000 + i) << "}"
            << (i < rows ? ",\n" : "\n");
    }
    out << "]}\n";
    return path;
}

struct Step {
    double ms = 0, peakMb = 0, rssAfterMb = 0;
};

double megabytes(long kb)
{
    return static_cast<double>(kb) / 1024.0;
}

// Runs one command to its event; nothing when the host answered with an error or not in time.
std::optional<Step> run(HostProcess &host, const std::string &command, const std::string &event)
{
    const long before = statusKb(host.pid(), "VmRSS");
    std::ofstream("/proc/" + std::to_string(host.pid()) + "/clear_refs") << "5";
    const Clock::time_point start = Clock::now();
    host.send(command);
    const auto answer = host.waitFor(event, 120s);
    if (!answer) {
        std::cerr << "tarvex-bench-imports: no " << event << " after " << command << "\n";
        return std::nullopt;
    }
    return Step{millisecondsSince(start, answer->at),
                megabytes(statusKb(host.pid(), "VmHWM") - before),
                megabytes(statusKb(host.pid(), "VmRSS"))};
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 99000;
    constexpr int Cycles = 5;
    constexpr int SharedRows = 10000;
    const std::string project = writeExampleShow(freeUdpPort());
    const std::filesystem::path folder = std::filesystem::path(project).parent_path();
    const std::string big = writeRows(folder / "big.json", rows);
    const std::string six = writeRows(folder / "six.json", 6);
    const std::string shared = writeRows(folder / "shared.json", SharedRows, 4242);
    const std::string distinct = writeRows(folder / "distinct.json", SharedRows);
    const double fileMb = static_cast<double>(std::filesystem::file_size(big)) / (1024.0 * 1024.0);

    HostProcess host;
    if (!host.start(
            {TARVEX_HOST_EXE, "--headless", "--no-dmx-out", "--plugin", TARVEX_PLUGIN, project}) ||
        !host.waitFor("ready", 30s))
        return 1;
    std::vector<double> importMs, importPeak, replaceMs, replacePeak, cycleRss;
    for (int i = 0; i < Cycles; ++i) {
        const auto imported = run(host, "actions import " + big, "actionsImported");
        const auto replaced = run(host, "actions import " + six, "actionsImported");
        if (!imported || !replaced)
            return 1;
        importMs.push_back(imported->ms);
        importPeak.push_back(imported->peakMb);
        replaceMs.push_back(replaced->ms);
        replacePeak.push_back(replaced->peakMb);
        cycleRss.push_back(replaced->rssAfterMb);
    }
    const auto bigAgain = run(host, "actions import " + big, "actionsImported");
    const auto saved = run(host, "save", "saved");
    const auto sharedImport = run(host, "actions import " + shared, "actionsImported");
    const auto sharedSave = run(host, "save", "saved");
    const auto distinctImport = run(host, "actions import " + distinct, "actionsImported");
    const auto distinctSave = run(host, "save", "saved");
    if (!bigAgain || !saved || !sharedImport || !sharedSave || !distinctImport || !distinctSave)
        return 1;
    host.quit(10s);
    std::filesystem::remove_all(folder);

    const double worstPeak = *std::max_element(importPeak.begin(), importPeak.end());
    std::printf(
        "{\"bench\": \"imports\", \"rows\": %d, \"file_mb\": %.1f, \"import_ms\": %.0f, "
        "\"first_import_ms\": %.0f, \"import_peak_mb\": %.1f, \"import_peak_per_file\": %.2f, "
        "\"replace_ms\": %.0f, \"replace_peak_mb\": %.1f, \"save_ms\": %.0f, \"save_peak_mb\": "
        "%.1f, \"save_peak_per_file\": %.2f, \"rss_after_cycle1_mb\": %.1f, "
        "\"rss_after_cycle5_mb\": %.1f, \"rss_cycle5_per_cycle1\": %.3f, \"shared_save_ms\": "
        "%.0f, \"distinct_save_ms\": %.0f, \"shared_save_per_distinct\": %.2f}\n",
        rows, fileMb, median(importMs), importMs.front(), worstPeak, worstPeak / fileMb,
        median(replaceMs), *std::max_element(replacePeak.begin(), replacePeak.end()), saved->ms,
        saved->peakMb, saved->peakMb / fileMb, cycleRss.front(), cycleRss.back(),
        cycleRss.back() / cycleRss.front(), sharedSave->ms, distinctSave->ms,
        sharedSave->ms / distinctSave->ms);
    return 0;
}
