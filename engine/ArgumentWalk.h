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

// The argument kinds: each one's type-tag entry and the editor's keyword for it ("2. Float").
// The one table that every walk, label and analyzer line reads the tags from.
struct ArgumentTag {
    std::string_view tag;
    ArgumentKind kind;
    std::string_view keyword;
};
inline constexpr ArgumentTag ArgumentTags[] = {
    {"f", ArgumentKind::Float, "Float"},
    {"i", ArgumentKind::Integer, "Integer"},
    {"s", ArgumentKind::String, "String"},
    {"Empty", ArgumentKind::Empty, "Empty"},
};

// The table's entry for a type-tag entry, or nullptr for a tag that is no argument.
constexpr const ArgumentTag *argumentTagOf(std::string_view tag)
{
    for (const ArgumentTag &entry : ArgumentTags)
        if (entry.tag == tag)
            return &entry;
    return nullptr;
}

// The kind of a type-tag entry; false for tags that are no argument.
inline bool argumentKindOf(std::string_view tag, ArgumentKind &kind)
{
    const ArgumentTag *entry = argumentTagOf(tag);
    if (!entry)
        return false;
    kind = entry->kind;
    return true;
}

// The editor's keyword of a type tag ("f" Float); the empty text for a tag that is no argument.
constexpr std::string_view keywordOfTag(std::string_view tag)
{
    const ArgumentTag *entry = argumentTagOf(tag);
    return entry ? entry->keyword : std::string_view();
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
        if (!argumentTagOf(tag))
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
