#include "sync/backup.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

using testcard::RecordingProgress;
using testcard::TempCard;
using testcard::TempFolder;

using testcard::LocalTime;

TEST(Backup, StampIsLocalTimeToTheSecond) {
  EXPECT_EQ(BackupStamp(LocalTime(2005, 3, 14, 9, 30, 5)), "20050314-093005");
}

TEST(Backup, CopiesTheThreeFoldersWhole) {
  TempCard card;
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "image");
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL", std::string(512, '\0'));
  card.Write("\\SD_VIDEO\\PRL001\\MOL001.3GP", "movie");
  card.Write("\\DCIM\\100F900I\\F1000001.JPG", "camera");
  card.Write("\\OTHER\\x", "not backed up");
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const std::time_t now = LocalTime(2005, 3, 14, 9, 30, 5);
  const BackupResult r = BackupCard(card.root(), backups.path(), now, ops, progress);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.folder, backups.path() / "20050314-093005");
  EXPECT_EQ(progress.statuses, std::vector<std::string>{texts::kBackupStatus});
  auto copied = testcard::SnapshotOf(r.folder);
  auto original = card.Snapshot();
  original.erase("OTHER/x");
  EXPECT_EQ(copied, original);
  EXPECT_EQ(BackupReport(r), std::string(texts::kBackupDone) + "\n" + r.folder.string());
  // A second backup in the same second uses the same folder.
  EXPECT_EQ(BackupCard(card.root(), backups.path(), now, ops, progress).folder, r.folder);
}

TEST(Backup, AMissingFolderIsAWarning) {
  TempCard card;
  card.Write("\\PRIVATE\\a", "a");
  card.Write("\\SD_VIDEO\\b", "b");
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), ops, progress);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(BackupReport(r).rfind(texts::kBackupIncomplete, 0), 0u);
  EXPECT_EQ(testcard::ReadBytes(r.folder / "SD_VIDEO" / "b"), "b");
}

TEST(Backup, LinksAreCopiedAsLinksAndNeverFollowed) {
  TempCard card;
  if (!testcard::LinksWork(card.root())) GTEST_SKIP() << "the card is on a FAT volume: no links";
  TempFolder outside("fenmora-outside");
  testcard::WriteBytes(outside.path() / "big", "outside data");
  card.Write("\\PRIVATE\\a", "a");
  std::filesystem::create_directory_symlink(outside.path(), card.Host("\\PRIVATE\\out"));
  std::filesystem::create_directories(card.Host("\\SD_VIDEO"));
  std::filesystem::create_directories(card.Host("\\DCIM"));
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), ops, progress);
  EXPECT_TRUE(r.complete);
  EXPECT_TRUE(std::filesystem::is_symlink(r.folder / "PRIVATE" / "out"));
  EXPECT_FALSE(std::filesystem::exists(r.folder / "PRIVATE" / "out" / "big") &&
               !std::filesystem::is_symlink(r.folder / "PRIVATE" / "out"));
}

TEST(Backup, FailedCopiesAreReported) {
  TempCard card;
  for (const char* f : {"\\PRIVATE\\a", "\\SD_VIDEO\\b", "\\DCIM\\c"}) card.Write(f, "x");
  TempFolder backups;
  RealFileOps real;
  FaultyFileOps faulty(real, 3, 3);
  RecordingProgress progress;
  const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), faulty, progress);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.failures.size(), 1u);
}

// Folders that may be written: those listed.
class WritableOnly : public FaultyFileOps {
 public:
  WritableOnly(FileOps& inner, std::vector<std::filesystem::path> writable)
      : FaultyFileOps(inner), writable_(std::move(writable)) {}
  bool CanWrite(const std::filesystem::path& p) override {
    return std::find(writable_.begin(), writable_.end(), p) != writable_.end();
  }

 private:
  std::vector<std::filesystem::path> writable_;
};

TEST(Backup, RootFallsBackWhenTheProgramFolderCannotBeWritten) {
  TempFolder program;
  RealFileOps real;
  WritableOnly programWritable(real, {program.path()});
  EXPECT_EQ(ChooseBackupRoot(program.path(), "/data", programWritable), program.path() / "BackUp");
  EXPECT_EQ(ChooseBackupRoot(program.path() / "missing", "/data", real), std::filesystem::path("/data/BackUp"));
  WritableOnly nothingWritable(real, {});
  EXPECT_EQ(ChooseBackupRoot(program.path(), "/data", nothingWritable), std::filesystem::path("/data/BackUp"));
  // An existing BackUp folder is used only when it can be written itself.
  std::filesystem::create_directories(program.path() / "BackUp");
  EXPECT_EQ(ChooseBackupRoot(program.path(), "/data", programWritable), std::filesystem::path("/data/BackUp"));
  WritableOnly backUpWritable(real, {program.path() / "BackUp"});
  EXPECT_EQ(ChooseBackupRoot(program.path(), "/data", backUpWritable), program.path() / "BackUp");
}

// Installed in a prefix, the program's bin folder is everybody's (and root
// could write into /usr/bin): backups go to the user's folder. A copy with its
// data beside it stays portable.
TEST(Backup, AnInstalledProgramBacksUpIntoTheUsersFolder) {
  TempFolder prefix;
  RealFileOps real;
  const std::filesystem::path bin = prefix.path() / "bin";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(bin / FENMORA_DATA_FROM_BIN);
  EXPECT_EQ(ChooseBackupRoot(bin, "/data", real), std::filesystem::path("/data/BackUp"));
  EXPECT_FALSE(std::filesystem::exists(bin / "BackUp"));
  std::filesystem::create_directories(bin / "data");
  EXPECT_EQ(ChooseBackupRoot(bin, "/data", real), bin / "BackUp");
}

}  // namespace
}  // namespace fenmora
