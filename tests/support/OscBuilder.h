#pragma once
// Builds OSC datagrams for tests and benchmarks: strings padded to four bytes, big-endian words.
//
//   auto bytes = OscBuilder().message("/fader1", ",f").f32(0.5f).bytes();

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace tarvex::test {

class OscBuilder {
public:
    // An OSC string: the bytes, a zero, and zeros up to a multiple of four.
    OscBuilder &str(std::string_view text)
    {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        do
            m_bytes.push_back(0);
        while (m_bytes.size() % 4 != 0);
        return *this;
    }
    OscBuilder &message(std::string_view address, std::string_view tags)
    {
        return str(address).str(tags);
    }
    OscBuilder &u32(uint32_t v)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            m_bytes.push_back(static_cast<uint8_t>(v >> shift));
        return *this;
    }
    OscBuilder &i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    OscBuilder &f32(float v) { return u32(std::bit_cast<uint32_t>(v)); }
    OscBuilder &raw(std::initializer_list<uint8_t> bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }
    OscBuilder &raw(const std::vector<uint8_t> &bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    // "#bundle" and a time tag; add elements with element().
    OscBuilder &bundle() { return str("#bundle").u32(0).u32(1); }
    // A bundle element: its size, then its bytes.
    OscBuilder &element(const std::vector<uint8_t> &bytes)
    {
        u32(static_cast<uint32_t>(bytes.size()));
        return raw(bytes);
    }

    const std::vector<uint8_t> &bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace tarvex::test
