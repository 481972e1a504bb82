#pragma once
// ActionsJson: the action table as JSON text and back, the format docs/actions-json.md
// describes: one object per row with its members always in the same order, so that two exports
// compare line by line. Both directions work with the rows as the editor shows and saves them:
// an export holds what a save would store, and an import makes exactly the rows the editor
// would have built from the same cells.
//
//   std::string text = exportActionsJson(state.actionTable.rows());
//   ActionsImport read = importActionsJson(text);
//   if (read.table)
//       state.actionTable.replace(std::move(*read.table));
//   else
//       report(read.errors);   // "row 3, inMin: must be a text (in quotes)"
//
// An import is all or nothing: every row and field is checked, and any error leaves no table.

#include "core/VarArray.h"

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

struct ActionsImport {
    // The new table (never dimensioned for an empty list of actions); nothing on any error.
    std::optional<VarArray> table;
    // Each names the row (1-based, as the editor counts) and the field; the first MaxErrors.
    std::vector<std::string> errors;
    static constexpr size_t MaxErrors = 50;
};
ActionsImport importActionsJson(std::string_view text);

} // namespace tarvex
