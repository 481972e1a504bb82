#include "host/objects/TargetHits.h"

#include <ctime>

namespace tarvex::host {

std::chrono::system_clock::time_point TargetHits::coarseNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
}

void TargetHits::recordExecute(int32_t value, int32_t min, int32_t max,
                               std::optional<uint32_t> level)
{
    const RowKey row = m_executing;
    m_executing = NoRow;
    if (row == NoRow)
        return;
    if (row != m_lastRow || !m_last) {
        m_last = &m_hits[row]; // entries of a node-based map stay where they are
        m_lastRow = row;
    }
    TargetHit &hit = *m_last;
    ++hit.count;
    hit.value = value;
    hit.min = min;
    hit.max = max;
    hit.level = level;
    hit.time = m_now();
    ++m_changes;
    if (onRecord)
        onRecord();
}

void TargetHits::clear()
{
    m_hits.clear();
    m_last = nullptr;
    m_lastRow = NoRow;
    ++m_changes;
    if (onRecord)
        onRecord();
}

const TargetHit *TargetHits::find(RowKey row) const
{
    const auto hit = m_hits.find(row);
    return hit == m_hits.end() ? nullptr : &hit->second;
}

} // namespace tarvex::host
