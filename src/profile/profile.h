// The handset profile: where the DoCoMo F900i keeps each kind of content on
// its SD card, how it names the files and which file types it takes.
// Every card path and file name of the program is built from here.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora {

// Kind order, wherever kinds are walked: Image, Melody, Movie. Camera is the
// handset camera's picture folder; it is described but never read or written.
enum class MediaKind : int { Image = 0, Melody = 1, Movie = 2, Camera = 3 };

inline constexpr std::array<MediaKind, 3> kListKinds = {MediaKind::Image, MediaKind::Melody,
                                                        MediaKind::Movie};
inline constexpr int kKindCount = 4;

inline constexpr int KindIndex(MediaKind k) { return static_cast<int>(k); }

// The handset lists at most 64 records per table file and per content folder.
inline constexpr int kItemsPerTable = 64;

struct ExtensionRule {
  std::string ext;      // upper case, with the dot: ".JPG"
  std::int32_t maxSize; // bytes
};

struct KindProfile {
  std::string tablePath;      // "\PRIVATE\DOCOMO\TABLE\STILL\SUD#3F.TBL"
  std::string contentFolder;  // "\PRIVATE\DOCOMO\STILL\" (leading and trailing "\")
  std::string filePrefix;     // "STIL"
  std::int32_t numberDigits = 0;
  std::vector<ExtensionRule> extensions;  // the file types the kind takes
};

// NumberText(n, w): n modulo 10^w in decimal, zero-padded to w characters, for
// w = 2..5; w zeros when n is negative; the empty text for any other w.
std::string NumberText(std::int64_t n, int w);

// Upper-case hexadecimal, zero-padded to at least minDigits and never cut.
std::string HexNumberText(std::int64_t n, int minDigits);

// Upper-cases ASCII letters only (names and extensions on the card are ASCII;
// Shift-JIS bytes are left alone).
std::string AsciiUpper(std::string_view s);

// The extension of a file name from its last "." on ("" when there is none).
std::string ExtensionOf(std::string_view name);

class HandsetProfile {
 public:
  HandsetProfile();  // everything empty, as before the window is first shown
  static HandsetProfile F900i();

  std::string carrier;
  std::string model;

  const KindProfile& Kind(MediaKind k) const { return kinds_[KindIndex(k)]; }
  KindProfile& Kind(MediaKind k) { return kinds_[KindIndex(k)]; }

  // A kind is supported when it has a content folder.
  bool Supported(MediaKind k) const { return !Kind(k).contentFolder.empty(); }

  // tablePath with its placeholder ("#3F", or "#3H" for Movie) replaced by the
  // table number: three decimal digits, or three upper-case hexadecimal ones.
  std::string ExpandTablePath(MediaKind k, int tableNumber) const;

  // The card folder of a kind's tables, without a trailing "\":
  // "\PRIVATE\DOCOMO\TABLE\STILL".
  std::string TableFolderText(MediaKind k) const;

  // The file number as it appears in a content file name: NumberText with
  // numberDigits, or for Movie upper-case hexadecimal with at least that many.
  std::string FileNumberText(MediaKind k, std::int64_t number) const;

  // filePrefix + FileNumberText + ext ("STIL0001.JPG", "MOL00A.3GP").
  std::string ContentFileName(MediaKind k, std::int64_t number, std::string_view ext) const;

  // The first rule whose ext equals the upper-cased extension, or nullptr.
  const ExtensionRule* FindExtension(MediaKind k, std::string_view ext) const;

  // ---- rules the table writer and the loader hold outside the profile record
  static std::string TablePrefix(MediaKind k);      // "SUD", "RUD", "PRL"
  static int FirstTableNumber(MediaKind k);          // 0, or 1 for Movie
  static int LastTableNumber(MediaKind k);           // 999, or 4095 for Movie
  static int TableNumberOfGroup(MediaKind k, int group) { return group + FirstTableNumber(k); }
  // The number written by three characters of the kind's numeral (decimal,
  // or hexadecimal for Movie; letters in any case), or -1.
  static int ParseNumeral(MediaKind k, std::string_view digits);
  // Folder text of group g's table header, from the card root, without a
  // trailing "\": "\PRIVATE\DOCOMO\STILL", "\PRIVATE\DOCOMO\STILL\SUD001",
  // "\SD_VIDEO\PRL001".
  std::string GroupFolderText(MediaKind k, int group) const;

 private:
  std::array<KindProfile, kKindCount> kinds_;
};

}  // namespace fenmora
