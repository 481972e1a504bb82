#pragma once
// Reading a whole file that must be a plain file of bounded size. Every file the program reads
// (the plug-in's two files, the host's project file) goes through here, so a FIFO, a device, a
// folder or a link to one never blocks the event loop or fills memory: the file is opened
// without blocking, checked on the opened descriptor, and read up to a bound.
//
//   RegularFile file = readRegularFile(path, 16 << 20);
//   if (file.status == RegularFile::Unreadable)
//       report(path + ": " + file.reason);

#include <cstddef>
#include <cstdint>
#include <string>
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

} // namespace tarvex
