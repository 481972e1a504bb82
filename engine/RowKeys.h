#pragma once
// RowKeys: the key of each row of the action table (plugin/api/HostRows.h), so that the host
// can count what a row did although rows move. The table changes as a whole or row by row (an
// editor save rewrites every row, a deleted row moves the ones after it, an import or a project
// load replaces them all); whatever the way, a row whose content is unchanged keeps its key.
// Content is everything but the activation, which cues switch while the show runs. A new or
// changed row gets a key never handed out before. Rows of identical content take the keys of
// the identical rows of the table before, in table order.
//
//   RowKey key = state.rowKeys.keyOf(state.actionTable, index);
//   std::span<const RowKey> keys = state.rowKeys.keysOf(state.actionTable);
//
// The keys are worked out again, in one pass over the table, the first time one is asked for
// after the table changed; between changes a key costs an index.

#include "engine/ActionTable.h"
#include "plugin/api/HostRows.h"

#include <span>
#include <vector>

namespace tarvex {

class RowKeys {
public:
    // The key of the table's element at index; NoRow for an index outside the table.
    RowKey keyOf(const ActionTable &table, int32_t index)
    {
        if (!m_valid || m_generation != table.generation())
            update(table);
        const int64_t at = int64_t{index} - m_lowerBound;
        return at >= 0 && at < static_cast<int64_t>(m_keys.size()) ? m_keys[at] : NoRow;
    }
    // One key per element of the table, in its order. Valid until the table changes.
    std::span<const RowKey> keysOf(const ActionTable &table);

private:
    void update(const ActionTable &table);

    bool m_valid = false;
    uint64_t m_generation = 0;
    int32_t m_lowerBound = 0;
    std::vector<RowKey> m_keys;
    std::vector<uint64_t> m_contents; // a hash of each row's content, beside its key
    RowKey m_nextKey = NoRow + 1;
};

// A hash of a row's content: every field but the activation, with the kind and value of every
// element, arrays walked whole.
uint64_t rowContentHash(const Variant &row);

} // namespace tarvex
