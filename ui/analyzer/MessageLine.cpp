#include "ui/analyzer/MessageLine.h"

#include "core/Conversions.h"
#include "core/VbError.h"
#include "engine/ArgumentWalk.h"

#include <array>
#include <optional>

namespace tarvex {

namespace {

constexpr size_t KindCount = std::size(ArgumentTags);

// A slot is given to a kind the first time its tag is met, walking the tags from the left, as
// the decoder numbers them. Unlike the engine's walk it checks every value is there: the line
// leaves out what is missing.
class ArgumentCursor {
public:
    explicit ArgumentCursor(const osc::OSCMessage &message) : m_message(message) {}

    // The next value of `kind`, or nullptr when the message holds none there.
    const Variant *next(ArgumentKind argumentKind)
    {
        const auto kind = static_cast<size_t>(argumentKind);
        if (!m_slot[kind])
            m_slot[kind] = m_nextSlot++;
        const size_t slot = *m_slot[kind];
        const size_t index = m_count[kind]++;
        if (slot >= m_message.slotCount())
            return nullptr;
        std::span<const Variant> values = m_message.slot(slot);
        return index < values.size() ? &values[index] : nullptr;
    }

private:
    const osc::OSCMessage &m_message;
    std::array<std::optional<size_t>, KindCount> m_slot{};
    std::array<size_t, KindCount> m_count{};
    size_t m_nextSlot = 0;
};

void appendValue(std::string &line, const Variant *value)
{
    if (!value)
        return;
    try {
        line += toText(*value);
    } catch (const VbError &) {
        // A value that has no text form is left out of the line.
    }
}

} // namespace

void formatMessageLine(const osc::OSCMessage &message, std::string &pendingText)
{
    std::string line = message.address();
    line += ", ";
    ArgumentCursor arguments(message);
    for (size_t i = 0; i < message.tagCount(); ++i) {
        const std::string_view tag = message.tag(i);
        line += ' ';
        line += tag;
        line += ' ';
        ArgumentKind kind;
        if (!argumentKindOf(tag, kind))
            continue;
        const Variant *value = arguments.next(kind);
        if (kind != ArgumentKind::Empty)
            appendValue(line, value);
    }
    line += '\t';
    pendingText += line;
    pendingText += "\r\n";
}

} // namespace tarvex
