// An interrupted update from the terminal: check reports it, revert returns
// the card to its state before it.
#include <gtest/gtest.h>

#include "cli/cli_texts.h"
#include "sync/texts.h"
#include "cli/cli_fixture.h"
#include "cli/run_cli.h"
#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "sync/commit.h"
#include "sync/journal.h"
#include "sync/load.h"

namespace fenmora::testcli {
namespace {

// Everything fails once the first content file has moved.
class CutAfterFirstMove : public FaultyFileOps {
 public:
  using FaultyFileOps::FaultyFileOps;
  OpResult Rename(const fs::path& from, const fs::path& to) override {
    if (cut_) return Gone();
    cut_ = from.extension() == ".JPG";
    return FaultyFileOps::Rename(from, to);
  }
  OpResult Remove(const fs::path& p) override { return cut_ ? Gone() : FaultyFileOps::Remove(p); }
  OpResult WriteFile(const fs::path& p, std::string_view b) override { return cut_ ? Gone() : FaultyFileOps::WriteFile(p, b); }
  OpResult Replace(const fs::path& f, const fs::path& t) override { return cut_ ? Gone() : FaultyFileOps::Replace(f, t); }
  OpResult CopyFile(const fs::path& f, const fs::path& t) override { return cut_ ? Gone() : FaultyFileOps::CopyFile(f, t); }
  OpResult MakeFolders(const fs::path& p) override { return cut_ ? Gone() : FaultyFileOps::MakeFolders(p); }

 private:
  static OpResult Gone() { return OpResult::Fail("card pulled"); }
  bool cut_ = false;
};

class CliRevert : public CliTest {
 protected:
  // A move and a renumbering, cut after the first file moved.
  void InterruptedUpdate() {
    CardSession s = Reload();
    ASSERT_TRUE(s.loaded);
    testcard::RecordingProgress progress;
    MediaCatalogue& images = s.Catalogue(MediaKind::Image);
    ASSERT_TRUE(MoveUp(images, 3));
    Renumber(s.profile, MediaKind::Image, images);
    RealFileOps real;
    CutAfterFirstMove pulled(real);
    const CommitPlan plan = PlanCommit(s, pulled);
    ASSERT_FALSE(ExecuteCommit(s, plan, pulled, progress).Ok());
    ASSERT_TRUE(card.Exists(std::string("\\") + kJournalName));
  }
};

TEST_F(CliRevert, CheckReportsTheUpdateAndRevertUndoesIt) {
  card.WriteTable(MediaKind::Image, 0, testcard::NumberedItems(MediaKind::Image, 1, 3, ".JPG", "content of ", "title "));
  const auto before = card.Snapshot();
  InterruptedUpdate();
  ASSERT_NE(card.Snapshot(), before);

  const CliRun check = RunCli({"check", Card()});
  EXPECT_EQ(check.exitCode, 1);
  EXPECT_NE(check.err.find(texts::kFindingInterrupted), std::string::npos) << check.err;
  EXPECT_NE(check.err.find("revert"), std::string::npos) << check.err;

  const CliRun revert = RunCli({"revert", Card()});
  ASSERT_EQ(revert.exitCode, 0) << revert.err;
  auto after = card.Snapshot();
  for (const char* empty : {"PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL", "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL001.TBL"})
    after.erase(empty);
  EXPECT_EQ(after, before);
  EXPECT_EQ(RunCli({"check", Card()}).exitCode, 0);

  // Nothing left to undo.
  const CliRun again = RunCli({"revert", Card()});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.err.find(cli::say::kNothingToRevert), std::string::npos) << again.err;
  EXPECT_NE(RunCli({"--help"}).out.find("fenmora-cli revert CARD"), std::string::npos);
}

}  // namespace
}  // namespace fenmora::testcli
