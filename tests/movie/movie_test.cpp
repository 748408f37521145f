// The movie module on videos made by the tests: what the probe says, the
// preview picture, and converted files judged by the probe and by their
// pictures against the source's.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
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

// The sizes (bits) of the video packets of a file, in order.
std::vector<std::int64_t> VideoPacketBits(const fs::path& file) {
  std::vector<std::int64_t> bits;
  AVFormatContext* ic = nullptr;
  if (avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return bits;
  avformat_find_stream_info(ic, nullptr);
  const int vs = av_find_best_stream(ic, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVPacket* p = av_packet_alloc();
  while (vs >= 0 && av_read_frame(ic, p) >= 0) {
    if (p->stream_index == vs) bits.push_back(8LL * p->size);
    av_packet_unref(p);
  }
  av_packet_free(&p);
  avformat_close_input(&ic);
  return bits;
}

// Level 0's rate and buffer, walked frame by frame: the video buffer (full
// when the picture starts) fills at 64 kbit/s, each frame takes its bits out,
// and it never runs dry; the average is at most 64 kbit/s too.
void ExpectLevel0Rate(const fs::path& file, int fps = 15) {
  const std::vector<std::int64_t> bits = VideoPacketBits(file);
  ASSERT_FALSE(bits.empty());
  const HandsetMovie level0;
  double buffer = level0.videoBuffer, total = 0;
  for (std::size_t k = 0; k < bits.size(); ++k) {
    buffer -= static_cast<double>(bits[k]);
    ASSERT_GE(buffer, 0) << "frame " << k << " of " << file;
    buffer = std::min<double>(level0.videoBuffer, buffer + static_cast<double>(level0.maxVideoRate) / fps);
    total += static_cast<double>(bits[k]);
  }
  EXPECT_LE(total / (static_cast<double>(bits.size()) / fps), level0.maxVideoRate) << file;
}

void ExpectHandsetForm(const fs::path& file, double seconds, std::int64_t limit = 307200) {
  const MovieFacts f = ProbeMovie(file);
  ASSERT_EQ(f.status, MovieFacts::Status::Movie);
  EXPECT_TRUE(f.mp4Family);
  EXPECT_EQ(f.videoCodec, "mpeg4");
  EXPECT_EQ(f.videoProfile, FF_PROFILE_MPEG4_SIMPLE);
  EXPECT_EQ(f.profileAndLevel, kSimpleLevel0);
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
  ExpectLevel0Rate(file);
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

TEST_F(MovieTest, SilentSourceGetsASilentTrack) {
  const fs::path silent = Source("silent.mp4", {.width = 320, .height = 240, .fps = 25, .seconds = 1, .sound = false});
  EXPECT_FALSE(ProbeMovie(silent).hasAudio);
  const fs::path out = dir_.path() / "silent.3gp";
  ASSERT_EQ(ConvertMovie(silent, out, 1, nullptr).status, Converted::Status::Done);
  ExpectHandsetForm(out, 1);
}

// "Plays as it is" holds everything the conversion guarantees; any one
// constraint missed and the file is offered conversion.
TEST_F(MovieTest, OnlyAFileMeetingEveryConstraintPlaysAsItIs) {
  const SourceMovie ready{.width = 176, .height = 144, .fps = 15, .seconds = 1, .videoCodec = "mpeg4",
                          .audioCodec = "libopencore_amrnb", .container = "3gp", .videoRate = 48000,
                          .indexFirst = true};
  const MovieFacts facts = ProbeMovie(Source("ready.3gp", ready));
  EXPECT_TRUE(HandsetPlays(facts));
  EXPECT_FALSE(HandsetPlays(facts, {.maxBytes = 1000}));

  const std::pair<const char*, SourceMovie> misses[] = {
      {"30 fps", [&] { SourceMovie m = ready; m.fps = 30; return m; }()},
      {"reserved level byte 0x00", [&] { SourceMovie m = ready; m.profileAndLevel = 0x00; return m; }()},
      {"video over 64 kbit/s", [&] { SourceMovie m = ready; m.videoRate = 400000; m.noise = true; return m; }()},
      {"AAC sound", [&] { SourceMovie m = ready; m.audioCodec = "aac"; return m; }()},
      {"index after the data", [&] { SourceMovie m = ready; m.indexFirst = false; return m; }()},
      {"QuickTime", [&] { SourceMovie m = ready; m.container = "mov"; return m; }()},
      {"Matroska", [&] { SourceMovie m = ready; m.container = "matroska"; return m; }()},
  };
  for (const auto& [what, m] : misses) {
    const MovieFacts f = ProbeMovie(Source("miss.3gp", m));
    EXPECT_EQ(f.status, MovieFacts::Status::Movie) << what;
    EXPECT_FALSE(HandsetPlays(f)) << what;
  }
}

// The clip that made FFmpeg's second pass refuse its rate and abort: noise
// at QCIF. Even the coarsest picture is over level 0's rate: the conversion
// says so, and the helper does not crash.
TEST_F(MovieTest, ANoisyHighMotionClipEndsInAStatusNotACrash) {
  const fs::path src = Source("noise.3gp", {.width = 176, .height = 144, .fps = 15, .seconds = 3,
                                            .videoCodec = "mpeg4", .audioCodec = "libopencore_amrnb",
                                            .container = "3gp", .videoRate = 1200000, .noise = true});
  const fs::path out = dir_.path() / "noise-out.3gp";
  const Converted done = ConvertMovie(src, out, 3, nullptr);
  EXPECT_FALSE(done.crashed);
  EXPECT_EQ(done.status, Converted::Status::Failed);
  EXPECT_EQ(done.detail, "rate");
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(MovieTest, SoundThatStartsLateIsPlacedByItsTimestamps) {
  const fs::path src = Source("late.mp4", {.width = 320, .height = 240, .fps = 30, .seconds = 2, .soundStart = 0.478});
  const fs::path out = dir_.path() / "late.3gp";
  ASSERT_EQ(ConvertMovie(src, out, 2, nullptr).status, Converted::Status::Done);
  int rate = 0;
  const std::vector<float> sound = fenmora::movie::test::DecodedSound(out, rate);
  ASSERT_EQ(rate, 8000);
  const auto first = std::find_if(sound.begin(), sound.end(), [](float v) { return std::abs(v) > 0.05f; });
  ASSERT_NE(first, sound.end());
  EXPECT_NEAR(static_cast<double>(first - sound.begin()) / rate, 0.478, 0.02);
}

// What is left is short and grainy: the level's buffer, spent at the start,
// would take the average over the level's rate, and the movie was refused as
// too busy although the coarsest picture is far under it.
TEST_F(MovieTest, AFileCutShortIsConvertedAsFarAsItsFramesGoAndNoFurther) {
  const std::string whole = fenmora::testcard::ReadBytes(
      Source("whole.mp4", {.width = 320, .height = 240, .fps = 30, .seconds = 4, .indexFirst = true, .grain = 24}));
  const fs::path cut = dir_.Write("cut.mp4", whole.substr(0, whole.size() / 2));
  const MovieFacts f = ProbeMovie(cut);
  ASSERT_EQ(f.status, MovieFacts::Status::Movie);
  EXPECT_NEAR(f.seconds, 4, 0.1);
  EXPECT_TRUE(f.cutShort);
  EXPECT_GT(f.readableSeconds, 1);
  EXPECT_LT(f.readableSeconds, 3.5);
  EXPECT_FALSE(HandsetPlays(f));

  const fs::path out = dir_.path() / "cut.3gp";
  const Converted done = ConvertMovie(cut, out, 4, nullptr);
  ASSERT_EQ(done.status, Converted::Status::Done) << done.detail;
  EXPECT_GE(done.seconds, f.readableSeconds - 0.1);
  EXPECT_LE(done.seconds, f.readableSeconds + 0.6);  // the last frame's own time at most
  ExpectHandsetForm(out, done.seconds);
}

TEST_F(MovieTest, ALiveRecordingWithoutALengthIsMeasuredByReadingIt) {
  const fs::path live = Source("live.webm", {.width = 320, .height = 240, .fps = 30, .seconds = 2,
                                             .videoCodec = "libvpx", .audioCodec = "libvorbis",
                                             .container = "webm", .videoRate = 400000, .live = true});
  const MovieFacts f = ProbeMovie(live);
  ASSERT_EQ(f.status, MovieFacts::Status::Movie);
  EXPECT_NEAR(f.seconds, 2, 0.1);
  const fs::path out = dir_.path() / "live.3gp";
  ASSERT_EQ(ConvertMovie(live, out, f.seconds, nullptr).status, Converted::Status::Done);
  ExpectHandsetForm(out, 2);
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
    const Converted refused = ConvertMovie(bad, out, 1, nullptr);
    EXPECT_EQ(refused.status, Converted::Status::Failed) << bad;
    EXPECT_EQ(refused.detail, "open") << bad;  // not read, never "too busy"
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(PreviewFrame(bad, 145, 145).valid()) << bad;
  }
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
