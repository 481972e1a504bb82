#pragma once
// The editor's name of a message argument ("2. Float"): its number among the arguments of the
// same kind, a full stop and a blank, and the kind's keyword. Rows store the label in their
// "Wert" cell; the editors and the table conversion read the kind and number back from it.

#include "core/VarArray.h"
#include "engine/ArgumentWalk.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarvex {

// "n. Keyword" for the n-th argument (1-based) with this tag; "" for an unknown tag.
std::string argumentLabel(int ordinal, std::string_view tag);

// A label split at its first ". ": the ordinal text and the keyword. A text without ". " gives
// the whole text as ordinal and an empty keyword.
struct LabelParts {
    std::string ordinal;
    std::string keyword;
};
LabelParts splitLabel(std::string_view label);

bool endsWith(std::string_view text, std::string_view tail);

// The learned entry (state.learnedMessages) whose address is `address`, or nullptr.
const VarArray *learnedEntry(const VarArray &learnedMessages, std::string_view address);

} // namespace tarvex
