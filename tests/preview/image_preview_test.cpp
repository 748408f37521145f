#include "preview/image_preview.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <random>
#include <vector>
#include <string>

namespace fenmora {
namespace {

TEST(PreviewFormat, GoesByTheWholeUpperCasedExtension) {
  struct Case {
    std::string name;
    PreviewFormat format;
  };
  const Case cases[] = {
      {"STIL0001.JPG", PreviewFormat::Jpeg},
      {"photo.jpg", PreviewFormat::Jpeg},
      {"a.Gif", PreviewFormat::Gif},
      {"a.b.BMP", PreviewFormat::Bmp},
      {"scan.tif", PreviewFormat::Tiff},
      {"icon.png", PreviewFormat::Png},
      {"\x95\x5C\x8E\xA6.gif", PreviewFormat::Gif},  // a CP932 name
      {"photo.jpeg", PreviewFormat::None},
      {"scan.TIFF", PreviewFormat::None},
      {"photo.jpg.txt", PreviewFormat::None},
      {"photo.jp", PreviewFormat::None},
      {"JPG", PreviewFormat::None},
      {"photo.", PreviewFormat::None},
      {"", PreviewFormat::None},
      {"melody.MID", PreviewFormat::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreviewFormatOf(c.name), c.format) << c.name;
    EXPECT_EQ(IsPreviewableImage(c.name), c.format != PreviewFormat::None) << c.name;
  }
}

// Qt reads GIFs but cannot write them: a small GIF writer for pictures of
// at most 128 colours. Its LZW stream sends a clear code every 100 pixels,
// so every code stays 8 bits wide.
QByteArray EncodeGif(const QImage& image) {
  std::vector<QRgb> palette;
  std::vector<int> indices;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      auto it = std::find(palette.begin(), palette.end(), c);
      if (it == palette.end()) {
        EXPECT_LT(palette.size(), 128u);
        palette.push_back(c);
        it = palette.end() - 1;
      }
      indices.push_back(static_cast<int>(it - palette.begin()));
    }
  palette.resize(128, qRgb(0, 0, 0));

  QByteArray gif("GIF89a");
  auto put16 = [&](int v) { gif.append(char(v & 255)).append(char(v >> 8)); };
  put16(image.width());
  put16(image.height());
  gif.append(char(0xF6)).append(char(0)).append(char(0));  // 128-entry global table
  for (QRgb c : palette) gif.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
  gif.append(char(0x2C));
  put16(0);
  put16(0);
  put16(image.width());
  put16(image.height());
  gif.append(char(0));
  gif.append(char(7));  // minimum code size: clear 128, end 129

  QByteArray data;  // 8-bit codes: one byte each
  auto code = [&](int c) { data.append(char(c)); };
  for (size_t i = 0; i < indices.size(); ++i) {
    if (i % 100 == 0) code(128);
    code(indices[i]);
  }
  code(129);
  for (int pos = 0; pos < data.size(); pos += 255) {
    const QByteArray block = data.mid(pos, 255);
    gif.append(char(block.size())).append(block);
  }
  gif.append(char(0)).append(char(0x3B));
  return gif;
}

class ImagePreview : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  // Left half red, right half blue (top-to-bottom the same).
  static QImage TwoColours(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h, Qt::red);
    p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return image;
  }

  QString Write(const QString& name, const QImage& image, const char* format) {
    if (QByteArray(format) == "GIF") return WriteBytes(name, EncodeGif(image));
    const QString path = dir_.filePath(name);
    QImageWriter writer(path, format);
    EXPECT_TRUE(writer.write(image))
        << name.toStdString() << ": " << writer.errorString().toStdString();
    return path;
  }

  QString WriteBytes(const QString& name, const QByteArray& bytes) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }

  static bool Reddish(QRgb c) { return qRed(c) > 180 && qGreen(c) < 70 && qBlue(c) < 70; }
  static bool Bluish(QRgb c) { return qBlue(c) > 180 && qRed(c) < 70 && qGreen(c) < 70; }

  QTemporaryDir dir_;
};

TEST_F(ImagePreview, EveryFormatFitsThePaneWithItsAspect) {
  const QImage wide = TwoColours(200, 100);
  const struct {
    const char* name;
    const char* format;
  } files[] = {{"a.BMP", "BMP"}, {"a.PNG", "PNG"}, {"a.GIF", "GIF"}, {"a.TIF", "TIFF"},
               {"a.JPG", "JPG"}, {"b.jpg", "JPG"}, {"b.gif", "GIF"}, {"b.Tif", "TIFF"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    const QString path = Write(QString::fromLatin1(f.name), wide, f.format);
    const QImage shown = LoadPreviewImage(path);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.width(), 145);
    EXPECT_TRUE(shown.height() == 72 || shown.height() == 73) << shown.height();
    EXPECT_TRUE(Reddish(shown.pixel(10, 36)));
    EXPECT_TRUE(Bluish(shown.pixel(135, 36)));
  }
}

TEST_F(ImagePreview, TallLargeAndSmallPictures) {
  const QImage tall = LoadPreviewImage(Write("tall.PNG", TwoColours(100, 300), "PNG"));
  EXPECT_EQ(tall.size(), QSize(48, 145));

  // A camera-sized JPEG goes through the scaled decoder and still fits exactly.
  const QImage big = LoadPreviewImage(Write("big.JPG", TwoColours(4000, 3000), "JPG"));
  EXPECT_EQ(big.size(), QSize(145, 108));
  EXPECT_TRUE(Reddish(big.pixel(5, 50)));
  EXPECT_TRUE(Bluish(big.pixel(140, 50)));

  // Smaller than the pane: shown as it is, not blown up.
  const QImage small = LoadPreviewImage(Write("small.GIF", TwoColours(40, 30), "GIF"));
  EXPECT_EQ(small.size(), QSize(40, 30));

  // Another pane size is honoured.
  const QImage other = LoadPreviewImage(Write("other.BMP", TwoColours(200, 100), "BMP"), {50, 50});
  EXPECT_EQ(other.size(), QSize(50, 25));
}

TEST_F(ImagePreview, NamesOutsideTheFiveAreNotPreviewedWhateverTheyHold) {
  const QImage image = TwoColours(60, 40);
  EXPECT_TRUE(LoadPreviewImage(Write("photo.jpeg", image, "JPG")).isNull());
  EXPECT_TRUE(LoadPreviewImage(Write("scan.tiff", image, "TIFF")).isNull());
  EXPECT_TRUE(LoadPreviewImage(Write("noext", image, "PNG")).isNull());
  EXPECT_FALSE(LoadPreviewImage(Write("photo.jpg", image, "JPG")).isNull());
}

TEST_F(ImagePreview, UndecodableFilesGiveNoPicture) {
  const QByteArray junk("this is not a picture at all, just some text bytes\n");
  for (const char* name : {"junk.JPG", "junk.BMP", "junk.PNG", "junk.GIF", "junk.TIF"})
    EXPECT_TRUE(LoadPreviewImage(WriteBytes(QString::fromLatin1(name), junk)).isNull()) << name;
  EXPECT_TRUE(LoadPreviewImage(WriteBytes("empty.JPG", {})).isNull());
  EXPECT_TRUE(LoadPreviewImage(dir_.filePath("missing.PNG")).isNull());
  ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.JPG"));
  EXPECT_TRUE(LoadPreviewImage(dir_.filePath("folder.JPG")).isNull());

  // A PNG named .JPG goes to the JPEG decoder, which refuses it.
  QFile::copy(Write("real.PNG", TwoColours(20, 20), "PNG"), dir_.filePath("fake.JPG"));
  EXPECT_TRUE(LoadPreviewImage(dir_.filePath("fake.JPG")).isNull());

  // Half a JPEG still shows what arrived.
  QImage detailed(300, 200, QImage::Format_RGB32);
  std::mt19937 rng(1);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) detailed.setPixel(x, y, rng() | 0xFF000000u);
  const QString whole = Write("whole.JPG", detailed, "JPG");
  QFile f(whole);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  const QImage half = LoadPreviewImage(WriteBytes("half.JPG", bytes.left(bytes.size() / 2)));
  EXPECT_EQ(half.size(), QSize(145, 96));
}

}  // namespace
}  // namespace fenmora
