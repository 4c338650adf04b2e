#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tqm {

enum class FileRead : std::uint8_t {
    Read,
    Missing,     // nothing at the path
    NotRegular,  // a directory, pipe, device or socket: never opened for reading
    TooLarge,    // more bytes than the reader allows
    Failed,      // could not be opened or read (errno tells why)
};

// Words for a result, for messages.
const char* fileReadText(FileRead result);

// Blocks on reading a regular file of at most maxBytes into content. It never waits
// on anything but the disk: the file is opened without blocking (a named pipe with
// no writer is refused, not waited for) and refused unless it is a regular file.
FileRead readRegularFile(const char* path, std::size_t maxBytes, std::string& content);

}  // namespace tqm
