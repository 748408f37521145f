// Shift-JIS (code page 932) texts: titles are CP932 bytes in memory and on the
// card; they are converted only for the screen and the terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

// 0x81-0x9F and 0xE0-0xFC open a double-byte character.
inline bool IsCp932LeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The longest prefix of at most maxBytes bytes that does not split a
// double-byte character (scanning from the start by the lead-byte rules).
std::string Cp932CutBytes(std::string_view text, size_t maxBytes);

// CP932 bytes to UTF-8 for display. Never fails: a byte sequence that is not
// CP932 becomes "?".
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 (typed text, host file names) to CP932 bytes. Never fails: a character
// CP932 cannot hold, or a byte that is not UTF-8, becomes "?".
std::string Utf8ToCp932(std::string_view utf8);

// The characters of a UTF-8 text that CP932 cannot hold (each once, in the
// order they first appear), as UTF-8: what Utf8ToCp932 would turn into "?".
std::vector<std::string> Cp932Unrepresentable(std::string_view utf8);

}  // namespace fenmora
