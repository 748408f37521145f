#include "media/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

namespace fenmora {

namespace {

// The status of a file opened for reading, or nothing when it cannot be
// opened or is a folder. O_NONBLOCK keeps a FIFO from hanging the caller.
std::optional<struct stat> StatReadableFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  const bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  ::close(fd);
  if (!ok) return std::nullopt;
  return st;
}

}  // namespace

std::int32_t FileSizeOf(const std::filesystem::path& path) {
  const auto st = StatReadableFile(path);
  if (!st) return -1;
  // The tables hold 32 bits: a file of 2 GiB or more keeps its low 32 bits.
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(st->st_size));
}

std::string DateTextOf(std::time_t t) {
  // A FAT date holds the years 1980 to 2107; a time outside them is pinned to
  // the first or the last minute that it can hold, so the text is always a
  // real date of 19 characters.
  unsigned year = 1980, month = 1, day = 1, hour = 0, minute = 0;
  struct tm local {};
  if (::localtime_r(&t, &local) != nullptr) {
    const long long y = 1900LL + local.tm_year;
    if (y > 2107) {
      year = 2107, month = 12, day = 31, hour = 23, minute = 59;
    } else if (y >= 1980) {
      year = static_cast<unsigned>(y);
      month = static_cast<unsigned>(local.tm_mon + 1);
      day = static_cast<unsigned>(local.tm_mday);
      hour = static_cast<unsigned>(local.tm_hour);
      minute = static_cast<unsigned>(local.tm_min);
    }
  } else if (t > 0) {
    // Too far in the future for the calendar at all.
    year = 2107, month = 12, day = 31, hour = 23, minute = 59;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%u:%02u:%02u %02u:%02u:00", year, month, day, hour, minute);
  return text;
}

}  // namespace fenmora
