#pragma once
// ActionRows: the plug-in's actions as the host's rows view shows them. The host reads them from
// the plug-in's JSON export (docs/actions-json.md) with each row's key (IHostRowKeys), adds what
// the row made its target do (TargetHits) and says in words why a row cannot fire as it stands,
// one rule per reason.
//
//   std::vector<ActionRow> rows = readActionRows(actions->exportActions());
//   setRowKeys(rows, keys->rowKeys());
//   for (const ActionRow &row : rows)
//       for (const std::string &why : reasonsRowCannotFire(row, *universes)) ...

#include "core/Decimal.h"
#include "host/objects/HostEvents.h"
#include "host/objects/TargetHits.h"
#include "host/objects/Universes.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::host {

struct ActionRow {
    int number = 0; // 1-based, as the editor's list counts
    std::string address;
    std::vector<std::string> tags;
    std::string argument; // "1. Float"; "" when none is chosen
    std::string op;
    std::string compareValue;
    std::string inMin, inMax;
    std::optional<TargetValues> target; // none without an argument
    std::string activation;
    int32_t id = 0;
    RowKey key = NoRow; // what its hits are counted under
};

// The rows of an export. Throws std::runtime_error for a text that is no export.
std::vector<ActionRow> readActionRows(std::string_view json);
// Gives each row its key, one per row in order; keys that do not match the rows in number
// (the table changed between the two reads) give none, so no row shows another's hits.
void setRowKeys(std::vector<ActionRow> &rows, const std::vector<RowKey> &keys);

// The row's input limits as the engine reads them: none for a row that tests no number
// argument or whose inMin or inMax is no number. A limit beyond a decimal's range raises
// VbError (the engine then sends outMin for every value).
struct InputLimits {
    Decimal inMin, inMax;
};
std::optional<InputLimits> inputLimits(const ActionRow &row);
// Where the argument the row tests stands among its type tags ("2. Float" with tags s, f, f:
// 2); none without an argument, for a message without arguments, or for an argument its tags
// do not have.
std::optional<size_t> testedArgumentIndex(const ActionRow &row);

// The operator and comparison value as one text ("> 0.5", "any"); "" without an argument.
std::string conditionText(const ActionRow &row);

// The reasons, in words, why the row cannot fire as it stands (or fires on every value where a
// comparison should choose); empty when nothing stands in its way. One rule each:
std::optional<std::string> noArgumentChosen(const ActionRow &row);
std::optional<std::string> switchedOff(const ActionRow &row);
std::optional<std::string> comparisonWithoutNumber(const ActionRow &row);
std::optional<std::string> equalInputLimits(const ActionRow &row);
std::optional<std::string> targetDisabled(const ActionRow &row);
std::optional<std::string> targetWithoutKind(const ActionRow &row);
std::optional<std::string> missingUniverse(const ActionRow &row, const Universes &universes);
std::optional<std::string> missingChannel(const ActionRow &row);
std::vector<std::string> reasonsRowCannotFire(const ActionRow &row, const Universes &universes);

// One row of the view: the action, what it made its target do, and the reasons.
struct RowStatus {
    ActionRow row;
    std::optional<TargetHit> hit;
    std::vector<std::string> cannotFire;
};
std::vector<RowStatus> rowStatuses(std::vector<ActionRow> rows, const Universes &universes,
                                   const TargetHits &hits);
// The row's hits; nothing without a key or before its first execute.
std::optional<TargetHit> hitOf(const ActionRow &row, const TargetHits &hits);

} // namespace tarvex::host
