#include "convert/jpeg_layout.h"

#include <algorithm>

namespace fenmora::convert {

bool JpegLayout::Has(std::uint8_t marker) const {
  return std::find(markers.begin(), markers.end(), marker) != markers.end();
}

std::optional<JpegLayout> ParseJpegLayout(std::string_view bytes) {
  auto at = [&](size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  if (bytes.size() < 4 || at(0) != 0xFF || at(1) != 0xD8) return std::nullopt;
  JpegLayout layout;
  size_t pos = 2;
  for (;;) {
    // Fill bytes (0xFF) may stand before a marker.
    while (pos < bytes.size() && at(pos) == 0xFF) ++pos;
    if (pos >= bytes.size() || pos < 3 || at(pos - 1) != 0xFF) return std::nullopt;
    const std::uint8_t marker = at(pos++);
    if (marker == 0xD9) return std::nullopt;  // the image ends before any scan
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length follows
    if (bytes.size() - pos < 2) return std::nullopt;
    const size_t length = (static_cast<size_t>(at(pos)) << 8) | at(pos + 1);
    if (length < 2 || bytes.size() - pos < length) return std::nullopt;
    const std::string_view body = bytes.substr(pos + 2, length - 2);
    pos += length;
    layout.markers.push_back(marker);
    if (marker == 0xDA) {
      layout.scanData = pos;
      return layout.frame ? std::optional(layout) : std::nullopt;
    }
    if (marker == 0xE0 && body.size() >= 5 && body.substr(0, 5) == std::string_view("JFIF\0", 5))
      layout.jfif = true;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                       marker != 0xCC;
    if (!frame || layout.frame) continue;
    if (body.size() < 6) return std::nullopt;
    auto b = [&](size_t i) { return static_cast<std::uint8_t>(body[i]); };
    layout.frame = marker;
    layout.height = (b(1) << 8) | b(2);
    layout.width = (b(3) << 8) | b(4);
    const size_t count = b(5);
    if (body.size() < 6 + 3 * count) return std::nullopt;
    for (size_t c = 0; c < count; ++c)
      layout.components.push_back({b(6 + 3 * c), b(7 + 3 * c) >> 4, b(7 + 3 * c) & 0x0F});
  }
}

}  // namespace fenmora::convert
