// Pictures for the conversion tests, made on the spot: painted with QImage and
// written as PNG, as baseline, progressive or CMYK JPEG through libjpeg, with
// an EXIF orientation, or as a GIF with several frames written byte by byte
// (Qt writes no GIF).
#pragma once

#include <QColor>
#include <QImage>

#include <string>
#include <vector>

namespace fenmora::testpic {

// A picture of width x height in one colour, or with fine noise that JPEG
// cannot compress well.
QImage Plain(int width, int height, QColor colour);
QImage Noise(int width, int height, unsigned seed = 1);

enum class JpegKind { Baseline, Progressive, Cmyk };
// A JPEG of the picture. Cmyk: four components, stored inverted as
// Photoshop and most CMYK writers do (with an Adobe marker).
std::string Jpeg(const QImage& picture, JpegKind kind, int quality = 90);
// The JPEG with an EXIF segment holding only the orientation tag (1..8).
std::string WithExifOrientation(const std::string& jpeg, int orientation);
std::string Png(const QImage& picture);
// A GIF of width x height with one frame per colour, each frame one colour.
std::string Gif(int width, int height, const std::vector<QColor>& frames);

// The picture as a HEIF file (an iPhone's HEIC with HEVC, or an AVIF with
// AV1), written by libheif; empty when libheif has no encoder for it.
std::string Heif(const QImage& picture, bool avif);

// The mean colour of a rectangle of the picture.
QColor MeanColour(const QImage& picture, int x, int y, int w, int h);

}  // namespace fenmora::testpic
