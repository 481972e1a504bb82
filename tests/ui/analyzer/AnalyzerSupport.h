#pragma once
// Decoded datagrams for the analyzer tests, built from real bytes through the decoder.

#include "osc/OSCMessages.h"
#include "osc/OSCReader.h"
#include "tests/support/OscBuilder.h"

#include <clocale>
#include <string>

namespace tarvex::test {

inline osc::OSCMessages decode(const OscBuilder &datagram)
{
    osc::OSCMessages messages;
    osc::OSCReader::readPacket(datagram.bytes(), messages);
    return messages;
}

// A bundle of plain messages, one element per address, each carrying one integer.
inline OscBuilder bundleOf(std::initializer_list<std::string> addresses)
{
    OscBuilder b;
    b.bundle();
    int32_t n = 1;
    for (const std::string &address : addresses)
        b.element(OscBuilder().message(address, ",i").i32(n++).bytes());
    return b;
}

// Switches LC_NUMERIC for one scope; ok() is false when the machine lacks the locale.
class NumericLocale {
public:
    explicit NumericLocale(const char *name)
    {
        const char *previous = std::setlocale(LC_NUMERIC, nullptr);
        m_saved = previous ? previous : "C";
        m_ok = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~NumericLocale() { std::setlocale(LC_NUMERIC, m_saved.c_str()); }
    NumericLocale(const NumericLocale &) = delete;
    NumericLocale &operator=(const NumericLocale &) = delete;
    bool ok() const { return m_ok; }

private:
    std::string m_saved;
    bool m_ok;
};

} // namespace tarvex::test
