// The program's own JPEG decoder, a thin layer over libjpeg (libjpeg-turbo).
//
// It decodes the partner-site banner and the JPEG previews. libjpeg's stock
// error handler prints to stderr and calls exit(); this one turns every fatal
// error into a failed result and keeps the program running, whatever the
// bytes are.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace fenmora {

struct JpegDecodeResult {
  // The picture, Format_RGB32. Null when ok is false.
  QImage image;
  // A picture came out. A file that ends early or holds damaged data still
  // gives a picture (libjpeg fills what is missing with grey); then ok is
  // true, damaged is true and error says what libjpeg complained about.
  bool ok = false;
  // libjpeg met corrupt or missing data (its num_warnings was not zero): the
  // picture is partly made up. Callers that need the exact picture must
  // treat this as a failure; a preview may show it.
  bool damaged = false;
  // Why decoding failed, or the first warning of a damaged picture.
  QString error;
  // The size stored in the file (0x0 when the header could not be read).
  QSize sourceSize;
  // The DCT scale used: the picture is sourceSize / scaleDenom, rounded up.
  // One of 1, 2, 4, 8.
  int scaleDenom = 1;
};

// Decodes JPEG bytes. With a valid fitInto the decoder picks the smallest DCT
// scale (1/8, 1/4, 1/2 or 1) whose output still covers the picture shrunk to
// fit into that box keeping its aspect ratio, so the caller's final scaling
// only ever shrinks. Pictures that already fit are decoded at full size.
// Without fitInto the picture is decoded at full size.
JpegDecodeResult DecodeJpeg(const QByteArray& bytes, QSize fitInto = {});

// Reads the file (at most kMaxJpegFileBytes) and decodes it as DecodeJpeg.
JpegDecodeResult DecodeJpegFile(const QString& path, QSize fitInto = {});

// Files above this size are not read at all.
inline constexpr qint64 kMaxJpegFileBytes = 64 * 1024 * 1024;
// Pictures whose decoded output would hold more pixels than this are refused
// before any pixel memory is taken.
inline constexpr qint64 kMaxJpegOutputPixels = qint64{1} << 25;  // 128 MB of picture

}  // namespace fenmora
