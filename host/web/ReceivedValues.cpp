#include "host/web/ReceivedValues.h"

#include "core/VbError.h"
#include "host/web/OscQueryNamespace.h"
#include "osc/OSCReader.h"
#include "osc/OSCWriter.h"

#include <array>

namespace tarvex::host {
namespace {

// One value per tag, in tag order: the decoder keeps one list per argument kind, numbered by the
// kind's first tag; every tag without a value of its own gets Empty.
std::vector<Variant> valuesInTagOrder(const osc::OSCMessage &message)
{
    std::vector<Variant> values;
    if (message.hasEmptyTags())
        return values;
    constexpr std::string_view kinds = "ifs";
    std::array<int, 3> slotOf{-1, -1, -1};
    std::array<size_t, 3> taken{};
    int slots = 0;
    for (char tag : message.tagBytes()) {
        const size_t kind = kinds.find(tag);
        if (kind == std::string_view::npos) {
            values.emplace_back();
            continue;
        }
        if (slotOf[kind] < 0)
            slotOf[kind] = slots++;
        const std::span<const Variant> slot = message.slot(static_cast<size_t>(slotOf[kind]));
        values.push_back(taken[kind] < slot.size() ? slot[taken[kind]] : Variant());
        ++taken[kind];
    }
    return values;
}

void collect(const osc::OSCMessages::List &elements, std::span<const uint8_t> datagram,
             std::vector<ReceivedMessage> &out)
{
    for (size_t i = 0; i < elements.size(); ++i) {
        const osc::OSCMessages::Element element = elements[i];
        if (!element.isMessage()) {
            collect(element.bundle(), datagram, out);
            continue;
        }
        const osc::OSCMessage &message = element.message();
        ReceivedMessage received{
            message.address(), std::string(message.tagBytes()), valuesInTagOrder(message), {}};
        osc::OSCWriter::rewriteMessage(message, datagram, received.bytes);
        out.push_back(std::move(received));
    }
}

} // namespace

bool ReceivedValues::record(const std::string &address, const std::string &tags,
                            std::vector<Variant> values)
{
    auto key = std::make_pair(address, tags);
    if (auto found = m_values.find(key); found != m_values.end()) {
        if (found->second == values)
            return false;
        found->second = std::move(values);
        return true;
    }
    if (m_values.size() >= MaxEntries)
        return false;
    m_values.emplace(std::move(key), std::move(values));
    return true;
}

const std::vector<Variant> *ReceivedValues::find(const std::string &address,
                                                 const std::string &tags) const
{
    const auto found = m_values.find(std::make_pair(address, tags));
    return found != m_values.end() ? &found->second : nullptr;
}

std::vector<ReceivedMessage> receivedMessages(std::span<const uint8_t> datagram)
{
    std::vector<ReceivedMessage> messages;
    osc::OSCMessages decoded;
    try {
        osc::OSCReader::readPacket(datagram, decoded);
    } catch (const VbError &) {
        return messages;
    }
    collect(decoded.elements(), datagram, messages);
    return messages;
}

std::string valueEventJson(const ReceivedMessage &message)
{
    JsonValue event = JsonValue::object();
    event.add("event", JsonValue::string("value"));
    event.add("address", JsonValue::string(message.address));
    event.add("type", JsonValue::string(message.tags));
    JsonValue args = JsonValue::array();
    for (size_t i = 0; i < message.values.size() && i < message.tags.size(); ++i)
        args.append(argumentJson(std::string(1, message.tags[i]), message.values[i]));
    event.add("args", std::move(args));
    return oneLineJson(event);
}

} // namespace tarvex::host
