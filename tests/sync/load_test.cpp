#include "sync/load.h"

#include <gtest/gtest.h>

#include "support/temp_card.h"
#include "support/scripted_prompts.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

using testcard::CardItem;
using testcard::RecordingProgress;
using testcard::ScriptedPrompts;
using testcard::TempCard;

std::vector<std::string> Names(const MediaCatalogue& c) {
  std::vector<std::string> names;
  for (int p = 1; p <= c.LiveCount(); ++p) names.push_back(c.EntryAtRow(p)->cardName);
  return names;
}

LoadResult LoadYes(CardSession& s, const TempCard& card, ScriptedPrompts& prompts) {
  RecordingProgress progress;
  prompts.ExpectLoad();  // a plain folder is not a removable drive
  return LoadCard(s, card.root(), prompts, progress);
}

TEST(Load, AsksForAFolderAndNoChangesNothing) {
  TempCard card;
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "a", "jpg"}});
  CardSession s;
  ScriptedPrompts prompts;
  prompts.Expect(Prompts::Question::NotRemovable, Prompts::Answer::No, texts::kNotRemovable);
  RecordingProgress progress;
  const LoadResult r = LoadCard(s, card.root(), prompts, progress);
  EXPECT_EQ(r.outcome, LoadResult::Outcome::Declined);
  EXPECT_FALSE(s.loaded);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 0);
  EXPECT_EQ(prompts.asked().size(), 1u);
  EXPECT_TRUE(progress.statuses.empty());
}

TEST(Load, MissingRootAsksForACard) {
  CardSession s;
  ScriptedPrompts prompts;
  prompts.Expect(Prompts::Question::NotRemovable, Prompts::Answer::Yes).ExpectOk(texts::kInsertCard);
  RecordingProgress progress;
  const LoadResult r = LoadCard(s, "/nonexistent/fenmora-card", prompts, progress);
  EXPECT_EQ(r.outcome, LoadResult::Outcome::NoCard);
  EXPECT_FALSE(s.loaded);
}

TEST(Load, ReadsTablesInNumberOrderAndDropsMissingFiles) {
  TempCard card;
  card.WriteTable(MediaKind::Image, 0,
                  {{"STIL0001.JPG", "first", "1"}, {"STIL0002.JPG", "gone", "2", false},
                   {"STIL0003.JPG", "third", "333"}});
  card.WriteTable(MediaKind::Image, 2, {{"STIL0130.GIF", "far", "4444"}},
                  "\\PRIVATE\\DOCOMO\\STILL\\SUD002");
  card.WriteTable(MediaKind::Movie, 10, {{"MOL241.3GP", "ten", "m"}});
  card.WriteTable(MediaKind::Movie, 16, {{"MOL401.3GP", "sixteen", "n"}});
  CardSession s;
  ScriptedPrompts prompts;
  RecordingProgress progress;
  prompts.ExpectLoad();
  const LoadResult r = LoadCard(s, card.root(), prompts, progress);
  ASSERT_TRUE(r.Completed());
  EXPECT_EQ(Names(s.Catalogue(MediaKind::Image)),
            (std::vector<std::string>{"STIL0001.JPG", "STIL0003.JPG", "STIL0130.GIF"}));
  const MediaCatalogue& img = s.Catalogue(MediaKind::Image);
  EXPECT_EQ(img.Slot(1).size, 3);
  EXPECT_EQ(img.Slot(1).title, "third");
  EXPECT_EQ(img.Slot(1).position, 2);
  EXPECT_EQ(img.Slot(2).sourceFolder, "\\PRIVATE\\DOCOMO\\STILL\\SUD002\\");
  EXPECT_EQ(r.droppedRecords, 1);
  // PRL00A.TBL is table 10 and comes before PRL010.TBL (table 16).
  EXPECT_EQ(Names(s.Catalogue(MediaKind::Movie)),
            (std::vector<std::string>{"MOL241.3GP", "MOL401.3GP"}));
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).count, 0);
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{texts::kNotRemovable, texts::kBackupAdvice}));
  EXPECT_EQ(progress.statuses,
            (std::vector<std::string>{texts::kLoadingStatus[0], texts::kLoadingStatus[1],
                                      texts::kLoadingStatus[2], ""}));
  EXPECT_GT(s.space.capacity, 0);
  EXPECT_EQ(s.cardRoot, card.root());
}

TEST(Load, ReloadStartsFromEmptyCataloguesAndClearsMarks) {
  TempCard card;
  card.WriteTable(MediaKind::Melody, 0, {{"RING0001.MID", "m", "mid"}});
  CardSession s;
  ScriptedPrompts prompts;
  ASSERT_TRUE(LoadYes(s, card, prompts).Completed());
  s.Catalogue(MediaKind::Melody).Slot(0).toDelete = true;
  s.Catalogue(MediaKind::Melody).deletedCount = 1;
  ASSERT_TRUE(LoadYes(s, card, prompts).Completed());
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).count, 1);
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).deletedCount, 0);
  EXPECT_FALSE(s.Catalogue(MediaKind::Melody).Slot(0).toDelete);
  // The tables are gone: the kind is empty again.
  std::filesystem::remove_all(card.Host("\\PRIVATE\\DOCOMO\\TABLE"));
  ASSERT_TRUE(LoadYes(s, card, prompts).Completed());
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).count, 0);
}

TEST(Load, HostileTablesNeverLeaveTheCard) {
  TempCard card;
  if (!testcard::LinksWork(card.root())) GTEST_SKIP() << "the card is on a FAT volume: no links";
  testcard::TempFolder outside("fenmora-outside");
  testcard::WriteBytes(outside.path() / "secret.JPG", "secret");
  // A folder text that climbs out, one with a drive letter, one with a NUL.
  card.WriteTable(MediaKind::Image, 0, {{"secret.JPG", "x", "", false}}, "\\..\\..\\x");
  card.WriteTable(MediaKind::Image, 1, {{"STIL0001.JPG", "x", "", false}}, "C:\\x");
  card.WriteTable(MediaKind::Image, 2, {{"STIL0002.JPG", "ok", "fine"}},
                  "\\PRIVATE\\DOCOMO\\STILL\\SUD002");
  // A content folder that is a link to a folder outside.
  std::filesystem::create_directories(card.Host("\\SD_VIDEO"));
  std::filesystem::create_directory_symlink(outside.path(), card.Host("\\SD_VIDEO\\PRL001"));
  testcard::WriteBytes(outside.path() / "MOL001.3GP", "outside");
  card.WriteTable(MediaKind::Movie, 1, {{"MOL001.3GP", "x", "", false}});
  // A record name that is a link out of the card.
  std::filesystem::create_directories(card.Host("\\PRIVATE\\DOCOMO\\RINGER"));
  std::filesystem::create_symlink(outside.path() / "secret.JPG",
                                  card.Host("\\PRIVATE\\DOCOMO\\RINGER\\RING0001.MLD"));
  card.WriteTable(MediaKind::Melody, 0, {{"RING0001.MLD", "x", "", false}});
  const auto before = testcard::SnapshotOf(outside.path());

  CardSession s;
  ScriptedPrompts prompts;
  ASSERT_TRUE(LoadYes(s, card, prompts).Completed());
  EXPECT_EQ(Names(s.Catalogue(MediaKind::Image)), (std::vector<std::string>{"STIL0002.JPG"}));
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).count, 0);
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).count, 0);
  EXPECT_EQ(testcard::SnapshotOf(outside.path()), before);
}

TEST(Load, TakesAtMost1024ItemsOfAKindAndSaysSo) {
  TempCard card;
  const HandsetProfile p = HandsetProfile::F900i();
  for (int t = 0; t < 17; ++t) {
    std::vector<CardItem> items;
    for (int i = 1; i <= 64; ++i)
      items.push_back({p.ContentFileName(MediaKind::Image, t * 64 + i, ".JPG"), "t", "x"});
    card.WriteTable(MediaKind::Image, t, items);
  }
  CardSession s;
  ScriptedPrompts prompts;
  RecordingProgress progress;
  prompts.ExpectLoad().ExpectOk(std::string(texts::kKindNames[0]) + texts::kTooManyItems);
  const LoadResult r = LoadCard(s, card.root(), prompts, progress);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 1024);
  EXPECT_EQ(r.overfullKinds, std::vector<MediaKind>{MediaKind::Image});
  EXPECT_EQ(prompts.asked().size(), 3u);
  EXPECT_NE(prompts.asked().back().text.find("1024"), std::string::npos);
}

TEST(Load, ShortAndGarbledTablesGiveWhatTheyHold) {
  TempCard card;
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL", std::string(300, '\x01'));
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD001.TBL", "");
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\sud003.tbl", std::string(1000, '\xff'));
  card.WriteTable(MediaKind::Image, 4, {{"STIL0300.JPG", "ok", "x"}},
                  "\\PRIVATE\\DOCOMO\\STILL\\SUD004");
  // A stem with a "." in it: its record could not be written back as the
  // same name.
  card.WriteTable(MediaKind::Movie, 1, {{"MOL001.3GP", "ok", "m"}});
  std::string table = card.Read("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL");
  table[512 + 3 + 3] = '.';  // "MOL.01" + "3GP"
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL", table);
  card.Write("\\SD_VIDEO\\PRL001\\MOL.01.3GP", "m");
  CardSession s;
  ScriptedPrompts prompts;
  ASSERT_TRUE(LoadYes(s, card, prompts).Completed());
  EXPECT_EQ(Names(s.Catalogue(MediaKind::Image)), (std::vector<std::string>{"STIL0300.JPG"}));
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).count, 0);
}

}  // namespace
}  // namespace fenmora
