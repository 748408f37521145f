#include "platform/fileops.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>

#include "support/temp_card.h"

namespace fenmora {
namespace {

using testcard::ReadBytes;
using testcard::TempFolder;
using testcard::WriteBytes;

TEST(FileOps, RenameNeverReplacesAFile) {
  TempFolder dir;
  RealFileOps ops;
  WriteBytes(dir.path() / "a", "A");
  WriteBytes(dir.path() / "b", "B");
  EXPECT_FALSE(ops.Rename(dir.path() / "a", dir.path() / "b"));
  EXPECT_EQ(ReadBytes(dir.path() / "b"), "B");
  EXPECT_TRUE(ops.Replace(dir.path() / "a", dir.path() / "b"));
  EXPECT_EQ(ReadBytes(dir.path() / "b"), "A");
  EXPECT_FALSE(ops.Exists(dir.path() / "a"));
}

TEST(FileOps, ListFolderGivesEveryNameAndFailsOnAMissingFolder) {
  TempFolder dir;
  RealFileOps ops;
  WriteBytes(dir.path() / "STIL0001.JPG", "A");
  WriteBytes(dir.path() / "stil0002.jpg", "B");
  std::filesystem::create_directory(dir.path() / "sub");
  std::filesystem::create_symlink("/nonexistent", dir.path() / "dangling");
  std::vector<std::string> names;
  ASSERT_TRUE(ops.ListFolder(dir.path(), names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"STIL0001.JPG", "dangling", "stil0002.jpg", "sub"}));
  EXPECT_FALSE(ops.ListFolder(dir.path() / "gone", names));
  EXPECT_TRUE(names.empty());
}

TEST(FileOps, NothingIsWrittenThroughALink) {
  TempFolder dir;
  TempFolder outside("fenmora-outside");
  RealFileOps ops;
  WriteBytes(outside.path() / "victim", "keep");
  std::filesystem::create_symlink(outside.path() / "victim", dir.path() / "link");
  WriteBytes(dir.path() / "src", "new");
  EXPECT_FALSE(ops.WriteFile(dir.path() / "link", "overwritten"));
  EXPECT_FALSE(ops.CopyFile(dir.path() / "src", dir.path() / "link"));
  EXPECT_EQ(ReadBytes(outside.path() / "victim"), "keep");
}

// A card that fills up during a copy: the copy fails with the system's reason
// and leaves no partial file behind; the source is untouched.
TEST(FileOps, ACopyThatRunsOutOfSpaceLeavesNoPartialFile) {
  TempFolder dir;
  RealFileOps ops;
  const std::string big(200000, 'x');
  WriteBytes(dir.path() / "movie.3gp", big);
  auto* previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 65536;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const OpResult r = ops.CopyFile(dir.path() / "movie.3gp", dir.path() / "MOL001.3GP");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(r);
  EXPECT_FALSE(r.error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "MOL001.3GP"));
  EXPECT_EQ(ReadBytes(dir.path() / "movie.3gp"), big);
}

// A file queued from the computer that became a FIFO before the commit: the
// copy fails at once (it would otherwise wait for a writer with the journal
// written) and makes no file.
TEST(FileOps, ACopyFromAFifoFailsWithoutWaiting) {
  TempFolder dir;
  RealFileOps ops;
  testcard::WatchedFifo fifo(dir.path() / "photo.jpg");
  const OpResult r = ops.CopyFile(fifo.path(), dir.path() / "STIL0001.JPG");
  EXPECT_FALSE(r);
  EXPECT_FALSE(r.error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "STIL0001.JPG"));
}

TEST(FileOps, FaultyOpsFailTheChosenOperationsOnly) {
  TempFolder dir;
  RealFileOps real;
  FaultyFileOps faulty(real, 2, 3);
  EXPECT_TRUE(faulty.WriteFile(dir.path() / "1", "1"));
  EXPECT_FALSE(faulty.WriteFile(dir.path() / "2", "2"));
  EXPECT_FALSE(faulty.MakeFolders(dir.path() / "d"));
  EXPECT_TRUE(faulty.Exists(dir.path() / "1"));  // queries always work and are not counted
  EXPECT_TRUE(faulty.Rename(dir.path() / "1", dir.path() / "4"));
  EXPECT_EQ(faulty.changes(), 4);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "2"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "d"));
  FaultyFileOps pulled(real, 1);
  EXPECT_FALSE(pulled.Remove(dir.path() / "4"));
  EXPECT_FALSE(pulled.CopyFile(dir.path() / "4", dir.path() / "5"));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "4"));
}

// FNV-1a gives its published values, in one piece or in several; the stored
// fingerprint keeps the values journals and backup manifests already hold.
TEST(Hashes, Fnv1aAndTheStoredFingerprint) {
  EXPECT_EQ(Fnv1a(""), 0xcbf29ce484222325ull);
  EXPECT_EQ(Fnv1a("a"), 0xaf63dc4c8601ec8cull);
  EXPECT_EQ(Fnv1a("foobar"), 0x85944171f73967e8ull);
  EXPECT_EQ(Fnv1a("bar", Fnv1a("foo")), Fnv1a("foobar"));
  EXPECT_EQ(HashBytes("a"), "44bd8ad473cd9906:1");
  EXPECT_EQ(HashBytes("fenmora.jnl"), "60fd34fed1db521b:11");
}

}  // namespace
}  // namespace fenmora
