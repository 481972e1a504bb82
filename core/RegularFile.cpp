#include "core/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace

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
