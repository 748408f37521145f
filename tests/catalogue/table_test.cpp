#include "catalogue/table.h"

#include <gtest/gtest.h>

#include <random>

namespace fenmora {
namespace {

std::string_view At(const std::string& bytes, size_t offset, size_t n) {
  return std::string_view(bytes).substr(offset, n);
}

bool AllZero(const std::string& bytes, size_t offset, size_t n) {
  for (size_t i = offset; i < offset + n; ++i)
    if (bytes[i] != '\0') return false;
  return true;
}

void AddLive(MediaCatalogue& c, const std::string& cardName, const std::string& title = "t",
             std::int32_t size = 100) {
  MediaEntry& e = c.Slot(c.count);
  e = MediaEntry{};
  e.position = c.LiveCount() + 1;
  e.cardName = e.sourceName = cardName;
  e.title = title;
  e.dateText = "2005:03:07 09:05:00";
  e.size = size;
  ++c.count;
}

TEST(TableFormat, HeaderLayout) {
  const TableHeader h = ComposeTableHeader("\\PRIVATE\\DOCOMO\\STILL", 3, 0, "SUD");
  const std::string b(h.begin(), h.end());
  ASSERT_EQ(b.size(), 512u);
  EXPECT_EQ(At(b, 0, 2), std::string_view("\x01\x00", 2));
  EXPECT_EQ(At(b, 2, 21), "\\PRIVATE\\DOCOMO\\STILL");
  EXPECT_TRUE(AllZero(b, 23, 256 - 23));
  EXPECT_EQ(At(b, 256, 2), std::string_view("\x00\x11", 2));
  EXPECT_EQ(At(b, 258, 6), "SUD000");
  EXPECT_TRUE(AllZero(b, 264, 58));
  EXPECT_EQ(At(b, 322, 19), "2004:02:14 00:00:00");
  EXPECT_TRUE(AllZero(b, 341, 2));
  EXPECT_EQ(static_cast<unsigned char>(b[343]), 3);
  EXPECT_TRUE(AllZero(b, 344, 168));
  // Movies: the header names the table in decimal, the file in hexadecimal.
  const TableHeader m = ComposeTableHeader("\\SD_VIDEO\\PRL00A", 64, 10, "PRL");
  EXPECT_EQ(std::string(m.begin() + 258, m.begin() + 264), "PRL010");
  EXPECT_EQ(m[343], 64);
}

TEST(TableFormat, RecordLayout) {
  const TableRecordBytes r = ComposeTableRecord("MOL001.3GP", "\x83\x80\x81\x5b\x83\x72\x81\x5b",
                                                "2004:02:14 00:00:00", 40960);
  const std::string b(r.begin(), r.end());
  ASSERT_EQ(b.size(), 256u);
  EXPECT_EQ(At(b, 0, 3), std::string_view("\x01\x00\x01", 3));
  EXPECT_EQ(At(b, 3, 8), std::string_view("MOL001\0\0", 8));
  EXPECT_EQ(At(b, 11, 3), "3GP");
  EXPECT_EQ(At(b, 14, 2), std::string_view("\x00\x11", 2));
  EXPECT_EQ(At(b, 16, 8), "\x83\x80\x81\x5b\x83\x72\x81\x5b");
  EXPECT_TRUE(AllZero(b, 24, 56));
  EXPECT_EQ(At(b, 80, 19), "2004:02:14 00:00:00");
  EXPECT_EQ(b[99], '\0');
  EXPECT_EQ(At(b, 100, 4), std::string_view("\x00\x00\xA0\x00", 4));
  EXPECT_TRUE(AllZero(b, 104, 152));
}

TEST(TableFormat, LongTitleIsCutOnACharacterBoundary) {
  // 63 ASCII bytes then a double-byte character: the 64th byte would be a
  // lone lead byte, so only 63 bytes are kept.
  const std::string title = std::string(63, 'x') + "\x8a\xbf" + "tail";
  const TableRecordBytes r = ComposeTableRecord("STIL0001.JPG", title, "2004:02:14 00:00:00", 1);
  EXPECT_EQ(std::string(r.begin() + 16, r.begin() + 79), std::string(63, 'x'));
  EXPECT_EQ(r[79], 0);
  const std::string exact(64, 'y');
  const TableRecordBytes full = ComposeTableRecord("STIL0001.JPG", exact, "2004:02:14 00:00:00", 1);
  EXPECT_EQ(std::string(full.begin() + 16, full.begin() + 80), exact);
  EXPECT_EQ(full[80], '2');
}

TEST(TableFormat, ReaderTakesBytesBeforeTheFirstZero) {
  EXPECT_EQ(TableRecordCount(0), 0);
  EXPECT_EQ(TableRecordCount(511), 0);
  EXPECT_EQ(TableRecordCount(767), 0);
  EXPECT_EQ(TableRecordCount(768), 1);
  EXPECT_EQ(TableRecordCount(1000), 1);
  EXPECT_EQ(TableRecordCount(512 + 64 * 256), 64);

  const TableHeader h = ComposeTableHeader("\\PRIVATE\\DOCOMO\\STILL", 0, 0, "SUD");
  std::string file(h.begin(), h.end());
  const TableRecordBytes r = ComposeTableRecord("STIL0001.JPG", "title", "2004:02:14 00:00:00", 5);
  file.append(r.begin(), r.end());
  file.append(100, 'z');  // a partial trailing record is ignored
  TableContents t = ParseTable(file);
  EXPECT_EQ(t.folderText, "\\PRIVATE\\DOCOMO\\STILL");
  ASSERT_EQ(t.records.size(), 1u);  // the count byte (0) is not consulted
  EXPECT_EQ(t.records[0].FileName(), "STIL0001.JPG");
  EXPECT_EQ(t.records[0].title, "title");
  EXPECT_EQ(t.records[0].dateText, "2004:02:14 00:00:00");

  // Fields without a zero byte are taken at their full width; the folder text
  // is read from 64 bytes only.
  std::string garbage(768, 'A');
  t = ParseTable(garbage);
  EXPECT_EQ(t.folderText, std::string(64, 'A'));
  ASSERT_EQ(t.records.size(), 1u);
  EXPECT_EQ(t.records[0].stem, std::string(8, 'A'));
  EXPECT_EQ(t.records[0].ext, "AAA");
  EXPECT_EQ(t.records[0].title, std::string(64, 'A'));
  EXPECT_EQ(t.records[0].dateText, std::string(19, 'A'));

  EXPECT_TRUE(ParseTable("").folderText.empty());
  EXPECT_EQ(ParseTable(std::string("\x01\x00\\ab", 5)).folderText, "\\ab");
}

TEST(TableFormat, ReaderSurvivesRandomBytes) {
  std::mt19937 rng(42);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(rng() % 2000, '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 4 == 0 ? 0 : rng());
    const TableContents t = ParseTable(bytes);
    EXPECT_EQ(t.records.size(), static_cast<size_t>(TableRecordCount(bytes.size())));
    EXPECT_LE(t.folderText.size(), 64u);
  }
}

TEST(TableLayout, EmptyKindIsOneHeader) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue c;
  for (MediaKind k : kListKinds) {
    const auto files = LayoutTables(p, k, c);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].bytes.size(), 512u);
    EXPECT_EQ(files[0].bytes[343], 0);
  }
  EXPECT_EQ(LayoutTables(p, MediaKind::Movie, c)[0].tablePath,
            "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL");
  EXPECT_EQ(LayoutTables(p, MediaKind::Melody, c)[0].tablePath,
            "\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD000.TBL");
}

TEST(TableLayout, SpreadsSixtyFourPerFile) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue c;
  for (int i = 1; i <= 64; ++i) AddLive(c, p.ContentFileName(MediaKind::Image, i, ".JPG"));
  auto files = LayoutTables(p, MediaKind::Image, c);
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].bytes.size(), 16896u);
  EXPECT_EQ(static_cast<unsigned char>(files[0].bytes[343]), 64);

  AddLive(c, "STIL0065.JPG");
  std::vector<std::string> folders;
  files = LayoutTables(p, MediaKind::Image, c, &folders);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[1].tablePath, "\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD001.TBL");
  EXPECT_EQ(files[1].bytes.size(), 768u);
  EXPECT_EQ(At(files[1].bytes, 2, 29), std::string_view("\\PRIVATE\\DOCOMO\\STILL\\SUD001\0", 29));
  EXPECT_EQ(At(files[1].bytes, 258, 6), "SUD001");
  EXPECT_EQ(files[1].bytes[343], 1);
  EXPECT_EQ(folders[64], "\\PRIVATE\\DOCOMO\\STILL\\SUD001\\");
  EXPECT_EQ(folders[0], "\\PRIVATE\\DOCOMO\\STILL\\");
  EXPECT_EQ(c.Slot(64).cardFolder, "");  // the catalogue is left as it was
}

TEST(TableLayout, DeletedItemsGetNoRecordAndOrderFollowsPositions) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue c;
  for (int i = 1; i <= 70; ++i) AddLive(c, p.ContentFileName(MediaKind::Image, i, ".JPG"));
  // Mark three for deletion: they move behind the live ones.
  for (int slot : {0, 10, 20}) {
    c.Slot(slot).toDelete = true;
    ++c.deletedCount;
  }
  int next = 1;
  for (int i = 0; i < 70; ++i)
    if (!c.Slot(i).toDelete) c.Slot(i).position = next++;
  for (int slot : {0, 10, 20}) c.Slot(slot).position = next++;
  const auto files = LayoutTables(p, MediaKind::Image, c);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].bytes[343], 64);
  EXPECT_EQ(files[1].bytes[343], 3);
  EXPECT_EQ(files[1].bytes.size(), 512u + 3 * 256);
  EXPECT_EQ(At(files[0].bytes, 512 + 3, 8), "STIL0002");  // STIL0001 is deleted
  // Reversed positions come out reversed.
  MediaCatalogue r;
  AddLive(r, "RING0001.MLD");
  AddLive(r, "RING0002.MID");
  r.Slot(0).position = 2;
  r.Slot(1).position = 1;
  const auto melody = LayoutTables(p, MediaKind::Melody, r);
  EXPECT_EQ(At(melody[0].bytes, 512 + 3, 8), "RING0002");
  EXPECT_EQ(At(melody[0].bytes, 512 + 256 + 11, 3), "MLD");
}

TEST(TableLayout, MovieGroupsAreHexadecimalFolders) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue c;
  for (int i = 1; i <= 64 * 9 + 1; ++i) AddLive(c, p.ContentFileName(MediaKind::Movie, i, ".3GP"));
  std::vector<std::string> folders;
  const auto files = LayoutTables(p, MediaKind::Movie, c, &folders);
  ASSERT_EQ(files.size(), 10u);
  EXPECT_EQ(files[0].folderText, "\\SD_VIDEO\\PRL001");
  EXPECT_EQ(files[9].tablePath, "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL00A.TBL");
  EXPECT_EQ(At(files[9].bytes, 2, 16), "\\SD_VIDEO\\PRL00A");
  EXPECT_EQ(At(files[9].bytes, 258, 6), "PRL010");
  EXPECT_EQ(folders[64 * 9], "\\SD_VIDEO\\PRL00A\\");
  EXPECT_EQ(At(files[0].bytes, 512 + 3, 8), std::string_view("MOL001\0\0", 8));
}

}  // namespace
}  // namespace fenmora
