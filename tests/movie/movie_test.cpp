// The movie module on videos made by the tests: what the probe says, the
// preview picture, and converted files judged by the probe and by their
// pictures against the source's.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cmath>

#include "movie/movie.h"
#include "movie/test_movies.h"
#include "support/temp_card.h"

namespace fs = std::filesystem;
using namespace fenmora::movie;
using fenmora::movie::test::MakeMovie;
using fenmora::movie::test::DecodedLuma;
using fenmora::movie::test::PatternLuma;
using fenmora::movie::test::Psnr;
using fenmora::movie::test::SourceMovie;

namespace {

// The luma of a preview picture.
std::vector<std::uint8_t> Luma(const PreviewPicture& p) {
  std::vector<std::uint8_t> y(static_cast<std::size_t>(p.width) * p.height);
  for (std::size_t i = 0; i < y.size(); ++i)
    y[i] = static_cast<std::uint8_t>((p.rgb[3 * i] * 77 + p.rgb[3 * i + 1] * 150 + p.rgb[3 * i + 2] * 29) >> 8);
  return y;
}

// Mean luma of a rectangle of a frame.
double Mean(const std::vector<std::uint8_t>& y, int w, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int j = y0; j < y1; ++j)
    for (int i = x0; i < x1; ++i) sum += y[static_cast<std::size_t>(j) * w + i];
  return sum / ((x1 - x0) * (y1 - y0));
}

void ExpectHandsetForm(const fs::path& file, double seconds, std::int64_t limit = 307200) {
  const MovieFacts f = ProbeMovie(file);
  ASSERT_EQ(f.status, MovieFacts::Status::Movie);
  EXPECT_TRUE(f.mp4Family);
  EXPECT_EQ(f.videoCodec, "mpeg4");
  EXPECT_EQ(f.videoProfile, FF_PROFILE_MPEG4_SIMPLE);
  EXPECT_EQ(f.videoLevel, 0);
  EXPECT_EQ(f.width, 176);
  EXPECT_EQ(f.height, 144);
  EXPECT_NEAR(f.fps, 15, 0.01);
  EXPECT_EQ(f.audioCodec, "amr_nb");
  EXPECT_EQ(f.sampleRate, 8000);
  EXPECT_EQ(f.channels, 1);
  EXPECT_TRUE(f.moovBeforeMdat);
  EXPECT_LE(f.bytes, limit);
  EXPECT_NEAR(f.seconds, seconds, 0.15);
  EXPECT_TRUE(HandsetPlays(f, {.maxBytes = limit}));
}

class MovieTest : public ::testing::Test {
 protected:
  fs::path Source(const std::string& name, const SourceMovie& m) {
    const fs::path file = dir_.path() / name;
    EXPECT_TRUE(MakeMovie(file, m)) << name;
    return file;
  }
  fenmora::testcard::TempFolder dir_{"movie"};
};

TEST_F(MovieTest, LandscapeVideoBecomesTheHandsetsFormWithBarsAndItsPicture) {
  const fs::path src = Source("phone.mp4", {.seconds = 2});
  const MovieFacts in = ProbeMovie(src);
  ASSERT_EQ(in.status, MovieFacts::Status::Movie);
  EXPECT_FALSE(HandsetPlays(in));
  EXPECT_EQ(in.width, 1280);
  EXPECT_NEAR(in.fps, 60, 1);

  const fs::path out = dir_.path() / "out.3gp";
  double last = 0;
  const Converted done = ConvertMovie(src, out, in.seconds, [&](double share) {
    EXPECT_GE(share, last);
    last = share;
    return true;
  });
  ASSERT_EQ(done.status, Converted::Status::Done) << done.detail;
  EXPECT_LE(done.videoRate, 64000);
  ExpectHandsetForm(out, 2);

  // 16:9 inside 176 x 144: 176 x 98 (even) from row 22, black bars above and below.
  int w = 0, h = 0;
  const auto frames = DecodedLuma(out, w, h);
  ASSERT_EQ(frames.size(), 30u);  // 2 seconds at 15 a second
  for (std::size_t k : {3u, 15u, 29u}) {
    const auto& y = frames[k];
    EXPECT_LT(Mean(y, w, 0, 0, w, 20), 20) << "top bar, frame " << k;
    EXPECT_LT(Mean(y, w, 0, h - 20, w, h), 20) << "bottom bar, frame " << k;
    const auto reference = PatternLuma(176, 98, static_cast<double>(k) / 15);
    EXPECT_GT(Psnr(y.data() + 22 * w, w, reference, 176, 98), 30) << "frame " << k;
  }
}

TEST_F(MovieTest, PortraitVideoStandsInsideTheFrame) {
  // Stored upright, and stored lying with the turn in its display matrix.
  for (const SourceMovie& m : {SourceMovie{.width = 360, .height = 640, .fps = 30, .seconds = 1},
                               SourceMovie{.width = 640, .height = 360, .fps = 30, .seconds = 1, .rotation = 90}}) {
    const fs::path src = Source("portrait.mp4", m);
    const fs::path out = dir_.path() / "portrait.3gp";
    ASSERT_EQ(ConvertMovie(src, out, 1, nullptr).status, Converted::Status::Done);
    ExpectHandsetForm(out, 1);
    int w = 0, h = 0;
    const auto frames = DecodedLuma(out, w, h);
    ASSERT_FALSE(frames.empty());
    const auto& y = frames[5];
    // 144 high makes 81 wide, 80 even: columns 48 to 127 hold the picture.
    EXPECT_LT(Mean(y, w, 0, 0, 44, h), 20);
    EXPECT_LT(Mean(y, w, 132, 0, w, h), 20);
    EXPECT_GT(Mean(y, w, 52, 0, 124, h), 50);
    // The gradient runs left to right across the upright picture.
    EXPECT_LT(Mean(y, w, 52, 0, 60, 30), Mean(y, w, 116, 0, 124, 30)) << "rotation " << m.rotation;
  }
}

TEST_F(MovieTest, ALengthTheLimitCannotHoldIsCutToTheSecondsThatFit) {
  const HandsetMovie small{.maxBytes = 20000};
  EXPECT_EQ(FittingLength(2, small), 2);
  const double fits = FittingLength(4, small);
  EXPECT_EQ(fits, 3);
  EXPECT_EQ(FittingLength(30, HandsetMovie{}), 30);
  EXPECT_LT(FittingLength(300, HandsetMovie{}), 70);
  EXPECT_EQ(FittingLength(1e12, HandsetMovie{}), FittingLength(300, HandsetMovie{}));  // a length no file has

  const fs::path src = Source("long.mkv", {.width = 320, .height = 240, .fps = 30, .seconds = 4, .container = "matroska"});
  const fs::path out = dir_.path() / "cut.3gp";
  const Converted done = ConvertMovie(src, out, fits, nullptr, small);
  ASSERT_EQ(done.status, Converted::Status::Done) << done.detail;
  EXPECT_GE(done.videoRate, small.minVideoRate * 3 / 4);
  ExpectHandsetForm(out, 3, small.maxBytes);
}

TEST_F(MovieTest, SilentSourceGetsASilentTrackAndHandsetFormIsRecognised) {
  const fs::path silent = Source("silent.mp4", {.width = 320, .height = 240, .fps = 25, .seconds = 1, .sound = false});
  EXPECT_FALSE(ProbeMovie(silent).hasAudio);
  const fs::path out = dir_.path() / "silent.3gp";
  ASSERT_EQ(ConvertMovie(silent, out, 1, nullptr).status, Converted::Status::Done);
  ExpectHandsetForm(out, 1);

  const fs::path ready = Source("ready.3gp", {.width = 176, .height = 144, .fps = 15, .seconds = 1,
                                              .videoCodec = "mpeg4", .audioCodec = "libopencore_amrnb",
                                              .container = "3gp", .videoRate = 48000});
  EXPECT_TRUE(HandsetPlays(ProbeMovie(ready)));
  // The same too large, too fast, or in another container: not as it is.
  EXPECT_FALSE(HandsetPlays(ProbeMovie(ready), {.maxBytes = 1000}));
  const fs::path fast = Source("fast.3gp", {.width = 176, .height = 144, .fps = 30, .seconds = 1,
                                            .videoCodec = "mpeg4", .audioCodec = "libopencore_amrnb",
                                            .container = "3gp", .videoRate = 48000});
  EXPECT_FALSE(HandsetPlays(ProbeMovie(fast)));
  const fs::path mkv = Source("ready.mkv", {.width = 176, .height = 144, .fps = 15, .seconds = 1,
                                            .videoCodec = "mpeg4", .audioCodec = "libopencore_amrnb",
                                            .container = "matroska", .videoRate = 48000});
  EXPECT_FALSE(HandsetPlays(ProbeMovie(mkv)));
}

TEST_F(MovieTest, CancelStopsSoonAndLeavesNoFile) {
  const fs::path src = Source("cancel.mp4", {.width = 640, .height = 360, .fps = 30, .seconds = 3});
  const fs::path out = dir_.path() / "cancel.3gp";
  int calls = 0;
  double stoppedAt = -1;
  const Converted done = ConvertMovie(src, out, 3, [&](double share) {
    if (share >= 0.3 && stoppedAt < 0) stoppedAt = share;
    ++calls;
    return stoppedAt < 0;
  });
  EXPECT_EQ(done.status, Converted::Status::Cancelled);
  EXPECT_FALSE(fs::exists(out));
  EXPECT_LT(stoppedAt, 0.5);
}

TEST_F(MovieTest, BrokenFilesAreToldApartAndNeverConverted) {
  const fs::path good = Source("good.mp4", {.width = 320, .height = 240, .fps = 30, .seconds = 1});
  const std::string bytes = fenmora::testcard::ReadBytes(good);
  auto write = [&](const std::string& name, const std::string& content) { return dir_.Write(name, content); };
  // No moov box (it is at the end of a file made without faststart).
  const fs::path cut = write("cut.mp4", bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(ProbeMovie(cut).status, MovieFacts::Status::Broken);
  EXPECT_EQ(ProbeMovie(write("empty.mp4", "")).status, MovieFacts::Status::Broken);
  EXPECT_EQ(ProbeMovie(write("text.3gp", "not a movie at all\n")).status, MovieFacts::Status::Unknown);
  EXPECT_EQ(ProbeMovie(dir_.path() / "missing.mp4").status, MovieFacts::Status::Broken);
  const fs::path tone = Source("tone.m4a", {.video = false, .container = "ipod"});
  EXPECT_EQ(ProbeMovie(tone).status, MovieFacts::Status::NoVideo);

  // A frame of 12000 x 12000 claimed by the headers: never decoded.
  const fs::path tiny = Source("tiny.avi", {.width = 16, .height = 16, .fps = 5, .seconds = 0.4, .sound = false,
                                            .videoCodec = "rawvideo", .container = "avi"});
  ASSERT_EQ(ProbeMovie(tiny).status, MovieFacts::Status::Movie);
  const fs::path huge = write("huge.avi", fenmora::movie::test::WithFrameSize(fenmora::testcard::ReadBytes(tiny), 12000, 12000));
  EXPECT_EQ(ProbeMovie(huge).status, MovieFacts::Status::FrameTooLarge);

  const fs::path out = dir_.path() / "out.3gp";
  for (const fs::path& bad : {cut, huge}) {
    EXPECT_EQ(ConvertMovie(bad, out, 1, nullptr).status, Converted::Status::Failed) << bad;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(PreviewFrame(bad, 145, 145).valid()) << bad;
  }
  EXPECT_EQ(ProbeMovieBytes(bytes).status, MovieFacts::Status::Movie);
  EXPECT_EQ(ProbeMovieBytes(bytes.substr(0, 100)).status, MovieFacts::Status::Broken);
}

TEST_F(MovieTest, PreviewShowsAFrameFittedIntoThePane) {
  const fs::path src = Source("preview.mp4", {.seconds = 2});
  const PreviewPicture p = PreviewFrame(src, 145, 145);
  ASSERT_TRUE(p.valid());
  EXPECT_EQ(p.width, 145);
  EXPECT_EQ(p.height, 82);
  EXPECT_EQ(p.frameWidth, 1280);
  EXPECT_EQ(p.frameHeight, 720);
  EXPECT_NEAR(p.seconds, 2, 0.1);
  EXPECT_EQ(LengthText(p.seconds), "0:02");
  EXPECT_EQ(LengthText(3725), "1:02:05");
  // The frame a tenth of the way in: the square where the pattern has it.
  const auto luma = Luma(p);
  EXPECT_GT(Psnr(luma.data(), p.width, PatternLuma(p.width, p.height, 0.2), p.width, p.height), 22);

  // Black up to 0.6 s (a tenth is 0.2 s): the first frame that is not black.
  const fs::path fade = Source("fade.mp4", {.width = 320, .height = 240, .fps = 10, .seconds = 2, .blackUntil = 0.6});
  const PreviewPicture f = PreviewFrame(fade, 160, 120);
  ASSERT_TRUE(f.valid());
  const auto fadeLuma = Luma(f);
  EXPECT_GT(Psnr(fadeLuma.data(), f.width, PatternLuma(f.width, f.height, 0.6), f.width, f.height), 22);
}

}  // namespace
