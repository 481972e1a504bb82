#pragma once
// The walk over a message's arguments that the action table, learn mode and the decoder's
// argument lists share: each kind ("f", "i", "s", "Empty") takes the next group number at its
// first tag, and the arguments of a kind are counted from 0 within it. The same walk over a
// row's stored type tags serves the editor and the check of a row's shape.

#include "core/VarArray.h"
#include "osc/OSCMessages.h"

#include <array>
#include <string>
#include <string_view>

namespace tarvex {

enum class ArgumentKind { Float, Integer, String, Empty };

struct Argument {
    ArgumentKind kind;
    int group;      // the slot of the message's argument lists, and of a row's conditions
    int occurrence; // the argument's number within its kind
    const Variant &value;
};

// The kind of a type-tag entry; false for tags that are no argument.
inline bool argumentKindOf(std::string_view tag, ArgumentKind &kind)
{
    if (tag == "f")
        kind = ArgumentKind::Float;
    else if (tag == "i")
        kind = ArgumentKind::Integer;
    else if (tag == "s")
        kind = ArgumentKind::String;
    else if (tag == "Empty")
        kind = ArgumentKind::Empty;
    else
        return false;
    return true;
}

// Calls visit(Argument) for every argument of the message, in tag order; stops early when
// visit returns false, and then returns false itself.
template <typename Visit> bool forEachArgument(const osc::OSCMessage &message, Visit visit)
{
    std::array<int, 4> groupOf{-1, -1, -1, -1};
    std::array<int, 4> count{};
    int nextGroup = 0;
    for (size_t i = 0; i < message.tagCount(); ++i) {
        ArgumentKind kind;
        if (!argumentKindOf(message.tag(i), kind))
            continue;
        auto k = static_cast<size_t>(kind);
        if (groupOf[k] < 0)
            groupOf[k] = nextGroup++;
        int occurrence = count[k]++;
        const Variant &value = message.slot(static_cast<size_t>(groupOf[k]))[occurrence];
        if (!visit(Argument{kind, groupOf[k], occurrence, value}))
            return false;
    }
    return true;
}

// Walks a row's or learned entry's type tags: each of "s", "f", "i" and "Empty" takes the next
// slot at its first appearance and its arguments are counted from 1. Unknown tags are passed
// over; a tag that is no text raises error 13. visit(tag, slot, ordinal) is called per
// argument, in tag order.
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

} // namespace tarvex
