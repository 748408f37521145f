// Names a new item takes: never one a file on the card already holds, listed
// or not, in any case of its letters (the card is FAT).
#include <gtest/gtest.h>

#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/commit.h"
#include "sync/load.h"

namespace fenmora {
namespace {

using testcard::CardItem;
using testcard::TempCard;
using testcard::TempFolder;
using testcard::RecordingProgress;
using testcard::ScriptedPrompts;

class CardNames : public ::testing::Test {
 protected:
  void Load() {
    prompts.ExpectLoad();
    ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  }
  std::string Queue(MediaKind kind, const std::string& name) {
    testcard::WriteBytes(pc.path() / name, "new " + name);
    EXPECT_EQ(QueueFileForCard(s, kind, pc.path() / name, prompts), QueueOutcome::Queued);
    const MediaCatalogue& c = s.Catalogue(kind);
    return c.Slot(c.count - 1).cardName;
  }
  void Commit() {
    RealFileOps ops;
    const CommitResult r = ExecuteCommit(s, PlanCommit(s), ops, progress);
    EXPECT_TRUE(r.Ok()) << CommitReport(r);
  }

  TempCard card;
  TempFolder pc{"fenmora-pc"};
  CardSession s;
  ScriptedPrompts prompts;
  RecordingProgress progress;
};

TEST_F(CardNames, AFileNoTableListsKeepsItsNameAndItsContent) {
  // The table folder is there but empty; the picture is not listed.
  std::filesystem::create_directories(card.Host("\\PRIVATE\\DOCOMO\\TABLE\\STILL"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "the old picture");
  Load();
  EXPECT_EQ(Queue(MediaKind::Image, "photo.jpg"), "STIL0002.JPG");
  Commit();
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "the old picture");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "new photo.jpg");
}

TEST_F(CardNames, FilesInGroupFoldersAndTablesListingOtherItemsCountToo) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 63, ".JPG"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\stil0064.gif", "unlisted, lower case");
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\SUD001\\STIL0065.JPG", "unlisted, in a group folder");
  card.Write("\\SD_VIDEO\\PRL001\\MOL001.3GP", "unlisted movie");
  Load();
  EXPECT_EQ(Queue(MediaKind::Image, "a.jpg"), "STIL0066.JPG");
  EXPECT_EQ(Queue(MediaKind::Movie, "b.3gp"), "MOL002.3GP");
}

TEST_F(CardNames, ARecordInLowerCaseHoldsItsNumber) {
  card.WriteTable(MediaKind::Image, 0, {{"stil0001.jpg", "lower", "old"}});
  card.WriteTable(MediaKind::Melody, 0, {{"Ring0001.Mld", "mixed", "old"}});
  Load();
  EXPECT_EQ(Queue(MediaKind::Image, "photo.jpg"), "STIL0002.JPG");
  EXPECT_EQ(Queue(MediaKind::Melody, "tune.mid"), "RING0002.MID");
}

}  // namespace
}  // namespace fenmora
