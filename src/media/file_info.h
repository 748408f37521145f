// The facts about a file that the catalogue records: its size and its
// modification time as the tables' date text.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

namespace fenmora {

// The low 32 bits of the file's size, read as a signed number; -1 when the
// file cannot be opened for reading.
std::int32_t FileSizeOf(const std::filesystem::path& path);

// A point in time in local time, to the whole minute, as
// "2005:03:07 09:05:00" (seconds always "00"; the time as a FAT file system
// holds it, clamped to the years 1980-2107).
std::string DateTextOf(std::time_t t);

}  // namespace fenmora
