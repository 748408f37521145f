// The artwork the program ships in data/ (made by tools/make-artwork.cpp).
#include <gtest/gtest.h>

#include <QDir>
#include <QImageReader>

#include "preview/jpeg_decoder.h"

namespace fenmora {
namespace {

QString DataFile(const char* name) {
  return QDir(QStringLiteral(FENMORA_DATA_DIR)).filePath(QString::fromLatin1(name));
}

TEST(ShippedArtwork, BannerDecodesCleanlyWithTheProgramsOwnDecoder) {
  const JpegDecodeResult r = DecodeJpegFile(DataFile("banner.jpg"));
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_FALSE(r.damaged) << r.error.toStdString();
  EXPECT_GE(r.image.width(), 88);
  EXPECT_LE(r.image.width(), 200);
  EXPECT_GE(r.image.height(), 31);
  EXPECT_LE(r.image.height(), 40);
}

TEST(ShippedArtwork, IconsAndGlyphsHaveTheirSizes) {
  const struct {
    const char* name;
    int size;
  } files[] = {{"icon-image.png", 32}, {"icon-melody.png", 32}, {"icon-movie.png", 32},
               {"fenmora.png", 64},    {"fenmora-32.png", 32},  {"melody-on.png", 16},
               {"melody-off.png", 16}, {"load.png", 16},        {"commit.png", 16},
               {"backup.png", 16},     {"help.png", 16}};
  for (const auto& f : files) {
    QImageReader reader(DataFile(f.name));
    const QImage image = reader.read();
    ASSERT_FALSE(image.isNull()) << f.name << ": " << reader.errorString().toStdString();
    EXPECT_EQ(image.size(), QSize(f.size, f.size)) << f.name;
    EXPECT_TRUE(image.hasAlphaChannel()) << f.name;
  }
}

}  // namespace
}  // namespace fenmora
