#include "store/ArrayFile.h"

#include "core/RegularFile.h"
#include "core/VbError.h"
#include "store/ArrayCodec.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tarvex {
namespace {

constexpr int32_t DeviceIOError = 57;
constexpr int32_t DiskFull = 61;

[[noreturn]] void raiseFileError(int32_t number)
{
    switch (number) {
    case DeviceIOError: throw VbError(number, "Device I/O error");
    case DiskFull: throw VbError(number, "Disk full");
    default: throw VbError(errc::PathFileAccess, "Path/File access error");
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
        raiseFileError(errc::PathFileAccess);
}

// The permissions of the file a write replaces; nothing for a new file, which takes the
// process's umask.
std::optional<mode_t> existingMode(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st.st_mode & 07777;
}

// Returns 0 or the error number of the first failing step.
int32_t writeAndSync(int fd, const std::string &content, std::optional<mode_t> mode)
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
    if (mode && ::fchmod(fd, *mode) != 0)
        return errc::PathFileAccess;
    if (::fsync(fd) != 0)
        return writeErrorNumber(errno);
    return 0;
}

// Temporary files are the file's name, TemporaryMark and six letters or digits.
constexpr std::string_view TemporaryMark = ".tmp-";
constexpr size_t TemporarySuffixLength = 6;
constexpr std::string_view TemporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Creates a new temporary file beside the path, with mode 0666 narrowed by the process's
// umask as for any new file.
int createTemporary(const std::string &path, std::string &tempPath)
{
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> letter(0, TemporaryLetters.size() - 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + std::string(TemporaryMark);
        for (size_t i = 0; i < TemporarySuffixLength; ++i)
            tempPath += TemporaryLetters[letter(random)];
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

std::string folderOf(const std::string &path)
{
    std::string folder = projectFolder(path);
    return folder.empty() ? std::string(".") : folder;
}

// After the rename the folder's entry must reach the disk too, or a power loss could bring back
// the old name. Folders that cannot be synced (some file systems refuse) are passed over; an
// I/O error is a failure.
void syncFolder(const std::string &path)
{
    int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    bool failed = ::fsync(fd) != 0 && errno == EIO;
    ::close(fd);
    if (failed)
        raiseFileError(DeviceIOError);
}

bool isTemporaryOf(std::string_view name, std::string_view fileName)
{
    if (name.size() != fileName.size() + TemporaryMark.size() + TemporarySuffixLength ||
        !name.starts_with(fileName) ||
        name.substr(fileName.size(), TemporaryMark.size()) != TemporaryMark)
        return false;
    std::string_view suffix = name.substr(fileName.size() + TemporaryMark.size());
    return suffix.find_first_not_of(TemporaryLetters) == std::string_view::npos;
}

// Temporary files of this file left by a write that never finished (a crash between writing
// and renaming) are removed once a write of the file has succeeded.
void removeStaleTemporaries(const std::string &path)
{
    const std::string folderPart = projectFolder(path);
    const std::string fileName = path.substr(folderPart.size());
    DIR *folder = ::opendir(folderOf(path).c_str());
    if (!folder)
        return;
    std::vector<std::string> stale;
    while (const dirent *entry = ::readdir(folder)) {
        if (isTemporaryOf(entry->d_name, fileName))
            stale.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    for (const std::string &name : stale) {
        std::string stalePath = folderPart + name;
        struct stat st {};
        if (::lstat(stalePath.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            ::unlink(stalePath.c_str());
    }
}

// Writes the content to a temporary file beside the path and renames it over the path, so the
// path holds either its old content or the whole new one, never a part.
void replaceFileContent(const std::string &path, const std::string &content)
{
    std::string tempPath;
    int fd = createTemporary(path, tempPath);
    if (fd < 0)
        raiseFileError(errc::PathFileAccess);
    int32_t error = writeAndSync(fd, content, existingMode(path));
    if (::close(fd) != 0 && error == 0)
        error = DeviceIOError;
    if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0)
        error = errc::PathFileAccess;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        raiseFileError(error);
    }
    syncFolder(path);
    removeStaleTemporaries(path);
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

KeptAside keepAside(const std::string &path, const std::string &keptPath)
{
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0 || S_ISDIR(entry.st_mode))
        return KeptAside::Nothing;
    return ::rename(path.c_str(), keptPath.c_str()) == 0 ? KeptAside::Kept : KeptAside::Failed;
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
