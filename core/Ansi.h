#pragma once
// The Windows-1252 code page: how bytes from the network and from files become text and back.
// Text inside the program is UTF-8.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::ansi {

// The UTF-8 text of one byte; byte 0 gives the empty text. Bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of the same number, as Windows does.
std::string_view charOf(uint8_t byte);

// Appends the UTF-8 text of the bytes to out.
void appendDecoded(std::string &out, std::span<const uint8_t> bytes);
std::string decode(std::span<const uint8_t> bytes);

// The code-page bytes of a UTF-8 text; characters outside the code page (and broken UTF-8
// sequences) become '?'.
std::string encode(std::string_view utf8);

} // namespace tarvex::ansi
