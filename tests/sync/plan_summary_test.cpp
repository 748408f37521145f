#include "sync/plan_summary.h"

#include <gtest/gtest.h>

#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/load.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

TEST(PlanSummary, CountsThePlansOperationsAndNamesTheItemsDeletedAndAdded) {
  testcard::TempCard card;
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG"));
  card.WriteTable(MediaKind::Melody, 0, testcard::NumberedItems(MediaKind::Melody, 1, 1, ".MLD"));
  testcard::TempFolder pc{"fenmora-pc"};
  const auto photo = pc.Write("photo.jpg", "new picture");
  CardSession s;
  testcard::ScriptedPrompts prompts;
  prompts.ExpectLoad();  // a folder, not a removable drive: go on
  testcard::RecordingProgress progress;
  ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());

  MediaCatalogue& images = s.Catalogue(MediaKind::Image);
  ASSERT_TRUE(MoveUp(images, 2));                  // STIL0002 before STIL0001
  Renumber(s.profile, MediaKind::Image, images);    // the two exchange names
  ASSERT_TRUE(DeleteEntry(images, s.space, 3));    // STIL0003 goes
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, photo, prompts), QueueOutcome::Queued);
  ApplyTitle(s.Catalogue(MediaKind::Melody), 1, "\x89\xB9");  // 音

  const CommitPlan plan = PlanCommit(s);
  const PlanSummary sum = SummarizePlan(plan, s);
  EXPECT_EQ(sum.deletions, 1);
  EXPECT_EQ(sum.renames, 2);  // each file of the exchange once, parked or not
  EXPECT_EQ(sum.copies, 1);
  EXPECT_EQ(sum.tables, 3);   // one per kind
  EXPECT_EQ(sum.text, std::string(texts::kPlanQuestion) +
                          "\n\n名前・場所の変更: 2 件\n削除: 1 件\nコピー: 1 件\n管理テーブルの書き込み: 3 件");
  EXPECT_EQ(sum.details, "削除するデータ:\n  待ち受け画像 STIL0003.JPG「title3」\n\n"
                         "追加するデータ:\n  待ち受け画像 STIL0004.JPG「photo」 ← " +
                             pc.path().string() + "/photo.jpg");

  // Nothing edited: only the tables, and no details.
  CardSession fresh;
  prompts.ExpectLoad();
  ASSERT_TRUE(LoadCard(fresh, card.root(), prompts, progress).Completed());
  const PlanSummary none = SummarizePlan(PlanCommit(fresh), fresh);
  EXPECT_EQ(none.renames + none.deletions + none.copies, 0);
  EXPECT_EQ(none.tables, 3);
  EXPECT_TRUE(none.details.empty());
}

// A converted copy lies in a temporary folder: the details name the user's
// own file it was made from.
TEST(PlanSummary, AConvertedCopyIsNamedByTheUsersFile) {
  testcard::TempCard card;
  card.WriteTable(MediaKind::Image, 0, {});
  testcard::TempFolder pc{"fenmora-pc"}, scratch{"fenmora-scratch"};
  const auto original = pc.Write("photo_big.png", "the user's picture");
  const auto copy = scratch.Write("2-photo_big.jpg", "converted");
  CardSession s;
  testcard::ScriptedPrompts prompts;
  prompts.ExpectLoad();
  testcard::RecordingProgress progress;
  ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  const QueueAs as{original, ".JPG"};
  ASSERT_EQ(FileQueue(s, MediaKind::Image, prompts).Add(copy, &as), QueueOutcome::Queued);
  const PlanSummary sum = SummarizePlan(PlanCommit(s), s);
  EXPECT_EQ(sum.details, "追加するデータ:\n  待ち受け画像 STIL0001.JPG「photo_big」 ← " + original.string());
}

// A file no table lists that holds a name the commit gives is moved aside
// and kept: counted on a line of its own, never as a renamed item.
TEST(PlanSummary, AFileMovedAsideIsCountedOnALineOfItsOwn) {
  testcard::TempCard card;
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 2, 2, ".JPG"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "a picture no table lists");
  CardSession s;
  testcard::ScriptedPrompts prompts;
  prompts.ExpectLoad();
  testcard::RecordingProgress progress;
  ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  Renumber(s.profile, MediaKind::Image, s.Catalogue(MediaKind::Image));   // STIL0002 -> STIL0001

  const PlanSummary sum = SummarizePlan(PlanCommit(s), s);
  EXPECT_EQ(sum.asides, 1);
  EXPECT_EQ(sum.renames, 1);
  EXPECT_EQ(sum.deletions + sum.copies, 0);
  EXPECT_NE(sum.text.find("\n登録されていないファイルの退避: 1 件"), std::string::npos) << sum.text;
}

}  // namespace
}  // namespace fenmora
