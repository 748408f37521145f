// Restoring a backup onto a card that changed since: the lists become the
// backup's, nothing on the card is lost, and a restore cut at any step ends,
// once finished or undone, in the backup's lists or in the card before it.
#include "sync/restore.h"

#include <map>
#include <set>

#include <gtest/gtest.h>

#include "platform/cardpath.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/backup.h"
#include "sync/card_lock.h"
#include "sync/journal.h"
#include "sync/load.h"
#include "sync/plan_summary.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

using testcard::Item;
using testcard::RecordingProgress;
using testcard::TempCard;
using testcard::TempFolder;

const HandsetProfile kProfile = HandsetProfile::F900i();

std::string Name(MediaKind kind, int n) {
  return kProfile.ContentFileName(kind, n, kind == MediaKind::Image ? ".JPG" : kind == MediaKind::Melody ? ".MLD" : ".3GP");
}

// Every list of the card (or backup) at root, item by item: folder, name,
// title and the file's bytes.
std::vector<std::string> Lists(const std::filesystem::path& root) {
  std::vector<std::string> rows;
  RealFileOps ops;
  for (MediaKind kind : kListKinds) {
    MediaCatalogue cat;
    LoadResult r;
    LoadKind(kProfile, kind, root, ops, cat, r);
    for (int row = 1; row <= cat.LiveCount(); ++row) {
      const MediaEntry* e = cat.EntryAtRow(row);
      rows.push_back(e->cardFolder + e->cardName + " " + e->title + " " +
                     testcard::ReadBytes(*CardGuard(root).Resolve(e->sourceFolder, e->sourceName)));
    }
  }
  return rows;
}

// Every file of the card but its tables (rewritten by any commit) and its
// journal.
std::map<std::string, std::string> Files(const std::filesystem::path& root) {
  auto files = testcard::SnapshotOf(root);
  std::erase_if(files, [](const auto& f) { return f.first.find("/TABLE/") != std::string::npos; });
  return files;
}

// Loads any folder and answers the question about an interrupted update
// with Yes (finish it) or No (undo it).
class Answering : public Prompts {
 public:
  explicit Answering(Answer answer) : answer_(answer) {}
  Answer Ask(Question question, Icon, Buttons buttons, const std::string&) override {
    if (buttons == Buttons::Ok) return Answer::Ok;
    return question == Question::InterruptedUpdate ? answer_ : Answer::Yes;
  }

 private:
  Answer answer_;
};

class Restore : public ::testing::Test {
 protected:
  void SetUp() override {
    // The card when it was backed up.
    testcard::WriteKind(card.root(), MediaKind::Image,
              {Item(Name(MediaKind::Image, 1), "一", "image one"), Item(Name(MediaKind::Image, 2), "二", "image two"),
               Item(Name(MediaKind::Image, 3), "三", "image three")});
    testcard::WriteKind(card.root(), MediaKind::Melody,
              {Item(Name(MediaKind::Melody, 1), "曲一", "melody one"), Item(Name(MediaKind::Melody, 2), "曲二", "melody two")});
    testcard::WriteKind(card.root(), MediaKind::Movie, {Item(Name(MediaKind::Movie, 1), "動画", "movie one")});
    card.Write("\\DCIM\\100F900I\\F1000001.JPG", "camera");
    RecordingProgress progress;
    const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), real, progress);
    ASSERT_TRUE(r.complete) << BackupReport(r);
    backup = r.folder;
    backupFiles = testcard::SnapshotOf(backup);
  }

  // The card since: image one deleted, three moved up, a new image where two
  // was, melody one deleted, a second movie.
  void CardSince() {
    std::filesystem::remove_all(card.root() / "PRIVATE");
    std::filesystem::remove_all(card.root() / "SD_VIDEO");
    testcard::WriteKind(card.root(), MediaKind::Image,
              {Item(Name(MediaKind::Image, 1), "三", "image three"), Item(Name(MediaKind::Image, 2), "四", "image four")});
    testcard::WriteKind(card.root(), MediaKind::Melody, {Item(Name(MediaKind::Melody, 1), "曲二", "melody two")});
    testcard::WriteKind(card.root(), MediaKind::Movie,
              {Item(Name(MediaKind::Movie, 1), "動画", "movie one"), Item(Name(MediaKind::Movie, 2), "動画二", "movie two")});
  }

  CommitResult RunRestore(FileOps& ops, RestoreSetup& setup, CommitPlan& plan) {
    setup = PrepareRestore(backup, card.root(), real);
    EXPECT_TRUE(setup.refusal.empty());
    plan = PlanCommit(setup.session, real);
    RecordingProgress progress;
    return ExecuteCommit(setup.session, plan, ops, progress);
  }

  // What an unchanged card must show after a refused restore.
  void ExpectRefusedAndUntouched(const std::string& reason) {
    const auto before = card.Snapshot();
    const RestoreSetup setup = PrepareRestore(backup, card.root(), real);
    ASSERT_FALSE(setup.refusal.empty());
    bool named = false;
    for (const std::string& line : setup.refusal) named = named || line.find(reason) != std::string::npos;
    EXPECT_TRUE(named) << reason;
    EXPECT_EQ(card.Snapshot(), before);
  }

  TempCard card;
  TempFolder backups{"fenmora-backups"};
  RealFileOps real;
  std::filesystem::path backup;
  std::map<std::string, std::string> backupFiles;
};

TEST_F(Restore, TheCardTakesTheBackupsListsAndKeepsWhatTheBackupDoesNotHave) {
  const auto backedUp = Lists(card.root());
  CardSince();
  RestoreSetup setup;
  CommitPlan plan;
  setup = PrepareRestore(backup, card.root(), real);
  ASSERT_TRUE(setup.refusal.empty());
  plan = PlanCommit(setup.session, real);
  // Shown as a commit: the card's own files are renamed, only what the card
  // lacks is copied, nothing is deleted.
  const PlanSummary summary = SummarizePlan(plan, setup.session);
  EXPECT_EQ(summary.copies, 3);  // image one and two, melody one
  EXPECT_EQ(summary.deletions, 0);
  EXPECT_EQ(summary.asides, 1);  // image four stands where image two goes
  EXPECT_NE(summary.details.find(backup.string()), std::string::npos) << summary.details;
  RecordingProgress progress;
  const CommitResult result = ExecuteCommit(setup.session, plan, real, progress);
  ASSERT_TRUE(result.Ok()) << CommitReport(result);

  EXPECT_EQ(Lists(card.root()), backedUp);
  const auto files = card.Snapshot();
  const std::string stil2 = "PRIVATE/DOCOMO/STILL/" + Name(MediaKind::Image, 2);
  EXPECT_EQ(files.at(stil2 + kAsideSuffix), "image four");
  const std::string mol2 = "SD_VIDEO/PRL001/" + Name(MediaKind::Movie, 2);
  EXPECT_EQ(files.at(mol2), "movie two");
  EXPECT_FALSE(card.Exists(kJournalName));
  const std::string report = RestoreReport(setup, plan, result);
  EXPECT_EQ(report.rfind(texts::kRestoreDone, 0), 0u) << report;
  EXPECT_NE(report.find(std::string(texts::kRestoreKept) + "\n" + mol2), std::string::npos) << report;
  EXPECT_NE(report.find(Name(MediaKind::Image, 2) + " -> " + Name(MediaKind::Image, 2) + kAsideSuffix),
            std::string::npos) << report;
  EXPECT_EQ(testcard::SnapshotOf(backup), backupFiles);
  // Restored again, the card is what it is: nothing to copy.
  setup = PrepareRestore(backup, card.root(), real);
  EXPECT_EQ(SummarizePlan(PlanCommit(setup.session, real), setup.session).copies, 0);
}

// Cut at every step (every change from the Nth on fails), then loaded and
// finished or undone as the user chooses: the backup's lists, or the card
// exactly as before, and no file lost either way.
TEST_F(Restore, EveryCutIsFinishedOrUndoneLikeACommit) {
  const auto backedUp = Lists(card.root());
  CardSince();
  const auto before = Files(card.root());
  const auto listsBefore = Lists(card.root());
  long steps = 0;
  {
    FaultyFileOps counter(real);
    RestoreSetup setup;
    CommitPlan plan;
    ASSERT_TRUE(RunRestore(counter, setup, plan).Ok());
    steps = counter.changes();
  }
  for (long n = 1; n <= steps; ++n) {
    for (const Prompts::Answer choice : {Prompts::Answer::Yes, Prompts::Answer::No}) {
      const bool finish = choice == Prompts::Answer::Yes;
      SCOPED_TRACE("cut from change " + std::to_string(n) + (finish ? ", finished" : ", undone"));
      CardSince();
      {
        FaultyFileOps pulled(real, n);
        RestoreSetup setup;
        CommitPlan plan;
        ASSERT_FALSE(RunRestore(pulled, setup, plan).Ok());
      }
      const bool journaled = card.Exists(kJournalName);
      CardSession s;
      Answering prompts(choice);
      RecordingProgress progress;
      ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress, real).Completed());
      const CommitResult r = ExecuteCommit(s, PlanCommit(s, real), real, progress);
      ASSERT_TRUE(r.Ok()) << CommitReport(r);
      EXPECT_FALSE(card.Exists(kJournalName));
      if (journaled && finish) {
        // Two states only: a copy from the backup not complete when the
        // restore was cut is made again, the backup's file being still
        // exactly what the journal fingerprinted.
        EXPECT_EQ(Lists(card.root()), backedUp);
        // Nothing the card held is gone.
        std::multiset<std::string> now;
        for (const auto& [path, bytes] : Files(card.root())) now.insert(bytes);
        for (const auto& [path, bytes] : before) EXPECT_TRUE(now.count(bytes)) << path;
      } else {
        EXPECT_EQ(Lists(card.root()), listsBefore);
        EXPECT_EQ(Files(card.root()), before);
      }
      EXPECT_EQ(testcard::SnapshotOf(backup), backupFiles);
      if (HasFailure()) return;
    }
  }
}

TEST_F(Restore, ABackupThatIsNotWholeOrWasChangedIsRefusedAndNothingIsWritten) {
  CardSince();
  const std::string stil1 = "PRIVATE/DOCOMO/STILL/" + Name(MediaKind::Image, 1);
  testcard::WriteBytes(backup / stil1, "image 0ne");
  ExpectRefusedAndUntouched(std::string(texts::kBackupChanged) + stil1);
  testcard::WriteBytes(backup / stil1, "image one");
  std::filesystem::remove(backup / "DCIM" / "100F900I" / "F1000001.JPG");
  ExpectRefusedAndUntouched(std::string(texts::kBackupMissing) + "DCIM/100F900I/F1000001.JPG");
  testcard::WriteBytes(backup / "DCIM" / "100F900I" / "F1000001.JPG", "camera");
  std::filesystem::remove(backup / kCompleteMarkName);
  ExpectRefusedAndUntouched(texts::kBackupNoMark);
}

TEST_F(Restore, ACardWithAnInterruptedUpdateIsRefused) {
  CardSince();
  {
    FaultyFileOps pulled(real, 8);
    RestoreSetup setup;
    CommitPlan plan;
    ASSERT_FALSE(RunRestore(pulled, setup, plan).Ok());
  }
  ASSERT_TRUE(card.Exists(kJournalName));
  ExpectRefusedAndUntouched(texts::kRestoreInterrupted);
}

// A record of the backup whose file the backup does not hold (the card had
// lost it before the backup) is left out and said.
TEST_F(Restore, ARecordWhoseFileTheBackupLacksIsLeftOutAndSaid) {
  std::filesystem::remove_all(card.root() / "PRIVATE");
  std::vector<testcard::CardItem> images{Item(Name(MediaKind::Image, 1), "一", "image one"),
                                         Item(Name(MediaKind::Image, 2), "二", "lost")};
  images[1].createFile = false;
  testcard::WriteKind(card.root(), MediaKind::Image, images);
  RecordingProgress progress;
  const BackupResult b = BackupCard(card.root(), backups.path(), std::time(nullptr), real, progress);
  ASSERT_TRUE(b.complete);
  CardSince();
  RestoreSetup setup = PrepareRestore(b.folder, card.root(), real);
  ASSERT_TRUE(setup.refusal.empty());
  EXPECT_EQ(setup.leftOut, 1);
  const CommitPlan plan = PlanCommit(setup.session, real);
  const CommitResult r = ExecuteCommit(setup.session, plan, real, progress);
  ASSERT_TRUE(r.Ok()) << CommitReport(r);
  EXPECT_NE(RestoreReport(setup, plan, r).find(std::string("\n1") + texts::kRestoreLeftOut), std::string::npos);
  EXPECT_EQ(Lists(card.root()).front(), Lists(b.folder).front());
}

// Another writer holds the card: the restore writes nothing and says who.
TEST_F(Restore, WaitsForTheCardsLockAndRefusesWhileAnotherHoldsIt) {
  CardSince();
  const auto before = card.Snapshot();
  RestoreSetup setup = PrepareRestore(backup, card.root(), real);
  ASSERT_TRUE(setup.refusal.empty());
  const CommitPlan plan = PlanCommit(setup.session, real);
  CardLock::Taken held = CardLock::Take(card.root());
  ASSERT_TRUE(held.lock);
  const auto locked = card.Snapshot();
  RecordingProgress progress;
  const CommitResult r = ExecuteCommit(setup.session, plan, real, progress);
  EXPECT_TRUE(r.refused);
  EXPECT_EQ(card.Snapshot(), locked);
  EXPECT_EQ(RestoreReport(setup, plan, r), r.refusal);
  held.lock->Release();
  EXPECT_EQ(card.Snapshot(), before);
}

}  // namespace
}  // namespace fenmora
