#include "osc/OSCWriter.h"

namespace tarvex::osc {
namespace {

void padToFour(std::vector<uint8_t> &out)
{
    while (out.size() % 4 != 0)
        out.push_back(0);
}

void appendString(std::vector<uint8_t> &out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    padToFour(out);
}

} // namespace

void OSCWriter::writeMessage(std::string_view address, std::string_view typeTags,
                             std::span<const uint8_t> arguments, std::vector<uint8_t> &out)
{
    out.clear();
    appendString(out, address);
    out.push_back(',');
    appendString(out, typeTags);
    out.insert(out.end(), arguments.begin(), arguments.end());
    padToFour(out);
}

void OSCWriter::rewriteMessage(const OSCMessage &message, std::span<const uint8_t> datagram,
                               std::vector<uint8_t> &out)
{
    const OSCMessage::Extent &at = message.extent();
    const auto address = datagram.subspan(at.addressAt, at.addressSize);
    writeMessage(std::string_view(reinterpret_cast<const char *>(address.data()), address.size()),
                 message.tagBytes(),
                 datagram.subspan(at.argumentsAt, at.argumentsEnd - at.argumentsAt), out);
}

} // namespace tarvex::osc
