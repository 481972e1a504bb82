#include "engine/TargetCache.h"

#include <algorithm>
#include <unordered_set>

namespace tarvex {

HostTargetPtr TargetCache::find(std::string_view key) const
{
    auto found = m_entries.find(key);
    return found == m_entries.end() ? nullptr : found->second.target;
}

void TargetCache::add(std::string key, HostTargetPtr target)
{
    m_entries[std::move(key)] = Entry{std::move(target), m_nextOrder++};
    ++m_generation;
}

HostTargetPtr TargetCache::remove(const std::string &key)
{
    auto found = m_entries.find(key);
    if (found == m_entries.end())
        return nullptr;
    HostTargetPtr target = std::move(found->second.target);
    m_entries.erase(found);
    ++m_generation;
    return target;
}

std::vector<std::string> TargetCache::keysNotIn(const std::vector<std::string> &keptKeys) const
{
    std::unordered_set<std::string_view> kept(keptKeys.begin(), keptKeys.end());
    std::vector<std::pair<uint64_t, std::string>> unused;
    for (const auto &[key, entry] : m_entries) {
        if (!kept.count(key))
            unused.emplace_back(entry.order, key);
    }
    std::sort(unused.begin(), unused.end());
    std::vector<std::string> keys;
    for (auto &entry : unused)
        keys.push_back(std::move(entry.second));
    return keys;
}

} // namespace tarvex
