#pragma once
// TargetHits: what the targets did for each action row of the plug-in, counted per row, so a
// row that never fired shows no hits although another row drives the same channel. The
// plug-in says which row the next execute is for (IHostRowHits::rowExecuting, by the row's
// key), and the target records its execute there: how often the row executed, the value and
// limits of its last execute, the level its target sent the channel to (none for a target that
// writes no level) and when.
//
//   hits.setExecutingRow(key);                      // the plug-in, before an execute
//   hits.recordExecute(value, min, max, level);     // the target, in its execute
//   const TargetHit *seen = hits.find(key);         // nullptr: never executed
//
// Every change bumps a counter, so a view refreshes only when something happened.

#include "plugin/api/HostRows.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>

namespace tarvex::host {

struct TargetHit {
    uint64_t count = 0;
    int32_t value = 0, min = 0, max = 0;
    std::optional<uint32_t> level;
    std::chrono::system_clock::time_point time;
};

class TargetHits {
public:
    // The row the next execute is for; NoRow: the next execute is counted for no row.
    void setExecutingRow(RowKey row) { m_executing = row; }
    // One execute of a target, counted for the row told last, which is then forgotten (an
    // execute the plug-in said no row for counts nowhere).
    void recordExecute(int32_t value, int32_t min, int32_t max, std::optional<uint32_t> level);
    // The row's hits; nullptr before its first execute.
    const TargetHit *find(RowKey row) const;
    // Counts every record and clear, for views that refresh only after a change.
    uint64_t changes() const { return m_changes; }
    // Forgets every hit (another project was opened).
    void clear();

    // Called after every record: a view schedules its refresh.
    std::function<void()> onRecord;

    // Where the time of a hit comes from: unless replaced, the system's coarse real-time clock,
    // right to a few milliseconds and a fraction of the cost of the precise one (an execute is
    // counted on every datagram).
    void setClock(std::function<std::chrono::system_clock::time_point()> now)
    {
        m_now = std::move(now);
    }

private:
    std::unordered_map<RowKey, TargetHit> m_hits;
    RowKey m_executing = NoRow;
    // The last row recorded: a fader's stream records the same one again and again.
    RowKey m_lastRow = NoRow;
    TargetHit *m_last = nullptr;
    uint64_t m_changes = 0;
    std::function<std::chrono::system_clock::time_point()> m_now = coarseNow;
    static std::chrono::system_clock::time_point coarseNow();
};

} // namespace tarvex::host
