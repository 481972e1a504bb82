#include "engine/OSCLearn.h"

#include "core/Conversions.h"
#include "engine/ArgumentWalk.h"

#include <array>

namespace tarvex {
namespace {

using osc::OSCMessage;

const VarArray *findEntry(const VarArray &learned, std::string_view address, int32_t &index)
{
    if (!learned.isDimensioned())
        return nullptr;
    for (int32_t i = learned.lowerBound(); i <= learned.upperBound(); ++i) {
        const Variant *a = elementOf(learned[i], learned::Address);
        if (a && a->isString() && a->asString() == address) {
            index = i;
            return &learned[i].array();
        }
    }
    return nullptr;
}

bool sameTags(const OSCMessage &message, const VarArray &entry)
{
    const Variant *tags = entry.find(learned::TypeTags);
    if (!tags || !tags->isArray() || !tags->array().isDimensioned())
        return false;
    for (size_t i = 0; i < message.tagCount(); ++i) {
        const Variant *t = tags->array().find(static_cast<int32_t>(i));
        if (!t || !t->isString() || t->asString() != message.tag(i))
            return false;
    }
    return true;
}

// Widens the stored [smallest, largest] of every numeric argument to take in the message's.
void widenRanges(const OSCMessage &message, Variant &entry)
{
    Variant &groups = entry.mutableArray()[learned::Groups];
    forEachArgument(message, [&](const Argument &argument) {
        if (argument.kind != ArgumentKind::Integer && argument.kind != ArgumentKind::Float)
            return true;
        VarArray &range = groups.mutableArray()[argument.group]
                              .mutableArray()[argument.occurrence]
                              .mutableArray();
        if (compare(argument.value, range[0]) == Comparison::Less)
            range[0] = argument.value;
        if (compare(argument.value, range[1]) == Comparison::Greater)
            range[1] = argument.value;
        return true;
    });
}

Variant newEntry(const OSCMessage &message)
{
    std::vector<std::string> tags;
    for (size_t i = 0; i < message.tagCount(); ++i)
        tags.emplace_back(message.tag(i));
    VarArray groups;
    for (size_t g = 0; g < message.slotCount(); ++g) {
        VarArray values;
        for (const Variant &v : message.slot(g)) {
            if (isNumeric(v))
                values.append(Variant(VarArray::ofValues({v, v})));
            else
                values.append(Variant(VarArray::ofValues({v})));
        }
        groups.append(Variant(std::move(values)));
    }
    return Variant(VarArray::ofValues(
        {Variant(message.address()), Variant(VarArray::ofStrings(tags)), Variant(groups)}));
}

} // namespace

void learnMessages(EngineState &state, const osc::OSCMessages &messages)
{
    state.windows.setReceived();
    for (osc::OSCMessages::Element element : messages.elements()) {
        // A nested bundle carries no address of its own: learn goes on with the next element.
        if (!element.isMessage())
            continue;
        const OSCMessage &message = element.message();
        int32_t index = 0;
        const VarArray *entry = findEntry(state.learnedMessages, message.address(), index);
        if (!entry)
            state.learnedMessages.append(newEntry(message));
        else if (sameTags(message, *entry))
            widenRanges(message, state.learnedMessages[index]);
    }
}

} // namespace tarvex
