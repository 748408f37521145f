// The handset's management tables (.TBL): a 512-byte header and up to 64
// records of 256 bytes, numbers big-endian, texts CP932 padded with 00.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "profile/profile.h"

namespace fenmora {

inline constexpr size_t kTableHeaderSize = 512;
inline constexpr size_t kTableRecordSize = 256;
inline constexpr size_t kTitleFieldBytes = 64;
inline constexpr const char* kHeaderDateText = "2004:02:14 00:00:00";
// A record's size field is 32 bits: no file larger than this can be listed.
inline constexpr std::int64_t kMaxRecordedSize = 0xFFFFFFFF;

using TableHeader = std::array<std::uint8_t, kTableHeaderSize>;
using TableRecordBytes = std::array<std::uint8_t, kTableRecordSize>;

// What the loader takes from one record: each field is the bytes before its
// first 00, at most the field's width.
struct TableRecord {
  std::string stem;      // up to 8 bytes
  std::string ext;       // up to 3 bytes
  std::string title;     // up to 64 bytes, CP932
  std::string dateText;  // up to 19 bytes
  std::uint32_t size = 0;  // the file's size in bytes, as the record says
  std::string FileName() const { return stem + "." + ext; }
};

struct TableContents {
  std::string folderText;  // the header's folder text: bytes before the first 00 of the 64 at offset 2
  std::vector<TableRecord> records;
};

// Records the loader reads from a file of this size: (size - 512) / 256, and 0
// for a file shorter than 768 bytes. The header's count byte is not consulted.
int TableRecordCount(std::int64_t fileSize);

// Reads a table file's bytes (any bytes: short, long or garbage).
TableContents ParseTable(std::string_view bytes);

// The 512 header bytes: 01 00, folder text (at most 254 bytes), 00 11, prefix
// + NumberText(fileNumber, 3), the fixed date, the record count byte.
TableHeader ComposeTableHeader(std::string_view folderText, int recordCount, int fileNumber,
                               std::string_view prefix);

// One record from a card name ("STIL0001.JPG": stem and extension around its
// first "."), the title (cut to 64 bytes at a character boundary), the date
// text and the size.
TableRecordBytes ComposeTableRecord(std::string_view cardName, std::string_view title,
                                    std::string_view dateText, std::uint32_t size);

// One table file of a kind as the commit writes it.
struct TableFile {
  int group = 0;
  int tableNumber = 0;          // 0, 1, ... (Movie 1, 2, ...)
  std::string tablePath;        // card-relative: "\PRIVATE\DOCOMO\TABLE\STILL\SUD000.TBL"
  std::string folderText;       // "\PRIVATE\DOCOMO\STILL" (no trailing "\")
  std::string cardFolder;       // the group's content folder: folderText + "\"
  int recordCount = 0;
  std::string bytes;            // header + records, exactly as written to the card
};

// Spreads the live entries of a kind, in list order, over table files of 64.
// Always yields at least the first table file (header only when the kind is
// empty). With folders: the card folder of each slot, by slot (a live entry's
// is its group's content folder; an entry marked for deletion keeps its own).
std::vector<TableFile> LayoutTables(const HandsetProfile& profile, MediaKind kind,
                                    const MediaCatalogue& catalogue, std::vector<std::string>* folders = nullptr);

}  // namespace fenmora
