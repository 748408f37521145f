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
    RealFileOps ops;
    if (const auto j = ReadCardJournal(kProfile, card.root(), ops); j && !j->recovery) {
      if (j->removing) prompts.ExpectOk(texts::kInterruptedFinishOnly);
      else prompts.Expect(Prompts::Question::InterruptedUpdate, Prompts::Answer::Yes, texts::kInterruptedCommit);
    }
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
    if (!RowOfTitle(images, "new.jpg"))
      ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, pc.path() / "new.jpg", prompts), QueueOutcome::Queued);
    Renumber(kProfile, MediaKind::Image, images);
    MediaCatalogue& melodies = s.Catalogue(MediaKind::Melody);
    for (int r = RowOfTitle(melodies, "title2"); r > 1; --r) MoveUp(melodies, r);
    if (!RowOfTitle(melodies, "new.mid"))
      ASSERT_EQ(QueueFileForCard(s, MediaKind::Melody, pc.path() / "new.mid", prompts), QueueOutcome::Queued);
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
  j.removing = true;
  j.tables.push_back({MediaKind::Movie, "\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL", true,
                      std::string("\x01\0 %\n", 5) + std::string(600, '\0') + "z", "abc:512"});
  j.items.push_back({MediaKind::Melody, 3, false, true, "/home/u/曲 1/", "a b.mid", "\\PRIVATE\\DOCOMO\\RINGER\\",
                     "RING0003.MID", "2004:02:14 00:00:00", std::string("\x89\xb9\n\0x", 5), 40960,
                     {40960, 1700000000123456789, "0123456789abcdef:40960"}});
  j.asides.push_back({MediaKind::Image, "\\PRIVATE\\DOCOMO\\STILL", "STIL0002.JPG", "STIL0002.JPG.fmkeep"});
  j.recovery = true;
  j.sweeps.push_back({"PRIVATE/DOCOMO/STILL/STIL 1.JPG", {5, 17, "ab:5"}});
  const std::string bytes = EncodeJournal(j);
  const auto back = DecodeJournal(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(EncodeJournal(*back), bytes);
  EXPECT_EQ(back->items[0].title, std::string("\x89\xb9\n\0x", 5));
  EXPECT_EQ(back->items[0].sourceFolder, "/home/u/曲 1/");
  EXPECT_TRUE(back->removing);
  EXPECT_TRUE(back->recovery);
  ASSERT_EQ(back->sweeps.size(), 1u);
  EXPECT_EQ(back->sweeps[0].path, "PRIVATE/DOCOMO/STILL/STIL 1.JPG");
  EXPECT_EQ(back->sweeps[0].file.hash, "ab:5");
  EXPECT_EQ(back->items[0].file.mtimeNs, 1700000000123456789);
  EXPECT_EQ(back->tables[0].oldBytes, std::string("\x01\0 %\n", 5) + std::string(600, '\0') + "z");
  EXPECT_LT(bytes.size(), 600u);  // a table's runs of zero bytes are written short
  for (size_t cut = 0; cut < bytes.size(); cut += 7) EXPECT_FALSE(DecodeJournal(bytes.substr(0, cut)));
  EXPECT_FALSE(DecodeJournal("FENMORA-JOURNAL 2\nitem 9 1 0 0 = = = = = = 1 1 1 =\nend\n"));
  EXPECT_FALSE(DecodeJournal("FENMORA-JOURNAL 2\nitem 0 x 0 0 = = = = = = 1 1 1 =\nend\n"));
}

// A sweep is done once: a file an item of the update stands on or is given
// is never swept, even with the swept file's bytes (the update may make the
// same copy again under that name after sweeping it).
TEST(Sweeps, ANameAnItemIsGivenIsNeverSwept) {
  TempCard card;
  const std::string bytes = "a copy of the same photo";
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG", bytes);
  Journal j;
  j.sweeps.push_back({"PRIVATE/DOCOMO/STILL/STIL0002.JPG",
                      {static_cast<std::int64_t>(bytes.size()), 0, HashBytes(bytes), ""}});
  RealFileOps ops;
  EXPECT_EQ(SweepsOnCard(j, card.root(), ops).size(), 1u);
  JournalItem item;
  item.cardFolder = "\\PRIVATE\\DOCOMO\\STILL\\";
  item.cardName = "stil0002.jpg";
  j.items.push_back(item);
  EXPECT_TRUE(SweepsOnCard(j, card.root(), ops).empty());
}

}  // namespace
}  // namespace fenmora
