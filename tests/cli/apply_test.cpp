// fenmora-cli apply run as a process: the operations reach the card exactly
// as the window's commands would, a dry run changes nothing, and a bad line
// stops everything before the card is touched.
#include <gtest/gtest.h>

#include <QImage>

#include "cli/cli_texts.h"
#include "cli/cli_fixture.h"
#include "convert/jpeg_layout.h"
#include "convert/movie_texts.h"
#include "movie/movie.h"
#include "movie/test_movies.h"
#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "sync/commit.h"
#include "sync/plan_summary.h"
#include "sync/load.h"
#include "platform/cp932.h"
#include "sync/texts.h"

namespace fenmora::testcli {
namespace {

namespace fs = std::filesystem;
using testcard::CardItem;

class CliApply : public CliTest {
 protected:
  std::string OpsFile(const std::string& text) { return PcFile("ops.txt", text); }

  static std::vector<std::string> Names(const CardSession& s, MediaKind k) {
    std::vector<std::string> names;
    const MediaCatalogue& c = s.Catalogue(k);
    for (int r = 1; r <= c.LiveCount(); ++r) names.push_back(c.EntryAtRow(r)->cardName);
    return names;
  }
};

TEST_F(CliApply, RoadOfOneChange) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG", "content of ", "title "));
  const std::string photo = PcFile("photo.jpg", "the photo");
  const CliRun run = RunCli({"apply", Card(), OpsFile("add image " + photo +
                                                        "\n"
                                                        "up image 4\n"
                                                        "up image 3\n"
                                                        "up image 2\n"
                                                        "renumber image\n")});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "the photo");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "content of 1");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0003.JPG"), "content of 2");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0004.JPG"), "content of 3");
  EXPECT_EQ(testcard::ReadBytes(photo), "the photo");
  for (const auto& [path, bytes] : card.Snapshot()) EXPECT_NE(path.back(), '_') << path;

  const CardSession s = Reload();
  EXPECT_EQ(Names(s, MediaKind::Image),
            (std::vector<std::string>{"STIL0001.JPG", "STIL0002.JPG", "STIL0003.JPG", "STIL0004.JPG"}));
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(1)->title, "photo");
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(2)->title, "title 1");

  // It prints the reloaded lists.
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 5u);
  EXPECT_NE(lines[1].find("STIL0001.JPG"), std::string::npos) << run.out;
  EXPECT_NE(lines[1].find("photo"), std::string::npos) << run.out;
  const std::string summary = cli::say::kListSummary;
  EXPECT_NE(run.out.find(Fill(summary.substr(0, summary.find("{2}")), {"4"})), std::string::npos) << run.out;
}

TEST_F(CliApply, EditsFromStandardInput) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG", "content of ", "title "));
  card.WriteTable(MediaKind::Melody, 0, testcard::NumberedItems(MediaKind::Melody, 1, 2, ".MID", "content of ", "title "));
  std::string longTitle = "x";
  for (int i = 0; i < 40; ++i) longTitle += "あ";  // 81 bytes of CP932
  RunOptions options;
  const std::string head =
      "# tidy the lists\r\n"
      "delete image 2\r\n"
      "title image 1 " + longTitle + "\r\n"
      "down melody 1\n";
  const auto before = card.Snapshot();
  // A title the card would cut, and an item the list does not have: each
  // stops everything, naming its line.
  options.input = head + "delete image 9\nup image 1\n";
  const CliRun cut = RunCli({"apply", Card(), "-"}, options);
  EXPECT_EQ(cut.exitCode, 2);
  const std::string cutTo64 = Fill(cli::say::kCutToBytes, {"81", "64"});
  EXPECT_NE(cut.err.find(Fill(cli::say::kLine, {"3"}) + Fill(cli::say::kTitleNotAsWritten, {cutTo64})),
            std::string::npos) << cut.err;
  const CliRun missing = RunCli({"apply", Card(), "-", "--lossy-titles"}, options);
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find(Fill(cli::say::kLine, {"5"}) + Fill(cli::say::kNoItem, {cli::say::kKindWords[0], "9", "2"})),
            std::string::npos) << missing.err;
  EXPECT_NE(missing.err.find(cli::say::kUntouched), std::string::npos) << missing.err;
  EXPECT_EQ(card.Snapshot(), before);

  options.input = head + "up image 1\n";
  const CliRun run = RunCli({"apply", Card(), "-", "--lossy-titles"}, options);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // What was changed, and a move the list cannot make: said.
  std::string shown = "x";
  for (int i = 0; i < 31; ++i) shown += "あ";
  EXPECT_NE(run.err.find(Fill(cli::say::kLine, {"3"}) + Fill(cli::say::kTitleStoredAs, {shown, cutTo64})),
            std::string::npos) << run.err;
  EXPECT_NE(run.err.find(Fill(cli::say::kLine, {"5"}) + Fill(cli::say::kAlreadyFirst, {cli::say::kKindWords[0], "1"})),
            std::string::npos) << run.err;

  const CardSession s = Reload();
  EXPECT_EQ(Names(s, MediaKind::Image), (std::vector<std::string>{"STIL0001.JPG", "STIL0003.JPG"}));
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"));
  // Cut to 64 bytes at a character boundary: "x" and 31 times "あ".
  std::string expected = "x";
  for (int i = 0; i < 31; ++i) expected += "\x82\xa0";
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(1)->title, expected);
  EXPECT_EQ(Names(s, MediaKind::Melody), (std::vector<std::string>{"RING0002.MID", "RING0001.MID"}));
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\RINGER\\RING0002.MID"), "content of 2");
}

// The characters Shift-JIS does not have are named, and refused unless
// --lossy-titles accepts them as "?".
TEST_F(CliApply, ATitleWithCharactersShiftJisLacksNeedsLossyTitles) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 2, ".JPG", "content of ", "title "));
  const std::string ops = OpsFile("title image 2 Café 😀\ntitle image 1 海と空\n");
  const auto before = card.Snapshot();
  const CliRun refused = RunCli({"apply", Card(), ops});
  EXPECT_EQ(refused.exitCode, 2);
  const std::string lost = Fill(cli::say::kNoShiftJisMany, {"\"é\", \"😀\""});
  EXPECT_NE(refused.err.find(Fill(cli::say::kLine, {"1"}) + Fill(cli::say::kTitleNotAsWritten, {lost})),
            std::string::npos) << refused.err;
  EXPECT_EQ(refused.err.find(Fill(cli::say::kLine, {"2"})), std::string::npos) << refused.err;
  EXPECT_EQ(card.Snapshot(), before);

  const CliRun lossy = RunCli({"apply", Card(), ops, "--lossy-titles"});
  ASSERT_EQ(lossy.exitCode, 0) << lossy.err;
  EXPECT_NE(lossy.err.find(Fill(cli::say::kLine, {"1"}) + Fill(cli::say::kTitleStoredAs, {"Caf? ?", lost})),
            std::string::npos) << lossy.err;
  const CardSession s = Reload();
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(2)->title, "Caf? ?");
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(1)->title, Utf8ToCp932("海と空"));
}

// Only plain files are added: a FIFO is refused without being opened (it
// would wait for a writer for ever), and the next line goes on.
TEST_F(CliApply, AFifoIsRefusedWithoutBlocking) {
  testcard::WatchedFifo fifo(pc.path() / "pipe.jpg");
  const std::string ok = PcFile("ok.jpg", "fine");
  const CliRun run = RunCli({"apply", Card(), OpsFile("add image " + fifo.str() + "\nadd image " + ok + "\n")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(texts::kNotAPlainFile + fifo.str()), std::string::npos) << run.err;
  EXPECT_FALSE(fifo.Opened());
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "fine");
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"));
}

// Sizes are 64 bits: a movie of 2^32 + 50,000 bytes on the card is listed
// with its size (not 50,000), and one on the computer is refused: no table
// record can hold its size.
TEST_F(CliApply, AFileOverFourGibIsListedWholeAndNotAdded) {
  card.WriteTable(MediaKind::Movie, 1, {{"MOL001.3GP", "big", "x"}});
  std::error_code ec;
  fs::resize_file(card.Host("\\SD_VIDEO\\PRL001\\MOL001.3GP"), 0x100000000ULL + 50000, ec);
  if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
  const CliRun list = RunCli({"list", Card(), "--json"});
  ASSERT_EQ(list.exitCode, 0) << list.err;
  EXPECT_NE(list.out.find("\"size\": 4295017296,"), std::string::npos) << list.out;

  const std::string huge = PcFile("huge.3gp", "y");
  fs::resize_file(huge, 0x100000000ULL + 50000, ec);
  ASSERT_FALSE(ec);
  const CliRun add = RunCli({"apply", Card(), OpsFile("add movie " + huge + "\n"), "--yes"});
  EXPECT_EQ(add.exitCode, 1);
  EXPECT_NE(add.err.find(texts::kTooLargeForTable + huge), std::string::npos) << add.err;
  EXPECT_NE(add.err.find("4295017296"), std::string::npos) << add.err;
  EXPECT_EQ(Reload().Catalogue(MediaKind::Movie).LiveCount(), 1);
}

TEST_F(CliApply, OversizedFileNeedsYes) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 1, ".JPG", "content of ", "title "));
  const std::string big = PcFile("big.jpg", std::string(102401, 'b'));
  const std::string ops = OpsFile("add image " + big + "\n");

  const CliRun refused = RunCli({"apply", Card(), ops});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(texts::kOversize + big), std::string::npos) << refused.err;
  EXPECT_EQ(Names(Reload(), MediaKind::Image), (std::vector<std::string>{"STIL0001.JPG"}));
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"));

  const CliRun accepted = RunCli({"apply", Card(), ops, "--yes"});
  EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG").size(), 102401u);
}

TEST_F(CliApply, ConvertMakesAPictureFitAndLeavesNoTemporaryFiles) {
  QImage picture(1200, 900, QImage::Format_RGB32);
  picture.fill(QColor(30, 160, 90));
  const std::string png = (pc.path() / "meadow.png").string();
  ASSERT_TRUE(picture.save(QString::fromStdString(png), "PNG"));
  const std::string ops = OpsFile("add image " + png + "\n");
  const fs::path tmp = pc.path() / "tmp";
  fs::create_directories(tmp);
  RunOptions options;
  options.env = {"TMPDIR=" + tmp.string()};

  // Without --convert: the question is written, then why the PNG is refused
  // (the handset does not show PNG).
  const CliRun asked = RunCli({"apply", Card(), ops}, options);
  EXPECT_EQ(asked.exitCode, 1);
  EXPECT_NE(asked.err.find(texts::kConvertPicture + png), std::string::npos) << asked.err;
  EXPECT_NE(asked.err.find(texts::kNotHandsetFormat[0] + png), std::string::npos) << asked.err;
  EXPECT_EQ(asked.err.find(texts::kOversize), std::string::npos) << asked.err;
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"));

  const CliRun converted = RunCli({"apply", Card(), ops, "--convert"}, options);
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  const std::string onCard = card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG");
  const auto layout = convert::ParseJpegLayout(onCard);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->frame, 0xC0);
  EXPECT_EQ(QSize(layout->width, layout->height), QSize(240, 180));
  EXPECT_LE(onCard.size(), 102400u);
  const CardSession s = Reload();
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(1)->title, "meadow");
  // The session's folder went with the process.
  EXPECT_TRUE(fs::is_empty(tmp));
}

TEST_F(CliApply, ConvertMakesAMovieTheHandsetPlaysAndDryRunSaysSo) {
  const fs::path clip = pc.path() / "phone.mp4";
  ASSERT_TRUE(movie::test::MakeMovie(clip, {.width = 640, .height = 360, .fps = 30, .seconds = 2}));
  const std::string ops = OpsFile("add movie " + clip.string() + "\n");
  // The line up to its word that the whole movie was made.
  std::string made = texts::kMovieConverting + Fill(texts::kMovieConverted, {clip.string(), "0:02", texts::kMovieWhole});
  made.resize(made.find(texts::kMovieWhole) + std::string(texts::kMovieWhole).size());

  const CliRun dry = RunCli({"apply", Card(), ops, "--convert", "--dry-run"});
  ASSERT_EQ(dry.exitCode, 0) << dry.err;
  EXPECT_NE(dry.err.find(made), std::string::npos) << dry.err;
  EXPECT_NE(dry.out.find("MOL001.3GP"), std::string::npos) << dry.out;
  EXPECT_TRUE(Names(Reload(), MediaKind::Movie).empty());

  const CliRun converted = RunCli({"apply", Card(), ops, "--convert"});
  ASSERT_EQ(converted.exitCode, 0) << converted.err;
  EXPECT_NE(converted.err.find(made), std::string::npos) << converted.err;
  EXPECT_EQ(converted.err.find("%"), std::string::npos) << "no progress when stderr is no terminal";
  EXPECT_EQ(Names(Reload(), MediaKind::Movie), (std::vector<std::string>{"MOL001.3GP"}));
  fs::path onCard;
  for (const auto& f : fs::recursive_directory_iterator(card.root()))
    if (f.path().filename() == "MOL001.3GP") onCard = f.path();
  EXPECT_TRUE(movie::HandsetPlays(movie::ProbeMovie(onCard))) << onCard;
}

TEST_F(CliApply, ACopyOfAnItemOnTheCardNeedsYes) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 1, ".JPG", "content of ", "title "));
  const std::string copy = PcFile("copy.jpg", card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"));
  const std::string ops = OpsFile("add image " + copy + "\n");
  const CliRun refused = RunCli({"apply", Card(), ops});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(texts::kSameContent), std::string::npos) << refused.err;
  EXPECT_FALSE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"));
  const CliRun accepted = RunCli({"apply", Card(), ops, "--yes"});
  EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
  EXPECT_TRUE(card.Exists("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"));
}

TEST_F(CliApply, UnreadableFileIsSkippedAndTheNextAdded) {
  const std::string missing = (pc.path() / "missing.jpg").string();
  const std::string ok = PcFile("ok.jpg", "fine");
  const CliRun run = RunCli({"apply", Card(), OpsFile("add image " + missing + "\nadd image " + ok + "\n")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(texts::kUnreadableFile + missing), std::string::npos) << run.err;
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "fine");
}

TEST_F(CliApply, FullListStopsTheLaterAddsOnly) {
  for (int t = 0; t < 16; ++t)
    card.WriteTable(MediaKind::Image, t, testcard::NumberedItems(MediaKind::Image, t * 64 + 1, t * 64 + 64, ".JPG", "content of ", "title "));
  const std::string image = PcFile("a.jpg", "a");
  const std::string melody = PcFile("m.mid", "MThd");
  const CliRun run = RunCli({"apply", Card(), OpsFile("add image " + image + "\nadd melody " + melody +
                                                        "\ntitle image 1 new title\n")});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(texts::kCatalogueFull), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(Fill(cli::say::kLine, {"2"})), std::string::npos) << run.err;
  const CardSession s = Reload();
  EXPECT_EQ(s.Catalogue(MediaKind::Image).LiveCount(), 1024);
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).LiveCount(), 0);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).EntryAtRow(1)->title, "new title");
}

TEST_F(CliApply, DryRunPrintsThePlanAndChangesNoByte) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG", "content of ", "title "));
  card.WriteTable(MediaKind::Melody, 0, testcard::NumberedItems(MediaKind::Melody, 1, 2, ".MID", "content of ", "title "));
  const std::string photo = PcFile("photo.jpg", "the photo");
  const std::string ops = OpsFile("add image " + photo +
                                  "\nup image 4\nup image 3\nup image 2\nrenumber image\ndelete melody 1\n");
  const auto before = card.Snapshot();
  const auto pcBefore = testcard::SnapshotOf(pc.path());

  const CliRun run = RunCli({"apply", Card(), ops, "--dry-run"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(card.Snapshot(), before);
  EXPECT_EQ(testcard::SnapshotOf(pc.path()), pcBefore);

  // The same edits made through the window's operations plan the same steps.
  CardSession s = Reload();
  ASSERT_TRUE(s.loaded);
  testcard::ScriptedPrompts prompts;
  MediaCatalogue& images = s.Catalogue(MediaKind::Image);
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, photo, prompts), QueueOutcome::Queued);
  for (int r = 4; r > 1; --r) ASSERT_TRUE(MoveUp(images, r));
  Renumber(s.profile, MediaKind::Image, images);
  ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Melody), s.space, 1));
  std::vector<std::string> expected;
  const CommitPlan plan = PlanCommit(s);
  for (const CommitStep& step : plan.steps) expected.push_back(DescribeStep(plan, step));
  // First the summary the window asks with (counts, then the deleted and
  // added items), then every step.
  const PlanSummary summary = SummarizePlan(plan, s);
  EXPECT_EQ(summary.copies, 1);
  EXPECT_EQ(summary.deletions, 1);
  const std::string head = summary.text + "\n\n" + summary.details + "\n\n";
  ASSERT_EQ(run.out.rfind(head, 0), 0u) << run.out;
  EXPECT_EQ(Lines(run.out.substr(head.size())), expected);
  // A copy is made under a scratch name and takes its name once it is on
  // the card.
  const auto copy = std::find(expected.begin(), expected.end(),
                              texts::kStepCopy + photo + " -> PRIVATE/DOCOMO/STILL/STIL0001.JPG.fmcopy");
  ASSERT_NE(copy, expected.end());
  EXPECT_NE(std::find(copy, expected.end(),
                      texts::kStepRename + std::string("PRIVATE/DOCOMO/STILL/STIL0001.JPG.fmcopy -> PRIVATE/DOCOMO/STILL/STIL0001.JPG")),
            expected.end());
}

class CliApplyBadLine : public CliApply, public ::testing::WithParamInterface<const char*> {};

TEST_P(CliApplyBadLine, LeavesTheCardUntouched) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG", "content of ", "title "));
  const std::string photo = PcFile("photo.jpg", "the photo");
  const std::string ops =
      OpsFile("add image " + photo + "\n# a comment\n\n" + GetParam() + "\nrenumber image\n");
  const auto before = card.Snapshot();
  const CliRun run = RunCli({"apply", Card(), ops});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find(Fill(cli::say::kLine, {"4"})), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(card.Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(Lines, CliApplyBadLine,
                         ::testing::Values("frob image 1", "delete picture 1", "up image two",
                                           "down image 2x", "title image 1", "add image",
                                           "renumber", "renumber image now", "delete image 1 2",
                                           "delete",
                                           // Items the list (3 and the added photo) does not have.
                                           "delete image 5", "up image 5", "down image 0",
                                           "title image 9 new", "delete melody 1",
                                           // A title the card cannot hold as written.
                                           "title image 1 Café"));

TEST_F(CliApply, BadLinesAreFoundBeforeTheCardIsLookedAt) {
  const std::string missingCard = (pc.path() / "no-card").string();
  const CliRun run = RunCli({"apply", missingCard, OpsFile("renumber image\nup melody\n")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find(Fill(cli::say::kLine, {"2"})), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(texts::kInsertCard), std::string::npos) << run.err;
}

}  // namespace
}  // namespace fenmora::testcli
