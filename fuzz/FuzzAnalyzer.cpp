// Fuzzes the analyzer's text side: a filter pattern, a zero byte, then a datagram. The pattern
// either compiles or raises a VbError; every message of a decodable datagram is matched (with
// bounded effort, so the fuzzer's timeout catches a hang) and, when shown, formatted into one
// line that ends with a tab and CR LF.

#include "core/VbError.h"
#include "osc/OSCReader.h"
#include "ui/analyzer/AddressFilter.h"
#include "ui/analyzer/MessageLine.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string_view>

namespace {

using namespace tarvex;

std::optional<AddressFilter> compile(std::string_view pattern)
{
    try {
        return AddressFilter(pattern);
    } catch (const VbError &) {
        return std::nullopt;
    }
}

void showMatching(const AddressFilter &filter, const osc::OSCMessages &messages)
{
    for (osc::OSCMessages::Element element : messages.elements()) {
        if (!element.isMessage())
            continue;
        if (!filter.matches(element.message().address()))
            continue;
        std::string pending;
        formatMessageLine(element.message(), pending);
        if (pending.size() < 5 || !pending.ends_with("\t\r\n"))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const uint8_t *end = data + size;
    const uint8_t *zero = std::find(data, end, uint8_t{0});
    if (zero == end)
        return 0;
    std::optional<AddressFilter> filter =
        compile(std::string_view(reinterpret_cast<const char *>(data), zero - data));
    if (!filter)
        return 0;
    osc::OSCMessages messages;
    try {
        osc::OSCReader::readPacket(std::span<const uint8_t>(zero + 1, end), messages);
    } catch (const VbError &) {
        return 0;
    }
    showMatching(*filter, messages);
    return 0;
}
