#include "cli/json.h"

#include <cstdint>
#include <cstdio>

namespace fenmora::cli {

namespace {

// Length of the valid UTF-8 sequence at text[i] (shortest form, no
// surrogates, at most U+10FFFF), or 0 when there is none.
size_t ValidSequence(std::string_view text, size_t i, std::uint32_t& cp) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = at(i);
  size_t len;
  std::uint32_t min;
  if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F, min = 0x80;
  else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F, min = 0x800;
  else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07, min = 0x10000;
  else return 0;
  if (i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (at(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
          if (b < 0x20 || b == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", b);
            out += buf;
          } else {
            out += static_cast<char>(b);
          }
      }
      ++i;
      continue;
    }
    std::uint32_t cp = 0;
    const size_t len = ValidSequence(text, i, cp);
    if (len == 0) {
      out += "\\ufffd";
      ++i;
    } else if (cp == 0x2028 || cp == 0x2029) {
      out += cp == 0x2028 ? "\\u2028" : "\\u2029";
      i += len;
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
  out += '"';
  return out;
}

}  // namespace fenmora::cli
