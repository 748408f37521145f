#include "preview/jpeg_decoder.h"

#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <vector>

#include "convert/jpeg_errors.h"
#include "convert/picture.h"

namespace fenmora {

namespace {

// Progressive files may hold any number of scans; a crafted one with tens of
// thousands of tiny scans keeps libjpeg busy for minutes. Real encoders write
// at most a few dozen.
constexpr int kMaxScans = 500;
// Working memory libjpeg may take besides the output picture (a progressive
// file keeps all its coefficients: 6 bytes per pixel at full size).
constexpr long kMaxLibjpegMemory = 512L * 1024 * 1024;

// Everything the decoder owns lives here, set up before setjmp, so that a
// longjmp back never skips a destructor.
struct DecodeContext {
  jpeg_decompress_struct cinfo{};
  convert::JpegErrors err;
  jpeg_progress_mgr progress{};
  bool created = false;
  std::vector<JSAMPLE> cmykRow;
  JpegDecodeResult result;
};

extern "C" void WatchScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) convert::JpegErrors::Of(cinfo).Fail("too many scans");
}

inline int Mul255(int a, int b) { return (a * b + 127) / 255; }

// One row of CMYK samples to RGB32. Files with an Adobe APP14 marker (every
// Photoshop CMYK JPEG, and libjpeg's own) store the inks inverted, 255 meaning
// no ink; others store them plainly.
void CmykRowToRgb(const JSAMPLE* in, QRgb* out, int width, bool inverted) {
  for (int x = 0; x < width; ++x, in += 4) {
    int c = in[0], m = in[1], y = in[2], k = in[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    // Here every value is "255 minus ink".
    out[x] = qRgb(Mul255(c, k), Mul255(m, k), Mul255(y, k));
  }
}

// Runs libjpeg over the bytes. Every path that leaves this function destroys
// the decompressor exactly once.
void Decode(DecodeContext& ctx, const QByteArray& bytes, QSize fitInto) {
  jpeg_decompress_struct& cinfo = ctx.cinfo;
  JpegDecodeResult& r = ctx.result;

  cinfo.err = ctx.err.Install();

  if (setjmp(ctx.err.jump)) {
    r.ok = false;
    r.image = QImage();
    r.error = QString::fromLatin1(ctx.err.ownError ? ctx.err.ownError : ctx.err.fatalText);
    if (ctx.created) jpeg_destroy_decompress(&cinfo);
    ctx.created = false;
    return;
  }

  jpeg_create_decompress(&cinfo);
  ctx.created = true;
  cinfo.mem->max_memory_to_use = kMaxLibjpegMemory;
  ctx.progress.progress_monitor = WatchScans;
  cinfo.progress = &ctx.progress;

  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    ctx.err.Fail("no image in the data");
  }
  r.sourceSize = QSize(static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height));

  bool cmyk = false;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
      // libjpeg-turbo writes straight into QImage's 0xffRRGGBB words.
      cinfo.out_color_space =
          (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) ? JCS_EXT_BGRA : JCS_EXT_ARGB;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      cinfo.out_color_space = JCS_CMYK;  // libjpeg turns YCCK into CMYK
      cmyk = true;
      break;
    default:
      ctx.err.Fail("unsupported colour space");
  }

  int denom = 1;
  const QSize target = convert::FitSize(r.sourceSize, fitInto);
  if (target.isValid() && target != r.sourceSize) {
    for (int d : {8, 4, 2}) {
      cinfo.scale_num = 1;
      cinfo.scale_denom = static_cast<unsigned>(d);
      jpeg_calc_output_dimensions(&cinfo);
      if (static_cast<qint64>(cinfo.output_width) >= target.width() &&
          static_cast<qint64>(cinfo.output_height) >= target.height()) {
        denom = d;
        break;
      }
    }
  }
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(denom);
  jpeg_calc_output_dimensions(&cinfo);
  r.scaleDenom = denom;

  const qint64 pixels = qint64{cinfo.output_width} * qint64{cinfo.output_height};
  if (pixels <= 0 || pixels > kMaxJpegOutputPixels) {
    ctx.err.Fail("picture too large");
  }

  jpeg_start_decompress(&cinfo);
  const int width = static_cast<int>(cinfo.output_width);
  const int height = static_cast<int>(cinfo.output_height);
  r.image = QImage(width, height, QImage::Format_RGB32);
  if (r.image.isNull()) {
    ctx.err.Fail("out of memory");
  }
  if (cmyk) ctx.cmykRow.resize(static_cast<size_t>(width) * 4);

  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW row = cmyk ? ctx.cmykRow.data() : reinterpret_cast<JSAMPROW>(r.image.scanLine(y));
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) {
      // Cannot happen with an in-memory source (it never suspends), but a
      // loop that makes no progress must not spin.
      ctx.err.Fail("decoder stalled");
    }
    if (cmyk) CmykRowToRgb(row, reinterpret_cast<QRgb*>(r.image.scanLine(y)), width, inverted);
  }

  // The whole picture is out; what follows in the file cannot change it, so
  // it is not read (jpeg_finish_decompress would only raise more warnings).
  if (ctx.err.pub.num_warnings > 0) {
    r.damaged = true;
    r.error = QString::fromLatin1(ctx.err.firstWarning);
  }
  r.ok = true;
  jpeg_destroy_decompress(&cinfo);
  ctx.created = false;
}

}  // namespace

JpegDecodeResult DecodeJpeg(const QByteArray& bytes, QSize fitInto) {
  if (bytes.isEmpty()) {
    JpegDecodeResult r;
    r.error = QStringLiteral("empty data");
    return r;
  }
  // The context is big (libjpeg's structs and two message buffers) and must
  // stay put while libjpeg holds pointers into it.
  auto ctx = std::make_unique<DecodeContext>();
  Decode(*ctx, bytes, fitInto);
  return std::move(ctx->result);
}

JpegDecodeResult DecodeJpegFile(const QString& path, QSize fitInto) {
  JpegDecodeResult r;
  const QFileInfo info(path);
  if (!info.isFile()) {
    r.error = QStringLiteral("not a file: ") + path;
    return r;
  }
  if (info.size() > kMaxJpegFileBytes) {
    r.error = QStringLiteral("file too large: ") + path;
    return r;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    r.error = file.errorString();
    return r;
  }
  // Read at most one byte past the limit: the file may have grown since.
  const QByteArray bytes = file.read(kMaxJpegFileBytes + 1);
  if (bytes.size() > kMaxJpegFileBytes) {
    r.error = QStringLiteral("file too large: ") + path;
    return r;
  }
  return DecodeJpeg(bytes, fitInto);
}

}  // namespace fenmora
