// The top-level boxes of an MP4-family file, walked by their heads.
#pragma once

#include <cstdint>
#include <string_view>

namespace fenmora::movie {

// Whether `moov` comes before `mdat` in a file of `total` bytes (both
// present). `read(at, out)` reads up to 16 bytes at `at` and gives how many.
template <class Read>
bool MoovFirst(std::int64_t total, Read read) {
  auto big = [](const char* b, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(b[i]);
    return value;
  };
  std::int64_t at = 0;
  for (int box = 0; box < 1024 && total - at >= 8; ++box) {
    char head[16];
    const std::int64_t got = read(at, head);
    if (got < 8) return false;
    std::uint64_t size = big(head, 4);
    if (size == 1) {
      if (got < 16) return false;
      size = big(head + 8, 8);
    } else if (size == 0) {
      size = static_cast<std::uint64_t>(total - at);  // to the end of the file
    }
    const std::string_view type(head + 4, 4);
    if (type == "moov") return true;
    if (type == "mdat") return false;
    if (size < 8 || size > static_cast<std::uint64_t>(total - at)) return false;
    at += static_cast<std::int64_t>(size);
  }
  return false;
}

}  // namespace fenmora::movie
