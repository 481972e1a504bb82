#include "ui/editor/ArgumentLabel.h"

#include "engine/ActionTable.h"
#include "engine/OSCLearn.h"

namespace tarvex {

std::string argumentLabel(int ordinal, std::string_view tag)
{
    std::string_view keyword = keywordOfTag(tag);
    if (keyword.empty())
        return {};
    return std::to_string(ordinal) + ". " + std::string(keyword);
}

LabelParts splitLabel(std::string_view label)
{
    size_t separator = label.find(". ");
    if (separator == std::string_view::npos)
        return {std::string(label), {}};
    return {std::string(label.substr(0, separator)), std::string(label.substr(separator + 2))};
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

const VarArray *learnedEntry(const VarArray &learnedMessages, std::string_view address)
{
    if (!learnedMessages.isDimensioned())
        return nullptr;
    for (const Variant &entry : learnedMessages.elements()) {
        if (!entry.isArray())
            continue;
        const Variant *entryAddress = elementOf(entry, learned::Address);
        if (entryAddress && entryAddress->isString() && entryAddress->asString() == address)
            return &entry.array();
    }
    return nullptr;
}

} // namespace tarvex
