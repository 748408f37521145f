// The markers of a JPEG file up to its first scan: which frame type it is
// (baseline, progressive, ...), its size, its components with their sampling
// factors, and which other segments it carries. Enough to tell whether the
// handset shows a JPEG as it is, without decoding it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace fenmora::convert {

struct JpegComponent {
  int id = 0;
  int h = 0;  // horizontal sampling factor
  int v = 0;  // vertical sampling factor
};

struct JpegLayout {
  std::vector<std::uint8_t> markers;  // every marker before the first scan, in order (0xE0 = APP0, ...)
  std::uint8_t frame = 0;             // 0xC0 baseline, 0xC1 extended, 0xC2 progressive, ...
  int width = 0;
  int height = 0;
  std::vector<JpegComponent> components;
  bool jfif = false;  // an APP0 segment starting "JFIF\0"
  std::size_t scanData = 0;  // where the first scan's coded data begins
  bool Has(std::uint8_t marker) const;
};

// nullopt when the bytes are not a JPEG or end before the first scan.
std::optional<JpegLayout> ParseJpegLayout(std::string_view bytes);

}  // namespace fenmora::convert
