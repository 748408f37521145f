#include "catalogue/catalogue.h"

#include <gtest/gtest.h>

namespace fenmora {
namespace {

TEST(ShortenTitle, FitsTwentyOneBytes) {
  EXPECT_EQ(ShortenTitle("123456789012345678901", 21), "123456789012345678901");
  EXPECT_EQ(ShortenTitle("1234567890123456789012", 21), "1234567890123456789\x81\x63");
  // Eighteenth byte is a trail byte, nineteenth a lead byte: 18 bytes are kept.
  const std::string kanji = "\x8a\xbf";  // one double-byte character
  std::string allKanji;
  for (int i = 0; i < 12; ++i) allKanji += kanji;
  EXPECT_EQ(ShortenTitle(allKanji, 21), allKanji.substr(0, 18) + "\x81\x63");
  // 18 ASCII letters, then a kanji: its lead byte is never kept alone.
  const std::string mixed = std::string(18, 'a') + kanji + "bcd";
  EXPECT_EQ(ShortenTitle(mixed, 21), std::string(18, 'a') + "\x81\x63");
  // Half-width katakana are single bytes.
  const std::string kana(22, '\xb1');
  EXPECT_EQ(ShortenTitle(kana, 21), std::string(19, '\xb1') + "\x81\x63");
}

TEST(MediaCatalogue, FindsLiveRowsOnly) {
  MediaCatalogue c;
  EXPECT_EQ(c.GridRowCount(), 2);
  EXPECT_EQ(c.EntryAtRow(1), nullptr);
  // Every item marked for deletion: position 1 belongs to a deleted item, and
  // the blank row still has no entry.
  c.count = 1;
  c.deletedCount = 1;
  c.Slot(0).position = 1;
  c.Slot(0).toDelete = true;
  EXPECT_EQ(c.FindByPosition(1), 0);
  EXPECT_EQ(c.EntryAtRow(1), nullptr);
  c.count = 3;
  c.deletedCount = 1;
  c.Slot(0).position = 3;
  c.Slot(1).position = 2;
  c.Slot(2).position = 1;
  EXPECT_EQ(c.EntryAtRow(1), &c.Slot(2));
  EXPECT_EQ(c.EntryAtRow(2), &c.Slot(1));
  EXPECT_EQ(c.EntryAtRow(3), nullptr);
  EXPECT_EQ(c.EntryAtRow(0), nullptr);
  EXPECT_EQ(c.GridRowCount(), 3);
}

TEST(Catalogues, ResetKeepsSlotContents) {
  Catalogues all;
  all[MediaKind::Movie].count = 4;
  all[MediaKind::Movie].deletedCount = 1;
  all[MediaKind::Camera].count = 2;
  all[MediaKind::Movie].Slot(0).cardName = "MOL001.3GP";
  all.ResetCounters();
  for (MediaKind k : {MediaKind::Image, MediaKind::Melody, MediaKind::Movie, MediaKind::Camera}) {
    EXPECT_EQ(all[k].count, 0);
    EXPECT_EQ(all[k].deletedCount, 0);
  }
  EXPECT_EQ(all[MediaKind::Movie].Slot(0).cardName, "MOL001.3GP");
}

}  // namespace
}  // namespace fenmora
