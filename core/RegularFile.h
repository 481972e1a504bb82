#pragma once
// Reading and writing whole files. Every file the program reads (the plug-in's files, the
// host's project file) goes through readRegularFile, so a FIFO, a device, a folder or a link to
// one never blocks the event loop or fills memory: the file is opened without blocking, checked
// on the opened descriptor, and read up to a bound. Every file it writes goes through
// replaceRegularFile, so a crash, a full disk or a link planted beside the file never leaves
// it half written or writes anywhere else.
//
//   RegularFile file = readRegularFile(path, 16 << 20);
//   if (file.status == RegularFile::Unreadable)
//       report(path + ": " + file.reason);
//   replaceRegularFile(path, content); // throws FileWriteError naming the path

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex {

struct RegularFile {
    enum Status {
        Read,      // bytes holds the whole file
        Absent,    // there is no entry of that name (a dangling link is an entry: Unreadable)
        Unreadable // an entry that is no regular file, cannot be opened, or exceeds the bound
    };
    Status status = Absent;
    std::vector<uint8_t> bytes;
    std::string reason; // why it is Unreadable, for a message ("not a regular file", ...)
};

// Reads the file at path when it is a regular file of at most maxBytes bytes. Takes as long as
// reading a regular file of that size, whatever the path names.
RegularFile readRegularFile(const std::string &path, size_t maxBytes);

// --- Writing ---

// A write, removal or move that failed: what() says what failed and names the path ("cannot
// write /show/TarvexActions.dat: No space left on device"); systemError() is the errno.
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const std::string &failed, const std::string &path, int systemError);
    int systemError() const { return m_systemError; }

private:
    int m_systemError;
};

// The temporary names a write tries, in order: the name for each attempt from 0. The default
// is the path, ".tmp-" and six random letters or digits, a new draw each attempt.
using TemporaryNames = std::function<std::string(int attempt)>;
inline constexpr int TemporaryNameAttempts = 100;

// Replaces the file at path with content, so that the path names either the old file or the
// whole new one, also after a crash or a power loss: the content goes to a temporary file in
// the same folder, created exclusively (an entry already at a tried name, a link included, is
// passed over, never followed or replaced), is synced and renamed over the path, and the
// folder is synced. A link at the path itself is replaced, not followed. A replaced regular
// file keeps its permissions; a new file gets 0666 narrowed by the umask. On any failure the
// temporary is removed and the old file stays as it was. After a write with the default names,
// temporaries of this file that a crash left behind are removed.
void replaceRegularFile(const std::string &path, std::string_view content,
                        const TemporaryNames &names = {});

// Whether an entry was moved aside (keepAside).
enum class KeptAside { Nothing, Kept, Failed };

// Moves whatever entry the path names (a file, a link, a FIFO) to keptPath, byte for byte, so
// that a file written at the path afterwards loses nothing of it; a folder stays (Nothing). Earlier
// copies move one number on first, keptPath to keptPath.1 and so on, so the newest `copies` are
// kept (keptPath the newest); a copy beyond that is dropped. When a copy cannot move, nothing
// further moves and the entry stays (Failed). The folder is synced after the moves.
KeptAside keepAside(const std::string &path, const std::string &keptPath, int copies);
// The name of the copy `number` (0 the newest): keptPath, keptPath.1, keptPath.2, ...
std::string keptCopyPath(const std::string &keptPath, int number);

} // namespace tarvex
