// fenmora-cli midi and export, run as a process: melodies written as MIDI
// files, the card copied out under position and title, nothing on the card
// written and nothing in the export folder replaced.
#include <gtest/gtest.h>

#include "cli/cli_texts.h"
#include "cli/card_export.h"
#include "cli/cli_fixture.h"
#include "media/smf_read.h"
#include "support/mfi_writer.h"

namespace fenmora::testcli {
namespace {

namespace fs = std::filesystem;
using testcard::Item;
using testcard::ReadBytes;
using testcard::TempFolder;

// Two notes and vendor data that is left out.
std::string Melody(const char* title = "tune") {
  testmfi::MfiFile f;
  f.Info("vers", "0300").Info("titl", title);
  f.tracks = {testmfi::LongExt(0, 0xFF, "vendor") + testmfi::Note(0, 0, 15, 24) + testmfi::Note(24, 1, 19, 24)};
  return f.Bytes();
}

size_t NotesIn(const std::string& midi) {
  const auto smf = ReadSmf(midi);
  return smf ? CountSmfNotes(*smf) : 0;
}

TEST_F(CliTest, MidiConvertsAnMldAndCopiesAMidiFileAsItIs) {
  const fs::path out = pc.path() / "out.mid";
  const CliRun run = RunCli({"midi", PcFile("a.MLD", Melody()), out.string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find(Fill(cli::say::kLeftOut, {""})), std::string::npos) << run.err;
  EXPECT_EQ(NotesIn(ReadBytes(out)), 2u);

  // A MIDI file, whatever its extension, is copied byte for byte.
  const std::string midi = ReadBytes(out);
  const fs::path copy = pc.path() / "copy.mid";
  EXPECT_EQ(RunCli({"midi", PcFile("b.SMF", midi), copy.string()}).exitCode, 0);
  EXPECT_EQ(ReadBytes(copy), midi);
}

TEST_F(CliTest, MidiRefusesWhatIsNoMelodyAnExistingDestinationAndBadUsage) {
  const fs::path out = pc.path() / "out.mid";
  for (const std::string& bytes : {std::string("not a melody"), std::string("melo\0\0", 6), std::string("MThd")}) {
    const CliRun run = RunCli({"midi", PcFile("x.MLD", bytes), out.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(Fill(cli::say::kNotReadAsMelody, {PcFile("x.MLD", bytes), ""})), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(out));
  }
  EXPECT_EQ(RunCli({"midi", (pc.path() / "missing.MLD").string(), out.string()}).exitCode, 1);

  const std::string kept = PcFile("kept.mid", "mine");
  const CliRun over = RunCli({"midi", PcFile("a.MLD", Melody()), kept});
  EXPECT_EQ(over.exitCode, 1);
  EXPECT_NE(over.err.find(cli::say::kNeverReplaced), std::string::npos) << over.err;
  EXPECT_EQ(ReadBytes(kept), "mine");
  EXPECT_EQ(testcard::NamesIn(pc.path()), (std::vector<std::string>{"a.MLD", "kept.mid", "x.MLD"}));

  EXPECT_EQ(RunCli({"midi", PcFile("a.MLD", Melody())}).exitCode, 2);
  EXPECT_EQ(RunCli({"export", Card()}).exitCode, 2);
}

TEST_F(CliTest, ExportCopiesEveryListUnderPositionAndTitleWithMidiBesideEachMld) {
  testcard::WriteKind(card.root(), MediaKind::Image,
                      {Item("STIL0001.JPG", "夕焼けの海", "jpeg bytes"), Item("STIL0002.GIF", "a/b:c?", "gif")});
  testcard::WriteKind(card.root(), MediaKind::Melody,
                      {Item("RING0001.MLD", "着信音", Melody()), Item("RING0002.MID", "", "MThd...")});
  testcard::WriteKind(card.root(), MediaKind::Movie, {Item("MOL001.3GP", "動画", "movie bytes")});
  const auto before = card.Snapshot();
  TempFolder into{"fenmora-export"};

  const CliRun run = RunCli({"export", Card(), "--into", into.path().string()});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(card.Snapshot(), before);
  EXPECT_EQ(testcard::NamesIn(into.path() / "images"),
            (std::vector<std::string>{"001 夕焼けの海.jpg", "002 a_b_c_.gif"}));
  EXPECT_EQ(testcard::NamesIn(into.path() / "melodies"),
            (std::vector<std::string>{"001 着信音.mid", "001 着信音.mld", "002 RING0002.mid"}));
  EXPECT_EQ(testcard::NamesIn(into.path() / "movies"), (std::vector<std::string>{"001 動画.3gp"}));
  EXPECT_EQ(ReadBytes(into.path() / "images/001 夕焼けの海.jpg"), "jpeg bytes");
  EXPECT_EQ(ReadBytes(into.path() / "melodies/001 着信音.mld"), Melody());
  EXPECT_EQ(NotesIn(ReadBytes(into.path() / "melodies/001 着信音.mid")), 2u);
  EXPECT_EQ(ReadBytes(into.path() / "melodies/002 RING0002.mid"), "MThd...");

  // Again into the same folder: every file is there already and none is replaced.
  testcard::WriteBytes(into.path() / "images/001 夕焼けの海.jpg", "changed by the user");
  const CliRun again = RunCli({"export", Card(), "--into", into.path().string()});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find(Fill(cli::say::kNotExported, {(into.path() / "images/001 夕焼けの海.jpg").string(), cli::say::kNeverReplaced})), std::string::npos) << again.err;
  EXPECT_EQ(ReadBytes(into.path() / "images/001 夕焼けの海.jpg"), "changed by the user");
  EXPECT_EQ(testcard::NamesIn(into.path() / "melodies").size(), 3u);  // no scratch file left behind
}

TEST_F(CliTest, ExportRefusesAFolderOnTheCardAndSaysWhatItCouldNotConvert) {
  testcard::WriteKind(card.root(), MediaKind::Melody, {Item("RING0001.MLD", "壊れた", "melo")});
  const auto before = card.Snapshot();
  EXPECT_EQ(RunCli({"export", Card(), "--into", (card.root() / "out").string()}).exitCode, 2);
  TempFolder into{"fenmora-export"};
  const CliRun run = RunCli({"export", Card(), "--into", into.path().string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(Fill(cli::say::kNotConverted, {(into.path() / "melodies/001 壊れた.mid").string(), ""})), std::string::npos) << run.err;
  EXPECT_EQ(testcard::NamesIn(into.path() / "melodies"), (std::vector<std::string>{"001 壊れた.mld"}));
  EXPECT_EQ(card.Snapshot(), before);
}

TEST(ExportName, PositionTitleAndLowerCaseExtension) {
  MediaEntry e;
  e.cardName = "STIL0012.JPG";
  e.title = "\x8a\x43";  // 海 in CP932
  EXPECT_EQ(cli::ExportName(12, 2, e), "012 海.jpg");
  EXPECT_EQ(cli::ExportName(1024, 4, e), "1024 海.jpg");
  e.title = "..\\x*. ";
  EXPECT_EQ(cli::ExportName(1, 1, e), "001 .._x_.jpg");
  e.title = std::string(400, 'a');
  EXPECT_LE(cli::ExportName(1, 1, e).size(), 240u);
  e.title.clear();
  EXPECT_EQ(cli::ExportName(3, 1, e), "003 STIL0012.jpg");
}

}  // namespace
}  // namespace fenmora::testcli
