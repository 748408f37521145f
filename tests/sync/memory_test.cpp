// A large file is never held in memory: adding it, and backing up and
// restoring a card that holds it, copy and fingerprint it in pieces. Each job
// runs in a process of its own, whose peak is measured against what it held
// before the job.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>

#include "editing/editing.h"
#include "platform/drives.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/backup.h"
#include "sync/commit.h"
#include "sync/load.h"
#include "sync/restore.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kLarge = std::int64_t{96} << 20;
constexpr long kAllowedKb = 32 << 10;  // well under the file's size

long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void WriteLarge(const fs::path& p) {
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  std::string piece(1 << 20, '\0');
  for (std::int64_t i = 0; i < kLarge >> 20; ++i) {
    piece[0] = static_cast<char>(i);
    out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  }
}

// Runs job in a child process: the growth of its peak memory over the job, in
// KiB (-1 when the job failed).
long GrowthOf(const std::function<bool()>& job) {
  int pipe[2];
  if (::pipe(pipe) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    ::close(pipe[0]);
    const long before = PeakKb();
    const long growth = job() ? PeakKb() - before : -1;
    (void)!::write(pipe[1], &growth, sizeof growth);
    _exit(0);
  }
  ::close(pipe[1]);
  long growth = -1;
  if (::read(pipe[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(pipe[0]);
  waitpid(child, nullptr, 0);
  return growth;
}

TEST(Memory, ALargeFileIsAddedBackedUpAndRestoredInPieces) {
  testcard::TempCard card;
  testcard::TempFolder pc{"fenmora-pc"}, backups{"fenmora-backups"};
  // (The small exFAT volume the card tests run on again has no room for it.)
  if (DiskFree(card.root()) < 3 * kLarge) GTEST_SKIP() << "no room for a " << (kLarge >> 20) << " MiB file";
  card.WriteTable(MediaKind::Movie, 1, {{"MOL001.3GP", "one", "movie one"}});
  WriteLarge(pc.path() / "large.3gp");
  RealFileOps real;
  testcard::RecordingProgress progress;
  const long adding = GrowthOf([&] {
    CardSession s;
    testcard::ScriptedPrompts prompts;
    prompts.ExpectLoad();
    if (!LoadCard(s, card.root(), prompts, progress).Completed()) return false;
    testcard::ScriptedPrompts none;
    none.Expect(Prompts::Question::Oversize, Prompts::Answer::Yes);
    if (QueueFileForCard(s, MediaKind::Movie, pc.path() / "large.3gp", none) != QueueOutcome::Queued) return false;
    return ExecuteCommit(s, PlanCommit(s, real), real, progress).Ok();
  });
  EXPECT_GE(adding, 0);
  EXPECT_LT(adding, kAllowedKb) << "KiB more while adding a " << (kLarge >> 20) << " MiB file";
  ASSERT_EQ(fs::file_size(card.root() / "SD_VIDEO/PRL001/MOL002.3GP"), static_cast<std::uintmax_t>(kLarge));

  const long backingUp = GrowthOf([&] {
    return BackupCard(card.root(), backups.path(), std::time(nullptr), real, progress).complete;
  });
  EXPECT_GE(backingUp, 0);
  EXPECT_LT(backingUp, kAllowedKb) << "KiB more while backing it up";

  fs::remove(card.root() / "SD_VIDEO/PRL001/MOL002.3GP");
  card.WriteTable(MediaKind::Movie, 1, {{"MOL001.3GP", "one", "movie one"}});
  const fs::path backup = *fs::directory_iterator(backups.path());
  const long restoring = GrowthOf([&] {
    RestoreSetup setup = PrepareRestore(backup, card.root(), real);
    if (!setup.refusal.empty()) return false;
    return ExecuteCommit(setup.session, PlanCommit(setup.session, real), real, progress).Ok();
  });
  EXPECT_GE(restoring, 0);
  EXPECT_LT(restoring, kAllowedKb) << "KiB more while restoring it";
  EXPECT_EQ(fs::file_size(card.root() / "SD_VIDEO/PRL001/MOL002.3GP"), static_cast<std::uintmax_t>(kLarge));
}

}  // namespace
}  // namespace fenmora
