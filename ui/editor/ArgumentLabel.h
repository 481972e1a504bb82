#pragma once
// The editor's name of a message argument ("2. Float"): its number among the arguments of the
// same kind, a full stop and a blank, and the kind's keyword. Rows store the label in their
// "Wert" cell; the editors and the table conversion read the kind and number back from it.

#include "core/VarArray.h"

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

// Walks a row's or learned entry's type tags: each of "s", "f", "i" and "Empty" takes the next
// slot at its first appearance and its arguments are counted from 1. Unknown tags are passed
// over. visit(tag, slot, ordinal) is called per argument, in tag order.
template <typename Visit> void forEachTaggedArgument(const VarArray &tags, Visit visit)
{
    std::string seen[4];
    int counts[4] = {};
    int used = 0;
    for (const Variant &tagValue : tags.elements()) {
        const std::string &tag = tagValue.asString();
        if (tag != "s" && tag != "f" && tag != "i" && tag != "Empty")
            continue;
        int slot = 0;
        while (slot < used && seen[slot] != tag)
            ++slot;
        if (slot == used)
            seen[used++] = tag;
        visit(tag, slot, ++counts[slot]);
    }
}

// The learned entry (state.learnedMessages) whose address is `address`, or nullptr.
const VarArray *learnedEntry(const VarArray &learnedMessages, std::string_view address);

} // namespace tarvex
