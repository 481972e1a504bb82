#include "store/ArrayFile.h"

#include "core/VbError.h"
#include "store/ArrayCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvex {
namespace {

constexpr int32_t DeviceIOError = 57;
constexpr int32_t DiskFull = 61;
constexpr int32_t PathFileAccessError = 75;
constexpr mode_t NewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;

[[noreturn]] void raiseFileError(int32_t number)
{
    switch (number) {
    case DeviceIOError: throw VbError(number, "Device I/O error");
    case DiskFull: throw VbError(number, "Disk full");
    default: throw VbError(PathFileAccessError, "Path/File access error");
    }
}

int32_t writeErrorNumber(int systemError)
{
    return systemError == ENOSPC || systemError == EDQUOT || systemError == EFBIG ? DiskFull
                                                                                  : DeviceIOError;
}

void removeFile(const std::string &path)
{
    // unlink, not remove: a directory of that name must fail, not vanish when it is empty.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        raiseFileError(PathFileAccessError);
}

// The replacement keeps the permissions of the file it replaces.
mode_t modeFor(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : NewFileMode;
}

// Returns 0 or the error number of the first failing step.
int32_t writeAndSync(int fd, const std::string &content, mode_t mode)
{
    size_t written = 0;
    while (written < content.size()) {
        ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return writeErrorNumber(n < 0 ? errno : ENOSPC);
        written += static_cast<size_t>(n);
    }
    if (::fchmod(fd, mode) != 0)
        return PathFileAccessError;
    if (::fsync(fd) != 0)
        return writeErrorNumber(errno);
    return 0;
}

// Writes the content to a temporary file beside the path and renames it over the path, so the
// path holds either its old content or the whole new one, never a part.
void replaceFileContent(const std::string &path, const std::string &content)
{
    std::string tempPath = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(tempPath.data());
    if (fd < 0)
        raiseFileError(PathFileAccessError);
    int32_t error = writeAndSync(fd, content, modeFor(path));
    if (::close(fd) != 0 && error == 0)
        error = DeviceIOError;
    if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0)
        error = PathFileAccessError;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        raiseFileError(error);
    }
}

std::vector<uint8_t> readWholeFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        raiseFileError(PathFileAccessError);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
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
    replaceFileContent(path, arraycodec::encodeArrayFile(array));
}

void readArrayFile(const std::string &path, VarArray &array)
{
    if (!fileExists(path))
        return;
    try {
        arraycodec::decodeArrayFile(readWholeFile(path), array);
    } catch (...) {
        // A damaged file loads as far as it goes; the loaders report nothing.
    }
}

} // namespace tarvex
