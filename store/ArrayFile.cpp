#include "store/ArrayFile.h"

#include "core/RegularFile.h"
#include "core/VbError.h"
#include "store/ArrayCodec.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex {
namespace {

constexpr int32_t DeviceIOError = 57;
constexpr int32_t DiskFull = 61;

// The error number of a failed write by what the system said; the text names the file.
[[noreturn]] void raiseWriteError(const FileWriteError &failure)
{
    const int systemError = failure.systemError();
    const int32_t number = systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG
                               ? DiskFull
                           : systemError == EIO ? DeviceIOError
                                                : errc::PathFileAccess;
    throw VbError(number, failure.what());
}

void removeFile(const std::string &path)
{
    // unlink, not remove: a directory of that name must fail, not vanish when it is empty.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        raiseWriteError(FileWriteError("cannot remove", path, errno));
}

} // namespace

std::string projectFolder(std::string_view path)
{
    size_t cut = path.find_last_of("/\\");
    return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

bool fileExists(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

int16_t arrayDimensionCount(const Variant &array)
{
    if (!array.isArray())
        raise(errc::TypeMismatch);
    return static_cast<int16_t>(array.array().dimensionCount());
}

void writeArrayFile(const std::string &path, const VarArray &array)
{
    if (array.dimensionCount() > arraycodec::MaxDimensions)
        throw VbError(TooManyDimensionsError, std::string(TooManyDimensionsText));
    // An array without dimensions leaves no file at all, not a header without bounds.
    if (!array.isDimensioned()) {
        removeFile(path);
        return;
    }
    const std::string content = arraycodec::encodeArrayFile(array);
    try {
        replaceRegularFile(path, content);
    } catch (const FileWriteError &failure) {
        raiseWriteError(failure);
    }
}

bool arrayFileHolds(const std::string &path, const VarArray &array)
{
    if (!array.isDimensioned())
        return !fileExists(path);
    try {
        const std::string content = arraycodec::encodeArrayFile(array);
        const RegularFile stored = readRegularFile(path, MaxArrayFileBytes);
        if (stored.status != RegularFile::Read)
            return false;
        return std::equal(content.begin(), content.end(), stored.bytes.begin(), stored.bytes.end(),
                          [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    } catch (const std::exception &) {
        return false;
    }
}

ArrayFileRead readArrayFile(const std::string &path, VarArray &array, std::string *why)
{
    const RegularFile file = readRegularFile(path, MaxArrayFileBytes);
    if (file.status == RegularFile::Absent)
        return ArrayFileRead::Absent;
    if (file.status == RegularFile::Unreadable) {
        if (why)
            *why = file.reason;
        return ArrayFileRead::Unreadable;
    }
    try {
        arraycodec::decodeArrayFile(file.bytes, array);
        return ArrayFileRead::Complete;
    } catch (...) {
        // A damaged file loads as far as it goes; the loaders report nothing.
        return ArrayFileRead::Damaged;
    }
}

} // namespace tarvex
