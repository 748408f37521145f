#include "profile/profile.h"

#include <cstdio>

#include "platform/numbers.h"

namespace fenmora {

std::string NumberText(std::int64_t n, int w) {
  if (w < 2 || w > 5) return {};
  std::int64_t modulus = 1;
  for (int i = 0; i < w; ++i) modulus *= 10;
  if (n < 0) return std::string(static_cast<size_t>(w), '0');
  n %= modulus;
  std::string digits = std::to_string(n);
  return std::string(static_cast<size_t>(w) - digits.size(), '0') + digits;
}

std::string HexNumberText(std::int64_t n, int minDigits) {
  if (n < 0) n = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", minDigits, static_cast<unsigned long long>(n));
  return buf;
}

std::string AsciiUpper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

std::string ExtensionOf(std::string_view name) {
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

HandsetProfile::HandsetProfile() = default;

HandsetProfile HandsetProfile::F900i() {
  HandsetProfile p;
  p.carrier = "DoCoMo";
  p.model = "F900i";
  p.Kind(MediaKind::Image) = {"\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD#3F.TBL",
                              "\\PRIVATE\\DOCOMO\\STILL\\",
                              "STIL",
                              4,
                              {{".JPG", 102400}, {".GIF", 102400}}};
  p.Kind(MediaKind::Melody) = {"\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD#3F.TBL",
                               "\\PRIVATE\\DOCOMO\\RINGER\\",
                               "RING",
                               4,
                               {{".MLD", 40960}, {".MID", 40960}, {".SMF", 40960}}};
  p.Kind(MediaKind::Movie) = {"\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL#3H.TBL",
                              "\\SD_VIDEO\\",
                              "MOL",
                              3,
                              {{".3GP", 307200}, {".MP4", 307200}, {".ASF", 307200}}};
  p.Kind(MediaKind::Camera) = {"\\PRIVATE\\DOCOMO\\TABLE\\DCIM\\#3FF900I.TBL",
                               "\\DCIM\\#3FF900I\\",
                               "F#3F",
                               4,
                               {{".JPG", 102400}}};
  return p;
}

std::string HandsetProfile::ExpandTablePath(MediaKind k, int tableNumber) const {
  const bool hex = k == MediaKind::Movie;
  const std::string placeholder = hex ? "#3H" : "#3F";
  const std::string number = hex ? HexNumberText(tableNumber, 3) : NumberText(tableNumber, 3);
  std::string path = Kind(k).tablePath;
  for (auto at = path.find(placeholder); at != std::string::npos;
       at = path.find(placeholder, at + number.size()))
    path.replace(at, placeholder.size(), number);
  return path;
}

std::string HandsetProfile::TableFolderText(MediaKind k) const {
  const std::string& path = Kind(k).tablePath;
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string HandsetProfile::FileNumberText(MediaKind k, std::int64_t number) const {
  const int digits = Kind(k).numberDigits;
  return k == MediaKind::Movie ? HexNumberText(number, digits) : NumberText(number, digits);
}

std::string HandsetProfile::ContentFileName(MediaKind k, std::int64_t number,
                                            std::string_view ext) const {
  return Kind(k).filePrefix + FileNumberText(k, number) + std::string(ext);
}

const ExtensionRule* HandsetProfile::FindExtension(MediaKind k, std::string_view ext) const {
  const std::string upper = AsciiUpper(ext);
  for (const auto& rule : Kind(k).extensions)
    if (rule.ext == upper) return &rule;
  return nullptr;
}

std::string HandsetProfile::TablePrefix(MediaKind k) {
  switch (k) {
    case MediaKind::Image: return "SUD";
    case MediaKind::Melody: return "RUD";
    case MediaKind::Movie: return "PRL";
    case MediaKind::Camera: break;
  }
  return {};
}

int HandsetProfile::ParseNumeral(MediaKind k, std::string_view digits) {
  if (digits.size() != 3) return -1;
  const auto n = ParseInteger(digits, k == MediaKind::Movie ? 16 : 10);
  return n && *n >= 0 ? static_cast<int>(*n) : -1;
}

int HandsetProfile::FirstTableNumber(MediaKind k) { return k == MediaKind::Movie ? 1 : 0; }

int HandsetProfile::LastTableNumber(MediaKind k) { return k == MediaKind::Movie ? 4095 : 999; }

std::string HandsetProfile::GroupFolderText(MediaKind k, int group) const {
  std::string folder = Kind(k).contentFolder;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  if (k == MediaKind::Movie) return folder + "\\PRL" + HexNumberText(group + 1, 3);
  if (group == 0) return folder;
  return folder + "\\" + TablePrefix(k) + NumberText(group, 3);
}

}  // namespace fenmora
