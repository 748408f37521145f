// Names on the card compare without regard to ASCII case: the card is FAT
// (or exFAT), where STIL0001.JPG and stil0001.jpg are one file. Names are
// CP932 bytes; the second byte of a double-byte character can fall in the
// ASCII letter range and is never folded.
#pragma once

#include <string>
#include <string_view>

namespace fenmora {

namespace cardname_detail {
inline bool IsCp932Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
}  // namespace cardname_detail

// The form a card name is compared by: single-byte ASCII letters in upper
// case, every other byte as it is.
inline std::string CardNameKey(std::string_view name) {
  std::string key(name);
  for (size_t i = 0; i < key.size(); ++i) {
    const auto c = static_cast<unsigned char>(key[i]);
    if (cardname_detail::IsCp932Lead(c)) {
      ++i;  // its trail byte stays as it is
    } else if (c >= 'a' && c <= 'z') {
      key[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return key;
}

inline bool SameCardName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CardNameKey(a) == CardNameKey(b);
}

}  // namespace fenmora
