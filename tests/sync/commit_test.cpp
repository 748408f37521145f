#include "sync/commit.h"

#include <gtest/gtest.h>

#include "editing/editing.h"
#include "support/temp_card.h"
#include "support/scripted_prompts.h"
#include "sync/load.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

using testcard::CardItem;
using testcard::RecordingProgress;
using testcard::ScriptedPrompts;
using testcard::TempCard;
using testcard::TempFolder;

const HandsetProfile kProfile = HandsetProfile::F900i();

std::vector<CardItem> Items(MediaKind kind, int from, int to, const std::string& ext) {
  return testcard::NumberedItems(kind, from, to, ext);
}

class Commit : public ::testing::Test {
 protected:
  void Load() {
    prompts.ExpectLoad();
    ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  }
  CommitResult Run(FileOps& ops) {
    const CommitPlan plan = PlanCommit(s);
    return ExecuteCommit(s, plan, ops, progress);
  }
  CommitResult Run() {
    RealFileOps ops;
    return Run(ops);
  }
  std::vector<std::string> Names(MediaKind k) {
    std::vector<std::string> out;
    const MediaCatalogue& c = s.Catalogue(k);
    for (int r = 1; r <= c.LiveCount(); ++r) out.push_back(c.EntryAtRow(r)->cardName);
    return out;
  }
  MediaCatalogue& Images() { return s.Catalogue(MediaKind::Image); }

  TempCard card;
  TempFolder pc{"fenmora-pc"};
  CardSession s;
  ScriptedPrompts prompts;
  RecordingProgress progress;
};

// The window's message names what failed; the system's words (English, from
// strerror) go to its details. The command line gets the whole lines.
TEST(CommitReportText, TheReasonsGoToTheDetailsWhenThereIsRoomForThem) {
  CommitResult r;
  r.failures = {{"コピー: STIL0001.JPG", "write: No space left on device"},
                {"削除: STIL0002.JPG", "unlink: Permission denied"}};
  const std::string whole = CommitReport(r);
  EXPECT_NE(whole.find("コピー: STIL0001.JPG (write: No space left on device)"), std::string::npos);
  std::string details;
  const std::string text = CommitReport(r, &details);
  EXPECT_EQ(text, std::string(texts::kCommitFailures) + "\nコピー: STIL0001.JPG\n削除: STIL0002.JPG");
  EXPECT_EQ(details, "コピー: STIL0001.JPG (write: No space left on device)\n削除: STIL0002.JPG (unlink: Permission denied)");
}

// The plan is carried out in its own order, whatever kind each step is of:
// a movie's step first, an image's last, none is passed over.
TEST_F(Commit, EveryStepRunsInThePlansOrder) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 2, ".JPG"));
  Load();
  ASSERT_TRUE(MoveUp(Images(), 2));
  Renumber(kProfile, MediaKind::Image, Images());
  CommitPlan plan = PlanCommit(s);
  CommitStep first, last;
  first.action = last.action = CommitStep::Action::MakeFolder;
  first.kind = MediaKind::Movie;
  first.dest = card.root() / "first";
  last.dest = card.root() / "last";
  plan.steps.insert(plan.steps.begin(), first);
  plan.steps.push_back(last);
  RealFileOps ops;
  const CommitResult r = ExecuteCommit(s, plan, ops, progress);
  ASSERT_TRUE(r.Ok()) << CommitReport(r);
  EXPECT_TRUE(fs::is_directory(first.dest) && fs::is_directory(last.dest));
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "content of 2");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "content of 1");
  EXPECT_FALSE(card.Exists(std::string("\\") + kJournalName));
}

TEST_F(Commit, RoadOfOneChange) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 3, ".JPG"));
  Load();
  testcard::WriteBytes(pc.path() / "photo.jpg", "the photo");
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", prompts), QueueOutcome::Queued);
  EXPECT_EQ(Images().Slot(3).cardName, "STIL0004.JPG");
  for (int r = 4; r > 1; --r) ASSERT_TRUE(MoveUp(Images(), r));
  Renumber(kProfile, MediaKind::Image, Images());
  progress.statuses.clear();
  const CommitResult result = Run();
  EXPECT_TRUE(result.Ok()) << CommitReport(result);
  EXPECT_EQ(CommitReport(result), texts::kCommitDone);
  // The texts of the steps, in the order the steps run: the folders (the
  // two kinds the card has no table of get their table folders made), the
  // copy under its scratch name, the names, the copy taking its name, the
  // tables.
  EXPECT_EQ(progress.statuses,
            (std::vector<std::string>{texts::kFolderStatus, texts::kCopyStatus[0], texts::kRenameStatus[0],
                                      texts::kCopyStatus[0], texts::kTableStatus[0], texts::kTableStatus[1],
                                      texts::kTableStatus[2], texts::kUpdateStatus[0], texts::kUpdateStatus[1],
                                      texts::kUpdateStatus[2]}));

  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "the photo");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "content of 1");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0004.JPG"), "content of 3");
  EXPECT_EQ(testcard::ReadBytes(pc.path() / "photo.jpg"), "the photo");
  const std::string table = card.Read("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL");
  ASSERT_EQ(table.size(), 512u + 4 * 256);
  EXPECT_EQ(table[343], 4);
  EXPECT_EQ(table.substr(512 + 16, 6), std::string("photo\0", 6));
  EXPECT_EQ(table.substr(512 + 256 + 16, 6), "title1");

  Load();
  EXPECT_EQ(Names(MediaKind::Image),
            (std::vector<std::string>{"STIL0001.JPG", "STIL0002.JPG", "STIL0003.JPG", "STIL0004.JPG"}));
  EXPECT_EQ(Images().Slot(0).title, "photo");
  // The other kinds got their empty tables.
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD000.TBL").size(), 512u);
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL").size(), 512u);
}

TEST_F(Commit, ExchangedNamesKeepTheirContents) {
  card.WriteTable(MediaKind::Melody, 0, Items(MediaKind::Melody, 1, 2, ".MID"));
  Load();
  MediaCatalogue& m = s.Catalogue(MediaKind::Melody);
  ASSERT_TRUE(MoveDown(m, 1));
  Renumber(kProfile, MediaKind::Melody, m);
  ASSERT_TRUE(Run().Ok());
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\RINGER\\RING0001.MID"), "content of 2");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\RINGER\\RING0002.MID"), "content of 1");
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\RINGER\\RING0001.MID_"));
}

TEST_F(Commit, CrossingTheSixtyFourBoundaryMovesFiles) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
  Load();
  testcard::WriteBytes(pc.path() / "new.gif", "sixty-five");
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "new.gif", prompts), QueueOutcome::Queued);
  ASSERT_TRUE(Run().Ok());
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\SUD001\\STIL0065.GIF"), "sixty-five");
  const std::string sud1 = card.Read("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD001.TBL");
  ASSERT_EQ(sud1.size(), 768u);
  EXPECT_EQ(sud1.substr(2, 29), std::string("\\PRIVATE\\DOCOMO\\STILL\\SUD001\0", 29));

  // Back to the top without a new name: moved by the folder adjustment.
  Load();
  for (int r = 65; r > 1; --r) ASSERT_TRUE(MoveUp(Images(), r));
  ASSERT_TRUE(Run().Ok());
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0065.GIF"), "sixty-five");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\SUD001\\STIL0064.JPG"), "content of 64");
  Load();
  EXPECT_EQ(Images().LiveCount(), 65);
  EXPECT_EQ(Names(MediaKind::Image).front(), "STIL0065.GIF");
}

TEST_F(Commit, DeletionsShrinkTheTables) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
  card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 70, ".JPG"));
  card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 2, ".3GP"));
  Load();
  for (int r : {1, 10, 20}) ASSERT_TRUE(DeleteEntry(Images(), s.space, r));
  ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Movie), s.space, 1));
  ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Movie), s.space, 1));
  ASSERT_TRUE(Run().Ok());
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL")[343], 64);
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD001.TBL").size(), 512u + 3 * 256);
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"));
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL").size(), 512u);
  EXPECT_FALSE(card.Exists("\\SD_VIDEO\\PRL001\\MOL001.3GP"));
  Load();
  EXPECT_EQ(Images().LiveCount(), 67);
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).count, 0);
}

TEST_F(Commit, MoviesLieInHexadecimalSubfolders) {
  card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 64, ".3GP"));
  Load();
  testcard::WriteBytes(pc.path() / "clip.mp4", "clip");
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Movie, pc.path() / "clip.mp4", prompts), QueueOutcome::Queued);
  ASSERT_TRUE(Run().Ok());
  EXPECT_EQ(card.Read("\\SD_VIDEO\\PRL002\\MOL041.MP4"), "clip");
  const std::string t2 = card.Read("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL002.TBL");
  EXPECT_EQ(t2.substr(258, 6), "PRL002");
  EXPECT_EQ(t2.substr(2, 16), std::string("\\SD_VIDEO\\PRL002"));
}

TEST_F(Commit, EditsThatCancelOutTouchOnlyTheTables) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 3, ".JPG"));
  Load();
  ASSERT_TRUE(MoveUp(Images(), 2));
  ASSERT_TRUE(MoveDown(Images(), 1));
  const auto before = card.Snapshot();
  const CommitPlan plan = PlanCommit(s);
  for (const CommitStep& step : plan.steps)
    EXPECT_TRUE(step.action == CommitStep::Action::WriteTable ||
                (step.action == CommitStep::Action::MakeFolder &&
                 step.dest.parent_path() == card.Host("\\PRIVATE\\DOCOMO\\TABLE")))
        << DescribeStep(plan, step);
  RealFileOps ops;
  ASSERT_TRUE(ExecuteCommit(s, plan, ops, progress).Ok());
  auto after = card.Snapshot();
  EXPECT_EQ(after.erase("PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL"), 1u);
  EXPECT_EQ(after.erase("PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL"), 1u);
  EXPECT_EQ(after, before);
}

TEST_F(Commit, QueuedFilesAreCopiedNeverMovedOrDeleted) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 1, ".JPG"));
  card.Write("\\DCIM\\100F900I\\F1000001.JPG", "camera picture");
  Load();
  // A camera picture from the card itself, and a file queued then deleted.
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, card.Host("\\DCIM\\100F900I\\F1000001.JPG"), prompts),
            QueueOutcome::Queued);
  testcard::WriteBytes(pc.path() / "keep.jpg", "keep me");
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "keep.jpg", prompts), QueueOutcome::Queued);
  ASSERT_TRUE(DeleteEntry(Images(), s.space, 3));
  // A file of the handset's own folders is refused: the commit may rename it
  // before it would be copied.
  prompts.ExpectOk();
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, card.Host("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), prompts),
            QueueOutcome::Skipped);
  ASSERT_TRUE(Run().Ok());
  EXPECT_EQ(card.Read("\\DCIM\\100F900I\\F1000001.JPG"), "camera picture");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "camera picture");
  EXPECT_EQ(testcard::ReadBytes(pc.path() / "keep.jpg"), "keep me");
  Load();
  EXPECT_EQ(Names(MediaKind::Image),
            (std::vector<std::string>{"STIL0001.JPG", "STIL0002.JPG"}));
}

TEST_F(Commit, AWriteProtectedCardIsLeftAlone) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 3, ".JPG"));
  Load();
  ASSERT_TRUE(DeleteEntry(Images(), s.space, 1));
  Renumber(kProfile, MediaKind::Image, Images());
  const auto before = card.Snapshot();
  RealFileOps real;
  FaultyFileOps readOnly(real, 1);
  const CommitResult r = Run(readOnly);
  EXPECT_TRUE(r.stopped);
  EXPECT_FALSE(r.contentTouched);
  EXPECT_EQ(CommitReport(r).rfind(texts::kCommitStopped, 0), 0u);
  EXPECT_EQ(card.Snapshot(), before);
}

// Every file operation of a commit that renames, moves, deletes and copies in
// all three kinds is made to fail in turn. Whatever fails, the failure is
// reported and no file is lost: each one is still on the card under its old
// name, its new name or its new name with "_", or (queued files) at its source.
TEST_F(Commit, NoFileIsLostWhicheverOperationFails) {
  auto build = [&] {
    card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
    card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 66, ".GIF"));
    card.WriteTable(MediaKind::Melody, 0, Items(MediaKind::Melody, 1, 3, ".MLD"));
    card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 2, ".3GP"));
    testcard::WriteBytes(pc.path() / "new.jpg", "new image");
    testcard::WriteBytes(pc.path() / "new.mid", "new melody");
  };
  auto edit = [&] {
    for (int r = 66; r > 1; --r) ASSERT_TRUE(MoveUp(Images(), r));  // 66th to the top
    ASSERT_TRUE(DeleteEntry(Images(), s.space, 10));
    Renumber(kProfile, MediaKind::Image, Images());
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "new.jpg", prompts), QueueOutcome::Queued);
    MediaCatalogue& m = s.Catalogue(MediaKind::Melody);
    ASSERT_TRUE(MoveDown(m, 1));
    Renumber(kProfile, MediaKind::Melody, m);
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Melody, pc.path() / "new.mid", prompts), QueueOutcome::Queued);
    ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Movie), s.space, 2));
  };
  build();
  Load();
  edit();
  // The contents every surviving item must keep, and where they may be.
  std::vector<std::pair<std::string, std::vector<std::string>>> keep;
  std::vector<std::string> sources;
  for (MediaKind k : kListKinds) {
    const MediaCatalogue& c = s.Catalogue(k);
    for (int i = 0; i < c.count; ++i) {
      const MediaEntry& e = c.Slot(i);
      if (e.toDelete) continue;
      if (e.queued) {
        sources.push_back(e.sourceFolder + e.sourceName);
        continue;
      }
      keep.push_back({card.Read(e.sourceFolder + e.sourceName), {e.sourceFolder + e.sourceName}});
    }
  }
  RealFileOps real;
  FaultyFileOps counter(real);
  ASSERT_TRUE(Run(counter).Ok());
  const long operations = counter.changes();
  ASSERT_GT(operations, 20);

  for (long n = 1; n <= operations; ++n) {
    SCOPED_TRACE("operation " + std::to_string(n) + " fails");
    std::filesystem::remove_all(card.root());
    std::filesystem::create_directories(card.root());
    build();
    s = CardSession{};
    Load();
    edit();
    FaultyFileOps faulty(real, n, n);
    const CommitResult r = Run(faulty);
    ASSERT_FALSE(r.failures.empty());
    EXPECT_NE(CommitReport(r), texts::kCommitDone);
    // Every content must still be somewhere on the card (by content, since
    // names move) and every queued source where it was.
    std::multiset<std::string> contents;
    for (const auto& [path, bytes] : card.Snapshot()) contents.insert(bytes);
    for (const auto& [bytes, where] : keep)
      EXPECT_TRUE(contents.count(bytes)) << "lost: " << bytes;
    for (const std::string& src : sources) EXPECT_TRUE(std::filesystem::exists(src)) << src;
  }
}

TEST_F(Commit, DryRunPlanChangesNothing) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 2, ".JPG"));
  Load();
  ASSERT_TRUE(MoveDown(Images(), 1));
  Renumber(kProfile, MediaKind::Image, Images());
  const auto before = card.Snapshot();
  const CommitPlan plan = PlanCommit(s);
  std::vector<std::string> lines;
  for (const CommitStep& step : plan.steps) lines.push_back(DescribeStep(plan, step));
  EXPECT_EQ(card.Snapshot(), before);
  const std::string write = texts::kStepWrite, mkdir = texts::kStepMakeFolder, rename = texts::kStepRename,
                    journal = texts::kStepJournalNote;
  auto records = [](int n) { return Fill(texts::kStepRecords, {std::to_string(n)}); };
  const std::vector<std::string> expected = {
      write + "fenmora.jnl" + journal,
      // Folders first, then names, then tables.
      mkdir + "PRIVATE/DOCOMO/TABLE/RINGER",
      mkdir + "PRIVATE/DOCOMO/TABLE/SD_VIDEO",
      // An exchange of two names: one file waits under a "_" name.
      rename + "PRIVATE/DOCOMO/STILL/STIL0001.JPG -> PRIVATE/DOCOMO/STILL/STIL0002.JPG_",
      rename + "PRIVATE/DOCOMO/STILL/STIL0002.JPG -> PRIVATE/DOCOMO/STILL/STIL0001.JPG",
      rename + "PRIVATE/DOCOMO/STILL/STIL0002.JPG_ -> PRIVATE/DOCOMO/STILL/STIL0002.JPG",
      write + "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL" + records(2),
      write + "PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL" + records(0),
      write + "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL" + records(0),
      texts::kStepRemove + std::string("fenmora.jnl") + journal};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace fenmora
