#include "editing/edit_record.h"

#include <gtest/gtest.h>

#include "editing/editing.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"

namespace fenmora {
namespace {

using testcard::TempFolder;
using testcard::WriteBytes;

// Every slot, the counters and the card space: what an undo must give back.
struct State {
  std::vector<MediaEntry> slots;
  std::int32_t count, deleted;
  std::int64_t used;
  bool operator==(const State&) const = default;
};
State Capture(const CardSession& s, MediaKind k) {
  const MediaCatalogue& c = s.Catalogue(k);
  State st{{}, c.count, c.deletedCount, s.space.used};
  for (int i = 0; i < MediaCatalogue::kSlots; ++i) st.slots.push_back(c.Slot(i));
  return st;
}

class EditRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    s.loaded = true;
    s.cardRoot = card.path();
    s.space = {1 << 20, 3000};
    MediaCatalogue& c = s.Catalogue(MediaKind::Image);
    for (const char* n : {"STIL0001.JPG", "STIL0002.JPG", "STIL0005.JPG"}) {
      MediaEntry& e = c.Slot(c.count++);
      e.position = c.count;
      e.cardName = e.sourceName = n;
      e.title = n;
      e.size = 1000;
    }
    // A leftover of an earlier, longer load behind the slots in use.
    c.Slot(7).cardName = "STIL0099.JPG";
  }
  // Runs an edit, then checks that undo gives back the state before it and
  // redo the state after it, twice over.
  void RoundTrip(const std::function<void()>& edit) {
    const State before = Capture(s, MediaKind::Image);
    const EditRecorder recorder(s, MediaKind::Image);
    edit();
    const CatalogueEdit record = recorder.Finish(s);
    const State after = Capture(s, MediaKind::Image);
    ASSERT_FALSE(before == after);
    for (int i = 0; i < 2; ++i) {
      UndoEdit(s, record);
      EXPECT_TRUE(Capture(s, MediaKind::Image) == before);
      RedoEdit(s, record);
      EXPECT_TRUE(Capture(s, MediaKind::Image) == after);
    }
  }
  CardSession s;
  TempFolder card{"fenmora-card"};
  TempFolder pc{"fenmora-pc"};
  testcard::ScriptedPrompts prompts;
};

TEST_F(EditRecord, EveryEditIsTakenBackAndMadeAgainExactly) {
  MediaCatalogue& c = s.Catalogue(MediaKind::Image);
  RoundTrip([&] { ApplyTitle(c, 2, "new"); });
  RoundTrip([&] { MoveUp(c, 3); });
  RoundTrip([&] { Renumber(s.profile, MediaKind::Image, c); });
  RoundTrip([&] { DeleteEntry(c, s.space, 1); });
  // A batch of adds, writing over the leftover slots behind the ones in use.
  RoundTrip([&] {
    FileQueue queue(s, MediaKind::Image, prompts);
    for (int i = 0; i < 6; ++i) {
      const auto f = pc.path() / ("p" + std::to_string(i) + ".jpg");
      WriteBytes(f, std::string(static_cast<size_t>(100 + i), 'x'));
      ASSERT_EQ(queue.Add(f), QueueOutcome::Queued);
    }
  });
  EXPECT_EQ(c.count, 9);
}

TEST_F(EditRecord, KeepsOnlyWhatChanged) {
  const EditRecorder recorder(s, MediaKind::Image);
  ApplyTitle(s.Catalogue(MediaKind::Image), 2, "other");
  const CatalogueEdit e = recorder.Finish(s);
  ASSERT_EQ(e.changed.size(), 1u);
  EXPECT_EQ(e.changed[0].index, 1);
  EXPECT_EQ(e.changed[0].before.title, "STIL0002.JPG");
  EXPECT_EQ(e.changed[0].after.title, "other");
  const EditRecorder unchanged(s, MediaKind::Image);
  const CatalogueEdit nothing = unchanged.Finish(s);
  EXPECT_TRUE(nothing.changed.empty());
  EXPECT_EQ(nothing.countBefore, nothing.countAfter);
  EXPECT_EQ(nothing.deletedBefore, nothing.deletedAfter);
  EXPECT_EQ(nothing.usedBefore, nothing.usedAfter);
}

}  // namespace
}  // namespace fenmora
