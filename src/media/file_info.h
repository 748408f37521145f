// The facts about a file that the catalogue records: its size and its
// modification time as the tables' date text.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace fenmora {

// The status of what a path names when it is a plain file (a link to one
// included), looked at without opening it: opening a FIFO waits for a writer
// that may never come, and a device may block or never end. Nothing for a
// missing name, a folder, a FIFO, a device or a socket.
std::optional<struct stat> PlainFileStatus(const std::filesystem::path& path);

// The size of a plain file that can be opened for reading, in full 64 bits;
// -1 for anything else (nothing but plain files is ever opened).
std::int64_t FileSizeOf(const std::filesystem::path& path);

// A point in time in local time, to the whole minute, as
// "2005:03:07 09:05:00" (seconds always "00"; the time as a FAT file system
// holds it, clamped to the years 1980-2107).
std::string DateTextOf(std::time_t t);

}  // namespace fenmora
