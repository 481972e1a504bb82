#pragma once
// The binary array file: a whole array of tagged values written to a file and read back.
//
// Layout (little-endian, no padding): a 16-bit dimension count D (1 to 10), D 32-bit lower
// bounds, D 32-bit upper bounds, then every element in storage order as an encoded tagged value:
// a 16-bit type word and its payload (see ArrayCodec.h). Files carry no magic number.

#include "core/VarArray.h"

#include <string>
#include <string_view>

namespace tarvex {

// The folder part of a path: everything up to and including the last '/' or '\', whichever
// comes last; the empty text when there is neither.
std::string projectFolder(std::string_view path);

// Whether the attributes of the path can be read (the path exists).
bool fileExists(const std::string &path);

// The dimension count of the array held by the value, 0 when never dimensioned. A value that is
// not an array raises error 13.
int16_t arrayDimensionCount(const Variant &array);

// Writes the array to the path: the whole content goes to a temporary file in the same folder,
// is flushed to disk and renamed over the old file, so a failed write leaves the old file as it
// was. More than 10 dimensions raise error 0x80040064 "Zu viele Dimensionen!" before anything is
// touched; a never-dimensioned array removes the file. Other failures raise a VbError.
void writeArrayFile(const std::string &path, const VarArray &array);

// Replaces the array with the one stored at the path, as an array of tagged values. A missing
// file, a dimension count outside 1..10 or bounds promising more elements than the file's bytes
// could hold leave the array as it was; later read errors are ignored (what was read so far
// stays, the rest Empty); nothing is ever reported.
void readArrayFile(const std::string &path, VarArray &array);

// The number and description of the refusal of more than 10 dimensions.
constexpr int32_t TooManyDimensionsError = static_cast<int32_t>(0x80040064u);
inline constexpr std::string_view TooManyDimensionsText = "Zu viele Dimensionen!";

} // namespace tarvex
