// Pictures fitted to the handset's screen: sizes, averaging, orientation and
// the encoder's output checked by parsing its markers.
#include <gtest/gtest.h>

#include <QImage>

#include "convert/jpeg_layout.h"
#include "convert/picture.h"
#include "convert/test_pictures.h"
#include "support/temp_card.h"

using namespace fenmora;
using namespace fenmora::convert;
using fenmora::testcard::TempFolder;

namespace {

QImage Decode(const std::string& bytes) {
  return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
}

// Baseline, JFIF, YCbCr 4:2:0 and nothing else before the scan but the
// tables.
void ExpectHandsetJpeg(const std::string& bytes, int width, int height) {
  const auto layout = ParseJpegLayout(bytes);
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->frame, 0xC0);
  EXPECT_EQ(layout->width, width);
  EXPECT_EQ(layout->height, height);
  EXPECT_TRUE(layout->jfif);
  ASSERT_EQ(layout->components.size(), 3u);
  EXPECT_EQ(layout->components[0].h, 2);
  EXPECT_EQ(layout->components[0].v, 2);
  for (int c = 1; c < 3; ++c) {
    EXPECT_EQ(layout->components[static_cast<size_t>(c)].h, 1);
    EXPECT_EQ(layout->components[static_cast<size_t>(c)].v, 1);
  }
  for (std::uint8_t m : layout->markers)
    EXPECT_TRUE(m == 0xE0 || m == 0xDB || m == 0xC4 || m == 0xC0 || m == 0xDA) << std::hex << int(m);
  EXPECT_EQ(std::count(layout->markers.begin(), layout->markers.end(), 0xC0), 1);
}

}  // namespace

TEST(FitSize, KeepsProportionsAndNeverEnlarges) {
  const QSize screen = PictureLimits().Screen();
  EXPECT_EQ(FitSize({4000, 3000}, screen), QSize(240, 180));  // landscape: 240 wide
  EXPECT_EQ(FitSize({3000, 4000}, screen), QSize(240, 320));
  EXPECT_EQ(FitSize({1000, 4000}, screen), QSize(80, 320));   // tall: 320 high
  EXPECT_EQ(FitSize({480, 640}, screen), QSize(240, 320));
  EXPECT_EQ(FitSize({100, 50}, screen), QSize(100, 50));      // small: as it is
  EXPECT_EQ(FitSize({240, 320}, screen), QSize(240, 320));
  EXPECT_EQ(FitSize({10000, 3}, screen), QSize(240, 1));       // never zero
  EXPECT_FALSE(FitSize({0, 10}, screen).isValid());
  // The preview's pane: parts of a pixel are cut; no box, no change.
  EXPECT_EQ(FitSize({200, 100}, {145, 145}), QSize(145, 72));
  EXPECT_EQ(FitSize({4000, 3000}, {145, 145}), QSize(145, 108));
  EXPECT_EQ(FitSize({60000, 2}, {145, 145}), QSize(145, 1));
  EXPECT_EQ(FitSize({4000, 3000}, {}), QSize(4000, 3000));
  EXPECT_EQ(FitSize({4000, 3000}, {0, 145}), QSize(4000, 3000));
}

TEST(Downscale, AveragesFinePatternsInsteadOfAliasing) {
  // One-pixel stripes, a checkerboard and stripes at a ratio that is not a
  // whole number all come out as an even grey.
  QImage stripes(960, 1280, QImage::Format_RGB32), checker(960, 1280, QImage::Format_RGB32);
  for (int y = 0; y < 1280; ++y)
    for (int x = 0; x < 960; ++x) {
      stripes.setPixel(x, y, x % 2 ? 0xFFFFFFFF : 0xFF000000);
      checker.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    }
  for (const auto& [picture, target] : {std::pair{stripes, QSize(240, 320)}, std::pair{checker, QSize(240, 320)},
                                        std::pair{stripes, QSize(233, 311)}}) {
    const QImage out = Downscale(picture, target);
    ASSERT_EQ(out.size(), target);
    int lo = 255, hi = 0;
    for (int y = 0; y < out.height(); ++y)
      for (int x = 0; x < out.width(); ++x) {
        lo = std::min(lo, qGray(out.pixel(x, y)));
        hi = std::max(hi, qGray(out.pixel(x, y)));
      }
    EXPECT_GE(lo, 124);
    EXPECT_LE(hi, 131);
  }
}

TEST(Downscale, KeepsWhereThingsAreAndLaysTransparencyOnWhite) {
  QImage picture(400, 300, QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 200; ++x) picture.setPixel(x, y, 0xFFFF0000);  // left half red
  const QImage out = Downscale(picture, {240, 180});
  EXPECT_EQ(testpic::MeanColour(out, 0, 0, 110, 180), QColor(255, 0, 0));
  EXPECT_EQ(testpic::MeanColour(out, 130, 0, 110, 180), QColor(255, 255, 255));
}

TEST(EncodeWithin, HighestQualityThatFitsAsABaselineJpeg) {
  const QImage noise = testpic::Noise(240, 320);
  const auto encoded = EncodeWithin(noise, 50000);
  ASSERT_TRUE(encoded);
  EXPECT_LE(encoded->bytes.size(), 50000u);
  ExpectHandsetJpeg(encoded->bytes, 240, 320);
  // Noise does not fit at the top quality; one step up would not fit either.
  ASSERT_LT(encoded->quality, 95);
  EXPECT_GE(encoded->quality, 30);
  EXPECT_GT(EncodeBaselineJpeg(noise, encoded->quality + 1)->size(), 50000u);
  EXPECT_EQ(*EncodeBaselineJpeg(noise, encoded->quality), encoded->bytes);

  // A plain picture fits at the top quality at once.
  const auto plain = EncodeWithin(testpic::Plain(240, 180, Qt::darkCyan), 102400);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->quality, 95);
  ExpectHandsetJpeg(plain->bytes, 240, 180);
  const QColor mean = testpic::MeanColour(Decode(plain->bytes), 0, 0, 240, 180);
  EXPECT_LE(std::abs(mean.green() - 0x80) + std::abs(mean.blue() - 0x80) + mean.red(), 4);

  // Not even the lowest quality fits: nothing.
  EXPECT_FALSE(EncodeWithin(noise, 4000));
}

TEST(JpegLayout, TellsFrameTypesComponentsAndMarkers) {
  const QImage picture = testpic::Plain(64, 48, Qt::red);
  const auto baseline = ParseJpegLayout(testpic::Jpeg(picture, testpic::JpegKind::Baseline));
  ASSERT_TRUE(baseline);
  EXPECT_EQ(baseline->frame, 0xC0);
  EXPECT_EQ(baseline->width, 64);
  EXPECT_EQ(baseline->height, 48);
  EXPECT_EQ(ParseJpegLayout(testpic::Jpeg(picture, testpic::JpegKind::Progressive))->frame, 0xC2);
  const auto cmyk = ParseJpegLayout(testpic::Jpeg(picture, testpic::JpegKind::Cmyk));
  ASSERT_TRUE(cmyk);
  EXPECT_EQ(cmyk->components.size(), 4u);
  EXPECT_TRUE(cmyk->Has(0xEE));  // Adobe
  const auto exif = ParseJpegLayout(testpic::WithExifOrientation(testpic::Jpeg(picture, testpic::JpegKind::Baseline), 6));
  ASSERT_TRUE(exif);
  EXPECT_EQ(exif->markers.front(), 0xE1);
  // Not a JPEG, or cut before its scan.
  const std::string full = testpic::Jpeg(picture, testpic::JpegKind::Baseline);
  EXPECT_FALSE(ParseJpegLayout("GIF89a"));
  EXPECT_FALSE(ParseJpegLayout(full.substr(0, 100)));
  EXPECT_FALSE(ParseJpegLayout(std::string("\xFF\xD8\xFF\xD9", 4)));
}

TEST(InspectPicture, WhatTheHandsetShowsAsItIs) {
  TempFolder pc{"fenmora-pics"};
  const PictureLimits screen;
  const QImage small = testpic::Plain(200, 150, Qt::blue);
  auto ready = [&](const std::string& name, const std::string& bytes) {
    const PictureFacts f = InspectPicture(pc.Write(name, bytes), screen);
    EXPECT_TRUE(f.readable) << name;
    return f.handsetReady;
  };
  EXPECT_TRUE(ready("ok.jpg", testpic::Jpeg(small, testpic::JpegKind::Baseline)));
  EXPECT_TRUE(ready("ok.gif", testpic::Gif(200, 150, {Qt::red, Qt::blue})));  // animated and small
  EXPECT_FALSE(ready("prog.jpg", testpic::Jpeg(small, testpic::JpegKind::Progressive)));
  EXPECT_FALSE(ready("cmyk.jpg", testpic::Jpeg(small, testpic::JpegKind::Cmyk)));
  EXPECT_FALSE(ready("wide.jpg", testpic::Jpeg(testpic::Plain(320, 240, Qt::blue), testpic::JpegKind::Baseline)));
  EXPECT_FALSE(ready("big.gif", testpic::Gif(241, 20, {Qt::red})));
  EXPECT_FALSE(ready("pic.png", testpic::Png(small)));
  EXPECT_FALSE(ready("heavy.jpg", testpic::Jpeg(testpic::Noise(240, 320), testpic::JpegKind::Baseline, 100)));
  // A stored turn: the handset would show it on its side.
  EXPECT_FALSE(ready("turned.jpg", testpic::WithExifOrientation(testpic::Jpeg(small, testpic::JpegKind::Baseline), 6)));
  // A PNG named .JPG is what its content is.
  const PictureFacts named = InspectPicture(pc.Write("fake.JPG", testpic::Png(small)), screen);
  EXPECT_EQ(named.format, "png");
  EXPECT_FALSE(named.handsetReady);
  EXPECT_FALSE(InspectPicture(pc.Write("text.jpg", "not a picture"), screen).readable);
  EXPECT_FALSE(InspectPicture(pc.path() / "missing.png", screen).readable);
}

TEST(ReadUpright, AppliesTheExifOrientation) {
  TempFolder pc{"fenmora-pics"};
  // Stored 80 x 40: left half red, right half blue. Orientation 6 turns it a
  // quarter clockwise: 40 x 80, red on top.
  QImage stored(80, 40, QImage::Format_RGB32);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) stored.setPixel(x, y, x < 40 ? 0xFFFF0000 : 0xFF0000FF);
  const auto file = pc.Write("turned.jpg", testpic::WithExifOrientation(
                                               testpic::Jpeg(stored, testpic::JpegKind::Baseline, 95), 6));
  const QImage upright = ReadUpright(file, {40, 80});
  ASSERT_EQ(upright.size(), QSize(40, 80));
  const QColor top = testpic::MeanColour(upright, 5, 5, 30, 30);
  const QColor bottom = testpic::MeanColour(upright, 5, 45, 30, 30);
  EXPECT_GT(top.red(), 200);
  EXPECT_LT(top.blue(), 60);
  EXPECT_GT(bottom.blue(), 200);
  EXPECT_LT(bottom.red(), 60);
  EXPECT_EQ(InspectPicture(file, {}).size, QSize(40, 80));
}

TEST(ReadUpright, LargeJpegDecodedReducedButNotBelowTwiceTheTarget) {
  TempFolder pc{"fenmora-pics"};
  const auto file = pc.Write("big.jpg", testpic::Jpeg(testpic::Plain(2000, 1500, Qt::green), testpic::JpegKind::Baseline));
  const QImage reduced = ReadUpright(file, {240, 180});
  EXPECT_GE(reduced.width(), 480);
  EXPECT_GE(reduced.height(), 360);
  EXPECT_LE(reduced.width(), 1000);
  const QImage whole = ReadUpright(file, {});
  EXPECT_EQ(whole.size(), QSize(2000, 1500));

  // Reduced and turned: the reduction is asked for in the stored orientation.
  QImage stored(2400, 1200, QImage::Format_RGB32);
  for (int y = 0; y < 1200; ++y)
    for (int x = 0; x < 2400; ++x) stored.setPixel(x, y, x < 1200 ? 0xFFFF0000 : 0xFF0000FF);
  const auto turned = pc.Write("turned.jpg", testpic::WithExifOrientation(
                                                 testpic::Jpeg(stored, testpic::JpegKind::Baseline), 6));
  const QSize fit = FitSize(InspectPicture(turned, {}).size, PictureLimits().Screen());
  ASSERT_EQ(fit, QSize(160, 320));
  const QImage upright = ReadUpright(turned, fit);
  EXPECT_LT(upright.width(), upright.height());
  EXPECT_GE(upright.width(), 320);
  EXPECT_LE(upright.width(), 600);
  EXPECT_GT(testpic::MeanColour(upright, 0, 0, upright.width(), upright.height() / 3).red(), 200);
  EXPECT_GT(testpic::MeanColour(upright, 0, upright.height() * 2 / 3, upright.width(), upright.height() / 3).blue(), 200);
}
