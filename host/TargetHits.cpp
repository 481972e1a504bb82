#include "host/TargetHits.h"

#include "core/Conversions.h"
#include "core/VbError.h"

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

void TargetHits::record(const TargetValues &values, int32_t value, int32_t min, int32_t max,
                        std::optional<uint32_t> level)
{
    TargetHit &hit = m_hits[targetKey(values)];
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

const TargetHit *TargetHits::find(const TargetValues &values) const
{
    const auto hit = m_hits.find(targetKey(values));
    return hit == m_hits.end() ? nullptr : &hit->second;
}

void TargetHits::clear()
{
    m_hits.clear();
    ++m_changes;
}

} // namespace tarvex::host
