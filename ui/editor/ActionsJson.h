#pragma once
// ActionsJson: the action table as JSON text and back, the format docs/actions-json.md
// describes: one object per row with its members always in the same order, so that two exports
// compare line by line. Both directions work with the rows as the editor shows and saves them:
// an export holds what a save would store, and an import makes exactly the rows the editor
// would have built from the same cells.
//
//   std::string text = exportActionsJson(state.actionTable.rows());
//   ActionsImport read = importActionsJson(text, {.storedText = whyTextCannotBeStored});
//   if (read.table)
//       state.actionTable.replace(std::move(*read.table));
//   else
//       report(read.errors);   // "row 3, inMin: must be a text (in quotes)"
//
// An import is all or nothing: every row and field is checked, and any error leaves no table. It
// accepts only rows that a save stores and a load gives back as they were, so that an export
// after the save is the same text.

#include "core/VarArray.h"
#include "plugin/api/HostActions.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

inline constexpr std::string_view ActionsJsonFormat = "tarvex-actions 1";

// The rows of the table as JSON text. An element that is no whole row (isWholeRow; a table read
// from a file never holds one) is left out. A target value the editor could not show (a universe
// beyond 0..255) raises its conversion error.
std::string exportActionsJson(const VarArray &table);

// The bounds of an import, which keep its memory within a few times the text's size: a row held
// in the table takes about 1.6 kB, an argument beyond a row's first about 200 bytes.
inline constexpr size_t MaxActionsJsonBytes = 64 << 20;
inline constexpr size_t MaxImportedRows = 100000;
inline constexpr size_t MaxImportedArguments = 200000; // type tags of all rows together
// The JSON values the reader holds at once: the document's own and one row's (a row with up to
// about 4 000 arguments).
inline constexpr size_t MaxHeldJsonValues = 4096;

struct ActionsImport {
    // The new table (never dimensioned for an empty list of actions); nothing on any error.
    std::optional<VarArray> table;
    // Each names the row (1-based, as the editor counts) and the field; the first MaxErrors.
    std::vector<std::string> errors;
    static constexpr size_t MaxErrors = 50;
    // The numbers that more than one row carries, in the order of their first row.
    std::vector<SharedActionId> sharedIds;
};

struct ActionsImportRules {
    // Why a text could not be stored as it is (store/ArrayCodec's whyTextCannotBeStored), or
    // nothing; the import refuses a row with such a text.
    std::function<std::optional<std::string>(std::string_view text)> storedText = {};
    // Called once each row is read, with its number. What it raises ends the import as any
    // failure does: tests raise at a chosen row to see that nothing has changed yet.
    std::function<void(size_t row)> rowRead = {};
};
ActionsImport importActionsJson(std::string_view text, const ActionsImportRules &rules);

} // namespace tarvex
