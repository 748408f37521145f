// Adding movies through the conversion: what is asked, what is queued, and
// that the user's own file is only read.
#include <gtest/gtest.h>

#include "convert/handset_fit.h"
#include "convert/movie_texts.h"
#include "editing/editing.h"
#include "movie/movie.h"
#include "movie/test_movies.h"
#include "platform/cp932.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::convert;
using fenmora::movie::test::MakeMovie;
using fenmora::movie::test::SourceMovie;
using fenmora::testcard::ReadBytes;
using fenmora::testcard::ScriptedPrompts;
using fenmora::testcard::TempFolder;
using Question = Prompts::Question;
using Answer = Prompts::Answer;
namespace fs = std::filesystem;

namespace {

class MovieFitting : public ::testing::Test {
 protected:
  void SetUp() override {
    s.loaded = true;
    s.cardRoot = card.path();
    s.space = {64 * 1024 * 1024, 0};
  }
  fs::path Source(const std::string& name, const SourceMovie& m) {
    const fs::path file = pc.path() / name;
    EXPECT_TRUE(MakeMovie(file, m));
    return file;
  }
  // The handset's limit for movies, made smaller to try long movies quickly.
  void Limit(std::int32_t bytes) {
    for (ExtensionRule& rule : s.profile.Kind(MediaKind::Movie).extensions) rule.maxSize = bytes;
  }
  QueueOutcome Add(const fs::path& file) {
    FileQueue queue(s, MediaKind::Movie, prompts);
    HandsetFit fit(s.profile, temp.path());
    return AddFitted(queue, fit, MediaKind::Movie, file, prompts);
  }
  int Queued() const { return s.Catalogue(MediaKind::Movie).count; }
  const MediaEntry& Last() { return s.Catalogue(MediaKind::Movie).Slot(Queued() - 1); }
  fs::path SourceOf(const MediaEntry& e) { return fs::path(e.sourceFolder) / e.sourceName; }

  CardSession s;
  TempFolder card{"fenmora-card"};
  TempFolder pc{"fenmora-pc"};
  TempFolder temp{"fenmora-session"};
  ScriptedPrompts prompts;
};

TEST_F(MovieFitting, PhoneVideoIsConvertedIntoTheSessionFolderUnderItsOwnTitle) {
  const fs::path clip = Source("運動会.mp4", {.width = 640, .height = 360, .fps = 30, .seconds = 2});
  const std::string before = ReadBytes(clip);
  prompts.Expect(Question::ConvertMovie, Answer::Yes, texts::kConvertMovie + clip.string());
  ASSERT_EQ(Add(clip), QueueOutcome::Queued);
  const MediaEntry& e = Last();
  EXPECT_EQ(e.cardName, "MOL001.3GP");
  EXPECT_EQ(e.title, Utf8ToCp932("運動会"));
  EXPECT_EQ(fs::path(e.sourceFolder).parent_path(), temp.path());
  const movie::MovieFacts out = movie::ProbeMovie(SourceOf(e));
  EXPECT_TRUE(movie::HandsetPlays(out));
  EXPECT_NEAR(out.seconds, 2, 0.15);
  EXPECT_EQ(e.size, static_cast<std::int64_t>(fs::file_size(SourceOf(e))));
  EXPECT_EQ(ReadBytes(clip), before);
}

TEST_F(MovieFitting, NoLeavesTheFileToTheSizeQuestion) {
  Limit(1000);
  const fs::path clip = Source("clip.mp4", {.width = 320, .height = 240, .fps = 30, .seconds = 1});
  prompts.Expect(Question::ConvertMovie, Answer::No).Expect(Question::Oversize, Answer::No);
  EXPECT_EQ(Add(clip), QueueOutcome::Skipped);
  EXPECT_EQ(Queued(), 0);
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST_F(MovieFitting, AMovieTooLongIsCutToTheSecondsTheQuestionNames) {
  Limit(20000);  // 3 seconds at the lowest rate
  const fs::path clip = Source("long.mkv", {.width = 320, .height = 240, .fps = 30, .seconds = 4, .container = "matroska"});
  const std::string keep = texts::KeepMovieStart("0:04", 3) + clip.string();
  EXPECT_NE(keep.find("最初の 3 秒だけ変換しますか？"), std::string::npos);
  prompts.Expect(Question::ConvertMovie, Answer::Yes).Expect(Question::KeepMovieStart, Answer::No, keep);
  EXPECT_EQ(Add(clip), QueueOutcome::Skipped);
  EXPECT_EQ(Queued(), 0);
  EXPECT_TRUE(fs::is_empty(temp.path()));

  prompts.Expect(Question::ConvertMovie, Answer::Yes).Expect(Question::KeepMovieStart, Answer::Yes, keep);
  ASSERT_EQ(Add(clip), QueueOutcome::Queued);
  EXPECT_LE(Last().size, 20000);
  EXPECT_NEAR(movie::ProbeMovie(SourceOf(Last())).seconds, 3, 0.15);
}

TEST_F(MovieFitting, AMovieInTheHandsetsFormIsQueuedAsItIs) {
  const fs::path ready = Source("ready.3gp", {.width = 176, .height = 144, .fps = 15, .seconds = 1,
                                              .videoCodec = "mpeg4", .audioCodec = "libopencore_amrnb",
                                              .container = "3gp", .videoRate = 48000, .indexFirst = true});
  ASSERT_EQ(Add(ready), QueueOutcome::Queued);  // no question
  EXPECT_EQ(SourceOf(Last()), ready);
  EXPECT_EQ(Last().cardName, "MOL001.3GP");
  // The same bytes named as a camera names them: the card name the tables hold.
  const fs::path mov = pc.Write("ready.MOV", ReadBytes(ready));
  prompts.Expect(Question::Duplicate, Answer::Yes);  // the list holds these bytes
  ASSERT_EQ(Add(mov), QueueOutcome::Queued);
  EXPECT_EQ(SourceOf(Last()), mov);
  EXPECT_EQ(Last().cardName, "MOL002.3GP");
  EXPECT_EQ(Last().title, "ready");
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST_F(MovieFitting, BrokenMoviesAreNamedAndNotQueued) {
  const std::string whole = ReadBytes(Source("whole.mp4", {.width = 320, .height = 240, .fps = 30, .seconds = 1}));
  const fs::path cut = pc.Write("cut.mp4", whole.substr(0, whole.size() / 2));
  const fs::path tone = Source("tone.m4a", {.video = false, .container = "ipod"});
  const fs::path tiny = Source("tiny.avi", {.width = 16, .height = 16, .fps = 5, .seconds = 0.4, .sound = false,
                                            .videoCodec = "rawvideo", .container = "avi"});
  const fs::path huge = pc.Write("huge.avi", movie::test::WithFrameSize(ReadBytes(tiny), 12000, 12000));
  prompts.ExpectOk(texts::kMovieBroken + cut.string())
      .ExpectOk(texts::kMovieNoVideo + tone.string())
      .ExpectOk(texts::kMovieFrameTooLarge + huge.string());
  EXPECT_EQ(Add(cut), QueueOutcome::Skipped);
  EXPECT_EQ(Add(tone), QueueOutcome::Skipped);
  EXPECT_EQ(Add(huge), QueueOutcome::Skipped);
  EXPECT_EQ(Queued(), 0);
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

}  // namespace
