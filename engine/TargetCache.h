#pragma once
// TargetCache: the host targets the engine has created, by the key of their five creation
// values (targetKey, ObjectHandler.h). Entries keep the order in which they were added.

#include "plugin/api/HostInterfaces.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarvex {

class TargetCache {
public:
    HostTargetPtr find(std::string_view key) const;
    void add(std::string key, HostTargetPtr target);
    // Removes the entry and returns its target (nullptr when there is none).
    HostTargetPtr remove(const std::string &key);
    // The keys that are not among keptKeys, in the order their entries were added.
    std::vector<std::string> keysNotIn(const std::vector<std::string> &keptKeys) const;
    size_t size() const { return m_entries.size(); }
    // Counts additions and removals, so that a target found earlier is known to be still cached.
    uint64_t generation() const { return m_generation; }
    bool contains(std::string_view key) const { return find(key) != nullptr; }

private:
    struct Entry {
        HostTargetPtr target;
        uint64_t order;
    };
    struct TransparentHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    std::unordered_map<std::string, Entry, TransparentHash, std::equal_to<>> m_entries;
    uint64_t m_nextOrder = 0;
    uint64_t m_generation = 0;
};

} // namespace tarvex
