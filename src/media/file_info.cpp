#include "media/file_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace fenmora {

std::optional<struct stat> PlainFileStatus(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return st;
}

std::int64_t FileSizeOf(const std::filesystem::path& path) {
  if (!PlainFileStatus(path)) return -1;
  // Opened only to learn that it can be read; O_NONBLOCK in case it was
  // replaced by a FIFO since the look.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return plain ? static_cast<std::int64_t>(st.st_size) : -1;
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
