#pragma once
// LruTable: a map of bounded size that keeps its entries in the order they were last used and
// makes room by dropping the least recently used one. All of its memory is taken when it is
// made: using, adding and evicting entries allocate nothing (beyond what a key or value of its
// own grows to), so a stream of new keys cannot grow it.
//
//   LruTable<uint64_t, Counts> senders(256);
//   bool added = false;
//   Counts &c = senders.touch(key, added);   // now the most recently used
//   senders.forEach([](uint64_t key, const Counts &c) { ...; return true; });   // newest first
//   senders.erase(key);
//
// Keys are uint64_t or std::string (looked up by std::string_view without a copy).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct LruKeyHash {
    // Mixed, since consecutive keys (ports) would otherwise fill neighbouring buckets.
    size_t operator()(uint64_t key) const
    {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdULL;
        key ^= key >> 33;
        return static_cast<size_t>(key);
    }
    size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
};

template <class Key, class Value> class LruTable {
    static constexpr uint32_t None = UINT32_MAX;
    struct Slot {
        Key key{};
        Value value{};
        size_t hash = 0;
        uint32_t newer = None, older = None; // in the order of use; a free slot's next is older
        bool used = false;
    };

public:
    // Capacity: at least 1.
    explicit LruTable(size_t capacity) : m_slots(capacity < 1 ? 1 : capacity)
    {
        size_t buckets = 4;
        while (buckets < 2 * m_slots.size())
            buckets *= 2;
        m_buckets.assign(buckets, None);
    }

    size_t size() const { return m_used - m_freeCount; }
    size_t capacity() const { return m_slots.size(); }
    // Entries dropped to make room, since the table was made or cleared.
    uint64_t evictions() const { return m_evictions; }

    // The entry for the key, made the most recently used. A key not in the table is added with
    // a default value (the least recently used entry making room when the table is full);
    // `added` tells which happened.
    template <class K> Value &touch(const K &key, bool &added)
    {
        return m_slots[touchSlot(key, added, [](const Key &, const Value &) {})].value;
    }
    // The same; an entry evicted to make room is first handed to evicted(key, value).
    template <class K, class F> Value &touch(const K &key, bool &added, F evicted)
    {
        return m_slots[touchSlot(key, added, evicted)].value;
    }
    // The same, giving the entry's slot (see atSlot).
    template <class K> uint32_t touchSlot(const K &key, bool &added)
    {
        return touchSlot(key, added, [](const Key &, const Value &) {});
    }

    // Makes the entry in the slot (see atSlot) the most recently used.
    void makeNewest(uint32_t slot)
    {
        if (slot == m_newest)
            return;
        unlink(slot);
        pushNewest(slot);
    }

    // The entry for the key, made the most recently used; nullptr when absent.
    template <class K> Value *use(const K &key)
    {
        const uint32_t slot = m_buckets[find(key, LruKeyHash{}(key))];
        if (slot == None)
            return nullptr;
        makeNewest(slot);
        return &m_slots[slot].value;
    }

    // The entry for the key without changing the order; nullptr when absent.
    template <class K> Value *find(const K &key)
    {
        const uint32_t slot = m_buckets[find(key, LruKeyHash{}(key))];
        return slot == None ? nullptr : &m_slots[slot].value;
    }
    template <class K> const Value *find(const K &key) const
    {
        const uint32_t slot = m_buckets[find(key, LruKeyHash{}(key))];
        return slot == None ? nullptr : &m_slots[slot].value;
    }

    // Removes the entry for the key, if any; its slot is reused by the next new key.
    template <class K> void erase(const K &key)
    {
        const size_t bucket = find(key, LruKeyHash{}(key));
        const uint32_t slot = m_buckets[bucket];
        if (slot == None)
            return;
        unlink(slot);
        eraseBucket(bucket);
        m_slots[slot].used = false;
        m_slots[slot].older = m_free;
        m_free = slot;
        ++m_freeCount;
    }

    // The entries by the slots that hold them, which never move while an entry stays: a walk
    // over the slots from 0 to slotCount() meets every entry once, also while entries are used
    // in between. nullptr for a free slot.
    size_t slotCount() const { return m_used; }
    const Value *atSlot(size_t slot) const
    {
        return slot < m_used && m_slots[slot].used ? &m_slots[slot].value : nullptr;
    }
    Value *atSlot(size_t slot)
    {
        return slot < m_used && m_slots[slot].used ? &m_slots[slot].value : nullptr;
    }
    const Key &keyAtSlot(size_t slot) const { return m_slots[slot].key; }

    // Calls f(key, value) from the most recently used entry on while it returns true.
    template <class F> void forEach(F f) const
    {
        for (uint32_t s = m_newest; s != None; s = m_slots[s].older)
            if (!f(m_slots[s].key, m_slots[s].value))
                return;
    }
    template <class F> void forEach(F f)
    {
        for (uint32_t s = m_newest; s != None; s = m_slots[s].older)
            if (!f(m_slots[s].key, m_slots[s].value))
                return;
    }
    // The same from the least recently used entry on.
    template <class F> void forEachOldestFirst(F f)
    {
        for (uint32_t s = m_oldest; s != None; s = m_slots[s].newer)
            if (!f(m_slots[s].key, m_slots[s].value))
                return;
    }

    // Forgets every entry and the eviction count; keeps the memory.
    void clear()
    {
        m_buckets.assign(m_buckets.size(), None);
        m_newest = m_oldest = None;
        m_used = 0;
        m_free = None;
        m_freeCount = 0;
        m_evictions = 0;
    }

private:
    template <class K, class F> uint32_t touchSlot(const K &key, bool &added, F evicted)
    {
        const size_t hash = LruKeyHash{}(key);
        size_t bucket = find(key, hash);
        added = m_buckets[bucket] == None;
        uint32_t slot;
        if (!added) {
            slot = m_buckets[bucket];
            unlink(slot);
        } else {
            slot = takeSlot(evicted);
            bucket = find(key, hash); // taking a slot may have moved buckets
            Slot &s = m_slots[slot];
            assignKey(s.key, key);
            // A value that can reset itself keeps its buffers for the next key.
            if constexpr (requires { s.value.reset(); })
                s.value.reset();
            else
                s.value = Value{};
            s.hash = hash;
            s.used = true;
            m_buckets[bucket] = slot;
        }
        pushNewest(slot);
        return slot;
    }

    static void assignKey(uint64_t &key, uint64_t from) { key = from; }
    static void assignKey(std::string &key, std::string_view from) { key.assign(from); }

    template <class K> size_t find(const K &key, size_t hash) const
    {
        const size_t mask = m_buckets.size() - 1;
        for (size_t b = hash & mask;; b = (b + 1) & mask) {
            const uint32_t slot = m_buckets[b];
            if (slot == None || (m_slots[slot].hash == hash && m_slots[slot].key == key))
                return b;
        }
    }

    // A free slot, or the least recently used one, evicted.
    template <class F> uint32_t takeSlot(F &evicted)
    {
        if (m_free != None) {
            const uint32_t slot = m_free;
            m_free = m_slots[slot].older;
            --m_freeCount;
            return slot;
        }
        if (m_used < m_slots.size())
            return static_cast<uint32_t>(m_used++);
        const uint32_t slot = m_oldest;
        evicted(static_cast<const Key &>(m_slots[slot].key), m_slots[slot].value);
        unlink(slot);
        eraseBucket(find(m_slots[slot].key, m_slots[slot].hash));
        ++m_evictions;
        return slot;
    }

    // Linear probing without tombstones: the entries after a removed one move back into the
    // gap when their home bucket lies before it.
    void eraseBucket(size_t gap)
    {
        const size_t mask = m_buckets.size() - 1;
        for (size_t b = (gap + 1) & mask; m_buckets[b] != None; b = (b + 1) & mask) {
            const size_t home = m_slots[m_buckets[b]].hash & mask;
            const bool movable = gap <= b ? (home <= gap || home > b) : (home <= gap && home > b);
            if (movable) {
                m_buckets[gap] = m_buckets[b];
                gap = b;
            }
        }
        m_buckets[gap] = None;
    }

    void unlink(uint32_t slot)
    {
        Slot &s = m_slots[slot];
        (s.newer == None ? m_newest : m_slots[s.newer].older) = s.older;
        (s.older == None ? m_oldest : m_slots[s.older].newer) = s.newer;
        s.newer = s.older = None;
    }

    void pushNewest(uint32_t slot)
    {
        Slot &s = m_slots[slot];
        s.older = m_newest;
        s.newer = None;
        (m_newest == None ? m_oldest : m_slots[m_newest].newer) = slot;
        m_newest = slot;
    }

    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_buckets;
    size_t m_used = 0; // slots ever taken since made or cleared
    uint32_t m_free = None;
    size_t m_freeCount = 0;
    uint64_t m_evictions = 0;
    uint32_t m_newest = None, m_oldest = None;
};

} // namespace tarvex
