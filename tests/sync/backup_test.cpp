#include "sync/backup.h"

#include <algorithm>
#include <map>

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

// The backup folder's files without the manifest and the mark.
std::map<std::string, std::string> CopiedFiles(const std::filesystem::path& folder) {
  auto files = testcard::SnapshotOf(folder);
  files.erase(kManifestName);
  files.erase(kCompleteMarkName);
  return files;
}

TEST(Backup, CopiesTheThreeFoldersWholeWithAManifestAndAMark) {
  TempCard card;
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "image");
  card.Write("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL", std::string(512, '\0'));
  card.Write("\\SD_VIDEO\\PRL001\\MOL001.3GP", "movie");
  card.Write("\\DCIM\\100F900I\\F1000 01.JPG", "camera");
  card.Write("\\OTHER\\x", "not backed up");
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const std::time_t now = LocalTime(2005, 3, 14, 9, 30, 5);
  const BackupResult r = BackupCard(card.root(), backups.path(), now, ops, progress);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(r.folder, backups.path() / "20050314-093005");
  EXPECT_EQ(progress.statuses, std::vector<std::string>{texts::kBackupStatus});
  auto original = card.Snapshot();
  original.erase("OTHER/x");
  EXPECT_EQ(CopiedFiles(r.folder), original);
  EXPECT_EQ(BackupReport(r), std::string(texts::kBackupDone) + "\n" + r.folder.string());
  // The manifest names every file with its size and fingerprint.
  const auto manifest = DecodeManifest(testcard::ReadBytes(r.folder / kManifestName));
  ASSERT_TRUE(manifest);
  ASSERT_EQ(manifest->size(), original.size());
  for (const ManifestEntry& e : *manifest) {
    ASSERT_TRUE(original.count(e.path)) << e.path;
    EXPECT_EQ(e.hash, HashBytes(original[e.path])) << e.path;
    EXPECT_EQ(e.size, static_cast<std::int64_t>(original[e.path].size()));
  }
  EXPECT_TRUE(VerifyBackup(r.folder, ops).empty());
  // A name may hold any byte but "/".
  const std::vector<ManifestEntry> odd{{"PRIVATE/a\nF 1 x 1 b", false, 3, "h"}, {"PRIVATE/l", true, 1, "g"}};
  EXPECT_EQ(DecodeManifest(EncodeManifest(odd)), odd);
}

// Two backups in one second (the card changed between them): two folders,
// each whole and each the card as it was at its time.
TEST(Backup, TwoBackupsInOneSecondNeverShareAFolder) {
  TempCard card;
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "before");
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const std::time_t now = LocalTime(2005, 3, 14, 9, 30, 5);
  const BackupResult first = BackupCard(card.root(), backups.path(), now, ops, progress);
  const auto before = card.Snapshot();
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "after");
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG", "new");
  const BackupResult second = BackupCard(card.root(), backups.path(), now, ops, progress);
  ASSERT_TRUE(first.complete && second.complete);
  EXPECT_EQ(second.folder, backups.path() / "20050314-093005-2");
  EXPECT_EQ(CopiedFiles(first.folder), before);
  EXPECT_EQ(CopiedFiles(second.folder), card.Snapshot());
  EXPECT_TRUE(VerifyBackup(first.folder, ops).empty());
  EXPECT_TRUE(VerifyBackup(second.folder, ops).empty());
  // A name taken by anything, a file included, is passed over.
  testcard::WriteBytes(backups.path() / "20050314-093005-3", "not a backup");
  EXPECT_EQ(BackupCard(card.root(), backups.path(), now, ops, progress).folder,
            backups.path() / "20050314-093005-4");
}

TEST(Backup, ACardWithoutDcimOrSdVideoIsBackedUpWithoutAWarning) {
  TempCard card;
  card.Write("\\PRIVATE\\a", "a");
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), ops, progress);
  EXPECT_TRUE(r.complete);
  EXPECT_TRUE(r.failures.empty());
  EXPECT_EQ(BackupReport(r), std::string(texts::kBackupDone) + "\n" + r.folder.string());
  EXPECT_EQ(CopiedFiles(r.folder), card.Snapshot());
  EXPECT_TRUE(VerifyBackup(r.folder, ops).empty());
}

// Cancels at the given step of the copy.
class CancellingProgress : public RecordingProgress {
 public:
  explicit CancellingProgress(long at) : at_(at) {}
  bool Step(long, long) override { return ++steps_ < at_; }

 private:
  long at_, steps_ = 0;
};

TEST(Backup, ACancelledBackupIsNamedAndReportedSoAndCannotBeRestored) {
  TempCard card;
  for (const char* f : {"\\PRIVATE\\a", "\\PRIVATE\\b", "\\SD_VIDEO\\c", "\\DCIM\\d"}) card.Write(f, "x");
  TempFolder backups;
  RealFileOps ops;
  CancellingProgress progress(3);
  const std::time_t now = LocalTime(2005, 3, 14, 9, 30, 5);
  const BackupResult r = BackupCard(card.root(), backups.path(), now, ops, progress);
  EXPECT_FALSE(r.complete);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(r.folder, backups.path() / "20050314-093005-cancelled");
  EXPECT_EQ(testcard::NamesIn(backups.path()), std::vector<std::string>{"20050314-093005-cancelled"});
  const std::string report = BackupReport(r);
  EXPECT_EQ(report.rfind(texts::kBackupCancelled, 0), 0u) << report;
  EXPECT_NE(report.find("キャンセル"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(r.folder / kCompleteMarkName));
  EXPECT_FALSE(VerifyBackup(r.folder, ops).empty());
}

TEST(Backup, AFailedBackupIsNamedIncompleteAndSaysWhatFailed) {
  TempCard card;
  for (const char* f : {"\\PRIVATE\\a", "\\SD_VIDEO\\b", "\\DCIM\\c"}) card.Write(f, "x");
  TempFolder backups;
  RealFileOps real;
  // Every change of the backup in turn fails once: the mark only ever comes
  // with a whole backup.
  for (long n = 1;; ++n) {
    FaultyFileOps faulty(real, n, n);
    RecordingProgress progress;
    const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), faulty, progress);
    if (faulty.changes() < n) {
      EXPECT_TRUE(r.complete);
      break;
    }
    EXPECT_FALSE(r.complete) << n;
    EXPECT_EQ(r.failures.size(), 1u) << n;
    const std::string report = BackupReport(r);
    EXPECT_EQ(report.rfind(texts::kBackupFailed, 0), 0u) << report;
    if (n > 2) {  // the root and the folder were made
      const std::string name = r.folder.filename().string();
      EXPECT_NE(name.find(kIncompleteSuffix), std::string::npos) << name;
      EXPECT_FALSE(std::filesystem::exists(r.folder / kCompleteMarkName)) << n;
    }
  }
}

TEST(Backup, ABackupWhoseFilesDoNotMatchItsManifestIsToldApart) {
  TempCard card;
  for (const char* f : {"\\PRIVATE\\a", "\\PRIVATE\\b", "\\SD_VIDEO\\c"}) card.Write(f, "bytes");
  TempFolder backups;
  RealFileOps ops;
  RecordingProgress progress;
  const BackupResult r = BackupCard(card.root(), backups.path(), std::time(nullptr), ops, progress);
  ASSERT_TRUE(r.complete);
  testcard::WriteBytes(r.folder / "PRIVATE" / "a", "bytez");  // same size, other bytes
  std::filesystem::remove(r.folder / "PRIVATE" / "b");
  testcard::WriteBytes(r.folder / "SD_VIDEO" / "d", "extra");
  EXPECT_EQ(VerifyBackup(r.folder, ops),
            (std::vector<std::string>{std::string(texts::kBackupChanged) + "PRIVATE/a",
                                      std::string(texts::kBackupUnlisted) + "SD_VIDEO/d",
                                      std::string(texts::kBackupMissing) + "PRIVATE/b"}));
  testcard::WriteBytes(r.folder / kManifestName, "FENMORA-BACKUP-MANIFEST 1\nF 5 x 99 PRIVATE/a\n");
  EXPECT_EQ(VerifyBackup(r.folder, ops),
            std::vector<std::string>{std::string(texts::kBackupNoManifest) + kManifestName});
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
  EXPECT_TRUE(VerifyBackup(r.folder, ops).empty());
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
