#pragma once
// The binary array file: a whole array of tagged values written to a file and read back.
//
// Layout (little-endian, no padding): a 16-bit dimension count D (1 to 10), D 32-bit lower
// bounds, D 32-bit upper bounds, then every element in storage order as an encoded tagged value:
// a 16-bit type word and its payload (see ArrayCodec.h). Files carry no magic number.

#include "core/RegularFile.h"
#include "core/VarArray.h"

#include <string>
#include <string_view>

namespace tarvex {

// The folder part of a path: everything up to and including the last '/' or '\', whichever
// comes last; the empty text when there is neither.
std::string projectFolder(std::string_view path);

// Whether the attributes of the path can be read (the path exists).
bool fileExists(const std::string &path);

// The largest array file read: beyond any show (a row of a real show takes about 220 bytes, so
// 100 000 rows take 22 MB), and small enough that a file never becomes more memory than the
// machine has (see readArrayFile).
constexpr size_t MaxArrayFileBytes = 32 * 1024 * 1024;

// The dimension count of the array held by the value, 0 when never dimensioned. A value that is
// not an array raises error 13.
int16_t arrayDimensionCount(const Variant &array);

// Writes the array to the path through replaceRegularFile (a failed write leaves the old file
// as it was, a finished one survives a power loss). More than 10 dimensions raise error
// 0x80040064 "Zu viele Dimensionen!" before anything is touched; a never-dimensioned array
// removes the file. A failed write raises 61 (disk full), 57 (I/O error) or 75, its
// description naming the file and what failed.
void writeArrayFile(const std::string &path, const VarArray &array);

// Whether writeArrayFile would leave the path as it is: the file holds exactly the bytes it would
// write (for a never-dimensioned array: there is no file). Reads only; an array the writer
// would refuse, or a file that cannot be read, differs.
bool arrayFileHolds(const std::string &path, const VarArray &array);

// How a read went: no file, the whole array read, a damaged file read only in part (or with
// bytes left after the array, which the writer never leaves), or an entry that could not be
// read at all (no regular file, no access, larger than MaxArrayFileBytes).
enum class ArrayFileRead { Absent, Complete, Damaged, Unreadable };

// Replaces the array with the one stored at the path, as an array of tagged values. A missing
// or unreadable file, a dimension count outside 1..10 or bounds promising more elements than the
// file's bytes could hold leave the array as it was; later read errors are ignored (what was
// read so far stays, the rest Empty). Nothing is ever raised; the result tells a caller that
// must not treat a damaged file as read (the loader's re-save) what happened, and `why` (when
// given) says why an Unreadable file could not be read. The array never holds more elements
// than the file has bytes, at all levels of nesting together.
ArrayFileRead readArrayFile(const std::string &path, VarArray &array, std::string *why = nullptr);

// The number and description of the refusal of more than 10 dimensions.
constexpr int32_t TooManyDimensionsError = static_cast<int32_t>(0x80040064u);
inline constexpr std::string_view TooManyDimensionsText = "Zu viele Dimensionen!";

} // namespace tarvex
