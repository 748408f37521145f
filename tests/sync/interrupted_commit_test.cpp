// A card pulled out, full or failing in the middle of a commit: every file
// operation from the Nth on fails, then the card works again. A load and a
// commit of the same edits must then leave the card exactly as a commit that
// was never interrupted, for every N.
#include <gtest/gtest.h>

#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/commit.h"
#include "sync/journal.h"
#include "sync/journal_v3.h"
#include "sync/recovery.h"
#include "sync/load.h"

namespace fenmora {
namespace {

using testcard::CardItem;
using testcard::RecordingProgress;
using testcard::ScriptedPrompts;
using testcard::TempCard;
using testcard::TempFolder;

const HandsetProfile kProfile = HandsetProfile::F900i();

std::vector<CardItem> Items(MediaKind kind, int from, int to, const std::string& ext) {
  return testcard::NumberedItems(kind, from, to, ext, kProfile.Kind(kind).filePrefix + " content ");
}

int RowOfTitle(const MediaCatalogue& c, const std::string& title) {
  for (int r = 1; r <= c.LiveCount(); ++r)
    if (c.EntryAtRow(r)->title == title) return r;
  return 0;
}

class InterruptedCommit : public ::testing::Test {
 protected:
  void Build() {
    std::filesystem::remove_all(card.root());
    std::filesystem::create_directories(card.root());
    card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
    card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 66, ".GIF"));
    card.WriteTable(MediaKind::Melody, 0, Items(MediaKind::Melody, 1, 3, ".MLD"));
    card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 3, ".3GP"));
    for (const char* name : {"new.jpg", "new.mid"}) {
      testcard::WriteBytes(pc.path() / name, std::string("queued ") + name);
      std::filesystem::last_write_time(pc.path() / name, std::filesystem::file_time_type{});
    }
  }

  // An interrupted update found at load is finished.
  void Load(CardSession& s) {
    ScriptedPrompts prompts;
    prompts.ExpectLoad();
    // A commit cut short leaves its journal: the load asks, and it is
    // finished (or says that finishing is all that is left).
    prompts.ExpectTakingUp(card.root(), Prompts::Answer::Yes);
    RecordingProgress progress;
    ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  }

  // The edits, said as what the lists are to become, so that saying them again
  // to a card that already shows them changes nothing.
  void Edit(CardSession& s) {
    ScriptedPrompts prompts;
    MediaCatalogue& images = s.Catalogue(MediaKind::Image);
    if (int r = RowOfTitle(images, "title10")) DeleteEntry(images, s.space, r);
    for (int r = RowOfTitle(images, "title66"); r > 1; --r) MoveUp(images, r);
    if (!RowOfTitle(images, "new")) {
      ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "new.jpg", prompts), QueueOutcome::Queued);
    }
    Renumber(kProfile, MediaKind::Image, images);
    MediaCatalogue& melodies = s.Catalogue(MediaKind::Melody);
    for (int r = RowOfTitle(melodies, "title2"); r > 1; --r) MoveUp(melodies, r);
    if (!RowOfTitle(melodies, "new")) {
      ASSERT_EQ(QueueFileForCard(s, MediaKind::Melody, pc.path() / "new.mid", prompts), QueueOutcome::Queued);
    }
    Renumber(kProfile, MediaKind::Melody, melodies);
    MediaCatalogue& movies = s.Catalogue(MediaKind::Movie);
    if (int r = RowOfTitle(movies, "title2")) DeleteEntry(movies, s.space, r);
  }

  CommitResult Commit(CardSession& s, FileOps& ops) {
    RecordingProgress progress;
    const CommitPlan plan = PlanCommit(s);
    return ExecuteCommit(s, plan, ops, progress);
  }

  TempCard card;
  TempFolder pc{"fenmora-pc"};
  RealFileOps real;
};

TEST_F(InterruptedCommit, EveryCutConvergesToTheUninterruptedCard) {
  Build();
  CardSession reference;
  Load(reference);
  Edit(reference);
  FaultyFileOps counter(real);
  ASSERT_TRUE(Commit(reference, counter).Ok());
  const long operations = counter.changes();
  const auto expected = card.Snapshot();
  const auto sources = testcard::SnapshotOf(pc.path());
  ASSERT_FALSE(card.Exists(kJournalName));

  for (long n = 1; n <= operations; ++n) {
    SCOPED_TRACE("every operation from " + std::to_string(n) + " on fails");
    Build();
    {
      CardSession s;
      Load(s);
      Edit(s);
      FaultyFileOps pulled(real, n);
      const CommitResult cut = Commit(s, pulled);
      ASSERT_FALSE(cut.Ok());
    }
    CardSession again;
    Load(again);
    Edit(again);
    const CommitResult r = Commit(again, real);
    ASSERT_TRUE(r.Ok()) << CommitReport(r);
    const auto got = card.Snapshot();
    for (const auto& [k, v] : got)
      if (!expected.count(k) || expected.at(k) != v) ADD_FAILURE() << "extra or different: " << k << " = " << v;
    for (const auto& [k, v] : expected)
      if (!got.count(k)) ADD_FAILURE() << "missing: " << k << " = " << v;
    EXPECT_EQ(testcard::SnapshotOf(pc.path()), sources);
    if (HasFailure()) break;
  }
}

TEST_F(InterruptedCommit, LoadFindsFilesLeftBetweenTheRenamingPasses) {
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "one", "1", false}, {"STIL0002.JPG", "two", "2"}});
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG_", "1");
  CardSession s;
  Load(s);
  const MediaCatalogue& c = s.Catalogue(MediaKind::Image);
  ASSERT_EQ(c.count, 2);
  EXPECT_EQ(c.Slot(0).sourceName, "STIL0001.JPG_");
  EXPECT_EQ(c.Slot(0).cardName, "STIL0001.JPG");
  EXPECT_EQ(c.Slot(0).title, "one");
  // The next commit finishes the rename with one pass.
  ASSERT_TRUE(Commit(s, real).Ok());
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "1");
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG_"));
}

TEST_F(InterruptedCommit, AStaleJournalIsIgnored) {
  Build();
  CardSession s;
  Load(s);
  Edit(s);
  FaultyFileOps pulled(real, 8);
  ASSERT_FALSE(Commit(s, pulled).Ok());
  ASSERT_TRUE(card.Exists(kJournalName));
  // The handset rewrote a table meanwhile: the journal no longer fits.
  card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 1, ".3GP"));
  const std::string journal = card.Read(kJournalName);
  CardSession after;
  ScriptedPrompts prompts;
  prompts.ExpectLoad();
  prompts.Expect(Prompts::Question::Message, Prompts::Answer::Ok);  // it is reported
  RecordingProgress progress;
  const LoadResult r = LoadCard(after, card.root(), prompts, progress);
  EXPECT_FALSE(r.interrupted);
  EXPECT_EQ(r.journal, CardJournal::State::Stale);
  EXPECT_EQ(after.Catalogue(MediaKind::Movie).count, 1);
  // Never acted on: the next commit sets it aside under a name that says so.
  EXPECT_TRUE(Commit(after, real).Ok());
  EXPECT_FALSE(card.Exists(kJournalName));
  EXPECT_EQ(card.Read("fenmora-stale.jnl"), journal);
}

TEST(Journal, RoundTripsAndRefusesDamage) {
  Journal j;
  j.mode = Journal::Mode::Undoing;
  j.tables.push_back({MediaKind::Movie, "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL", true,
                      std::string("\x01\0 %\n", 5) + std::string(600, '\0') + "z", true, "new"});
  j.files.push_back({{40960, 0, "0123456789abcdef:40960", "fedcba:4096"}, std::string("RING0003.MID \x89\xb9\n\0x", 18)});
  j.steps.push_back({StepAction::CopyIn, "/home/u/曲 1/a b.mid", "PRIVATE/DOCOMO/RINGER/RING0003.MID.fmcopy", 0, -1});
  j.steps.push_back({StepAction::WriteTable, "", "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL", -1, 0});
  const std::string bytes = EncodeJournal(j);
  const auto back = DecodeJournal(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(EncodeJournal(*back), bytes);
  EXPECT_EQ(back->files[0].label, std::string("RING0003.MID \x89\xb9\n\0x", 18));
  EXPECT_EQ(back->steps[0].src, "/home/u/曲 1/a b.mid");
  EXPECT_EQ(back->mode, Journal::Mode::Undoing);
  EXPECT_EQ(back->tables[0].oldBytes, std::string("\x01\0 %\n", 5) + std::string(600, '\0') + "z");
  EXPECT_LT(bytes.size(), 800u);  // a table's runs of zero bytes are written short
  for (size_t cut = 0; cut < bytes.size(); cut += 7) EXPECT_FALSE(DecodeJournal(bytes.substr(0, cut)));
  // A step naming a file or a table the journal does not have.
  Journal wrong = j;
  wrong.steps[0].file = 1;
  EXPECT_FALSE(DecodeJournal(EncodeJournal(wrong)));
  EXPECT_FALSE(v3::DecodeJournal("FENMORA-JOURNAL 2\nitem 9 1 0 0 = = = = = = 1 1 1 =\nend\n"));
  EXPECT_FALSE(v3::DecodeJournal("FENMORA-JOURNAL 2\nitem 0 x 0 0 = = = = = = 1 1 1 =\nend\n"));
}

// A small journal never becomes a large one in memory: runs of zero bytes
// ("%zFFFF": six bytes for 65,535) are paid for from what the journal's own
// size allows, in every format.
TEST(Journal, ReadWithinWhatItsSizeHolds) {
  auto sealed = [](std::string body) { return body + "end " + HashBytes(body) + "\n"; };
  std::string bomb = "=";
  for (int i = 0; i < 40000; ++i) bomb += "%zffff";
  const std::string v4 = sealed("FENMORA-JOURNAL 4\nmode 0\nfile 1 = = " + bomb + "\n");
  const std::string v3 = sealed("FENMORA-JOURNAL 3\nstage 0\ntable 0 =\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL 1 " +
                                bomb + " =\n");
  EXPECT_FALSE(DecodeJournal(v4));
  EXPECT_FALSE(v3::DecodeJournal(v3));
  // The same runs in a journal's real share (a table of zeros) are read.
  const std::string fair = sealed("FENMORA-JOURNAL 4\nmode 0\nfile 1 = = =%zffff\n");
  ASSERT_TRUE(DecodeJournal(fair));
}

// An update the previous version left (its journal in format 3: the lists
// it was writing, each file known by what it is) is still finished or undone.
TEST(OldJournal, AnUpdateOfTheFormerFormatIsFinishedOrUndone) {
  for (const Prompts::Answer choice : {Prompts::Answer::Yes, Prompts::Answer::No}) {
    TempCard card;
    RealFileOps real;
    card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "A", "aaaaa"}, {"STIL0002.JPG", "B", "bbbbbbb"}});
    const std::string table = "\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL";
    const std::string oldTable = card.Read(table);
    // Cut after its table was written, before the file was renamed: the
    // first photo, retitled, is to be STIL0003.JPG.
    card.WriteTable(MediaKind::Image, 0, {{"STIL0003.JPG", "A2", "", false}, {"STIL0002.JPG", "B", "bbbbbbb"}});
    const std::string newTable = card.Read(table);
    v3::Journal j;
    j.tables.push_back({MediaKind::Image, table, true, oldTable, HashBytes(newTable)});
    const std::string folder = "\\PRIVATE\\DOCOMO\\STILL\\";
    j.items.push_back({MediaKind::Image, 1, false, false, folder, "STIL0001.JPG", folder, "STIL0003.JPG",
                       "2004:02:14 00:00:00", "A2", 5, {5, 0, "", ""}});
    j.items.push_back({MediaKind::Image, 2, false, false, folder, "STIL0002.JPG", folder, "STIL0002.JPG",
                       "2004:02:14 00:00:00", "B", 7, {7, 0, "", ""}});
    card.Write(std::string("\\") + kJournalName, v3::EncodeJournal(j));

    CardSession s;
    ScriptedPrompts prompts;
    prompts.ExpectLoad().ExpectTakingUp(card.root(), choice);
    RecordingProgress progress;
    ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
    const CommitResult r = ExecuteCommit(s, PlanCommit(s), real, progress);
    ASSERT_TRUE(r.Ok()) << CommitReport(r);
    EXPECT_FALSE(card.Exists(std::string("\\") + kJournalName));
    MediaCatalogue listed;
    LoadResult none;
    LoadKind(kProfile, MediaKind::Image, card.root(), real, listed, none);
    ASSERT_EQ(listed.LiveCount(), 2);
    if (choice == Prompts::Answer::Yes) {
      EXPECT_EQ(listed.EntryAtRow(1)->cardName, "STIL0003.JPG");
      EXPECT_EQ(listed.EntryAtRow(1)->title, "A2");
      EXPECT_EQ(card.Read(folder + "STIL0003.JPG"), "aaaaa");
    } else {
      EXPECT_EQ(card.Read(table), oldTable);
      EXPECT_EQ(card.Read(folder + "STIL0001.JPG"), "aaaaa");
    }
  }
}

// A sweep is done once: a file an item of the update stands on or is given
// is never swept, even with the swept file's bytes (the update may make the
// same copy again under that name after sweeping it).
TEST(Sweeps, ANameAnItemIsGivenIsNeverSwept) {
  TempCard card;
  const std::string bytes = "a copy of the same photo";
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG", bytes);
  v3::Journal j;
  j.sweeps.push_back({"PRIVATE/DOCOMO/STILL/STIL0002.JPG",
                      {static_cast<std::int64_t>(bytes.size()), 0, HashBytes(bytes), ""}});
  RealFileOps ops;
  EXPECT_EQ(v3::SweepsOnCard(j, card.root(), ops).size(), 1u);
  v3::JournalItem item;
  item.cardFolder = "\\PRIVATE\\DOCOMO\\STILL\\";
  item.cardName = "stil0002.jpg";
  j.items.push_back(item);
  EXPECT_TRUE(v3::SweepsOnCard(j, card.root(), ops).empty());
}

}  // namespace
}  // namespace fenmora
