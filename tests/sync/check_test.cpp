#include "sync/check.h"
#include "sync/texts.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "support/check_report.h"
#include "support/temp_card.h"
#include "sync/commit.h"
#include "sync/journal.h"
#include "sync/load.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;
using testcard::CardItem;
using testcard::TempCard;
using Type = CheckFinding::Type;

const HandsetProfile kProfile = HandsetProfile::F900i();

std::vector<CardItem> Items(MediaKind kind, int from, int to, const std::string& ext) {
  std::vector<CardItem> items;
  for (int i = from; i <= to; ++i)
    items.push_back({kProfile.ContentFileName(kind, i, ext), "title", "content of " + std::to_string(i)});
  return items;
}

class Check : public ::testing::Test {
 protected:
  // "type card/relative/path" per finding, in order.
  std::vector<std::string> Findings() {
    std::vector<std::string> out;
    for (const CheckFinding& f : CheckCard(kProfile, card.root()).findings) {
      static const char* names[] = {"missing", "unlisted", "stale",  "parked", "bad",
                                    "unreadable", "journal", "size", "case", "scratch"};
      out.push_back(std::string(names[static_cast<int>(f.type)]) + " " +
                    f.path.lexically_relative(card.root()).generic_string());
    }
    return out;
  }
  using Lines = std::vector<std::string>;

  TempCard card;
};

TEST_F(Check, TablesAsTheCommitWritesThemAreClean) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
  card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 70, ".GIF"));
  card.WriteTable(MediaKind::Melody, 0, {});  // an empty first table
  card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 64, ".3GP"));
  card.WriteTable(MediaKind::Movie, 2, Items(MediaKind::Movie, 65, 65, ".MP4"));
  // Nobody's business of the check: the camera, files beside the movie
  // folders, other folders and the table folder itself.
  card.Write("\\DCIM\\100F900I\\F1000001.JPG", "camera");
  card.Write("\\SD_VIDEO\\MGR_INFO", "x");
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\OTHER\\A.JPG", "x");
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\README", "x");
  EXPECT_EQ(Findings(), Lines{});
  EXPECT_TRUE(testcard::Clean(CheckCard(kProfile, card.root())));
}

TEST_F(Check, AnEmptyCardIsClean) { EXPECT_EQ(Findings(), Lines{}); }

TEST_F(Check, MissingFilesNameTheirTable) {
  std::vector<CardItem> items = Items(MediaKind::Melody, 1, 3, ".MID");
  items[0].createFile = false;
  items[2].createFile = false;
  card.WriteTable(MediaKind::Melody, 0, items);
  EXPECT_EQ(Findings(), (Lines{"missing PRIVATE/DOCOMO/RINGER/RING0001.MID",
                               "missing PRIVATE/DOCOMO/RINGER/RING0003.MID"}));
  const CheckReport report = CheckCard(kProfile, card.root());
  EXPECT_EQ(report.findings[0].kind, MediaKind::Melody);
  EXPECT_EQ(report.findings[0].table, card.Host("\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD000.TBL"));
  // A folder where the file should be is no file.
  card.Write("\\PRIVATE\\DOCOMO\\RINGER\\RING0001.MID\\inside", "x");
  EXPECT_EQ(Findings().size(), 2u);
}

TEST_F(Check, UnlistedFilesInContentAndGroupFolders) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
  card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 65, ".JPG"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0099.JPG", "stray");
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\SUD001\\STIL0100.GIF", "stray");
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\sud002\\x.jpg", "stray");  // a group folder in lower case
  card.Write("\\SD_VIDEO\\PRL00A\\MOL200.3GP", "stray");
  card.Write("\\PRIVATE\\DOCOMO\\RINGER\\RING0001.MID", "stray");
  EXPECT_EQ(Findings(), (Lines{"unlisted PRIVATE/DOCOMO/STILL/STIL0099.JPG",
                               "unlisted PRIVATE/DOCOMO/STILL/SUD001/STIL0100.GIF",
                               "unlisted PRIVATE/DOCOMO/STILL/sud002/x.jpg",
                               "unlisted PRIVATE/DOCOMO/RINGER/RING0001.MID",
                               "unlisted SD_VIDEO/PRL00A/MOL200.3GP"}));
}

TEST_F(Check, AFileListedInAnotherGroupFolderIsStillUnlistedWhereItLies) {
  // The table lists STIL0001.JPG in STILL; a file of the same name in SUD001
  // is another file.
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 1, ".JPG"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\SUD001\\STIL0001.JPG", "copy");
  EXPECT_EQ(Findings(), (Lines{"unlisted PRIVATE/DOCOMO/STILL/SUD001/STIL0001.JPG"}));
}

TEST_F(Check, ParkedFilesAreReportedOnce) {
  // STIL0002.JPG waits under its parked name: not missing, the loader takes it.
  std::vector<CardItem> items = Items(MediaKind::Image, 1, 2, ".JPG");
  items[1].createFile = false;
  card.WriteTable(MediaKind::Image, 0, items);
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG_", "parked");
  card.Write("\\SD_VIDEO\\PRL001\\MOL001.3GP_", "parked");
  EXPECT_EQ(Findings(), (Lines{"parked PRIVATE/DOCOMO/STILL/STIL0002.JPG_", "parked SD_VIDEO/PRL001/MOL001.3GP_"}));
  const CheckReport report = CheckCard(kProfile, card.root());
  EXPECT_EQ(report.findings[0].detail, texts::kCheckParkedNamed);
  EXPECT_EQ(report.findings[1].detail, texts::kCheckNoTableLists);
}

TEST_F(Check, AnInterruptedCommitIsSaidFirst) {
  card.Write("\\fenmora.jnl", "not a journal");
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 1, ".JPG"));
  EXPECT_EQ(Findings(), (Lines{"journal fenmora.jnl"}));
  EXPECT_EQ(CheckCard(kProfile, card.root()).findings[0].detail, texts::kCheckDamagedJournal);
}

TEST_F(Check, ACommitStoppedBetweenItsRenamingPasses) {
  // Every change from the nth on fails, for the first n that leaves the
  // journal and a parked file behind.
  for (long n = 1; n < 80; ++n) {
    TempCard c;
    c.WriteTable(MediaKind::Melody, 0, Items(MediaKind::Melody, 1, 2, ".MID"));
    CardSession s;
    testcard::ScriptedPrompts prompts;
    prompts.ExpectLoad();
    testcard::RecordingProgress progress;
    ASSERT_TRUE(LoadCard(s, c.root(), prompts, progress).Completed());
    ASSERT_TRUE(MoveDown(s.Catalogue(MediaKind::Melody), 1));
    Renumber(kProfile, MediaKind::Melody, s.Catalogue(MediaKind::Melody));
    RealFileOps real;
    FaultyFileOps faulty(real, n);
    ExecuteCommit(s, PlanCommit(s), faulty, progress);
    if (!c.Exists("\\fenmora.jnl") || !c.Exists("\\PRIVATE\\DOCOMO\\RINGER\\RING0002.MID_")) continue;
    const CheckReport report = CheckCard(kProfile, c.root());
    ASSERT_FALSE(testcard::Clean(report));
    EXPECT_EQ(report.findings[0].type, Type::InterruptedCommit);
    EXPECT_NE(report.findings[0].detail.find("fenmora-cli finish"), std::string::npos) << report.findings[0].detail;
    for (const CheckFinding& f : report.findings) {
      EXPECT_NE(f.type, Type::MissingFile) << DescribeFinding(f, c.root());
      if (f.type == Type::ParkedFile) { EXPECT_EQ(f.detail, texts::kCheckFinishNames); }
    }
    return;
  }
  FAIL() << "no n left a parked file and the journal";
}

TEST_F(Check, TablesAShorterListLeftBehind) {
  // After a short table: left behind, even with files that exist.
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 10, ".JPG"));
  card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 66, ".JPG"));
  // A number skipped.
  card.WriteTable(MediaKind::Melody, 0, Items(MediaKind::Melody, 1, 64, ".MID"));
  card.WriteTable(MediaKind::Melody, 2, Items(MediaKind::Melody, 129, 129, ".MID"));
  // After a full table, but naming only files that are gone; and an empty one.
  std::vector<CardItem> gone = Items(MediaKind::Movie, 65, 66, ".3GP");
  for (CardItem& item : gone) item.createFile = false;
  card.WriteTable(MediaKind::Movie, 1, Items(MediaKind::Movie, 1, 64, ".3GP"));
  card.WriteTable(MediaKind::Movie, 2, gone);
  card.WriteTable(MediaKind::Movie, 3, {});
  EXPECT_EQ(Findings(), (Lines{"stale PRIVATE/DOCOMO/TABLE/STILL/SUD001.TBL",
                               "stale PRIVATE/DOCOMO/TABLE/RINGER/RUD002.TBL",
                               "stale PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL002.TBL",
                               "stale PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL003.TBL"}));
  const CheckReport report = CheckCard(kProfile, card.root());
  for (const CheckFinding& f : report.findings) EXPECT_FALSE(f.detail.empty());
}

TEST_F(Check, TheFirstTableIsNeverLeftBehind) {
  std::vector<CardItem> gone = Items(MediaKind::Image, 1, 2, ".JPG");
  for (CardItem& item : gone) item.createFile = false;
  card.WriteTable(MediaKind::Image, 0, gone);
  EXPECT_EQ(Findings(), (Lines{"missing PRIVATE/DOCOMO/STILL/STIL0001.JPG",
                               "missing PRIVATE/DOCOMO/STILL/STIL0002.JPG"}));
}

TEST_F(Check, TheTableACommitLeavesWhenAListShrinksIsInformationOnly) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 64, ".JPG"));
  card.WriteTable(MediaKind::Image, 1, Items(MediaKind::Image, 65, 65, ".JPG"));
  EXPECT_EQ(Findings(), Lines{});
  CardSession s;
  testcard::ScriptedPrompts prompts;
  prompts.ExpectLoad();
  testcard::RecordingProgress progress;
  ASSERT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
  ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Image), s.space, 1));
  RealFileOps ops;
  ASSERT_TRUE(ExecuteCommit(s, PlanCommit(s), ops, progress).Ok());
  // The 64 items now fit the first table; the second still names the file
  // that moved out of SUD001, which the load passes over.
  EXPECT_EQ(Findings(), (Lines{"stale PRIVATE/DOCOMO/TABLE/STILL/SUD001.TBL"}));
  const CheckReport report = CheckCard(kProfile, card.root());
  EXPECT_TRUE(report.findings[0].information);
  EXPECT_TRUE(testcard::Clean(report));
  EXPECT_EQ(DescribeFinding(report.findings[0], card.root()).rfind(std::string(texts::kFindingInformation) + texts::kFindingStaleTable + ": ", 0), 0u);
}

TEST_F(Check, SizesThatDifferFromTheirRecords) {
  card.WriteTable(MediaKind::Image, 0, Items(MediaKind::Image, 1, 2, ".JPG"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG", "cut");
  EXPECT_EQ(Findings(), (Lines{"size PRIVATE/DOCOMO/STILL/STIL0002.JPG"}));
  EXPECT_FALSE(testcard::Clean(CheckCard(kProfile, card.root())));
}

TEST_F(Check, NamesThatDifferOnlyInCase) {
  // A record in capitals whose file is in lower case: on FAT the same file.
  std::vector<CardItem> items = Items(MediaKind::Image, 1, 1, ".JPG");
  items[0].createFile = false;
  card.WriteTable(MediaKind::Image, 0, items);
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\stil0001.jpg", items[0].content);
  if (testcard::FoldsCase(card.root())) {
    // The volume folds case itself: no two such files can be made, and the
    // record's file is found in any case of its name.
    EXPECT_EQ(Findings(), (Lines{"case PRIVATE/DOCOMO/STILL/stil0001.jpg"}));
    return;
  }
  // Two files that would be one on the card.
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0009.GIF", "a");
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\stil0009.gif", "b");
  EXPECT_EQ(Findings(), (Lines{"case PRIVATE/DOCOMO/STILL/stil0001.jpg", "unlisted PRIVATE/DOCOMO/STILL/STIL0009.GIF",
                               "case PRIVATE/DOCOMO/STILL/stil0009.gif",
                               "unlisted PRIVATE/DOCOMO/STILL/stil0009.gif"}));
}

TEST_F(Check, ScratchFilesOfACommit) {
  card.WriteTable(MediaKind::Melody, 0, Items(MediaKind::Melody, 1, 1, ".MID"));
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD000.TBL.tmp", "half a table");
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\prl001.tbl.TMP", "half a table");
  card.Write(std::string("\\") + kJournalName + ".tmp", "half a journal");
  card.Write("\\tbl.tmp", "a header");
  EXPECT_EQ(Findings(), (Lines{"scratch " + std::string(kJournalName) + ".tmp", "scratch tbl.tmp",
                               "scratch PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL.tmp",
                               "scratch PRIVATE/DOCOMO/TABLE/SD_VIDEO/prl001.tbl.TMP"}));
}

TEST_F(Check, RecordsLeadingOffTheCardAreReportedNotFollowed) {
  if (!testcard::LinksWork(card.root())) GTEST_SKIP() << "the card is on a FAT volume: no links";
  testcard::TempFolder outside{"fenmora-outside"};
  testcard::WriteBytes(outside.path() / "secret.jpg", "secret");
  // A folder text with "..", and a content folder that is a link off the card.
  // (createFile false: the test card would write where the text leads.)
  card.WriteTable(MediaKind::Image, 0, {{"STIL0001.JPG", "t", "", false}}, "\\..\\..\\etc");
  fs::create_directories(card.Host("\\PRIVATE\\DOCOMO"));
  fs::create_directory_symlink(outside.path(), card.Host("\\PRIVATE\\DOCOMO\\RINGER"));
  card.WriteTable(MediaKind::Melody, 0, {{"secret.jpg", "t", "", false}});
  const CheckReport report = CheckCard(kProfile, card.root());
  ASSERT_EQ(report.findings.size(), 2u);
  EXPECT_EQ(report.findings[0].type, Type::BadRecord);
  EXPECT_EQ(report.findings[0].kind, MediaKind::Image);
  EXPECT_EQ(report.findings[1].type, Type::BadRecord);
  EXPECT_EQ(report.findings[1].kind, MediaKind::Melody);
  // The file beyond the link is neither listed nor reported.
  for (const CheckFinding& f : report.findings)
    EXPECT_EQ(f.path.string().find("secret"), std::string::npos) << f.path;
}

TEST_F(Check, GarbageTablesDoNotStopTheCheck) {
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL", "short");
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD000.TBL", std::string(512 + 256 * 2, '\xff'));
  fs::create_directories(card.Host("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "x");
  const CheckReport report = CheckCard(kProfile, card.root());
  std::vector<Type> types;
  for (const CheckFinding& f : report.findings) types.push_back(f.type);
  // The short table lists nothing; the 0xFF records name files that are not
  // there (or names that cannot be on a card); the folder is no table.
  EXPECT_NE(std::find(types.begin(), types.end(), Type::UnlistedFile), types.end());
  EXPECT_NE(std::find(types.begin(), types.end(), Type::UnreadableTable), types.end());
  EXPECT_EQ(report.findings.back().type, Type::UnreadableTable);
}

TEST_F(Check, DescriptionsAreCardRelativeAndOneLine) {
  // A FAT volume has neither links nor control characters in names.
  if (!testcard::LinksWork(card.root())) GTEST_SKIP() << "the card is on a FAT volume: no control characters in names";
  std::vector<CardItem> items = Items(MediaKind::Image, 1, 1, ".JPG");
  items[0].createFile = false;
  card.WriteTable(MediaKind::Image, 0, items);
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\bad\nname", "x");
  const CheckReport report = CheckCard(kProfile, card.root());
  ASSERT_EQ(report.findings.size(), 2u);
  EXPECT_EQ(DescribeFinding(report.findings[0], card.root()),
            Fill(texts::kFindingMissing,
                 {"PRIVATE/DOCOMO/STILL/STIL0001.JPG", "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL"}));
  EXPECT_EQ(DescribeFinding(report.findings[1], card.root()),
            Fill(texts::kFindingUnlisted, {"PRIVATE/DOCOMO/STILL/bad?name", ""}));
}

}  // namespace
}  // namespace fenmora
