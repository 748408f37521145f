// fenmora-cli run as a process: usage, list, backup and check.
#include <gtest/gtest.h>

#include <regex>

#include "cli/cli_texts.h"
#include "cli/cli_fixture.h"
#include "cli/json_reader.h"
#include "sync/backup.h"
#include "sync/texts.h"

namespace fenmora::testcli {
namespace {

namespace fs = std::filesystem;
using testcard::CardItem;
using testcard::SnapshotOf;
using testcard::TempFolder;

// "写真表示" and "着信音" in CP932; the first holds 0x5C ("\") as a trail byte.
const std::string kPhotoTitleCp932 = "\x8e\xca\x90\x5e\x95\x5c\x8e\xa6";
const std::string kRingTitleCp932 = "\x92\x85\x90\x4d\x89\xb9";

// ---------------------------------------------------------------- usage

TEST(CliUsage, HelpAndVersion) {
  const CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* part : {"list CARD [--json]", "apply CARD OPS [--dry-run] [--yes]",
                           "backup CARD [--into DIR]", "check CARD", "add KIND PATH", "renumber KIND",
                           "title KIND POS TEXT", "--version"})
    EXPECT_NE(help.out.find(part), std::string::npos) << part;

  const CliRun version = RunCli({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("fenmora-cli ") + FENMORA_VERSION + "\n");
}

// The command line answers in the language the locale asks for (the
// messages of the card's core, here "no card"), FENMORA_LANG above it.
TEST(CliUsage, AnswersInTheLanguageOfTheLocale) {
  auto firstLine = [](const std::vector<std::string>& env) {
    RunOptions options;
    options.env = env;
    const CliRun run = RunCli({"list", "/nonexistent/card"}, options);
    EXPECT_EQ(run.exitCode, 2);
    return run.err.substr(0, run.err.find('\n'));
  };
  const std::vector<std::string> none = {"FENMORA_LANG=", "LC_ALL=", "LC_MESSAGES="};
  auto with = [&](std::string lang) {
    auto env = none;
    env.push_back(std::move(lang));
    return env;
  };
  EXPECT_EQ(firstLine(with("LANG=en_US.UTF-8")), "Put an SD memory card into the drive.");
  EXPECT_EQ(firstLine(with("LANG=ja_JP.UTF-8")), "ドライブにSDメモリカードを挿入してください．");
  EXPECT_EQ(firstLine(with("LANG=C")), "ドライブにSDメモリカードを挿入してください．");
  EXPECT_EQ(firstLine({"FENMORA_LANG=en", "LANG=ja_JP.UTF-8"}), "Put an SD memory card into the drive.");

  // The command line's own words follow too: its help, its usage and its
  // refusals.
  RunOptions english, japanese;
  english.env = with("LANG=en_US.UTF-8");
  japanese.env = with("LANG=ja_JP.UTF-8");
  EXPECT_NE(RunCli({"--help"}, english).out.find("Exit status: 0 success"), std::string::npos);
  EXPECT_NE(RunCli({"--help"}, japanese).out.find("終了状態: 0 成功"), std::string::npos);
  EXPECT_EQ(RunCli({"frob"}, english).err.rfind("fenmora-cli: unknown command \"frob\"\nusage: ", 0), 0u);
  EXPECT_EQ(RunCli({"frob"}, japanese).err.rfind("fenmora-cli: 不明なコマンド「frob」\n使い方: ", 0), 0u);
  TempFolder documents{"fenmora-documents"};
  const std::string ops = (documents.path() / "ops.txt").string();
  testcard::WriteBytes(ops, "renumber image\n");
  EXPECT_EQ(RunCli({"apply", documents.path().string(), ops}, english).err.rfind("not a card: ", 0), 0u);
  EXPECT_EQ(RunCli({"apply", documents.path().string(), ops}, japanese).err.rfind("カードではありません：", 0), 0u);
}

TEST(CliUsage, BadUsageExitsTwo) {
  TempFolder card{"fenmora-card"};
  const std::string c = card.path().string();
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"frob", c},
      {"list"},
      {"list", c, "--yes"},
      {"list", c, c},
      {"apply", c},
      {"apply", c, "ops", "--json"},
      {"backup", c, "--into"},
      {"check", c, "--into=x"},
      {"--versio"},
  };
  for (const auto& args : cases) {
    const CliRun run = RunCli(args);
    EXPECT_EQ(run.exitCode, 2) << ::testing::PrintToString(args);
    EXPECT_NE(run.err.find(cli::say::kUsage), std::string::npos) << ::testing::PrintToString(args);
    EXPECT_EQ(run.out, "");
  }
  // Nothing was made where the card would be.
  EXPECT_TRUE(SnapshotOf(card.path()).empty());
}

TEST(CliUsage, NoCardAtCard) {
  TempFolder pc{"fenmora-pc"};
  const std::string missing = (pc.path() / "no-card").string();
  for (const char* command : {"list", "check", "backup"}) {
    const CliRun run = RunCli({command, missing});
    EXPECT_EQ(run.exitCode, 2) << command;
    EXPECT_NE(run.err.find(texts::kInsertCard), std::string::npos) << command;
    EXPECT_NE(run.err.find(missing), std::string::npos) << command;
  }
  EXPECT_FALSE(fs::exists(missing));
}

// ---------------------------------------------------------------- list

class CliList : public CliTest {};

TEST_F(CliList, TextTableShowsEveryItemAligned) {
  card.WriteTable(MediaKind::Image, 0,
                  {{"STIL0001.JPG", kPhotoTitleCp932, "12345"}, {"STIL0002.GIF", "plain", "ab"}});
  card.WriteTable(MediaKind::Melody, 0, {{"RING0001.MID", kRingTitleCp932, "MThd", true, "2005:01:02 03:04:05"}});
  card.WriteTable(MediaKind::Movie, 1, {{"MOL001.3GP", "clip", "movie bytes"}});
  const CliRun run = RunCli({"list", Card()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const std::string image = cli::say::kKindWords[0], melody = cli::say::kKindWords[1], movie = cli::say::kKindWords[2];
  const std::vector<std::regex> expected = {
      std::regex("^" + image + R"( +1  STIL0001\.JPG  2004:02:14 00:00:00  +5  写真表示$)"),
      std::regex("^" + image + R"( +2  STIL0002\.GIF  2004:02:14 00:00:00  +2  plain$)"),
      std::regex("^" + melody + R"( +1  RING0001\.MID  2005:01:02 03:04:05  +4  着信音$)"),
      std::regex("^" + movie + R"( +1  MOL001\.3GP  +2004:02:14 00:00:00  +11  clip$)"),
  };
  // Where a text starts on the terminal: a Japanese character takes two columns.
  const auto column = [](const std::string& line, size_t bytes) {
    size_t columns = 0;
    for (size_t i = 0; i < bytes; ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      if (c < 0x80) ++columns;
      else if (c >= 0xE0) columns += 2;  // (the kinds' words are all three-byte characters)
    }
    return columns;
  };
  const std::vector<std::string> lines = Lines(run.out);
  size_t next = 0;
  size_t fileColumn = std::string::npos;
  for (const std::string& line : lines) {
    if (next < expected.size() && std::regex_match(line, expected[next])) {
      ++next;
      const size_t at = column(line, line.find(next == 4 ? "MOL" : next == 3 ? "RING" : "STIL"));
      if (fileColumn == std::string::npos) fileColumn = at;
      EXPECT_EQ(at, fileColumn) << "columns not aligned: " << line;
    }
  }
  EXPECT_EQ(next, expected.size()) << run.out;
  const std::string summary = cli::say::kListSummary;
  EXPECT_NE(run.out.find(Fill(summary.substr(0, summary.find("{4}")), {"2", "1", "1"})), std::string::npos) << run.out;
}

TEST_F(CliList, JsonIsTheDocumentedObject) {
  std::vector<CardItem> first = testcard::NumberedItems(MediaKind::Image, 1, 64, ".JPG", "content of ", "title ");
  first[0].title = kPhotoTitleCp932;
  first[1].title = std::string("say \"hi\" \\ \t\x01");
  card.WriteTable(MediaKind::Image, 0, first);
  card.WriteTable(MediaKind::Image, 1, testcard::NumberedItems(MediaKind::Image, 65, 65, ".GIF", "content of ", "title "));
  card.WriteTable(MediaKind::Melody, 0, {{"RING0001.MLD", kRingTitleCp932, "melody"}});
  const CliRun run = RunCli({"list", Card(), "--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const JsonValue doc = ParseJson(run.out);
  EXPECT_EQ(doc.Keys(), (std::vector<std::string>{"card", "totalBytes", "freeBytes", "image", "melody", "movie"}));
  EXPECT_EQ(doc["card"].string, Card());
  EXPECT_GT(doc["totalBytes"].number, 0);
  EXPECT_GE(doc["freeBytes"].number, 0);
  EXPECT_LE(doc["freeBytes"].number, doc["totalBytes"].number);

  const JsonValue& images = doc["image"];
  ASSERT_EQ(images.array.size(), 65u);
  const JsonValue& one = images[0];
  EXPECT_EQ(one.Keys(), (std::vector<std::string>{"position", "file", "folder", "date", "size", "title"}));
  EXPECT_EQ(one["position"].number, 1);
  EXPECT_EQ(one["file"].string, "STIL0001.JPG");
  EXPECT_EQ(one["folder"].string, "PRIVATE/DOCOMO/STILL");
  EXPECT_EQ(one["date"].string, "2004:02:14 00:00:00");
  EXPECT_EQ(one["size"].number, static_cast<std::int64_t>(std::string("content of 1").size()));
  EXPECT_EQ(one["title"].string, "写真表示");
  EXPECT_EQ(images[1]["title"].string, std::string("say \"hi\" \\ \t\x01"));
  EXPECT_EQ(images[64]["position"].number, 65);
  EXPECT_EQ(images[64]["file"].string, "STIL0065.GIF");
  EXPECT_EQ(images[64]["folder"].string, "PRIVATE/DOCOMO/STILL/SUD001");

  ASSERT_EQ(doc["melody"].array.size(), 1u);
  EXPECT_EQ(doc["melody"][0]["title"].string, "着信音");
  EXPECT_EQ(doc["melody"][0]["folder"].string, "PRIVATE/DOCOMO/RINGER");
  EXPECT_EQ(doc["movie"].type, JsonValue::Type::Array);
  EXPECT_TRUE(doc["movie"].array.empty());
}

// ---------------------------------------------------------------- backup

class CliBackup : public CliTest {
 protected:
  void FillCard(bool withDcim) {
    card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 2, ".JPG", "content of ", "title "));
    card.WriteTable(MediaKind::Movie, 1, testcard::NumberedItems(MediaKind::Movie, 1, 1, ".3GP", "content of ", "title "));
    if (withDcim) card.Write("\\DCIM\\100F900I\\F1000001.JPG", "camera picture");
  }
  // The files of a backup folder but its manifest and mark.
  static std::map<std::string, std::string> BackedUp(const fs::path& folder) {
    auto files = SnapshotOf(folder);
    EXPECT_EQ(files.erase(kManifestName), 1u);
    EXPECT_EQ(files.erase(kCompleteMarkName), 1u);
    return files;
  }
};

TEST_F(CliBackup, CopiesTheThreeFolders) {
  FillCard(true);
  const fs::path into = pc.path() / "backups";
  const CliRun run = RunCli({"backup", Card(), "--into", into.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1u);
  const fs::path folder = lines[0];
  EXPECT_EQ(folder.parent_path(), into);
  EXPECT_TRUE(std::regex_match(folder.filename().string(), std::regex(R"(\d{8}-\d{6})")));
  EXPECT_EQ(BackedUp(folder), card.Snapshot());
}

TEST_F(CliBackup, WithoutDcimIsWholeAndSaysNothing) {
  FillCard(false);
  const fs::path into = pc.path() / "backups";
  const CliRun run = RunCli({"backup", Card(), "--into=" + into.string()});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  const fs::path folder = Lines(run.out).at(0);
  EXPECT_EQ(BackedUp(folder), card.Snapshot());
  EXPECT_TRUE(fs::exists(folder / kCompleteMarkName));
}

// Backup, a change, backup again at once: two folders, each the card of its
// time.
TEST_F(CliBackup, TwoBackupsInARowNeverShareAFolder) {
  FillCard(true);
  const fs::path into = pc.path() / "backups";
  const CliRun first = RunCli({"backup", Card(), "--into", into.string()});
  const auto before = card.Snapshot();
  ASSERT_EQ(RunCli({"apply", Card(), PcFile("ops.txt", "delete image 1\n")}).exitCode, 0);
  const CliRun second = RunCli({"backup", Card(), "--into", into.string()});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_EQ(second.exitCode, 0) << second.err;
  const fs::path one = Lines(first.out).at(0), two = Lines(second.out).at(0);
  EXPECT_NE(one, two);
  EXPECT_EQ(BackedUp(one), before);
  EXPECT_EQ(BackedUp(two), card.Snapshot());
}

TEST_F(CliBackup, DefaultRootIsBesideTheProgram) {
  FillCard(true);
  // A copy of the program in a folder of its own: a portable install.
  const fs::path bin = pc.path() / "bin";
  fs::create_directories(bin);
  fs::copy_file(FENMORA_CLI, bin / "fenmora-cli");
  fs::permissions(bin / "fenmora-cli", fs::perms::owner_all);
  RunOptions options;
  options.program = bin / "fenmora-cli";
  options.env = {"XDG_DATA_HOME=" + (pc.path() / "data").string()};
  const CliRun run = RunCli({"backup", Card()}, options);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const fs::path folder = Lines(run.out).at(0);
  EXPECT_EQ(folder.parent_path(), bin / "BackUp");
  EXPECT_EQ(BackedUp(folder), card.Snapshot());
  EXPECT_FALSE(fs::exists(pc.path() / "data"));
}

TEST_F(CliBackup, RefusesAFolderOnTheCard) {
  FillCard(true);
  const auto before = card.Snapshot();
  const CliRun run = RunCli({"backup", Card(), "--into", card.Host("\\PRIVATE\\old").string()});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(card.Snapshot(), before);
  EXPECT_FALSE(card.Exists("\\PRIVATE\\old"));
}

// ---------------------------------------------------------------- check

class CliCheck : public CliTest {};

TEST_F(CliCheck, CleanCardExitsZero) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 64, ".JPG", "content of ", "title "));
  card.WriteTable(MediaKind::Image, 1, testcard::NumberedItems(MediaKind::Image, 65, 66, ".JPG", "content of ", "title "));
  card.WriteTable(MediaKind::Melody, 0, testcard::NumberedItems(MediaKind::Melody, 1, 2, ".MID", "content of ", "title "));
  card.WriteTable(MediaKind::Movie, 1, testcard::NumberedItems(MediaKind::Movie, 1, 1, ".3GP", "content of ", "title "));
  const CliRun run = RunCli({"check", Card()});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, std::string(cli::say::kNoProblems) + "\n");
}

TEST_F(CliCheck, MissingFileAndStaleTable) {
  std::vector<CardItem> items = testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG", "content of ", "title ");
  items[1].createFile = false;
  card.WriteTable(MediaKind::Image, 0, items);
  // What a list of 66 left behind once it was cut to 3.
  std::vector<CardItem> old = testcard::NumberedItems(MediaKind::Image, 65, 66, ".JPG", "content of ", "title ");
  for (CardItem& item : old) item.createFile = false;
  card.WriteTable(MediaKind::Image, 1, old);
  const auto before = card.Snapshot();

  const CliRun run = RunCli({"check", Card()});
  EXPECT_EQ(run.exitCode, 1);
  const std::vector<std::string> lines = Lines(run.err);
  ASSERT_EQ(lines.size(), 2u) << run.err;
  EXPECT_EQ(lines[0], Fill(texts::kFindingMissing, {"PRIVATE/DOCOMO/STILL/STIL0002.JPG",
                                                     "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL"}));
  // The table names no file that exists: worth knowing, no fault.
  EXPECT_EQ(lines[1].rfind(std::string(texts::kFindingInformation) + texts::kFindingStaleTable +
                               ": PRIVATE/DOCOMO/TABLE/STILL/SUD001.TBL",
                           0),
            0u)
      << lines[1];
  EXPECT_EQ(run.out, Fill(cli::say::kProblemsFound, {"1"}) + "\n");
  EXPECT_EQ(card.Snapshot(), before);
}

}  // namespace
}  // namespace fenmora::testcli
