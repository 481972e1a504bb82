#pragma once
// What a host that counts hits per action row hears of the rows. Optional interfaces, each found
// by a cast, like those of HostScripting.h: a host or plug-in without them keeps working (the
// host then counts no hits).
//
// Every row of the action table has a key, a number that stays with the row while it is
// unchanged, whatever moves it (an editor save, a deleted row, an import, a project load); a row
// that is new or changed gets a key never handed out before. Identical rows have keys of their
// own.
//
// IHostRowHits: offered by the host's helper. The plug-in says which row the next target
// execute is for, and which row each filled row of its editor's list stands for.
//
//   if (auto rows = std::dynamic_pointer_cast<IHostRowHits>(helper)) {
//       rows->rowExecuting(key);           // then target->Execute(...)
//       rows->listRowShows(listRow, key);  // after ShowTargetInRow
//   }
//
// IHostRowKeys: offered by the plug-in's main-window object, beside IHostActions: the key of
// each row of exportActions(), in its order.
//
//   if (auto keys = std::dynamic_pointer_cast<IHostRowKeys>(moduleInfo->mainWindow()))
//       std::vector<RowKey> rowKeys = keys->rowKeys();

#include "core/Object.h"

#include <cstdint>
#include <vector>

namespace tarvex {

using RowKey = uint64_t;
// No row: a list row not saved yet, an execute the plug-in did not say a row for.
inline constexpr RowKey NoRow = 0;

class IHostRowHits {
public:
    virtual ~IHostRowHits() = default;
    // The next target execute is for the row with this key. Told on every execute, right
    // before it: keep it cheap.
    virtual void rowExecuting(RowKey row) = 0;
    // The editor's list row (an IListRow on which the factory showed a target) stands for the
    // action row with this key, NoRow for a row not saved yet; told when the list is filled
    // and after every rebuild of the table from it.
    virtual void listRowShows(const ObjectPtr &listRow, RowKey row) = 0;
};

class IHostRowKeys {
public:
    virtual ~IHostRowKeys() = default;
    // One key per row of IHostActions::exportActions(), in the same order.
    virtual std::vector<RowKey> rowKeys() = 0;
};

} // namespace tarvex
