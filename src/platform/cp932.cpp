#include "platform/cp932.h"

#include <algorithm>

#include <iconv.h>

#include <cerrno>

namespace fenmora {

std::string Cp932CutBytes(std::string_view text, size_t maxBytes) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t width =
        IsCp932LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (i + width > maxBytes) break;
    i += width;
  }
  return std::string(text.substr(0, i));
}

namespace {

// Length of the UTF-8 sequence that starts with b (1 for a stray byte).
size_t Utf8SequenceLength(unsigned char b) {
  if (b >= 0xF0 && b <= 0xF4) return 4;
  if (b >= 0xE0) return b <= 0xEF ? 3 : 1;
  if (b >= 0xC2 && b <= 0xDF) return 2;
  return 1;
}

// Converts with iconv, replacing every unconvertible input unit with "?". The
// unit skipped on an error is one CP932 character (lead byte and trail byte,
// or a single byte) or one UTF-8 sequence.
// One converter per direction and thread, opened once: opening one costs far
// more than converting a title.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

std::string Convert(std::string_view in, bool fromUtf8) {
  // ASCII is the same in both: most file names need no converter at all.
  if (IsAscii(in)) return std::string(in);
  thread_local Converter toUtf8("UTF-8", "CP932");
  thread_local Converter toCp932("CP932", "UTF-8");
  const Converter& converter = fromUtf8 ? toCp932 : toUtf8;
  iconv_t cd = converter.get();
  if (!converter.ok()) {
    // No converter at all: keep plain ASCII, mark the rest.
    std::string out;
    for (unsigned char c : in) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
  }
  std::string out;
  out.reserve(in.size() * 2 + 8);
  char buffer[1024];
  char* src = const_cast<char*>(in.data());
  size_t srcLeft = in.size();
  while (srcLeft > 0) {
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    out.append(buffer, static_cast<size_t>(dst - buffer));
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: skip one unit of the input and put "?" in its place.
    const auto first = static_cast<unsigned char>(*src);
    size_t skip = 1;
    if (fromUtf8) {
      skip = Utf8SequenceLength(first);
      // Only skip the continuation bytes that are really there.
      size_t k = 1;
      while (k < skip && k < srcLeft && (static_cast<unsigned char>(src[k]) & 0xC0) == 0x80) ++k;
      skip = k;
    } else if (IsCp932LeadByte(first) && srcLeft >= 2) {
      const auto trail = static_cast<unsigned char>(src[1]);
      // A pair that is not a character is one "?"; but an ASCII trail byte is
      // kept as the character it is, so "A" after a stray lead byte survives.
      if (trail >= 0x80 && trail <= 0xFC) skip = 2;
    }
    if (skip > srcLeft) skip = srcLeft;
    src += skip;
    srcLeft -= skip;
    out += '?';
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return out;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) { return Convert(cp932, false); }

namespace {

// U+E0000-U+E007F (the tag characters, F3 A0 80 80 - F3 A0 81 BF): glibc's
// converter drops them without an error, so they are marked here instead.
bool IsTagCharacterAt(std::string_view s, size_t i) {
  if (i + 4 > s.size() || s[i] != '\xF3' || s[i + 1] != '\xA0') return false;
  const auto third = static_cast<unsigned char>(s[i + 2]);
  const auto fourth = static_cast<unsigned char>(s[i + 3]);
  return (third == 0x80 || third == 0x81) && fourth >= 0x80 && fourth <= 0xBF;
}

}  // namespace

std::string Utf8ToCp932(std::string_view utf8) {
  // CP932 has no room for a tag character: it becomes "?" like any other such
  // character, so that nothing typed disappears without a mark.
  std::string out;
  size_t start = 0;
  for (size_t i = utf8.find('\xF3'); i != std::string_view::npos; i = utf8.find('\xF3', i + 1)) {
    if (!IsTagCharacterAt(utf8, i)) continue;
    out += Convert(utf8.substr(start, i - start), true);
    out += '?';
    start = i + 4;
    i += 3;
  }
  if (start == 0) return Convert(utf8, true);
  out += Convert(utf8.substr(start), true);
  return out;
}

std::vector<std::string> Cp932Unrepresentable(std::string_view utf8) {
  std::vector<std::string> found;
  size_t i = 0;
  while (i < utf8.size()) {
    // One character: a lead byte and its continuation bytes.
    size_t n = 1;
    while (i + n < utf8.size() && (static_cast<unsigned char>(utf8[i + n]) & 0xC0) == 0x80) ++n;
    const std::string_view ch = utf8.substr(i, n);
    i += n;
    if (ch == "?" || Utf8ToCp932(ch) != "?") continue;
    if (std::find(found.begin(), found.end(), ch) == found.end()) found.emplace_back(ch);
  }
  return found;
}

}  // namespace fenmora
