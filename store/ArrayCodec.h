#pragma once
// The bytes of an array file, apart from the file itself: the writer encodes the whole content
// in memory before it touches the disk, and the reader decodes what it read in one piece.
//
// Encoded tagged value: a 16-bit type word, then
//   0x0000 Empty, 0x0001 Null   nothing
//   0x0002 Integer              2 bytes      0x0003 Long     4 bytes
//   0x0004 Single               4 bytes      0x0005 Double   8 bytes
//   0x0008 String               16-bit length n, n Windows-1252 bytes (n below 0xFFFF)
//   0x000B Boolean              2 bytes: 0x0000 false, 0xFFFF true (any other value reads true)
//   0x000E Decimal              14 bytes: scale, sign (0x00 or 0x80), high 32 bits, low 32
//                               bits, middle 32 bits of the mantissa. This is the 16-byte OLE
//                               DECIMAL with its reserved word left out: the type word stands
//                               in its place, as it does inside a VARIANT.
//   0x0011 Byte                 1 byte
//   0x2000 + t (array of t)     16-bit dimension count (0 = never dimensioned, at most 10), per
//                               dimension from the first a 32-bit element count and a 32-bit
//                               lower bound, then the elements, first index fastest: encoded
//                               tagged values for t = 0x000C, length and bytes without type word
//                               for t = 0x0008, the bare payload of type t otherwise.

#include "core/VarArray.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::arraycodec {

// A file holds at most this many dimensions, at the top and in every nested array.
constexpr int MaxDimensions = 10;
// Arrays nested deeper than this are refused by the writer and are a read error, so that a
// hostile file cannot exhaust the stack.
constexpr int MaxNesting = 64;
// The longest text a 16-bit length can carry; 0xFFFF itself is kept out of the format.
constexpr size_t MaxTextBytes = 0xFFFE;

// The whole file content of a dimensioned array. Raises a VbError for what the format cannot
// hold: more than 10 dimensions, objects, texts of more than MaxTextBytes bytes, nesting deeper
// than MaxNesting.
std::string encodeArrayFile(const VarArray &array);
// The size of encodeArrayFile(array), found without making the content; raises as it does.
size_t encodedArrayFileSize(const VarArray &array);

// Why encodeArrayFile could not store the text so that it reads back the same, or nothing: more
// than MaxTextBytes bytes in the code page, or a character the code page lacks (which would be
// stored as '?').
std::optional<std::string> whyTextCannotBeStored(std::string_view utf8);

// Decodes file content into the array. A header that cannot be used (dimension count outside
// 1..10, bounds the remaining bytes cannot fill) raises before the array is touched; after that
// the array is dimensioned and filled element by element, and the first error raises, leaving
// what was read so far in place. Bytes left after the last element raise too, with the array
// complete: the file held more than its header let be read. The arrays of every nesting level draw
// their elements from one budget, the bytes after the header, so what is read never holds more
// elements than the file has bytes.
void decodeArrayFile(std::span<const uint8_t> content, VarArray &array);

} // namespace tarvex::arraycodec
