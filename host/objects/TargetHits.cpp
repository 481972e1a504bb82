#include "host/objects/TargetHits.h"

#include "core/Conversions.h"
#include "core/VbError.h"

#include <ctime>

namespace tarvex::host {
namespace {

void appendValue(std::string &key, const Variant &value)
{
    try {
        key += toText(value);
    } catch (const VbError &) {
    }
    key += '\x1f';
}

} // namespace

std::string targetKey(const TargetValues &values)
{
    std::string key;
    appendValue(key, values.t0);
    appendValue(key, values.t1);
    appendValue(key, values.t2);
    key += std::to_string(values.t3) + '\x1f' + std::to_string(values.t4);
    return key;
}

std::chrono::system_clock::time_point TargetHits::coarseNow()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
}

TargetHit &TargetHits::entry(const TargetValues &values)
{
    return m_hits[targetKey(values)];
}

void TargetHits::record(TargetHit &hit, int32_t value, int32_t min, int32_t max,
                        std::optional<uint32_t> level)
{
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
    for (auto &[key, hit] : m_hits)
        hit = TargetHit{};
    ++m_changes;
    if (onRecord)
        onRecord();
}

const TargetHit *TargetHits::find(const TargetValues &values) const
{
    const auto hit = m_hits.find(targetKey(values));
    return hit == m_hits.end() || hit->second.count == 0 ? nullptr : &hit->second;
}

} // namespace tarvex::host
