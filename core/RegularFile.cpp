#include "core/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvex {
namespace {

RegularFile unreadable(std::string reason)
{
    RegularFile file;
    file.status = RegularFile::Unreadable;
    file.reason = std::move(reason);
    return file;
}

RegularFile failedOpen(const std::string &path, int openError)
{
    // A path that names nothing is absent; a link that leads nowhere, or a loop of links, is
    // an entry the user has and cannot be read.
    struct stat entry {};
    if ((openError == ENOENT || openError == ENOTDIR) && ::lstat(path.c_str(), &entry) != 0)
        return {};
    return unreadable(std::strerror(openError));
}

std::string sizeLimitText(size_t maxBytes)
{
    return "larger than " + std::to_string(maxBytes) + " bytes";
}

// Reads to the end, at most maxBytes + 1 bytes, so a file that grows past the bound is noticed.
RegularFile readAll(int fd, size_t expected, size_t maxBytes)
{
    RegularFile file;
    file.status = RegularFile::Read;
    file.bytes.resize(expected + 1);
    size_t got = 0;
    for (;;) {
        if (got == file.bytes.size()) {
            if (got > maxBytes)
                return unreadable(sizeLimitText(maxBytes));
            file.bytes.resize(std::min(maxBytes + 1, got * 2 + 4096));
        }
        const ssize_t n = ::read(fd, file.bytes.data() + got, file.bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return unreadable(std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    if (got > maxBytes)
        return unreadable(sizeLimitText(maxBytes));
    file.bytes.resize(got);
    return file;
}

// The folder part of a path, with its '/'; empty for a bare name.
std::string folderPart(const std::string &path)
{
    const size_t cut = path.rfind('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string folderToOpen(const std::string &path)
{
    const std::string folder = folderPart(path);
    return folder.empty() ? std::string(".") : folder;
}

// After a rename the folder's entry must reach the disk too, or a power loss could bring back
// the old name. A folder that cannot be synced (some file systems refuse) is passed over; an
// I/O error is a failure.
int syncFolderOf(const std::string &path)
{
    const int fd = ::open(folderToOpen(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const int error = ::fsync(fd) != 0 && errno == EIO ? EIO : 0;
    ::close(fd);
    return error;
}

bool entryExists(const std::string &path)
{
    struct stat entry {};
    return ::lstat(path.c_str(), &entry) == 0;
}

bool isFolder(const std::string &path)
{
    struct stat entry {};
    return ::lstat(path.c_str(), &entry) == 0 && S_ISDIR(entry.st_mode);
}

// The permissions of the regular file a write replaces; nothing for a new file (or a link,
// which the write replaces rather than follows).
std::optional<mode_t> replacedMode(const std::string &path)
{
    struct stat entry {};
    if (::lstat(path.c_str(), &entry) != 0 || !S_ISREG(entry.st_mode))
        return std::nullopt;
    return entry.st_mode & 07777;
}

// Temporary files are the file's name, TemporaryMark and six letters or digits.
constexpr std::string_view TemporaryMark = ".tmp-";
constexpr size_t TemporarySuffixLength = 6;
constexpr std::string_view TemporaryLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

std::string randomTemporaryName(const std::string &path)
{
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> letter(0, TemporaryLetters.size() - 1);
    std::string name = path + std::string(TemporaryMark);
    for (size_t i = 0; i < TemporarySuffixLength; ++i)
        name += TemporaryLetters[letter(random)];
    return name;
}

// A new temporary file beside the path, opened for writing. The mode is narrowed by the umask;
// the caller sets a replaced file's exact mode on the descriptor.
int createTemporary(const std::string &path, const TemporaryNames &names,
                    std::optional<mode_t> mode, std::string &temporary)
{
    for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
        temporary = names ? names(attempt) : randomTemporaryName(path);
        // O_EXCL with O_CREAT fails on any entry at the name, a link included; O_NOFOLLOW says
        // so once more.
        const int fd = ::open(temporary.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                              mode ? (*mode & 0777) : 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST)
            throw FileWriteError("cannot write", path, errno);
    }
    throw FileWriteError("found no free temporary name to write", path, EEXIST);
}

// Returns 0 or the errno of the first failing step.
int writeAndSync(int fd, std::string_view content, std::optional<mode_t> mode)
{
    size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        written += static_cast<size_t>(n);
    }
    if (mode && ::fchmod(fd, *mode) != 0)
        return errno;
    if (::fsync(fd) != 0)
        return errno;
    return 0;
}

bool isTemporaryOf(std::string_view name, std::string_view fileName)
{
    if (name.size() != fileName.size() + TemporaryMark.size() + TemporarySuffixLength ||
        !name.starts_with(fileName) ||
        name.substr(fileName.size(), TemporaryMark.size()) != TemporaryMark)
        return false;
    const std::string_view suffix = name.substr(fileName.size() + TemporaryMark.size());
    return suffix.find_first_not_of(TemporaryLetters) == std::string_view::npos;
}

// Temporary files of this file left by a write that never finished (a crash between writing
// and renaming) are removed once a write of the file has succeeded. Only regular files go.
void removeStaleTemporaries(const std::string &path)
{
    const std::string folder = folderPart(path);
    const std::string fileName = path.substr(folder.size());
    DIR *entries = ::opendir(folderToOpen(path).c_str());
    if (!entries)
        return;
    std::vector<std::string> stale;
    while (const dirent *entry = ::readdir(entries)) {
        if (isTemporaryOf(entry->d_name, fileName))
            stale.emplace_back(entry->d_name);
    }
    ::closedir(entries);
    for (const std::string &name : stale) {
        const std::string stalePath = folder + name;
        struct stat entry {};
        if (::lstat(stalePath.c_str(), &entry) == 0 && S_ISREG(entry.st_mode))
            ::unlink(stalePath.c_str());
    }
}

} // namespace

FileWriteError::FileWriteError(const std::string &failed, const std::string &path, int systemError)
    : std::runtime_error(failed + " " + path + ": " + std::strerror(systemError)),
      m_systemError(systemError)
{}

void replaceRegularFile(const std::string &path, std::string_view content,
                        const TemporaryNames &names)
{
    const std::optional<mode_t> mode = replacedMode(path);
    std::string temporary;
    const int fd = createTemporary(path, names, mode, temporary);
    int error = writeAndSync(fd, content, mode);
    if (::close(fd) != 0 && error == 0)
        error = errno == EINTR ? EIO : errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        throw FileWriteError("cannot write", path, error);
    }
    if (const int folderError = syncFolderOf(path))
        throw FileWriteError("cannot sync the folder of", path, folderError);
    if (!names)
        removeStaleTemporaries(path);
}

std::string keptCopyPath(const std::string &keptPath, int number)
{
    return number == 0 ? keptPath : keptPath + "." + std::to_string(number);
}

KeptAside keepAside(const std::string &path, const std::string &keptPath, int copies)
{
    // A folder is left where the user has it: no file can be written in its place anyway, and
    // the write that tries says so.
    if (!entryExists(path) || isFolder(path))
        return KeptAside::Nothing;
    // Copies 0 .. free-1 move one number on; `free` is the first free number, or the oldest
    // kept, which the last move drops. A folder among them is nobody's copy: nothing moves.
    int free = 0;
    while (free < copies - 1 && entryExists(keptCopyPath(keptPath, free)))
        ++free;
    for (int number = 0; number <= free; ++number)
        if (isFolder(keptCopyPath(keptPath, number)))
            return KeptAside::Failed;
    for (int number = free; number > 0; --number)
        if (::rename(keptCopyPath(keptPath, number - 1).c_str(),
                     keptCopyPath(keptPath, number).c_str()) != 0)
            return KeptAside::Failed;
    if (::rename(path.c_str(), keptPath.c_str()) != 0)
        return KeptAside::Failed;
    syncFolderOf(path);
    return KeptAside::Kept;
}

RegularFile readRegularFile(const std::string &path, size_t maxBytes)
{
    // O_NONBLOCK: opening a FIFO without a writer would otherwise wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failedOpen(path, errno);
    struct stat st {};
    RegularFile file;
    if (::fstat(fd, &st) != 0)
        file = unreadable(std::strerror(errno));
    else if (S_ISDIR(st.st_mode))
        file = unreadable("a folder, not a file");
    else if (!S_ISREG(st.st_mode))
        file = unreadable("not a regular file");
    else if (static_cast<uint64_t>(st.st_size) > maxBytes)
        file = unreadable(sizeLimitText(maxBytes));
    else
        file = readAll(fd, static_cast<size_t>(st.st_size), maxBytes);
    ::close(fd);
    return file;
}

} // namespace tarvex
