// Cards whose tables or folders point outside the card: loading, committing,
// backing up and checking them must never read or write a file outside, and
// must not crash.
#include <gtest/gtest.h>

#include "editing/editing.h"
#include "platform/cardpath.h"
#include "support/temp_card.h"
#include "support/scripted_prompts.h"
#include "sync/backup.h"
#include "sync/check.h"
#include "sync/commit.h"
#include "sync/load.h"

namespace fenmora {
namespace {

namespace fs = std::filesystem;

using testcard::CardItem;
using testcard::RecordingProgress;
using testcard::ScriptedPrompts;
using testcard::TempFolder;

struct Hostile {
  const char* name;  // the test's name: letters, digits and underscores
  std::function<void(const fs::path& card, const fs::path& outside)> make;
};

// A record naming a file that the table's folder does not get (the folder may
// point anywhere): six bytes long, titled "t".
CardItem Named(std::string cardName) {
  CardItem item;
  item.name = std::move(cardName);
  item.title = "t";
  item.content = "secret";
  item.createFile = false;
  return item;
}

void Table(const fs::path& card, MediaKind kind, int number, const std::string& folderText,
           const std::vector<std::string>& names) {
  std::vector<CardItem> items;
  for (const std::string& n : names) items.push_back(Named(n));
  testcard::WriteTable(card, kind, number, items, folderText);
}

const std::vector<Hostile>& Cases() {
  static const std::vector<Hostile> cases = {
      {"DotDot", [](const fs::path& c, const fs::path&) {
         Table(c, MediaKind::Image, 0, "..", {"secret.JPG"});
       }},
      {"Climbing", [](const fs::path& c, const fs::path&) {
         Table(c, MediaKind::Image, 0, "\\..\\..\\x", {"secret.JPG"});
         Table(c, MediaKind::Melody, 0, "\\PRIVATE\\..\\..\\outside", {"secret.JPG"});
       }},
      {"DriveLetter", [](const fs::path& c, const fs::path&) {
         Table(c, MediaKind::Image, 0, "C:\\x", {"STIL0001.JPG"});
       }},
      {"Absolute", [](const fs::path& c, const fs::path& o) {
         Table(c, MediaKind::Image, 0, o.string(), {"secret.JPG"});
       }},
      {"Nul", [](const fs::path& c, const fs::path&) {
         Table(c, MediaKind::Image, 0, std::string("\\..\0\\PRIVATE", 12), {"secret.JPG"});
         Table(c, MediaKind::Melody, 0, "\\PRIVATE\\DOCOMO\\RINGER",
               {std::string("..\0x.MLD", 8), "RING0001.MLD"});
       }},
      {"FolderTextOf254Bytes", [](const fs::path& c, const fs::path&) {
         Table(c, MediaKind::Image, 0, std::string(254, 'A'), {"STIL0001.JPG"});
       }},
      {"LinkedContentFolder", [](const fs::path& c, const fs::path& o) {
         fs::create_directories(c / "SD_VIDEO");
         fs::create_directory_symlink(o, c / "SD_VIDEO" / "PRL001");
         Table(c, MediaKind::Movie, 1, "\\SD_VIDEO\\PRL001", {"secret.JPG", "MOL001.3GP"});
       }},
      {"LinkedFileAndTable", [](const fs::path& c, const fs::path& o) {
         fs::create_directories(c / "PRIVATE/DOCOMO/STILL");
         fs::create_symlink(o / "secret.JPG", c / "PRIVATE/DOCOMO/STILL/STIL0001.JPG");
         fs::create_symlink(o / "missing", c / "PRIVATE/DOCOMO/STILL/STIL0002.JPG");
         Table(c, MediaKind::Image, 0, "\\PRIVATE\\DOCOMO\\STILL", {"STIL0001.JPG", "STIL0002.JPG"});
         fs::create_directories(c / "PRIVATE/DOCOMO/TABLE/RINGER");
         fs::create_symlink(o / "table", c / "PRIVATE/DOCOMO/TABLE/RINGER/RUD000.TBL");
       }},
      {"LinkedTableFolder", [](const fs::path& c, const fs::path& o) {
         fs::create_directories(c / "PRIVATE/DOCOMO/TABLE");
         fs::create_directory_symlink(o, c / "PRIVATE/DOCOMO/TABLE/STILL");
       }},
  };
  return cases;
}

class HostileCard : public ::testing::TestWithParam<size_t> {};

TEST_P(HostileCard, NothingOutsideTheCardIsTouched) {
  const Hostile& h = Cases()[GetParam()];
  TempFolder top("fenmora-hostile");
  const fs::path card = top.path() / "card";
  const fs::path outside = top.path() / "outside";
  const fs::path backups = top.path() / "backups";
  fs::create_directories(card);
  testcard::WriteBytes(outside / "secret.JPG", "secret");
  testcard::WriteBytes(outside / "MOL001.3GP", "outside movie");
  testcard::WriteBytes(outside / "x" / "secret.JPG", "deeper secret");
  testcard::WriteBytes(outside / "table", std::string(768, 'T'));
  testcard::WriteBytes(card / "PRIVATE/DOCOMO/STILL/STIL0009.JPG", "a real image");
  testcard::WriteBytes(top.path() / "new.jpg", "queued");
  h.make(card, outside);
  const auto before = testcard::SnapshotOf(outside);

  CardSession s;
  ScriptedPrompts prompts;
  prompts.ExpectLoad();
  RecordingProgress progress;
  ASSERT_TRUE(LoadCard(s, card, prompts, progress).Completed());
  for (MediaKind k : kListKinds) {
    const MediaCatalogue& c = s.Catalogue(k);
    for (int i = 0; i < c.count; ++i)
      EXPECT_TRUE(IsInside(card, *ResolveCardPath(card, c.Slot(i).sourceFolder, c.Slot(i).sourceName)));
  }
  for (MediaKind k : kListKinds) {
    if (s.Catalogue(k).LiveCount() > 0) DeleteEntry(s.Catalogue(k), s.space, 1);
    Renumber(s.profile, k, s.Catalogue(k));
  }
  QueueFileForCard(s, MediaKind::Image, top.path() / "new.jpg", prompts);
  RealFileOps ops;
  const CommitPlan plan = PlanCommit(s);
  for (const CommitStep& step : plan.steps) {
    // A table is written beside its place and renamed over it: a link in
    // its place is replaced, not followed, so its folder is what counts.
    const fs::path target =
        step.action == CommitStep::Action::WriteTable ? step.dest.parent_path() : step.dest;
    if (!target.empty()) { EXPECT_TRUE(IsInside(card, target)) << DescribeStep(plan, step); }
    if (!step.src.empty() && step.action != CommitStep::Action::CopyIn) {
      EXPECT_TRUE(IsInside(card, step.src)) << DescribeStep(plan, step);
    }
  }
  const CommitResult result = ExecuteCommit(s, plan, ops, progress);
  if (plan.blocked) {
    EXPECT_TRUE(result.stopped && !result.contentTouched);
  }
  prompts.ExpectLoad();
  ASSERT_TRUE(LoadCard(s, card, prompts, progress).Completed());
  BackupCard(card, backups, std::time(nullptr), ops, progress);
  CheckCard(s.profile, card);
  EXPECT_EQ(testcard::SnapshotOf(outside), before);
  EXPECT_EQ(testcard::ReadBytes(top.path() / "new.jpg"), "queued");
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileCard, ::testing::Range<size_t>(0, Cases().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return std::string(Cases()[info.param].name);
                         });

}  // namespace
}  // namespace fenmora
