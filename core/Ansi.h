#pragma once
// The Windows-1252 code page: how bytes from the network and from files become text and back.
// Text inside the program is UTF-8.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::ansi {

// The UTF-8 text of one byte; byte 0 is the character U+0000. Bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, as Windows does.
std::string_view charOf(uint8_t byte);

// Appends the UTF-8 text of the bytes to out.
void appendDecoded(std::string &out, std::span<const uint8_t> bytes);
std::string decode(std::span<const uint8_t> bytes);

// The code-page bytes of a UTF-8 text; characters outside the code page become '?', and so does
// every broken piece of UTF-8 (overlong forms, surrogates, stray or missing continuation bytes):
// each longest start of a sequence that cannot be completed is one '?'.
std::string encode(std::string_view utf8);

} // namespace tarvex::ansi
