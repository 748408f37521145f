#include "movie/helper_protocol.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>
#include <variant>
#include <vector>

namespace fenmora::movie::wire {

namespace {

// The words of a line after its leading keyword; nothing when the keyword
// differs.
std::optional<std::vector<std::string_view>> Words(std::string_view line, std::string_view keyword) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < line.size() && words.size() < 64) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) words.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  if (words.empty() || words.front() != keyword) return std::nullopt;
  words.erase(words.begin());
  return words;
}

template <class T>
bool Number(std::string_view text, T& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  if (ec != std::errc() || ptr != end) return false;
  if constexpr (std::is_floating_point_v<T>) return std::isfinite(out);
  return true;
}

std::string Real(double v) {
  if (!std::isfinite(v)) v = 0;
  // Locale-free: a decimal point whatever the program's locale.
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 6);
  return std::string(text, written.ptr);
}

// A name from a file (a codec's, a brand) as one word of printable ASCII.
std::string Word(const std::string& name) {
  std::string out;
  for (char c : name.substr(0, 64)) out += (c > ' ' && c <= '~' && c != '=') ? c : '_';
  return out.empty() ? "-" : out;
}
std::string Unword(std::string_view w) { return w == "-" ? std::string() : std::string(w); }

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string ProgressLine(double share) { return "progress " + Real(share) + "\n"; }

std::optional<double> ParseProgress(std::string_view line) {
  const auto w = Words(line, "progress");
  double share = 0;
  if (!w || w->size() != 1 || !Number((*w)[0], share) || share < 0 || share > 1) return std::nullopt;
  return share;
}

namespace {

// The facts a line carries, each by its key: one list for writing and reading.
using Member = std::variant<int MovieFacts::*, std::int64_t MovieFacts::*, double MovieFacts::*,
                            bool MovieFacts::*, std::string MovieFacts::*>;
struct Field {
  const char* key;
  Member member;
};
const Field kFields[] = {
    {"container", &MovieFacts::container},   {"mp4", &MovieFacts::mp4Family},
    {"brand", &MovieFacts::brand},           {"vcodec", &MovieFacts::videoCodec},
    {"vprofile", &MovieFacts::videoProfile}, {"vlevel", &MovieFacts::videoLevel},
    {"vrate", &MovieFacts::videoBitRate},    {"pli", &MovieFacts::profileAndLevel},
    {"width", &MovieFacts::width},           {"height", &MovieFacts::height},
    {"rotation", &MovieFacts::rotation},     {"fps", &MovieFacts::fps},
    {"audio", &MovieFacts::hasAudio},        {"acodec", &MovieFacts::audioCodec},
    {"aprofile", &MovieFacts::audioProfile}, {"samplerate", &MovieFacts::sampleRate},
    {"channels", &MovieFacts::channels},     {"arate", &MovieFacts::audioBitRate},
    {"seconds", &MovieFacts::seconds},       {"cut", &MovieFacts::cutShort},
    {"readable", &MovieFacts::readableSeconds}, {"bytes", &MovieFacts::bytes},
    {"moov", &MovieFacts::moovBeforeMdat},
};

std::string Written(const MovieFacts& f, const Member& member) {
  return std::visit(
      [&](auto m) -> std::string {
        using T = std::decay_t<decltype(f.*m)>;
        if constexpr (std::is_same_v<T, std::string>) return Word(f.*m);
        else if constexpr (std::is_same_v<T, bool>) return f.*m ? "1" : "0";
        else if constexpr (std::is_same_v<T, double>) return Real(f.*m);
        else return std::to_string(f.*m);
      },
      member);
}

bool ReadInto(MovieFacts& f, const Member& member, std::string_view value) {
  return std::visit(
      [&](auto m) -> bool {
        using T = std::decay_t<decltype(f.*m)>;
        if constexpr (std::is_same_v<T, std::string>) {
          f.*m = Unword(value);
          return true;
        } else if constexpr (std::is_same_v<T, bool>) {
          int flag = 0;
          if (!Number(value, flag) || (flag != 0 && flag != 1)) return false;
          f.*m = flag == 1;
          return true;
        } else {
          return Number(value, f.*m);
        }
      },
      member);
}

}  // namespace

std::string FactsLine(const MovieFacts& f) {
  std::string line = "facts status=" + std::to_string(static_cast<int>(f.status));
  for (const Field& field : kFields) line += std::string(" ") + field.key + "=" + Written(f, field.member);
  return line + "\n";
}

std::optional<MovieFacts> ParseFacts(std::string_view line) {
  const auto words = Words(line, "facts");
  if (!words) return std::nullopt;
  MovieFacts f;
  int status = -1;
  for (std::string_view word : *words) {
    const std::size_t eq = word.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string_view key = word.substr(0, eq), value = word.substr(eq + 1);
    if (key == "status") {
      if (!Number(value, status)) return std::nullopt;
      continue;
    }
    // Keys of a later helper are passed by.
    for (const Field& field : kFields)
      if (key == field.key && !ReadInto(f, field.member, value)) return std::nullopt;
  }
  if (status < 0 || status > static_cast<int>(MovieFacts::Status::Movie)) return std::nullopt;
  f.status = static_cast<MovieFacts::Status>(status);
  return f;
}

std::string PictureLine(const PreviewPicture& p) {
  static const char digits[] = "0123456789abcdef";
  std::string line = "picture " + std::to_string(p.valid() ? p.width : 0) + " " +
                     std::to_string(p.valid() ? p.height : 0) + " " + std::to_string(p.frameWidth) + " " +
                     std::to_string(p.frameHeight) + " " + Real(p.seconds) + " ";
  if (!p.valid()) return line + "-\n";
  line.reserve(line.size() + p.rgb.size() * 2 + 1);
  for (std::uint8_t b : p.rgb) {
    line += digits[b >> 4];
    line += digits[b & 15];
  }
  return line + "\n";
}

std::optional<PreviewPicture> ParsePicture(std::string_view line) {
  const auto w = Words(line, "picture");
  if (!w || w->size() != 6) return std::nullopt;
  PreviewPicture p;
  if (!Number((*w)[0], p.width) || !Number((*w)[1], p.height) || !Number((*w)[2], p.frameWidth) ||
      !Number((*w)[3], p.frameHeight) || !Number((*w)[4], p.seconds))
    return std::nullopt;
  if (p.width == 0 && p.height == 0 && (*w)[5] == "-") return PreviewPicture{};  // none
  if (p.width <= 0 || p.height <= 0 || p.width > kMaxPictureSide || p.height > kMaxPictureSide)
    return std::nullopt;
  const std::string_view hex = (*w)[5];
  const std::size_t bytes = static_cast<std::size_t>(p.width) * p.height * 3;
  if (hex.size() != bytes * 2) return std::nullopt;
  p.rgb.resize(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    const int hi = Hex(hex[2 * i]), lo = Hex(hex[2 * i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    p.rgb[i] = static_cast<std::uint8_t>(hi << 4 | lo);
  }
  return p;
}

std::string PreviewRequest(const std::string& file, int width, int height) {
  static const char digits[] = "0123456789abcdef";
  std::string line = "preview " + std::to_string(width) + " " + std::to_string(height) + " ";
  for (const char c : file) {
    line += digits[static_cast<unsigned char>(c) >> 4];
    line += digits[static_cast<unsigned char>(c) & 15];
  }
  return line + "\n";
}

std::optional<PreviewAsked> ParsePreviewRequest(std::string_view line) {
  const auto w = Words(line, "preview");
  PreviewAsked asked;
  if (!w || w->size() != 3 || !Number((*w)[0], asked.width) || !Number((*w)[1], asked.height) ||
      asked.width <= 0 || asked.height <= 0 || asked.width > kMaxPictureSide || asked.height > kMaxPictureSide ||
      (*w)[2].size() % 2 != 0)
    return std::nullopt;
  const std::string_view hex = (*w)[2];
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int hi = Hex(hex[i]), lo = Hex(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    asked.file += static_cast<char>(hi << 4 | lo);
  }
  if (asked.file.empty() || asked.file.find('\0') != std::string::npos) return std::nullopt;
  return asked;
}

std::string ResultLine(const Converted& c) {
  switch (c.status) {
    case Converted::Status::Done:
      return "converted " + std::to_string(c.bytes) + " " + std::to_string(c.videoRate) + " " + Real(c.seconds) + "\n";
    case Converted::Status::Cancelled: return "failed cancelled -\n";
    case Converted::Status::Failed: break;
  }
  return "failed failed " + Word(c.detail) + "\n";
}

std::optional<Converted> ParseResult(std::string_view line) {
  Converted c;
  if (const auto w = Words(line, "converted")) {
    if (w->size() != 3 || !Number((*w)[0], c.bytes) || !Number((*w)[1], c.videoRate) ||
        !Number((*w)[2], c.seconds) || c.bytes < 0 || c.seconds < 0)
      return std::nullopt;
    c.status = Converted::Status::Done;
    return c;
  }
  const auto w = Words(line, "failed");
  if (!w || w->size() != 2) return std::nullopt;
  if ((*w)[0] == "cancelled") c.status = Converted::Status::Cancelled;
  else if ((*w)[0] == "failed") c.status = Converted::Status::Failed;
  else return std::nullopt;
  c.detail = Unword((*w)[1]);
  return c;
}

}  // namespace fenmora::movie::wire
