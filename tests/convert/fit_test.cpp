// Adding files through the conversion: what is asked, what is queued, and
// that the user's own file is only read.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utime.h>

#include "convert/fit_texts.h"
#include "convert/handset_fit.h"
#include "convert/jpeg_layout.h"
#include "convert/picture.h"
#include "convert/test_pictures.h"
#include "editing/editing.h"
#include "media/melody_title.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::convert;
using fenmora::testcard::ReadBytes;
using fenmora::testcard::ScriptedPrompts;
using fenmora::testcard::TempFolder;
namespace fs = std::filesystem;

namespace {

struct Original {
  std::string bytes;
  timespec mtime;
};

Original Look(const fs::path& p) {
  struct stat st;
  ::stat(p.c_str(), &st);
  return {ReadBytes(p), st.st_mtim};
}

// The size question about a file: its path, then its size and the limit.
std::string OversizeText(const fs::path& file, long limit) {
  return texts::kOversize + file.string() + "\n" + texts::kSizeLabel + std::to_string(fs::file_size(file)) +
         texts::kLimitLabel + std::to_string(limit) + texts::kBytes;
}

class Fitting : public ::testing::Test {
 protected:
  void SetUp() override {
    s.loaded = true;
    s.cardRoot = card.path();
    s.space = {64 * 1024 * 1024, 0};
  }
  QueueOutcome Add(MediaKind kind, const fs::path& file) {
    FileQueue queue(s, kind, prompts);
    HandsetFit fit(s.profile, temp.path());
    return AddFitted(queue, fit, kind, file, prompts);
  }
  const MediaEntry& Last(MediaKind kind) { return s.Catalogue(kind).Slot(s.Catalogue(kind).count - 1); }
  fs::path SourceOf(const MediaEntry& e) { return fs::path(e.sourceFolder) / e.sourceName; }
  QImage Queued(MediaKind kind) {
    const std::string bytes = ReadBytes(SourceOf(Last(kind)));
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
  }
  void ExpectBaseline(const MediaEntry& e, int w, int h) {
    const auto layout = ParseJpegLayout(ReadBytes(SourceOf(e)));
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->frame, 0xC0);
    EXPECT_EQ(layout->components.size(), 3u);
    EXPECT_EQ(QSize(layout->width, layout->height), QSize(w, h));
  }

  CardSession s;
  TempFolder card{"fenmora-card"};
  TempFolder pc{"fenmora-pc"};
  TempFolder temp{"fenmora-session"};
  ScriptedPrompts prompts;
};

// A melody of `notes` notes in two tracks, with a lyric for every note and a
// parameter dump every 16 notes.
std::string LongMelody(int notes, const std::string& title) {
  auto be = [](std::uint32_t v, int n) {
    std::string o;
    for (int i = n - 1; i >= 0; --i) o.push_back(static_cast<char>(v >> (8 * i)));
    return o;
  };
  auto track = [&](const std::string& body) { return "MTrk" + be(static_cast<std::uint32_t>(body.size() + 4), 4) + body + std::string("\0\xFF\x2F\0", 4); };
  std::string head = std::string("\0\xFF\x03", 3) + static_cast<char>(title.size()) + title +
                     std::string("\0\xFF\x51\x03\x07\xA1\x20", 7);
  std::string body = std::string("\0\xC0\x05", 3);
  for (int i = 0; i < notes; ++i) {
    const char note = static_cast<char>(48 + i % 24);
    body += std::string("\0\xFF\x05\x04lala", 8);
    if (i % 16 == 0) body += std::string("\0\xF0\x41", 3) + std::string(64, '\x10') + "\xF7";
    body += std::string{'\0', '\x90', note, '\x64', '\x60', '\x80', note, '\x40'};
  }
  return "MThd" + be(6, 4) + be(1, 2) + be(2, 2) + be(96, 2) + track(head) + track(body);
}

}  // namespace

TEST_F(Fitting, PhotoConvertedIntoTheSessionFolderAndQueuedUnderItsOwnTitle) {
  const fs::path photo = pc.Write("写真.png", testpic::Png(testpic::Plain(1600, 1200, Qt::darkYellow)));
  const std::time_t taken = testcard::LocalTime(2004, 2, 14, 10, 20, 0);
  const utimbuf times{taken, taken};
  ASSERT_EQ(::utime(photo.c_str(), &times), 0);
  const Original before = Look(photo);
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes);
  ASSERT_EQ(Add(MediaKind::Image, photo), QueueOutcome::Queued);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{texts::kConvertPicture + photo.string()});

  const MediaEntry& e = Last(MediaKind::Image);
  EXPECT_EQ(e.cardName, "STIL0001.JPG");
  EXPECT_EQ(e.title, "\x8e\xca\x90\x5e");  // the file's name in CP932, without its extension
  EXPECT_EQ(fs::path(e.sourceFolder), temp.path() / "");
  EXPECT_TRUE(e.queued);
  EXPECT_EQ(e.dateText, "2004:02:14 10:20:00");  // the photo's date, not the copy's
  const fs::path copy = SourceOf(e);
  EXPECT_EQ(copy.extension(), ".jpg");
  EXPECT_EQ(e.size, static_cast<std::int32_t>(fs::file_size(copy)));
  EXPECT_LE(e.size, 102400);
  EXPECT_EQ(s.space.used, e.size);
  ExpectBaseline(e, 240, 180);
  // The user's file: the same bytes, the same time.
  const Original after = Look(photo);
  EXPECT_EQ(after.bytes, before.bytes);
  EXPECT_EQ(after.mtime.tv_sec, before.mtime.tv_sec);
  EXPECT_EQ(after.mtime.tv_nsec, before.mtime.tv_nsec);

  // The same name again from another folder: a second copy, the first kept.
  const fs::path again = pc.Write("sub/写真.png", testpic::Png(testpic::Plain(300, 400, Qt::red)));
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes);
  ASSERT_EQ(Add(MediaKind::Image, again), QueueOutcome::Queued);
  EXPECT_NE(SourceOf(Last(MediaKind::Image)), copy);
  EXPECT_TRUE(fs::exists(copy));
  EXPECT_EQ(Last(MediaKind::Image).cardName, "STIL0002.JPG");
  ExpectBaseline(Last(MediaKind::Image), 240, 320);
}

TEST_F(Fitting, NoToAFormatTheHandsetDoesNotShowRefusesItAndSaysWhy) {
  const fs::path photo = pc.Write("big.png", testpic::Png(testpic::Plain(640, 480, Qt::blue)));
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::No);
  prompts.ExpectOk();
  EXPECT_EQ(Add(MediaKind::Image, photo), QueueOutcome::Skipped);
  // Never the size question with a limit of 0 for a PNG.
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{texts::kConvertPicture + photo.string(),
                                                       texts::kNotHandsetFormat[0] + photo.string()}));
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 0);
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST_F(Fitting, ProgressiveAndCmykJpegsBecomeBaselineInTheirColours) {
  for (const auto kind : {testpic::JpegKind::Progressive, testpic::JpegKind::Cmyk}) {
    const fs::path file = pc.Write("red.jpg", testpic::Jpeg(testpic::Plain(200, 150, Qt::red), kind));
    prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes);
    // Both become the same baseline picture: the second is a copy of the
    // first item, asked about.
    if (kind == testpic::JpegKind::Cmyk) prompts.Expect(Prompts::Question::Duplicate, Prompts::Answer::Yes);
    ASSERT_EQ(Add(MediaKind::Image, file), QueueOutcome::Queued);
    ExpectBaseline(Last(MediaKind::Image), 200, 150);  // small: not enlarged
    const QColor mean = testpic::MeanColour(Queued(MediaKind::Image), 0, 0, 200, 150);
    EXPECT_GT(mean.red(), 230);
    EXPECT_LT(mean.green() + mean.blue(), 40);
  }
}

TEST_F(Fitting, AnimatedGifOverTheScreenGivesItsFirstFrameAfterSayingSo) {
  const fs::path gif = pc.Write("anim.gif", testpic::Gif(300, 200, {Qt::red, Qt::blue}));
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes).ExpectOk(texts::kAnimationLost + gif.string());
  ASSERT_EQ(Add(MediaKind::Image, gif), QueueOutcome::Queued);
  ASSERT_EQ(prompts.asked().size(), 2u);
  EXPECT_EQ(prompts.asked()[1].text, texts::kAnimationLost + gif.string());
  EXPECT_EQ(prompts.asked()[1].buttons, Prompts::Buttons::Ok);
  EXPECT_EQ(Last(MediaKind::Image).cardName, "STIL0001.JPG");
  ExpectBaseline(Last(MediaKind::Image), 240, 160);
  const QColor mean = testpic::MeanColour(Queued(MediaKind::Image), 0, 0, 240, 160);
  EXPECT_GT(mean.red(), 230);
  EXPECT_LT(mean.blue(), 30);
}

TEST_F(Fitting, WhatTheHandsetShowsIsQueuedAsItIsWithoutAQuestion) {
  const fs::path gif = pc.Write("small.gif", testpic::Gif(120, 80, {Qt::red, Qt::blue}));
  const fs::path jpg = pc.Write("small.jpg", testpic::Jpeg(testpic::Plain(240, 320, Qt::gray), testpic::JpegKind::Baseline));
  ASSERT_EQ(Add(MediaKind::Image, gif), QueueOutcome::Queued);
  EXPECT_EQ(SourceOf(Last(MediaKind::Image)), gif);
  EXPECT_EQ(Last(MediaKind::Image).cardName, "STIL0001.GIF");
  ASSERT_EQ(Add(MediaKind::Image, jpg), QueueOutcome::Queued);
  EXPECT_EQ(SourceOf(Last(MediaKind::Image)), jpg);
  // Not a picture at all: the old way (its size question).
  const fs::path text = pc.Write("notes.jpg", std::string(200000, 'x'));
  prompts.Expect(Prompts::Question::Oversize, Prompts::Answer::No);
  EXPECT_EQ(Add(MediaKind::Image, text), QueueOutcome::Skipped);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{OversizeText(text, 102400)});
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST_F(Fitting, AFullListIsSaidBeforeAnythingIsConverted) {
  MediaCatalogue& c = s.Catalogue(MediaKind::Image);
  for (int i = 0; i < MediaCatalogue::kSlots; ++i) {
    c.Slot(i).cardName = "STIL" + std::to_string(10000 + i) + ".JPG";
    c.Slot(i).position = i + 1;
  }
  c.count = MediaCatalogue::kSlots;
  const fs::path png = pc.Write("one.png", testpic::Png(testpic::Plain(400, 300, Qt::red)));
  prompts.ExpectOk();
  EXPECT_EQ(Add(MediaKind::Image, png), QueueOutcome::Full);
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].buttons, Prompts::Buttons::Ok);
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST_F(Fitting, RefusedWhenNotEvenTheLowestQualityFits) {
  for (auto& rule : s.profile.Kind(MediaKind::Image).extensions) rule.maxSize = 3000;
  const fs::path noise = pc.Write("noise.png", testpic::Png(testpic::Noise(240, 320)));
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes).ExpectOk(texts::kPictureTooLarge + noise.string());
  EXPECT_EQ(Add(MediaKind::Image, noise), QueueOutcome::Skipped);
  EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{texts::kConvertPicture + noise.string(),
                                                       texts::kPictureTooLarge + noise.string()}));
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 0);
  EXPECT_EQ(s.space.used, 0);
}

// The kind of a picture is its bytes': under a handset name (.jpg) an
// iPhone's HEIC or an AVIF photo is decoded by the helper program and
// converted (one it cannot read is named), a PNG is offered the conversion,
// and a JPEG cut short says so; nothing else of them reaches the card.
TEST_F(Fitting, APictureIsKnownByItsBytesNotByItsName) {
  using namespace std::string_literals;
  for (const bool avif : {false, true}) {
    const QColor colour = avif ? QColor(40, 180, 60) : QColor(200, 40, 40);
    const std::string heif = testpic::Heif(testpic::Plain(800, 600, colour), avif);
    ASSERT_FALSE(heif.empty()) << "libheif has no encoder, avif " << avif;
    const fs::path photo = pc.Write(avif ? "PXL_0002.JPG" : "IMG_0001.jpg", heif);
    EXPECT_EQ(PictureFormatOf(heif), avif ? "avif" : "heic");
    EXPECT_TRUE(ConvertiblePicture(MediaKind::Image, photo));
    prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes, texts::kConvertPicture + photo.string());
    ASSERT_EQ(Add(MediaKind::Image, photo), QueueOutcome::Queued);
    const QImage made(QString::fromStdString(SourceOf(Last(MediaKind::Image)).string()));
    EXPECT_EQ(made.size(), QSize(240, 180));
    const QColor mean = testpic::MeanColour(made, 0, 0, 240, 180);
    EXPECT_NEAR(mean.red(), colour.red(), 12);
    EXPECT_NEAR(mean.green(), colour.green(), 12);
  }
  const std::string broken = "\0\0\0\x18" "ftypheic\0\0\0\0mif1heic"s + std::string(300, '\x11');
  const fs::path unreadable = pc.Write("IMG_0003.jpg", broken);
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes)
      .ExpectOk(texts::PictureFormatNotRead("HEIC") + unreadable.string());
  EXPECT_EQ(Add(MediaKind::Image, unreadable), QueueOutcome::Skipped);

  const fs::path png = pc.Write("small.jpg", testpic::Png(testpic::Plain(100, 80, Qt::blue)));
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::No)
      .ExpectOk(texts::Of(texts::kNotHandsetFormat, MediaKind::Image) + png.string());
  EXPECT_EQ(Add(MediaKind::Image, png), QueueOutcome::Skipped);

  const std::string whole = testpic::Jpeg(testpic::Noise(200, 150), testpic::JpegKind::Baseline);
  const fs::path cut = pc.Write("cut.jpg", whole.substr(0, whole.size() * 2 / 3));
  prompts.ExpectOk(texts::kPictureCutShort + cut.string());
  EXPECT_EQ(Add(MediaKind::Image, cut), QueueOutcome::Skipped);
  // The whole one is the handset's as it is: no question.
  EXPECT_EQ(Add(MediaKind::Image, pc.Write("whole.jpg", whole)), QueueOutcome::Queued);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 3);
}

TEST_F(Fitting, LongMelodySlimmedAndQueuedWithItsTitle) {
  const std::string title = "\x83\x65\x83\x58\x83\x67";  // CP932
  const fs::path midi = pc.Write("long.mid", LongMelody(2500, title));
  ASSERT_GT(fs::file_size(midi), 40960u);
  const Original before = Look(midi);
  prompts.Expect(Prompts::Question::SlimMelody, Prompts::Answer::Yes);
  ASSERT_EQ(Add(MediaKind::Melody, midi), QueueOutcome::Queued);
  EXPECT_EQ(prompts.Texts(), std::vector<std::string>{texts::kSlimMelody + midi.string()});
  const MediaEntry& e = Last(MediaKind::Melody);
  EXPECT_EQ(e.cardName, "RING0001.MID");
  EXPECT_EQ(e.title, title);
  EXPECT_LE(e.size, 40960);
  EXPECT_EQ(fs::path(e.sourceFolder), temp.path() / "");
  EXPECT_EQ(ReadSmfTrackName(SourceOf(e)), title);
  EXPECT_EQ(Look(midi).bytes, before.bytes);
}

TEST_F(Fitting, MelodyStillTooLargeGoesSlimmedToTheSizeQuestionWithItsSlimmedSize) {
  const fs::path midi = pc.Write("huge.smf", LongMelody(9000, "x"));
  prompts.Expect(Prompts::Question::SlimMelody, Prompts::Answer::Yes)
      .ExpectOk(texts::kMelodyStillLarge + midi.string())
      .Expect(Prompts::Question::Oversize, Prompts::Answer::Yes);
  ASSERT_EQ(Add(MediaKind::Melody, midi), QueueOutcome::Queued);
  const MediaEntry& e = Last(MediaKind::Melody);
  const auto slimmed = fs::file_size(SourceOf(e));
  EXPECT_LT(slimmed, fs::file_size(midi));
  EXPECT_GT(slimmed, 40960u);
  // The question names the user's file and the size of what would be queued.
  EXPECT_EQ(prompts.Texts(),
            (std::vector<std::string>{texts::kSlimMelody + midi.string(), texts::kMelodyStillLarge + midi.string(),
                                      texts::kOversize + midi.string() + "\n" + texts::kSizeLabel +
                                          std::to_string(slimmed) + texts::kLimitLabel + "40960" + texts::kBytes}));
  EXPECT_EQ(fs::path(e.sourceFolder), temp.path() / "");
  EXPECT_EQ(e.cardName, "RING0001.MID");
  EXPECT_EQ(e.userFile, midi.string());
}

// A melody that slimming cannot make smaller (nothing but notes, running
// status already): the user's own file goes to the size question, never a
// copy as large as it or larger.
TEST_F(Fitting, AMelodySlimmingCannotShrinkGoesAsItIsToTheSizeQuestion) {
  std::string body = std::string("\0\x90", 2);
  for (int i = 0; i < 12000; ++i) {
    const char note = static_cast<char>(48 + i % 24);
    body += std::string{note, '\x64', '\x60', note, '\0', '\0'};
  }
  body += std::string("\xFF\x2F\0", 3);  // after the last note's delta time
  auto be = [](std::uint32_t v, int n) {
    std::string o;
    for (int i = n - 1; i >= 0; --i) o.push_back(static_cast<char>(v >> (8 * i)));
    return o;
  };
  const fs::path midi = pc.Write("dense.mid", "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(96, 2) + "MTrk" +
                                                  be(static_cast<std::uint32_t>(body.size()), 4) + body);
  prompts.Expect(Prompts::Question::SlimMelody, Prompts::Answer::Yes)
      .ExpectOk(texts::kMelodyStillLarge + midi.string())
      .Expect(Prompts::Question::Oversize, Prompts::Answer::Yes);
  ASSERT_EQ(Add(MediaKind::Melody, midi), QueueOutcome::Queued);
  EXPECT_EQ(SourceOf(Last(MediaKind::Melody)), midi);
  EXPECT_EQ(Last(MediaKind::Melody).size, static_cast<std::int64_t>(fs::file_size(midi)));
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

// A FIFO with a picture's or a melody's name is refused before the
// conversion looks at it (reading it would wait for a writer for ever); no
// question is asked and nothing is converted.
TEST_F(Fitting, AFifoIsRefusedBeforeTheConversionOpensIt) {
  testcard::WatchedFifo picture(pc.path() / "sunset.png");
  testcard::WatchedFifo melody(pc.path() / "song.mid");
  prompts.ExpectOk(texts::kNotAPlainFile + picture.str()).ExpectOk(texts::kNotAPlainFile + melody.str());
  EXPECT_EQ(Add(MediaKind::Image, picture.path()), QueueOutcome::Skipped);
  EXPECT_EQ(Add(MediaKind::Melody, melody.path()), QueueOutcome::Skipped);
  EXPECT_FALSE(ConvertiblePicture(MediaKind::Image, picture.path()));
  EXPECT_FALSE(picture.Opened());
  EXPECT_FALSE(melody.Opened());
  EXPECT_EQ(prompts.asked().size(), 2u);
  EXPECT_TRUE(fs::is_empty(temp.path()));
}

// The session folders of programs that ended without removing theirs (a
// killed window) go once they have lain two days; a living program's, a
// recent one and a folder of someone else's stay.
TEST(SessionFolders, OnlyThoseOfEndedProgramsUntouchedForTwoDaysAreRemoved) {
  TempFolder temporary{"fenmora-tmp"};
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(72);
  auto make = [&](const std::string& name, bool marked) {
    const fs::path folder = temporary.path() / name;
    fs::create_directories(folder);
    testcard::WriteBytes(folder / "1-photo.jpg", "converted");
    if (marked) testcard::WriteBytes(folder / ".fenmora-session", "");
    for (const fs::directory_entry& e : fs::directory_iterator(folder)) fs::last_write_time(e.path(), old);
    fs::last_write_time(folder, old);
    return folder;
  };
  const fs::path killed = make("fenmora-killed", true);
  const fs::path living = make("fenmora-living", true);
  const fs::path foreign = make("fenmora-card-test", false);
  const fs::path recent = make("fenmora-recent", true);
  testcard::WriteBytes(recent / "2-melody.mid", "just now");
  const int held = ::open((living / ".fenmora-session").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_SH), 0);

  convert::RemoveLeftSessionFolders(temporary.path(), temporary.path() / "fenmora-own");
  ::close(held);
  EXPECT_FALSE(fs::exists(killed));
  EXPECT_TRUE(fs::exists(living / "1-photo.jpg"));
  EXPECT_TRUE(fs::exists(foreign / "1-photo.jpg"));
  EXPECT_TRUE(fs::exists(recent / "1-photo.jpg"));
}
