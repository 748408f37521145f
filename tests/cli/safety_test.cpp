// fenmora-cli apply never writes where it should not: not over a file already
// on the card, not a name the tables cannot hold, not into a folder that is
// no card.
#include <gtest/gtest.h>

#include "cli/cli_texts.h"
#include "cli/cli_fixture.h"
#include "sync/texts.h"

namespace fenmora::testcli {
namespace {

namespace fs = std::filesystem;

class CliSafety : public CliTest {
 protected:
  std::string Ops(const std::string& text) { return PcFile("ops.txt", text); }
};

TEST_F(CliSafety, AnAddedImageLeavesAnUnlistedPictureAlone) {
  fs::create_directories(card.Host("\\PRIVATE\\DOCOMO\\TABLE\\STILL"));
  card.Write("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG", "the old picture");
  const std::string photo = PcFile("photo.jpg", "the photo");
  const CliRun run = RunCli({"apply", Card(), Ops("add image " + photo + "\n")});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "the old picture");
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0002.JPG"), "the photo");
  EXPECT_NE(run.out.find("STIL0002.JPG"), std::string::npos) << run.out;
}

TEST_F(CliSafety, AnExtensionNoRecordHoldsIsRefusedAndTheUsualOnesMapped) {
  const std::string jpeg = PcFile("photo.jpeg", "jpeg");
  const std::string bare = PcFile("noextension", "bare");
  const std::string webp = PcFile("photo.webp", "webp");
  const auto before = card.Snapshot();
  const CliRun refused = RunCli({"apply", Card(), Ops("add image " + bare + "\nadd image " + webp + "\n")});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find(texts::kUnfitExtension + bare), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find(texts::kUnfitExtension + webp), std::string::npos) << refused.err;
  // Nothing queued: the commit writes the empty first tables only.
  for (const auto& [path, bytes] : card.Snapshot())
    if (!before.count(path)) {
      EXPECT_NE(path.find("TABLE/"), std::string::npos) << path;
    }

  const CliRun mapped = RunCli({"apply", Card(), Ops("add image " + jpeg + "\n")});
  ASSERT_EQ(mapped.exitCode, 0) << mapped.err;
  EXPECT_EQ(card.Read("\\PRIVATE\\DOCOMO\\STILL\\STIL0001.JPG"), "jpeg");
  const CliRun listed = RunCli({"list", Card()});
  EXPECT_NE(listed.out.find("STIL0001.JPG"), std::string::npos) << listed.out;
}

TEST_F(CliSafety, AFolderWithoutTheCardLayoutIsWrittenOnlyWithYes) {
  testcard::TempFolder documents{"fenmora-documents"};
  testcard::WriteBytes(documents.path() / "letter.txt", "dear");
  testcard::WriteBytes(documents.path() / "private" / "notes.txt", "notes");
  const auto before = testcard::SnapshotOf(documents.path());
  const std::string ops = Ops("renumber image\n");
  const CliRun refused = RunCli({"apply", documents.path().string(), ops});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_NE(refused.err.find(Fill(cli::say::kNotACard, {documents.path().string()})), std::string::npos) << refused.err;
  EXPECT_EQ(testcard::SnapshotOf(documents.path()), before);
  // A dry run writes nothing and may look.
  EXPECT_EQ(RunCli({"apply", documents.path().string(), ops, "--dry-run"}).exitCode, 0);
  EXPECT_EQ(testcard::SnapshotOf(documents.path()), before);
  // The layout in any case of its letters is a card.
  fs::create_directories(documents.path() / "private" / "docomo");
  EXPECT_EQ(RunCli({"apply", documents.path().string(), ops}).exitCode, 0);
  testcard::TempFolder other{"fenmora-documents"};
  const CliRun yes = RunCli({"apply", other.path().string(), ops, "--yes"});
  EXPECT_EQ(yes.exitCode, 0) << yes.err;
  EXPECT_TRUE(fs::exists(other.path() / "PRIVATE" / "DOCOMO" / "TABLE" / "STILL" / "SUD000.TBL"));
}

}  // namespace
}  // namespace fenmora::testcli
