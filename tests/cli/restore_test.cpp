// Restoring a backup from the terminal: the lists come back, nothing on the
// card is lost, a backup that does not match its manifest is refused.
#include <gtest/gtest.h>

#include "cli/cli_fixture.h"
#include "cli/run_cli.h"
#include "sync/backup.h"
#include "sync/plan_summary.h"
#include "sync/texts.h"

namespace fenmora::testcli {
namespace {

class CliRestore : public CliTest {
 protected:
  // Two images and a melody, backed up.
  void SetUp() override {
    card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 2, ".JPG", "image ", "title "));
    card.WriteTable(MediaKind::Melody, 0, testcard::NumberedItems(MediaKind::Melody, 1, 1, ".MID", "melody ", "tune "));
    const CliRun run = RunCli({"backup", Card(), "--into", (pc.path() / "backups").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    backup = Lines(run.out).at(0);
    listed = Lists();
  }
  // The lists as "list" prints them, without the free space.
  std::string Lists() {
    const std::string out = RunCli({"list", Card()}).out;
    return out.substr(0, out.find("\n\n"));
  }
  // Image 1 deleted, a new image added, renumbered: the card since the backup.
  void ChangeCard() {
    const std::string ops = "delete image 1\nadd image " + PcFile("new.jpg", "new picture") + "\nrenumber image\n";
    ASSERT_EQ(RunCli({"apply", Card(), PcFile("ops.txt", ops)}).exitCode, 0);
  }
  fs::path backup;
  std::string listed;  // the lists when backed up
};

TEST_F(CliRestore, TheListsComeBackAndTheNewFileIsKeptAndNamed) {
  ChangeCard();
  const CliRun run = RunCli({"restore", backup.string(), Card()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find(texts::kPlanQuestion), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(texts::kRestoreDone), std::string::npos) << run.out;
  // The new image had taken the name STIL0002.JPG: it is moved aside, kept and named.
  EXPECT_NE(run.out.find(std::string(texts::kMovedAside) + "\nPRIVATE/DOCOMO/STILL/STIL0002.JPG -> STIL0002.JPG.fmkeep"),
            std::string::npos) << run.out;
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG.fmkeep"), "new picture");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "image 1");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "image 2");
  EXPECT_EQ(Lists(), listed);
  EXPECT_NE(run.out.find(listed), std::string::npos) << run.out;
}

TEST_F(CliRestore, ADryRunShowsThePlanAndChangesNothing) {
  ChangeCard();
  const auto before = card.Snapshot();
  const CliRun run = RunCli({"restore", "--dry-run", backup.string(), Card()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find(std::string(texts::kPlanCopies) + "1" + texts::kPlanUnit), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(std::string(texts::kPlanDeletions) + "0" + texts::kPlanUnit), std::string::npos);
  EXPECT_NE(run.out.find(texts::kStepJournalNote), std::string::npos) << run.out;
  EXPECT_EQ(card.Snapshot(), before);
}

TEST_F(CliRestore, ABackupThatDoesNotMatchItsManifestIsRefusedAndNothingIsWritten) {
  ChangeCard();
  const auto before = card.Snapshot();
  testcard::WriteBytes(backup / "PRIVATE" / "DOCOMO" / "STILL" / "STIL0001.JPG", "image X");
  CliRun run = RunCli({"restore", backup.string(), Card()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(std::string(texts::kBackupChanged) + "PRIVATE/DOCOMO/STILL/STIL0001.JPG"), std::string::npos)
      << run.err;
  EXPECT_EQ(card.Snapshot(), before);
  // Nor one that is not complete, nor a folder that is no backup.
  testcard::WriteBytes(backup / "PRIVATE" / "DOCOMO" / "STILL" / "STIL0001.JPG", "image 1");
  fs::remove(backup / kCompleteMarkName);
  run = RunCli({"restore", backup.string(), Card()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find(texts::kBackupNoMark), std::string::npos) << run.err;
  EXPECT_EQ(RunCli({"restore", (pc.path() / "nothing").string(), Card()}).exitCode, 2);
  EXPECT_EQ(card.Snapshot(), before);
}

}  // namespace
}  // namespace fenmora::testcli
