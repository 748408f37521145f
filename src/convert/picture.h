// Pictures made fit for the handset's standby screen: read with the picture's
// own orientation, fitted inside the screen, written as a baseline JPEG that
// fits the handset's byte limit.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace fenmora::convert {

// What the handset shows: a 240 x 320 portrait screen, files up to a limit.
struct PictureLimits {
  int width = 240;
  int height = 320;
  std::int64_t bytes = 102400;
  QSize Screen() const { return {width, height}; }
};

struct PictureFacts {
  bool readable = false;      // some image reader knows the content
  std::string format;         // "jpeg", "gif", "png", ... by content, not by name
  QSize size;                 // as shown, its orientation applied
  bool animated = false;      // more than one frame
  std::int64_t bytes = 0;
  bool handsetReady = false;  // the handset shows the file as it is
  bool cutShort = false;      // a JPEG whose data ends before its end marker
};

// The kind of picture the bytes at the start of a file hold, whatever its
// name says: "jpeg", "png", "gif", "bmp", "webp", "tiff", "heic", "avif";
// empty for none of them.
std::string PictureFormatOf(std::string_view head);

// Looks at the file's header only. The handset shows a baseline JPEG (grey or
// colour, no stored turn) or a GIF, within the screen and the byte limit.
PictureFacts InspectPicture(const std::filesystem::path& file, const PictureLimits& limits);

// The picture upright (its EXIF orientation applied), its first frame for an
// animation, decoded at no more than what fitting into `fit` needs: a large
// JPEG is decoded reduced by libjpeg, to at least twice the final size. A null
// image when it cannot be read.
QImage ReadUpright(const std::filesystem::path& file, QSize fit);

// The size a picture takes in `box`: shrunk to fit keeping its proportions
// (the parts cut down, as QSize::scaled does; at least one pixel each way),
// never enlarged. An invalid or empty box leaves the size as it is; an empty
// picture gives an invalid size.
QSize FitSize(QSize picture, QSize box);

// Downscaling by area averaging: every target pixel is the mean of the source
// area it covers, so fine patterns become their average instead of moiré.
// Transparent parts are laid on white. The result is RGB888.
QImage Downscale(const QImage& picture, QSize target);

// A baseline JPEG: JFIF, YCbCr 4:2:0, optimised Huffman tables, no other
// markers. nullopt when libjpeg fails.
std::optional<std::string> EncodeBaselineJpeg(const QImage& picture, int quality);

struct Encoded {
  std::string bytes;
  int quality = 0;
};

// The highest quality from `lowest` to `highest` whose file fits in
// `maxBytes`, found by bisection (the size grows with the quality); nullopt
// when not even `lowest` fits.
std::optional<Encoded> EncodeWithin(const QImage& picture, std::int64_t maxBytes,
                                    int lowest = 30, int highest = 95);

}  // namespace fenmora::convert
