#pragma once
// TargetHits: what each target did, counted by its values T0..T4, so that every host target
// made from the same values (the engine's and the editor's) shares one count, as they share one
// channel: how often it executed, the value and limits of the last execute, the level it sent
// the channel to (none for a target that writes no level) and when.
//
//   TargetHit &hit = hits.entry(values);        // once per target: the entry stays
//   hits.record(hit, value, min, max, level);   // every execute
//   const TargetHit *seen = hits.find(values);  // nullptr: never executed
//
// Every change bumps a counter, so a view refreshes only when something happened.

#include "host/objects/HostEvents.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

namespace tarvex::host {

struct TargetHit {
    uint64_t count = 0;
    int32_t value = 0, min = 0, max = 0;
    std::optional<uint32_t> level;
    std::chrono::system_clock::time_point time;
};

// The key of a target's values: the text form of each, kept apart (values without one count as
// empty). By text, because that is how the rows view knows a target (its actions' text form).
std::string targetKey(const TargetValues &values);

class TargetHits {
public:
    // The entry of the target with these values, made on first use; it stays where it is for
    // the life of this object, so a target keeps a reference to it.
    TargetHit &entry(const TargetValues &values);
    // One execute of the target whose entry this is.
    void record(TargetHit &hit, int32_t value, int32_t min, int32_t max,
                std::optional<uint32_t> level);
    void record(const TargetValues &values, int32_t value, int32_t min, int32_t max,
                std::optional<uint32_t> level)
    {
        record(entry(values), value, min, max, level);
    }
    // The target's hits; nullptr before its first execute.
    const TargetHit *find(const TargetValues &values) const;
    // Counts every record and clear, for views that refresh only after a change.
    uint64_t changes() const { return m_changes; }
    // Forgets every hit (another project was opened). The entries stay where they are, zeroed,
    // since targets keep references to them.
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
    std::unordered_map<std::string, TargetHit> m_hits;
    uint64_t m_changes = 0;
    std::function<std::chrono::system_clock::time_point()> m_now = coarseNow;
    static std::chrono::system_clock::time_point coarseNow();
};

} // namespace tarvex::host
