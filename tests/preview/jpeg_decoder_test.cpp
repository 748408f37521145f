#include "preview/jpeg_decoder.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QFile>
#include <QPainter>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include <jpeglib.h>

namespace fenmora {
namespace {

QByteArray Encode(const QImage& image, const char* format = "JPG", bool progressive = false) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  writer.setQuality(90);
  writer.setProgressiveScanWrite(progressive);
  EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
  return bytes;
}

// Four quadrants: red, green / blue, white.
QImage Quadrants(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.fillRect(0, 0, w / 2, h / 2, Qt::red);
  p.fillRect(w / 2, 0, w - w / 2, h / 2, Qt::green);
  p.fillRect(0, h / 2, w / 2, h - h / 2, Qt::blue);
  p.fillRect(w / 2, h / 2, w - w / 2, h - h / 2, Qt::white);
  return image;
}

// Detail everywhere, so that the file is long and every part of it matters.
QImage Noise(int w, int h, unsigned seed) {
  QImage image(w, h, QImage::Format_RGB32);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < w; ++x) line[x] = qRgb(rng() & 255, (x * 255) / w, (y * 255) / h);
  }
  return image;
}

::testing::AssertionResult Near(QRgb actual, QColor expected, int tolerance = 24) {
  const int d = std::max({std::abs(qRed(actual) - expected.red()),
                          std::abs(qGreen(actual) - expected.green()),
                          std::abs(qBlue(actual) - expected.blue())});
  if (d <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got rgb(" << qRed(actual) << "," << qGreen(actual) << "," << qBlue(actual)
         << "), expected rgb(" << expected.red() << "," << expected.green() << ","
         << expected.blue() << ")";
}

// A 4-component JPEG written by libjpeg itself: one colour, given as ink
// amounts (0 no ink, 255 full). `adobe` writes the APP14 marker and stores
// the inks inverted as Adobe's programs do; `ycck` also transforms them.
QByteArray EncodeCmyk(int w, int h, const unsigned char ink[4], bool adobe, bool ycck) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  jpeg_mem_dest(&cinfo, &out, &outSize);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
  cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(w) * 4);
  for (int x = 0; x < w; ++x)
    for (int c = 0; c < 4; ++c) row[x * 4 + c] = adobe ? 255 - ink[c] : ink[c];
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(outSize));
  std::free(out);
  return bytes;
}

TEST(JpegDecoder, DecodesColourAndGreyAtFullSize) {
  const JpegDecodeResult colour = DecodeJpeg(Encode(Quadrants(64, 48)));
  ASSERT_TRUE(colour.ok) << colour.error.toStdString();
  EXPECT_FALSE(colour.damaged);
  EXPECT_EQ(colour.image.size(), QSize(64, 48));
  EXPECT_EQ(colour.sourceSize, QSize(64, 48));
  EXPECT_EQ(colour.scaleDenom, 1);
  EXPECT_EQ(colour.image.format(), QImage::Format_RGB32);
  EXPECT_TRUE(Near(colour.image.pixel(8, 8), Qt::red));
  EXPECT_TRUE(Near(colour.image.pixel(56, 8), Qt::green));
  EXPECT_TRUE(Near(colour.image.pixel(8, 40), Qt::blue));
  EXPECT_TRUE(Near(colour.image.pixel(56, 40), Qt::white));
  EXPECT_EQ(qAlpha(colour.image.pixel(8, 8)), 255);

  QImage grey(40, 20, QImage::Format_Grayscale8);
  grey.fill(0);
  for (int y = 0; y < 20; ++y) std::memset(grey.scanLine(y) + 20, 200, 20);
  const JpegDecodeResult g = DecodeJpeg(Encode(grey));
  ASSERT_TRUE(g.ok) << g.error.toStdString();
  EXPECT_TRUE(Near(g.image.pixel(5, 10), QColor(0, 0, 0), 12));
  EXPECT_TRUE(Near(g.image.pixel(35, 10), QColor(200, 200, 200), 12));
}

TEST(JpegDecoder, PicksTheSmallestDctScaleThatStillFillsThePane) {
  struct Case {
    QSize source;
    int denom;
    QSize output;
  };
  // 4000x3000 needs 145x108: 1/8 gives 500x375. 1160x870 at 1/8 gives
  // exactly 145 wide; 1152x864 at 1/8 would be 144 wide, one short.
  const Case cases[] = {
      {{4000, 3000}, 8, {500, 375}}, {{1160, 870}, 8, {145, 109}}, {{1152, 864}, 4, {288, 216}},
      {{1000, 750}, 4, {250, 188}},  {{400, 300}, 2, {200, 150}},  {{200, 150}, 1, {200, 150}},
      {{120, 90}, 1, {120, 90}},     {{2400, 300}, 8, {300, 38}},
  };
  for (const Case& c : cases) {
    const QByteArray bytes = Encode(Quadrants(c.source.width(), c.source.height()));
    const JpegDecodeResult r = DecodeJpeg(bytes, {145, 145});
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.scaleDenom, c.denom) << c.source.width() << "x" << c.source.height();
    EXPECT_EQ(r.image.size(), c.output) << c.source.width() << "x" << c.source.height();
    EXPECT_EQ(r.sourceSize, c.source);
    // The scaled picture is still the same picture.
    EXPECT_TRUE(Near(r.image.pixel(2, 2), Qt::red));
    EXPECT_TRUE(Near(r.image.pixel(r.image.width() - 3, r.image.height() - 3), Qt::white));
  }
  const JpegDecodeResult full = DecodeJpeg(Encode(Quadrants(1000, 750)));
  EXPECT_EQ(full.scaleDenom, 1);
  EXPECT_EQ(full.image.size(), QSize(1000, 750));
}

TEST(JpegDecoder, ScalesProgressiveFiles) {
  const QByteArray bytes = Encode(Quadrants(1600, 1200), "JPG", /*progressive=*/true);
  const JpegDecodeResult r = DecodeJpeg(bytes, {145, 145});
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.scaleDenom, 8);
  EXPECT_EQ(r.image.size(), QSize(200, 150));
  EXPECT_TRUE(Near(r.image.pixel(20, 130), Qt::blue));
}

TEST(JpegDecoder, TruncatedFileKeepsThePartThatArrivedAndIsMarkedDamaged) {
  const QByteArray whole = Encode(Noise(256, 256, 7));
  const JpegDecodeResult reference = DecodeJpeg(whole);
  ASSERT_TRUE(reference.ok);
  ASSERT_FALSE(reference.damaged);

  const JpegDecodeResult half = DecodeJpeg(whole.left(whole.size() / 2));
  ASSERT_TRUE(half.ok) << half.error.toStdString();
  EXPECT_TRUE(half.damaged);
  EXPECT_FALSE(half.error.isEmpty());
  ASSERT_EQ(half.image.size(), QSize(256, 256));
  // The first rows came from real data and match the whole file's picture.
  for (int y = 0; y < 16; ++y)
    EXPECT_EQ(std::memcmp(half.image.constScanLine(y), reference.image.constScanLine(y), 1024), 0)
        << "row " << y;

  // Cut inside the header: no picture at all.
  const JpegDecodeResult header = DecodeJpeg(whole.left(40));
  EXPECT_FALSE(header.ok);
  EXPECT_TRUE(header.image.isNull());
  EXPECT_FALSE(header.error.isEmpty());
}

TEST(JpegDecoder, RefusesWhatIsNotAJpeg) {
  const QByteArray png = Encode(Quadrants(32, 32), "PNG");
  const QByteArray inputs[] = {QByteArray(), png, QByteArray("\xFF\xD8", 2),
                               QByteArray(5000, '\0'), QByteArray("\xFF\xD8\xFF\xD9", 4)};
  for (const QByteArray& bytes : inputs) {
    const JpegDecodeResult r = DecodeJpeg(bytes, {145, 145});
    EXPECT_FALSE(r.ok) << bytes.size();
    EXPECT_TRUE(r.image.isNull());
    EXPECT_FALSE(r.error.isEmpty());
  }
}

TEST(JpegDecoder, SurvivesCorruptBytes) {
  const QByteArray original = Encode(Noise(96, 64, 3));
  std::mt19937 rng(12345);
  int decoded = 0;
  for (int round = 0; round < 300; ++round) {
    QByteArray bytes = original;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) bytes[static_cast<int>(rng() % bytes.size())] = char(rng());
    if (round % 3 == 0) bytes.truncate(static_cast<int>(rng() % bytes.size()));
    const JpegDecodeResult r = DecodeJpeg(bytes, round % 2 ? QSize(24, 24) : QSize());
    if (!r.ok) {
      EXPECT_TRUE(r.image.isNull());
      EXPECT_FALSE(r.error.isEmpty());
      continue;
    }
    ++decoded;
    // Whatever came out is a whole picture of the size the header promised.
    ASSERT_FALSE(r.image.isNull());
    EXPECT_EQ(r.image.width(), (r.sourceSize.width() + r.scaleDenom - 1) / r.scaleDenom);
    EXPECT_EQ(r.image.height(), (r.sourceSize.height() + r.scaleDenom - 1) / r.scaleDenom);
  }
  EXPECT_GT(decoded, 0);  // the damage did not simply kill every header
}

// A valid 16x16 file whose frame header is made to claim another size.
QByteArray WithClaimedSize(int w, int h) {
  QByteArray bytes = Encode(Quadrants(16, 16));
  const int sof = bytes.indexOf(QByteArray("\xFF\xC0", 2));
  EXPECT_GT(sof, 0);
  bytes[sof + 5] = char(h >> 8);
  bytes[sof + 6] = char(h & 255);
  bytes[sof + 7] = char(w >> 8);
  bytes[sof + 8] = char(w & 255);
  return bytes;
}

TEST(JpegDecoder, LimitsTheOutputNotTheSource) {
  const JpegDecodeResult huge = DecodeJpeg(WithClaimedSize(60000, 60000), {145, 145});
  EXPECT_FALSE(huge.ok);
  EXPECT_EQ(huge.sourceSize, QSize(60000, 60000));
  EXPECT_TRUE(huge.image.isNull());

  const QByteArray big = WithClaimedSize(20000, 20000);
  EXPECT_FALSE(DecodeJpeg(big).ok);  // 400 million pixels at full size
  // For the pane it is 2500 x 2500, which is fine; the data runs out early.
  const JpegDecodeResult scaled = DecodeJpeg(big, {145, 145});
  ASSERT_TRUE(scaled.ok) << scaled.error.toStdString();
  EXPECT_TRUE(scaled.damaged);
  EXPECT_EQ(scaled.scaleDenom, 8);
  EXPECT_EQ(scaled.image.size(), QSize(2500, 2500));
}

TEST(JpegDecoder, CmykComesOutInTheRightColours) {
  const unsigned char red[4] = {0, 255, 255, 0};        // magenta + yellow
  const unsigned char darkBlue[4] = {255, 255, 0, 128};  // cyan + magenta + half black
  struct Variant {
    bool adobe, ycck;
  };
  for (const Variant v : {Variant{true, false}, Variant{false, false}, Variant{true, true}}) {
    SCOPED_TRACE(::testing::Message() << "adobe " << v.adobe << " ycck " << v.ycck);
    const JpegDecodeResult r = DecodeJpeg(EncodeCmyk(32, 16, red, v.adobe, v.ycck));
    ASSERT_TRUE(r.ok) << r.error.toStdString();
    EXPECT_EQ(r.image.size(), QSize(32, 16));
    EXPECT_TRUE(Near(r.image.pixel(16, 8), QColor(255, 0, 0)));
    const JpegDecodeResult b = DecodeJpeg(EncodeCmyk(64, 64, darkBlue, v.adobe, v.ycck), {16, 16});
    ASSERT_TRUE(b.ok) << b.error.toStdString();
    EXPECT_EQ(b.scaleDenom, 4);
    EXPECT_TRUE(Near(b.image.pixel(8, 8), QColor(0, 0, 127)));
  }
}

TEST(JpegDecoder, ReadsFilesAndRefusesWhatIsNotOne) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("写真.JPG"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Encode(Quadrants(800, 600)));
  }
  const JpegDecodeResult r = DecodeJpegFile(path, {145, 145});
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.image.size(), QSize(200, 150));

  EXPECT_FALSE(DecodeJpegFile(dir.filePath(QStringLiteral("missing.JPG"))).ok);
  EXPECT_FALSE(DecodeJpegFile(dir.path()).ok);
  EXPECT_FALSE(DecodeJpegFile(QString()).ok);
}

}  // namespace
}  // namespace fenmora
