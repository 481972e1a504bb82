#include "host/web/PageControl.h"

#include "core/Json.h"
#include "osc/OSCWriter.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace tarvex::host {
namespace {

constexpr size_t MaxAddressBytes = 1024;
constexpr size_t MaxArguments = 16;
constexpr size_t MaxTextBytes = 1024;

void appendBigEndian(uint32_t word, std::vector<uint8_t> &out)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(word >> shift));
}

std::optional<double> numberOf(const JsonValue &value)
{
    if (!value.isNumber())
        return std::nullopt;
    double number = 0;
    const std::string &text = value.text();
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// One argument's bytes in OSC's encoding; an error text when the value does not fit the tag.
std::string appendArgument(char tag, const JsonValue &value, std::vector<uint8_t> &out)
{
    if (tag == 's') {
        if (!value.isString() || value.text().size() > MaxTextBytes ||
            value.text().find('\0') != std::string::npos)
            return "a text argument must be a text without NUL of at most 1024 bytes";
        out.insert(out.end(), value.text().begin(), value.text().end());
        do
            out.push_back(0);
        while (out.size() % 4 != 0);
        return {};
    }
    const std::optional<double> number = numberOf(value);
    if (!number)
        return "a number argument must be a finite number";
    if (tag == 'f') {
        if (std::fabs(*number) > std::numeric_limits<float>::max())
            return "a float argument is beyond 32 bits";
        appendBigEndian(std::bit_cast<uint32_t>(static_cast<float>(*number)), out);
        return {};
    }
    if (*number != std::trunc(*number) || *number < std::numeric_limits<int32_t>::min() ||
        *number > std::numeric_limits<int32_t>::max())
        return "an integer argument must be a whole number of 32 bits";
    appendBigEndian(static_cast<uint32_t>(static_cast<int32_t>(*number)), out);
    return {};
}

ControlDatagram refused(std::string why)
{
    return {{}, std::move(why)};
}

} // namespace

namespace {

ControlDatagram controlDatagram(const JsonValue &message)
{
    const JsonValue *address = message.find("send");
    const JsonValue *type = message.find("type");
    const JsonValue *args = message.find("args");
    if (!address->isString() || !type || !type->isString() || !args || !args->isArray())
        return refused("a control message is {\"send\":ADDRESS,\"type\":TAGS,\"args\":[...]}");
    const std::string &path = address->text();
    if (!path.starts_with('/') || path.size() > MaxAddressBytes ||
        path.find('\0') != std::string::npos)
        return refused("the address must start with \"/\" and hold at most 1024 bytes");
    const std::string &tags = type->text();
    if (tags.size() > MaxArguments || tags.find_first_not_of("fis") != std::string::npos)
        return refused("the type takes up to 16 of f, i and s");
    if (args->items().size() != tags.size())
        return refused("one argument for each type tag");
    std::vector<uint8_t> arguments;
    for (size_t i = 0; i < tags.size(); ++i) {
        if (std::string error = appendArgument(tags[i], args->items()[i], arguments);
            !error.empty())
            return refused("argument " + std::to_string(i + 1) + ": " + error);
    }
    ControlDatagram datagram;
    osc::OSCWriter::writeMessage(path, tags, arguments, datagram.bytes);
    return datagram;
}

std::optional<StreamCommand> streamCommand(const JsonValue &message)
{
    const JsonValue *command = message.find("COMMAND");
    const JsonValue *path = message.find("DATA");
    if (!command || !command->isString() || !path || !path->isString() ||
        !path->text().starts_with('/') || path->text().size() > MaxAddressBytes)
        return std::nullopt;
    if (command->text() != "LISTEN" && command->text() != "IGNORE")
        return std::nullopt;
    return StreamCommand{command->text() == "LISTEN", path->text()};
}

} // namespace

PageMessage readPageMessage(std::string_view text)
{
    JsonValue message;
    try {
        message = parseJson(text);
    } catch (const JsonError &) {
        return {};
    }
    PageMessage read;
    if (!message.isObject())
        return read;
    if (message.find("send")) {
        read.kind = PageMessage::Kind::Control;
        read.control = controlDatagram(message);
    } else if (const JsonValue *pin = message.find("pin"); pin && pin->isString()) {
        read.kind = PageMessage::Kind::Pin;
        read.pin = pin->text();
    } else if (std::optional<StreamCommand> command = streamCommand(message)) {
        read.kind = PageMessage::Kind::Stream;
        read.stream = std::move(*command);
    }
    return read;
}

} // namespace tarvex::host
