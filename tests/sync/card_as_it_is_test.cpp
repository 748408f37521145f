// The commit against the card as it is: files no table lists, names that
// differ only in case, records that share a file, copies cut short, an
// interrupted update found again at load, and a card that changed after it
// was loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "editing/editing.h"
#include "platform/cardname.h"
#include "support/scripted_prompts.h"
#include "support/check_report.h"
#include "platform/cardpath.h"
#include "support/temp_card.h"
#include "sync/check.h"
#include "sync/commit.h"
#include "sync/journal.h"
#include "sync/load.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;
using testcard::CardItem;
using testcard::TempCard;
using testcard::TempFolder;
using testcard::RecordingProgress;
using testcard::ScriptedPrompts;

const HandsetProfile kProfile = HandsetProfile::F900i();
constexpr const char* kStill = "\\PRIVATE\\DOCOMO\\STILL\\";

std::string Still(const std::string& name) { return kStill + name; }

// A card pulled out part way through a copy: the target holds the first half
// of the source, and from then on nothing can be written.
class PulledMidCopy : public FaultyFileOps {
 public:
  explicit PulledMidCopy(FileOps& inner) : FaultyFileOps(inner), inner_(inner) {}
  OpResult CopyFile(const fs::path& from, const fs::path& to) override {
    if (dead_) return OpResult::Fail("card pulled");
    std::string bytes;
    inner_.ReadFile(from, bytes);
    inner_.WriteFile(to, bytes.substr(0, bytes.size() / 2));
    dead_ = true;
    return OpResult::Fail("card pulled");
  }
  OpResult Rename(const fs::path& f, const fs::path& t) override { return dead_ ? Gone() : inner_.Rename(f, t); }
  OpResult Remove(const fs::path& p) override { return dead_ ? Gone() : inner_.Remove(p); }
  OpResult WriteFile(const fs::path& p, std::string_view b) override { return dead_ ? Gone() : inner_.WriteFile(p, b); }
  OpResult Replace(const fs::path& f, const fs::path& t) override { return dead_ ? Gone() : inner_.Replace(f, t); }
  OpResult MakeFolders(const fs::path& p) override { return dead_ ? Gone() : inner_.MakeFolders(p); }

 private:
  static OpResult Gone() { return OpResult::Fail("card pulled"); }
  FileOps& inner_;
  bool dead_ = false;
};

// Renames as FAT does them: a name that differs from a name in the target
// folder only in case is that name, and a rename never replaces a file.
class CaseBlindRenames : public FaultyFileOps {
 public:
  explicit CaseBlindRenames(FileOps& inner) : FaultyFileOps(inner) {}
  OpResult Rename(const fs::path& from, const fs::path& to) override {
    std::vector<std::string> names;
    ListFolder(to.parent_path(), names);
    for (const std::string& n : names)
      if (SameCardName(n, to.filename().string())) return OpResult::Fail("rename: target exists");
    return FaultyFileOps::Rename(from, to);
  }
  std::vector<std::pair<std::string, std::string>> renames;
};

// The card root is now another file system (the card was unmounted and the
// bare mount point is left).
class OtherVolume : public FaultyFileOps {
 public:
  using FaultyFileOps::FaultyFileOps;
  std::string VolumeOf(const fs::path&) override { return "0:0:0:0"; }
};

class CardAsItIs : public ::testing::Test {
 protected:
  // Loads the card; an interrupted update is finished (Yes) or undone (No)
  // when the load asks (it only says so when finishing is all that is left,
  // and says nothing when the update was itself a finishing or an undoing).
  LoadResult Load(CardSession& session, Prompts::Answer interrupted = Prompts::Answer::Yes, FileOps* ops = nullptr) {
    ScriptedPrompts prompts;
    prompts.ExpectLoad();
    prompts.ExpectTakingUp(card.root(), interrupted);
    RecordingProgress progress;
    const LoadResult r = LoadCard(session, card.root(), prompts, progress, ops ? *ops : real);
    asked = prompts.Texts();
    return r;
  }
  // A card listing one image ("two"), loaded, with pc/photo.jpg queued.
  void PhotoQueuedOnAFreshCard(CardSession& s) {
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0, {{"STIL0002.JPG", "two", "2"}});
    testcard::WriteBytes(pc.path() / "photo.jpg", "photo");
    Load(s);
    ScriptedPrompts none;
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
  }
  CommitResult Commit(CardSession& session, FileOps& ops) {
    RecordingProgress progress;
    plan = PlanCommit(session, ops);
    return ExecuteCommit(session, plan, ops, progress);
  }
  CommitResult Commit(CardSession& session) { return Commit(session, real); }
  // The computer's photo.jpg added, the card pulled in the middle of its copy;
  // name: the card name it was to take.
  void AddPhotoCutMidCopy(std::string& name) {
    CardSession s;
    Load(s);
    ScriptedPrompts none;
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
    name = Images(s).Slot(1).cardName;
    PulledMidCopy pulled(real);
    ASSERT_FALSE(Commit(s, pulled).Ok());
  }
  MediaCatalogue& Images(CardSession& s) { return s.Catalogue(MediaKind::Image); }
  std::vector<std::string> Titles(const CardSession& s) {
    std::vector<std::string> out;
    const MediaCatalogue& c = s.Catalogue(MediaKind::Image);
    for (int r = 1; r <= c.LiveCount(); ++r) out.push_back(c.EntryAtRow(r)->title);
    return out;
  }
  // Renames of listed files (a deleted item's file moved out of the way of a
  // name is no rename of a listed file).
  int Renames() const {
    return static_cast<int>(std::count_if(plan.steps.begin(), plan.steps.end(), [](const CommitStep& s) {
      return s.action == CommitStep::Action::Rename && s.dest.extension() != kAsideSuffix;
    }));
  }
  bool AnyParked() const {
    return std::any_of(plan.steps.begin(), plan.steps.end(), [](const CommitStep& s) {
      return s.action == CommitStep::Action::Rename && s.dest.filename().string().back() == '_';
    });
  }

  TempCard card;
  TempFolder pc{"fenmora-pc"};
  RealFileOps real;
  CommitPlan plan;
  std::vector<std::string> asked;
};

TEST_F(CardAsItIs, ACopyCutShortNeverBearsItsFinalNameAndIsLeftOutNotReadAgain) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1"}});
  const std::string photo(100000, 'p');
  testcard::WriteBytes(pc.path() / "photo.jpg", photo);
  std::string name;
  ASSERT_NO_FATAL_FAILURE(AddPhotoCutMidCopy(name));
  EXPECT_FALSE(card.Exists(Still(name)));  // only the scratch copy is short
  const CheckReport cut = CheckCard(kProfile, card.root());
  EXPECT_TRUE(std::any_of(cut.findings.begin(), cut.findings.end(), [&](const CheckFinding& f) {
    return f.type == CheckFinding::Type::ScratchFile && f.path.filename() == name + kCopySuffix;
  }));

  // Finishing copies it again: the computer's file is still exactly the
  // one the journal fingerprinted when the commit was planned.
  CardSession again;
  const LoadResult loaded = Load(again, Prompts::Answer::Yes);
  EXPECT_TRUE(loaded.interrupted && loaded.recovered) << loaded.recoveryMessage;
  EXPECT_EQ(Images(again).LiveCount(), 2);
  EXPECT_EQ(testcard::ReadBytes(card.root() / "PRIVATE/DOCOMO/STILL" / name), photo);
  EXPECT_FALSE(card.Exists(Still(name + kCopySuffix)));
  EXPECT_EQ(testcard::ReadBytes(pc.path() / "photo.jpg"), photo);
  EXPECT_FALSE(card.Exists(std::string("\\") + kJournalName));
  const CheckReport report = CheckCard(kProfile, card.root());
  EXPECT_TRUE(testcard::Clean(report)) << DescribeFinding(report.findings.front(), card.root());
}

// The computer's file changed (or is a link now) before the update is
// finished: finishing refuses, naming it, and reads nothing; undoing is still
// open and leaves the card as it was.
TEST_F(CardAsItIs, AnAddedFileThatChangedIsNeverCopiedOnTheJournalsWord) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1"}});
  const std::string photo(100000, 'p');
  testcard::WriteBytes(pc.path() / "photo.jpg", photo);
  for (int link = 0; link < 2; ++link) {
    std::string name;
    ASSERT_NO_FATAL_FAILURE(AddPhotoCutMidCopy(name));
    if (link) {
      fs::rename(pc.path() / "photo.jpg", pc.path() / "real.jpg");
      fs::create_symlink(pc.path() / "real.jpg", pc.path() / "photo.jpg");
    } else {
      testcard::WriteBytes(pc.path() / "photo.jpg", std::string(100000, 'q'));
    }
    CardSession finish;
    const LoadResult refused = Load(finish, Prompts::Answer::Yes);
    EXPECT_FALSE(refused.recovered);
    EXPECT_NE(refused.recoveryMessage.find((pc.path() / "photo.jpg").string()), std::string::npos)
        << refused.recoveryMessage;
    EXPECT_FALSE(card.Exists(Still(name)));
    EXPECT_TRUE(card.Exists(std::string("\\") + kJournalName));
    CardSession undo;
    EXPECT_TRUE(Load(undo, Prompts::Answer::No).recovered);
    EXPECT_EQ(Images(undo).LiveCount(), 1);
    EXPECT_FALSE(card.Exists(Still(name + kCopySuffix)));
    EXPECT_TRUE(testcard::Clean(CheckCard(kProfile, card.root())));
    fs::remove(pc.path() / "photo.jpg");
    testcard::WriteBytes(pc.path() / "photo.jpg", photo);
  }
}

// A file added by a path relative to the working folder, or through a link:
// the journal names the file itself by its whole path, so the update is
// finished from any folder.
TEST_F(CardAsItIs, AFileAddedByARelativePathIsFinishedFromAnywhere) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1"}});
  testcard::WriteBytes(pc.path() / "photo.jpg", std::string(5000, 'p'));
  fs::create_symlink(pc.path() / "photo.jpg", pc.path() / "link.jpg");
  const fs::path was = fs::current_path();
  CardSession s;
  Load(s);
  fs::current_path(pc.path());
  ScriptedPrompts none;
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, "link.jpg", none), QueueOutcome::Queued);
  PulledMidCopy pulled(real);
  const CommitResult cut = Commit(s, pulled);
  fs::current_path(was);
  ASSERT_FALSE(cut.Ok());
  EXPECT_EQ(InspectCardJournal(kProfile, card.root(), real).state, CardJournal::State::Fits);
  CardSession again;
  EXPECT_TRUE(Load(again, Prompts::Answer::Yes).recovered);
  EXPECT_EQ(Images(again).LiveCount(), 2);
}

// Another program moved a file of the interrupted update while it waited:
// the card is neither before nor after that step, so recovery moves nothing,
// names the item and the names it looked at, and keeps the journal; with the
// file back, the update is finished.
TEST_F(CardAsItIs, RecoveryMovesNothingWhereTheCardIsNeitherBeforeNorAfterAStep) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "11111"}, {"STIL0002.JPG", "two", "2222222"}});
  CardSession s;
  Load(s);
  ASSERT_TRUE(MoveUp(Images(s), 2));
  Renumber(kProfile, MediaKind::Image, Images(s));
  FaultyFileOps cut(real, 3);  // the journal, the first rename, then the card is gone
  ASSERT_FALSE(Commit(s, cut).Ok());
  ASSERT_TRUE(card.Exists(std::string("\\") + kJournalName));
  const auto stray = card.root() / "elsewhere.jpg";
  std::string moved;
  for (const char* name : {"STIL0001.JPG", "STIL0002.JPG", "STIL0001.JPG_", "STIL0002.JPG_"})
    if (card.Exists(Still(name)) && card.Read(Still(name)) == "11111") moved = name;
  ASSERT_FALSE(moved.empty());
  fs::rename(card.root() / "PRIVATE/DOCOMO/STILL" / moved, stray);
  const auto before = card.Snapshot();
  CardSession refused;
  const LoadResult r = Load(refused, Prompts::Answer::Yes);
  EXPECT_FALSE(r.recovered);
  EXPECT_NE(r.recoveryMessage.find("STIL0001.JPG one"), std::string::npos) << r.recoveryMessage;
  EXPECT_EQ(card.Snapshot(), before);
  fs::rename(stray, card.root() / "PRIVATE/DOCOMO/STILL" / moved);
  CardSession finished;
  EXPECT_TRUE(Load(finished, Prompts::Answer::Yes).recovered);
  EXPECT_EQ(card.Read(Still("STIL0001.JPG")), "2222222");
  EXPECT_EQ(card.Read(Still("STIL0002.JPG")), "11111");
  EXPECT_TRUE(testcard::Clean(CheckCard(kProfile, card.root())));
}

// The card fills up (another program writes it) while the copies are made:
// the commit stops and undoes what it did. No table lists a file that is not
// there, the photo the user deleted is still listed under its title, and
// nothing of the edits is half written.
TEST_F(CardAsItIs, ACopyFailingForSpaceUndoesTheWholeCommit) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1"}, {"STIL0002.JPG", "two", "22"},
                                        {"STIL0003.JPG", "three", "333"}});
  testcard::WriteBytes(pc.path() / "photo.jpg", std::string(90000, 'p'));
  testcard::WriteBytes(pc.path() / "photo2.jpg", std::string(90000, 'q'));
  class FillsUp : public FaultyFileOps {
   public:
    using FaultyFileOps::FaultyFileOps;
    OpResult CopyFile(const fs::path& from, const fs::path& to) override {
      if (++copies_ < 2) return FaultyFileOps::CopyFile(from, to);
      testcard::WriteBytes(to, "half");
      return OpResult::Fail("write: No space left on device");
    }
   private:
    int copies_ = 0;
  };
  const auto before = card.Snapshot();
  CardSession s;
  Load(s);
  ScriptedPrompts none;
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo2.jpg", none), QueueOutcome::Queued);
  ASSERT_TRUE(ApplyTitle(Images(s), 1, "retitled"));
  ASSERT_TRUE(DeleteEntry(Images(s), s.space, 2));
  FillsUp full(real);
  const CommitResult r = Commit(s, full);
  EXPECT_FALSE(r.Ok());
  EXPECT_TRUE(r.undone);
  EXPECT_EQ(CommitReport(r).rfind(texts::kCommitStopped, 0), 0u) << CommitReport(r);
  EXPECT_EQ(card.Snapshot(), before);
  EXPECT_TRUE(testcard::Clean(CheckCard(kProfile, card.root())));
}

// Any one operation of an update that adds a file fails on its own; the next
// commit leaves neither a scratch copy nor a journal's scratch behind.
TEST_F(CardAsItIs, NoScratchFileOutlivesTheNextCommit) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("operation " + std::to_string(n) + " fails");
    CardSession s;
    ASSERT_NO_FATAL_FAILURE(PhotoQueuedOnAFreshCard(s));
    FaultyFileOps once(real, n, n);
    if (Commit(s, once).Ok()) break;
    CardSession again;
    Load(again);
    ASSERT_TRUE(Commit(again).Ok());
    const CheckReport report = CheckCard(kProfile, card.root());
    for (const CheckFinding& f : report.findings)
      EXPECT_NE(f.type, CheckFinding::Type::ScratchFile) << DescribeFinding(f, card.root());
    ASSERT_LT(n, 60);
  }
}

// The update is undone, and the undoing is cut short in turn: the next load
// finishes the undoing without asking (going back on it would return to the
// half-done card), copies it was removing included.
TEST_F(CardAsItIs, AnUndoingCutShortIsFinishedWithoutAQuestion) {
  int copyLeft = 0;
  for (long n = 1; n < 16; ++n) {
    for (long m = 1; m < 7; ++m) {
      SCOPED_TRACE("the update fails from " + std::to_string(n) + ", its undoing from " + std::to_string(m));
      CardSession s;
      ASSERT_NO_FATAL_FAILURE(PhotoQueuedOnAFreshCard(s));
      FaultyFileOps cut(real, n);
      Commit(s, cut);
      if (!card.Exists(std::string("\\") + kJournalName)) break;
      CardSession undo;
      FaultyFileOps cutAgain(real, m);
      if (Load(undo, Prompts::Answer::No, &cutAgain).recovered) break;
      const auto undoing = InspectCardJournal(kProfile, card.root(), real).journal;
      copyLeft += undoing && undoing->mode == Journal::Mode::Undoing && card.Exists(Still("STIL0001.JPG.fmcopy"));
      // No question once the undoing has its journal on the card (the
      // scripted prompts fail on any); the user undoes again when it has not.
      CardSession finish;
      Load(finish, Prompts::Answer::No);
      EXPECT_EQ(Titles(finish), std::vector<std::string>{"two"});
      ASSERT_TRUE(Commit(finish).Ok());
      for (const auto& [path, bytes] : card.Snapshot()) EXPECT_NE(bytes, "photo") << path;
      EXPECT_TRUE(testcard::Clean(CheckCard(kProfile, card.root())));
    }
  }
  EXPECT_GT(copyLeft, 0) << "no case left the undoing's journal and the copy it was removing";
}

// The only table is the second one: the commit moves its item to the first
// and leaves the old table behind, still naming the old place. A parked file
// no record stands on beside that place must not come back as its file.
TEST_F(CardAsItIs, AParkedStrayNeverBecomesTheFileOfATableLeftBehind) {
  card.WriteTable(MediaKind::Image, 1, {{"STIL0004.JPG", "four", "content four"}});
  card.Write(Still("SUD001\\STIL0004.JPG_"), "stray");
  CardSession s;
  Load(s);
  ASSERT_EQ(Titles(s), std::vector<std::string>{"four"});
  ASSERT_TRUE(Commit(s).Ok());
  CardSession after;
  Load(after);
  ASSERT_EQ(Titles(after), std::vector<std::string>{"four"});
  const MediaEntry& e = *Images(after).EntryAtRow(1);
  EXPECT_EQ(card.Read(e.sourceFolder + "\\" + e.sourceName), "content four");
  std::multiset<std::string> bytes;
  for (const auto& [path, b] : card.Snapshot()) bytes.insert(b);
  EXPECT_EQ(bytes.count("stray"), 1u);
}

TEST_F(CardAsItIs, AFileNoTableListsIsMovedAsideAndKept) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "content one"}, {"STIL0003.JPG", "three", "content three"}});
  card.Write(Still("STIL0002.JPG"), "stray");
  CardSession s;
  Load(s);
  Renumber(kProfile, MediaKind::Image, Images(s));
  const CommitResult r = Commit(s);
  ASSERT_TRUE(r.Ok()) << CommitReport(r);
  EXPECT_EQ(card.Read(Still("STIL0002.JPG")), "content three");
  EXPECT_EQ(card.Read(Still(std::string("STIL0002.JPG") + kAsideSuffix)), "stray");
  EXPECT_FALSE(card.Exists(Still("STIL0003.JPG")));
  EXPECT_FALSE(card.Exists(std::string("\\") + kJournalName));
  // Said in the closing message and by the check.
  const std::string report = CommitReport(r);
  EXPECT_EQ(report.rfind(texts::kCommitDone, 0), 0u);
  EXPECT_NE(report.find(texts::kMovedAside), std::string::npos);
  EXPECT_NE(report.find(std::string("STIL0002.JPG") + kAsideSuffix), std::string::npos);
  const CheckReport check = CheckCard(kProfile, card.root());
  ASSERT_EQ(check.findings.size(), 1u);
  EXPECT_NE(DescribeFinding(check.findings[0], card.root()).find(texts::kCheckMovedAside), std::string::npos);

  CardSession after;
  Load(after);
  EXPECT_EQ(Titles(after), (std::vector<std::string>{"one", "three"}));
  // The kept file is in nobody's way: the next commit goes through.
  ASSERT_TRUE(MoveUp(Images(after), 2));
  Renumber(kProfile, MediaKind::Image, Images(after));
  ASSERT_TRUE(Commit(after).Ok());
  EXPECT_EQ(card.Read(Still("STIL0001.JPG")), "content three");
  EXPECT_EQ(card.Read(Still(std::string("STIL0002.JPG") + kAsideSuffix)), "stray");
}

TEST_F(CardAsItIs, UndoingAnUpdatePutsAFileItMovedAsideBackInPlace) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "content one"}, {"STIL0003.JPG", "three", "content three"}});
    card.Write(Still("STIL0002.JPG"), "stray");
    const auto before = card.Snapshot();
    CardSession s;
    Load(s);
    Renumber(kProfile, MediaKind::Image, Images(s));
    FaultyFileOps pulled(real, n);
    if (Commit(s, pulled).Ok()) break;
    CardSession again;
    if (!Load(again, Prompts::Answer::No).reverting) continue;
    ASSERT_TRUE(Commit(again).Ok());

    auto after = card.Snapshot();
    for (const char* empty : {"PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL", "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL"})
      if (!before.count(empty)) after.erase(empty);
    EXPECT_EQ(after, before);
    if (HasFailure()) break;
  }
}

TEST_F(CardAsItIs, NamesOnTheCardCompareWithoutCase) {
  // A stray spelt in lower case holds the name STIL0002.JPG on FAT.
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "content one"}, {"STIL0003.JPG", "three", "content three"}});
  card.Write(Still("stil0002.jpg"), "stray");
  CardSession s;
  Load(s);
  Renumber(kProfile, MediaKind::Image, Images(s));
  CaseBlindRenames fat(real);
  ASSERT_TRUE(Commit(s, fat).Ok());
  EXPECT_EQ(card.Read(Still("STIL0002.JPG")), "content three");
  EXPECT_EQ(card.Read(Still(std::string("stil0002.jpg") + kAsideSuffix)), "stray");
}

TEST_F(CardAsItIs, ARenameThatOnlyChangesCaseWorksOnFat) {
  card.WriteTable(MediaKind::Image, 0, {{"stil0001.jpg", "one", "content one"}});
  CardSession s;
  Load(s);
  ASSERT_EQ(Images(s).count, 1);
  Renumber(kProfile, MediaKind::Image, Images(s));
  ASSERT_EQ(Images(s).Slot(0).cardName, "STIL0001.jpg");
  CaseBlindRenames fat(real);
  const CommitResult r = Commit(s, fat);
  ASSERT_TRUE(r.Ok()) << CommitReport(r);
  EXPECT_EQ(card.Read(Still("STIL0001.jpg")), "content one");
  // (On a volume that folds case both spellings exist: the listing tells.)
  const auto names = testcard::NamesIn(card.Host(kStill));
  EXPECT_NE(std::find(names.begin(), names.end(), "STIL0001.jpg"), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), "stil0001.jpg"), names.end());
}

// Two entries naming one file (the load leaves a second record of a file out,
// but the lists of an interrupted update or an older session may hold them):
// "one" and "again" share STIL0001.JPG, "two" follows.
void ShareTheFirstFile(MediaCatalogue& c) {
  ASSERT_EQ(c.count, 2);
  c.Slot(1).position = 3;
  MediaEntry& again = c.Slot(c.count++);
  again = c.Slot(0);
  again.position = 2;
  again.title = "again";
}

TEST_F(CardAsItIs, AFileTwoRecordsShareGoesOnlyWithTheLastOfThem) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "shared"}, {"STIL0002.JPG", "two", "2"}});
  CardSession s;
  Load(s);
  ShareTheFirstFile(Images(s));
  ASSERT_EQ(Titles(s), (std::vector<std::string>{"one", "again", "two"}));
  ASSERT_TRUE(DeleteEntry(Images(s), s.space, 2));
  ASSERT_TRUE(Commit(s).Ok());
  EXPECT_EQ(card.Read(Still("STIL0001.JPG")), "shared");
  CardSession after;
  Load(after);
  EXPECT_EQ(Titles(after), (std::vector<std::string>{"one", "two"}));
}

TEST_F(CardAsItIs, AFileTwoRecordsShareIsNotRenamedFromUnderEitherOfThem) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "shared"}, {"STIL0002.JPG", "two", "2"}});
  CardSession s;
  Load(s);
  ShareTheFirstFile(Images(s));
  for (int r = 3; r > 1; --r) ASSERT_TRUE(MoveUp(Images(s), r));
  Renumber(kProfile, MediaKind::Image, Images(s));
  const CommitResult r = Commit(s);
  ASSERT_TRUE(r.Ok()) << CommitReport(r);
  // Each record has a file of its own now.
  CardSession after;
  Load(after);
  EXPECT_EQ(Titles(after), (std::vector<std::string>{"two", "one", "again"}));
  const MediaCatalogue& c = Images(after);
  EXPECT_EQ(card.Read(Still(c.EntryAtRow(1)->cardName)), "2");
  EXPECT_EQ(card.Read(Still(c.EntryAtRow(2)->cardName)), "shared");
  EXPECT_EQ(card.Read(Still(c.EntryAtRow(3)->cardName)), "shared");
  EXPECT_NE(c.EntryAtRow(2)->cardName, c.EntryAtRow(3)->cardName);
}

// An update cut at every point, then either finished or undone: the card is
// exactly the one a whole update gives, or exactly the one before it.
class EveryCut : public CardAsItIs {
 protected:
  void Build() {
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0,
                    {{"STIL0001.JPG", "one", "content one"}, {"STIL0002.JPG", "two", "content two"},
                     {"STIL0003.JPG", "three", "content three"}});
    card.Write(Still("STIL0004.JPG"), "stray");
    // Two files that size and time cannot tell apart.
    const auto when = fs::last_write_time(card.Host(Still("STIL0001.JPG")));
    fs::last_write_time(card.Host(Still("STIL0002.JPG")), when);
    testcard::WriteBytes(pc.path() / "photo.jpg", "the photo, which is longer than the others");
    fs::last_write_time(pc.path() / "photo.jpg", fs::file_time_type{});  // its date goes into the table
  }
  // The deleted item's name goes to the added file.
  void Edit(CardSession& s) {
    ScriptedPrompts none;
    ASSERT_TRUE(DeleteEntry(Images(s), s.space, 2));
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
    ASSERT_TRUE(MoveUp(Images(s), 2));
    ASSERT_TRUE(MoveUp(Images(s), 3));
    Renumber(kProfile, MediaKind::Image, Images(s));
  }
  std::map<std::string, std::string> Expected() {
    Build();
    CardSession s;
    Load(s);
    Edit(s);
    FaultyFileOps counter(real);
    EXPECT_TRUE(Commit(s, counter).Ok());
    operations = counter.changes();
    return card.Snapshot();
  }
  void Cut(long n) {
    Build();
    CardSession s;
    Load(s);
    Edit(s);
    FaultyFileOps pulled(real, n);
    Commit(s, pulled);
  }
  // The card as it was, but for the empty tables of the kinds it had none of.
  void ExpectAsBefore(const std::map<std::string, std::string>& before) {
    auto now = card.Snapshot();
    for (const char* empty : {"PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL", "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL"})
      if (!before.count(empty) && now.count(empty)) {
        EXPECT_EQ(now[empty].size(), 512u);
        now.erase(empty);
      }
    EXPECT_EQ(now, before);
  }
  long operations = 0;
};

TEST_F(EveryCut, FinishingGivesTheWholeUpdateAndNeverTakesOneFileForAnother) {
  const auto expected = Expected();
  EXPECT_EQ(expected.at("PRIVATE/DOCOMO/STILL/STIL0002.JPG"), "the photo, which is longer than the others");
  EXPECT_EQ(expected.at("PRIVATE/DOCOMO/STILL/STIL0001.JPG"), "content three");
  for (long n = 1; n <= operations; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    Cut(n);
    CardSession again;
    if (card.Exists(std::string("\\") + kJournalName)) {
      // Asked (finish: Yes), or told when only finishing is left.
      const LoadResult loaded = Load(again, Prompts::Answer::Yes);
      ASSERT_TRUE(loaded.interrupted);
      EXPECT_TRUE(std::find(asked.begin(), asked.end(), texts::kInterruptedCommit) != asked.end() ||
                  std::find(asked.begin(), asked.end(), texts::kInterruptedFinishOnly) != asked.end());
      if (loaded.droppedRecords > 0) {
        // The photo's copy was not complete: it is left out, not read again
        // from the computer on the journal's word; the user adds it again.
        EXPECT_EQ(loaded.droppedRecords, 1);
        EXPECT_EQ(again.Catalogue(MediaKind::Image).LiveCount(), 2);
        ScriptedPrompts none;
        ASSERT_EQ(QueueFileForCard(again, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
        ASSERT_TRUE(MoveUp(Images(again), 3));
        Renumber(kProfile, MediaKind::Image, Images(again));
      }
    } else {
      Load(again);
      Edit(again);
    }
    const CommitResult r = Commit(again);
    ASSERT_TRUE(r.Ok()) << CommitReport(r);
    EXPECT_EQ(card.Snapshot(), expected);
    if (HasFailure()) break;
  }
}

TEST_F(EveryCut, UndoingGivesBackTheCardAsItWas) {
  Build();
  const auto before = card.Snapshot();
  Expected();
  for (long n = 1; n <= operations; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    Cut(n);
    CardSession again;
    const bool interrupted = card.Exists(std::string("\\") + kJournalName);
    const LoadResult loaded = Load(again, Prompts::Answer::No);
    if (!loaded.reverting) {
      // Nothing written yet, or past the point of no return (the removals):
      // then the update can only be finished.
      if (interrupted) { EXPECT_NE(std::find(asked.begin(), asked.end(), texts::kInterruptedFinishOnly), asked.end()); }
      continue;
    }
    const CommitResult r = Commit(again);
    ASSERT_TRUE(r.Ok()) << CommitReport(r);
    ExpectAsBefore(before);
    if (HasFailure()) break;
  }
}

TEST_F(EveryCut, ABackupCopiedBackOverAnInterruptedCardIsNotTakenSilently) {
  Build();
  const auto before = card.Snapshot();
  Cut(4);  // the table written, no file touched yet
  ASSERT_TRUE(card.Exists(std::string("\\") + kJournalName));
  // The user copies the backup back: tables and files as before the update,
  // the journal still at the root.
  for (const auto& [path, bytes] : before) card.Write(path, bytes);
  CardSession s;
  const LoadResult loaded = Load(s, Prompts::Answer::No);
  EXPECT_TRUE(loaded.interrupted);
  ASSERT_TRUE(Commit(s).Ok());
  // Nothing the update had done stays: the deleted item is back, the added
  // file is gone.
  ExpectAsBefore(before);
  CardSession after;
  Load(after);
  EXPECT_EQ(Titles(after), (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(CardAsItIs, FilesThatSizeAndTimeCannotTellApartAreNeverTakenForEachOther) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "a", "AAAA"}, {"STIL0002.JPG", "b", "BBBB"}});
    fs::last_write_time(card.Host(Still("STIL0002.JPG")), fs::last_write_time(card.Host(Still("STIL0001.JPG"))));
    CardSession s;
    Load(s);
    ASSERT_TRUE(MoveUp(Images(s), 2));
    Renumber(kProfile, MediaKind::Image, Images(s));
    FaultyFileOps pulled(real, n);
    if (Commit(s, pulled).Ok()) break;  // no cut left
    CardSession again;
    Load(again, Prompts::Answer::Yes);
    if (!card.Exists(std::string("\\") + kJournalName)) continue;  // cut before the journal: nothing to finish
    ASSERT_TRUE(Commit(again).Ok());
    EXPECT_EQ(card.Read(Still("STIL0001.JPG")), "BBBB");
    EXPECT_EQ(card.Read(Still("STIL0002.JPG")), "AAAA");
    if (HasFailure()) break;
  }
}

// The added file takes the number an item leaves: undoing removes the copy
// first and gives the item its number back, whatever step the cut came at.
TEST_F(CardAsItIs, UndoingFreesTheNumberACopyTookForTheItemThatHadIt) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0,
                    {{"STIL0001.JPG", "a", "AAAA"}, {"STIL0002.JPG", "b", "BBBB"}, {"STIL0004.JPG", "d", "DDDD"}});
    const auto before = card.Snapshot();
    testcard::WriteBytes(pc.path() / "photo.jpg", "the photo");
    CardSession s;
    Load(s);
    ASSERT_TRUE(MoveUp(Images(s), 3));
    ScriptedPrompts none;
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
    Renumber(kProfile, MediaKind::Image, Images(s));
    FaultyFileOps pulled(real, n);
    if (Commit(s, pulled).Ok()) break;  // no cut left
    CardSession again;
    if (!Load(again, Prompts::Answer::No).reverting) continue;
    const CommitResult r = Commit(again);
    ASSERT_TRUE(r.Ok()) << CommitReport(r);
    auto now = card.Snapshot();
    for (const char* empty : {"PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL", "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL"})
      if (!before.count(empty)) now.erase(empty);
    EXPECT_EQ(now, before);
    if (HasFailure()) break;
  }
}

// A melody of the second table comes into the first folder, where a file no
// table lists has its name in other letters and is moved aside; undone half
// way, the melody takes the name again, so the kept file stays kept beside
// it instead of coming back as a second spelling of one FAT name.
TEST_F(CardAsItIs, UndoingNeverPutsAKeptFileBackOnANameAListedFileHolds) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Melody, 1, {{"RING0005.MID", "m", "the melody"}});
    card.Write("PRIVATE/DOCOMO/RINGER/rInG0005.MiD", "a file no table lists");
    CardSession s;
    Load(s);
    FaultyFileOps pulled(real, n);
    if (Commit(s, pulled).Ok()) break;
    CardSession again;
    if (!Load(again, Prompts::Answer::No).reverting) continue;
    ASSERT_TRUE(Commit(again).Ok());
    std::multiset<std::string> names, kept;
    for (const auto& [path, bytes] : card.Snapshot()) {
      if (path.rfind("PRIVATE/DOCOMO/RINGER/", 0) == 0 && path.find('/', 22) == std::string::npos)
        names.insert(CardNameKey(path.substr(22)));
      kept.insert(bytes);
    }
    for (const std::string& n2 : names) EXPECT_EQ(names.count(n2), 1u) << n2;
    EXPECT_EQ(kept.count("the melody"), 1u);
    EXPECT_EQ(kept.count("a file no table lists"), 1u);
    if (HasFailure()) break;
  }
}

// A record whose file is missing names the number an added file then takes:
// undone, the copy goes and the record never takes it for its own file.
TEST_F(CardAsItIs, UndoingNeverGivesACopyToARecordWhoseFileWasMissing) {
  for (long n = 1;; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    fs::remove_all(card.root());
    fs::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0, {{"STIL0002.JPG", "missing", "", false}});
    card.Write(Still("STIL0001.JPG"), "a file no table lists");
    testcard::WriteBytes(pc.path() / "photo.jpg", "the photo");
    CardSession s;
    Load(s);
    ScriptedPrompts none;
    ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "photo.jpg", none), QueueOutcome::Queued);
    FaultyFileOps pulled(real, n);
    if (Commit(s, pulled).Ok()) break;
    CardSession again;
    if (!Load(again, Prompts::Answer::No).reverting) continue;
    EXPECT_EQ(Images(again).LiveCount(), 0);  // the record's file is still missing
    const CommitResult r = Commit(again);
    ASSERT_TRUE(r.Ok()) << CommitReport(r);
    for (const auto& [path, bytes] : card.Snapshot()) EXPECT_NE(bytes, "the photo") << path;
    EXPECT_EQ(card.Read(Still("STIL0001.JPG")), "a file no table lists");
    if (HasFailure()) break;
  }
}

TEST_F(CardAsItIs, ACardThatChangedSinceItWasLoadedIsNotWritten) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1"}, {"STIL0002.JPG", "two", "2"}});
  CardSession s;
  Load(s);
  ASSERT_TRUE(MoveUp(Images(s), 2));
  Renumber(kProfile, MediaKind::Image, Images(s));
  const auto before = card.Snapshot();
  // The card was unmounted: the card root is another file system now.
  OtherVolume unmounted(real);
  CommitResult r = Commit(s, unmounted);
  EXPECT_TRUE(r.stopped && r.cardChanged && !r.contentTouched);
  EXPECT_EQ(unmounted.changes(), 0);
  EXPECT_EQ(CommitReport(r), texts::kCardChanged);
  EXPECT_EQ(card.Snapshot(), before);
  // The handset rewrote a table meanwhile.
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1"}});
  const auto rewritten = card.Snapshot();
  FaultyFileOps counted(real);
  r = Commit(s, counted);
  EXPECT_TRUE(r.cardChanged);
  EXPECT_EQ(counted.changes(), 0);
  EXPECT_EQ(card.Snapshot(), rewritten);
}

TEST_F(CardAsItIs, AShiftByOneRenamesEachFileOnceWithoutParking) {
  std::vector<CardItem> items;
  for (int n = 1; n <= 6; ++n) items.push_back({"STIL000" + std::to_string(n) + ".JPG", "t" + std::to_string(n), std::to_string(n)});
  card.WriteTable(MediaKind::Image, 0, items);
  CardSession s;
  Load(s);
  ASSERT_TRUE(DeleteEntry(Images(s), s.space, 1));
  Renumber(kProfile, MediaKind::Image, Images(s));
  ASSERT_TRUE(Commit(s).Ok());
  EXPECT_EQ(Renames(), 5);  // was 10: each file twice, through a "_" name
  EXPECT_FALSE(AnyParked());
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(card.Read(Still("STIL000" + std::to_string(n) + ".JPG")), std::to_string(n + 1));
  EXPECT_FALSE(card.Exists(Still("STIL0006.JPG")));
}

TEST_F(CardAsItIs, ARotationParksOneFileOnly) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "a", "A"}, {"STIL0002.JPG", "b", "B"}, {"STIL0003.JPG", "c", "C"}});
  CardSession s;
  Load(s);
  ASSERT_TRUE(MoveUp(Images(s), 3));
  ASSERT_TRUE(MoveUp(Images(s), 2));
  Renumber(kProfile, MediaKind::Image, Images(s));
  ASSERT_TRUE(Commit(s).Ok());
  EXPECT_EQ(Renames(), 4);  // three files, one cycle (was 6)
  EXPECT_EQ(card.Read(Still("STIL0001.JPG")), "C");
  EXPECT_EQ(card.Read(Still("STIL0002.JPG")), "A");
  EXPECT_EQ(card.Read(Still("STIL0003.JPG")), "B");
}

}  // namespace
}  // namespace fenmora

namespace fenmora {
namespace {

// A hand-made or damaged table of another kind names an image's file: deleting
// the image keeps the file for the other list.
TEST(CardAsItIsAcrossKinds, AFileAnotherKindStillListsIsNeverDeleted) {
  testcard::TempCard card;
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "photo", "shared bytes"}, {"STIL0002.JPG", "two", "2"}});
  card.WriteTable(MediaKind::Melody, 0, {{"STIL0001.JPG", "odd", "shared bytes"}}, "\\PRIVATE\\DOCOMO\\STILL");
  CardSession s;
  testcard::ScriptedPrompts prompts;
  prompts.ExpectLoad();
  testcard::RecordingProgress progress;
  ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  ASSERT_EQ(s.Catalogue(MediaKind::Melody).LiveCount(), 1);
  ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Image), s.space, 1));
  const CommitPlan plan = PlanCommit(s);
  RealFileOps real;
  ASSERT_TRUE(ExecuteCommit(s, plan, real, progress).Ok());
  // The file went with the melody's list, never away.
  CardSession after;
  prompts.ExpectLoad();
  ASSERT_TRUE(LoadCard(after, card.root(), prompts, progress).Completed());
  const MediaEntry* melody = after.Catalogue(MediaKind::Melody).EntryAtRow(1);
  ASSERT_TRUE(melody);
  EXPECT_EQ(testcard::ReadBytes(*ResolveCardPath(card.root(), melody->sourceFolder, melody->sourceName)),
            "shared bytes");
}

}  // namespace
}  // namespace fenmora
