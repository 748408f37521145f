// The helper program as the window and the command line see it: a helper
// that dies, answers nonsense or is cancelled ends the task with a status
// and leaves no file; the lines it writes parse only when whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "movie/helper_protocol.h"
#include "movie/movie.h"
#include "support/temp_card.h"

namespace fs = std::filesystem;
using namespace fenmora::movie;

namespace {

// The helper the movie functions start, for one test.
class FakeHelper {
 public:
  explicit FakeHelper(const std::string& script) {
    const fs::path file = dir_.Write("helper.sh", "#!/bin/sh\n" + script);
    chmod(file.c_str(), 0755);
    setenv("FENMORA_MOVIE_HELPER", file.c_str(), 1);
  }
  ~FakeHelper() { unsetenv("FENMORA_MOVIE_HELPER"); }
  const fs::path& dir() const { return dir_.path(); }

 private:
  fenmora::testcard::TempFolder dir_{"helper"};
};

TEST(MovieHelper, AHelperThatDiesOrTalksNonsenseEndsTheTaskAndLeavesNoFile) {
  // As FFmpeg's double free does: the output begun, some progress, an abort.
  for (const std::string& end : {std::string("kill -ABRT $$\n"), std::string("echo 'facts status=99'\n"),
                                 std::string("echo 'converted 12 x 1'\n")}) {
    FakeHelper helper("if [ \"$1\" = convert ]; then printf x > \"$3\"; echo 'progress 0.5'; fi\n" + end);
    const fs::path out = helper.dir() / "out.3gp";
    double progress = 0;
    const Converted done = ConvertMovie(helper.dir() / "in.mp4", out, 2, [&](double share) {
      progress = share;
      return true;
    });
    EXPECT_EQ(done.status, Converted::Status::Failed) << end;
    EXPECT_TRUE(done.crashed) << end;
    EXPECT_EQ(progress, 0.5);
    EXPECT_FALSE(fs::exists(out)) << end;
    EXPECT_EQ(ProbeMovie(helper.dir() / "in.mp4").status, MovieFacts::Status::Crashed) << end;
    EXPECT_FALSE(PreviewFrame(helper.dir() / "in.mp4", 145, 145).valid()) << end;
  }
  FakeHelper missing("");
  setenv("FENMORA_MOVIE_HELPER", (missing.dir() / "none").c_str(), 1);
  EXPECT_EQ(ProbeMovie("x.mp4").status, MovieFacts::Status::Crashed);
}

TEST(MovieHelper, CancelEndsTheHelperAtOnce) {
  FakeHelper helper("printf x > \"$3\"\nwhile :; do echo 'progress 0.1'; sleep 1; done\n");
  const fs::path out = helper.dir() / "out.3gp";
  const auto start = std::chrono::steady_clock::now();
  const Converted done = ConvertMovie("in.mp4", out, 2, [](double) { return false; });
  EXPECT_EQ(done.status, Converted::Status::Cancelled);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_FALSE(fs::exists(out));
}

// Previews go to one helper kept running; one that dies on a file is
// replaced for the next, and one that hangs is ended by the cancel.
TEST(MovieHelper, APreviewHelperThatDiesOnAFileIsReplacedForTheNext) {
  // "crash" in hex: 6372617368. "hang": 68616e67.
  FakeHelper helper(
      "while read kind w h file; do\n"
      "  case \"$file\" in *6372617368*) kill -ABRT $$ ;; *68616e67*) sleep 60 ;; esac\n"
      "  echo \"picture 1 1 1 1 2 $(printf %06x $$ | cut -c1-6)\"\n"
      "done\n");
  const PreviewPicture first = PreviewFrame("a.mp4", 145, 145);
  ASSERT_TRUE(first.valid());
  EXPECT_EQ(PreviewFrame("b.mp4", 145, 145).rgb, first.rgb);  // the same helper
  EXPECT_FALSE(PreviewFrame("crash.mp4", 145, 145).valid());
  const PreviewPicture after = PreviewFrame("c.mp4", 145, 145);
  ASSERT_TRUE(after.valid());
  EXPECT_NE(after.rgb, first.rgb);  // another helper

  std::atomic<bool> cancel{false};
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(PreviewFrame("hang.mp4", 145, 145, &cancel).valid());
  canceller.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(PreviewFrame("d.mp4", 145, 145).valid());
}

TEST(HelperLines, WhatIsWrittenIsReadBackAndNothingElse) {
  MovieFacts f;
  f.status = MovieFacts::Status::Movie;
  f.container = "mov,mp4,m4a,3gp,3g2,mj2";
  f.brand = "qt  ";  // spaces are no word's: written as _
  f.videoCodec = "mpeg4";
  f.profileAndLevel = 8;
  f.width = 176;
  f.fps = 14.985;
  f.seconds = 12.5;
  f.cutShort = true;
  f.readableSeconds = 5.25;
  f.bytes = 5'000'000'000;
  const auto back = wire::ParseFacts(wire::FactsLine(f));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->brand, "qt__");
  EXPECT_EQ(back->container, f.container);
  EXPECT_EQ(back->profileAndLevel, 8);
  EXPECT_EQ(back->bytes, f.bytes);
  EXPECT_DOUBLE_EQ(back->fps, 14.985);
  EXPECT_TRUE(back->cutShort);
  EXPECT_DOUBLE_EQ(back->readableSeconds, 5.25);

  PreviewPicture p;
  p.width = 2, p.height = 1, p.rgb = {0, 1, 2, 253, 254, 255};
  const std::string line = wire::PictureLine(p);
  ASSERT_TRUE(wire::ParsePicture(line));
  EXPECT_EQ(wire::ParsePicture(line)->rgb, p.rgb);
  EXPECT_FALSE(wire::ParsePicture(line.substr(0, line.size() - 3)));  // cut short
  EXPECT_FALSE(wire::ParsePicture("picture 5000 5000 1 1 1 00"));

  const auto asked = wire::ParsePreviewRequest(wire::PreviewRequest("/tmp/a b\n.mp4", 145, 90));
  ASSERT_TRUE(asked);
  EXPECT_EQ(asked->file, "/tmp/a b\n.mp4");
  EXPECT_EQ(asked->width, 145);
  EXPECT_FALSE(wire::ParsePreviewRequest("preview 145 90 6"));
  EXPECT_FALSE(wire::ParsePreviewRequest("preview 0 90 61"));

  for (const char* bad : {"facts", "facts status=9", "facts status=4 width=x", "facts status=4 mp4=2",
                          "progress 1.5", "progress nan", "converted -1 0 1", "failed maybe -", ""})
    EXPECT_FALSE(wire::ParseFacts(bad) || wire::ParseProgress(bad) || wire::ParseResult(bad)) << bad;
}

}  // namespace
