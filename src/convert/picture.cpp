#include "convert/picture.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "convert/jpeg_errors.h"
#include "convert/jpeg_layout.h"

namespace fenmora::convert {

namespace fs = std::filesystem;

namespace {

QString QtPath(const fs::path& file) { return QFile::decodeName(QByteArray(file.c_str())); }

// Enough of the file for its markers up to the first scan, EXIF and ICC
// segments included (each under 64 KB).
std::string ReadHead(const fs::path& file, size_t limit) {
  QFile f(QtPath(file));
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.read(static_cast<qint64>(limit)).toStdString();
}

// A JPEG's coded data reaches the end-of-image marker (FF D9 cannot occur
// inside coded data, where FF is followed by 00 or a restart marker). Read in
// pieces from the first scan on.
bool JpegComplete(const fs::path& file, std::size_t scanData) {
  QFile f(QtPath(file));
  if (!f.open(QIODevice::ReadOnly) || !f.seek(static_cast<qint64>(scanData))) return false;
  bool afterFF = false;
  for (;;) {
    const QByteArray piece = f.read(1 << 16);
    if (piece.isEmpty()) return false;
    for (const char c : piece) {
      if (afterFF && static_cast<unsigned char>(c) == 0xD9) return true;
      afterFF = static_cast<unsigned char>(c) == 0xFF;
    }
  }
}

bool JpegReady(const std::string& head) {
  const auto layout = ParseJpegLayout(head);
  if (!layout || layout->frame != 0xC0) return false;  // progressive, extended, lossless, ...
  return layout->components.size() == 1 || layout->components.size() == 3;  // not CMYK
}

}  // namespace

std::string PictureFormatOf(std::string_view h) {
  auto starts = [&](std::string_view magic, std::size_t at = 0) {
    return h.size() >= at + magic.size() && h.substr(at, magic.size()) == magic;
  };
  if (starts("\xFF\xD8\xFF")) return "jpeg";
  if (starts("\x89PNG\r\n\x1A\n")) return "png";
  if (starts("GIF87a") || starts("GIF89a")) return "gif";
  if (starts("BM")) return "bmp";
  if (starts("RIFF") && starts("WEBP", 8)) return "webp";
  if (starts("II*\0") || starts("MM\0*")) return "tiff";
  // HEIF (HEIC, AVIF): an ISO media file whose ftyp box names an image brand,
  // as its major brand or among its compatible ones.
  if (starts("ftyp", 4)) {
    std::size_t size = 0;
    for (int i = 0; i < 4; ++i) size = size << 8 | static_cast<unsigned char>(h[i]);
    size = std::min(size, h.size());
    bool heic = false;
    for (std::size_t at = 8; at + 4 <= size; at += 4) {
      if (at == 12) continue;  // the minor version
      const std::string_view brand = h.substr(at, 4);
      if (brand == "avif" || brand == "avis") return "avif";
      if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" || brand == "hevc" ||
          brand == "hevx" || brand == "mif1" || brand == "msf1")
        heic = true;
    }
    if (heic) return "heic";
  }
  return {};
}

PictureFacts InspectPicture(const fs::path& file, const PictureLimits& limits) {
  PictureFacts facts;
  const std::string head = ReadHead(file, 256 * 1024);
  facts.format = PictureFormatOf(head);
  QImageReader reader(QtPath(file));
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);
  if (!reader.canRead()) return facts;
  facts.readable = true;
  if (facts.format.empty()) facts.format = reader.format().toLower().toStdString();
  QSize size = reader.size();
  const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
  if (turned) size.transpose();
  facts.size = size;
  facts.animated = reader.supportsAnimation() && reader.imageCount() > 1;
  std::error_code ec;
  const auto bytes = fs::file_size(file, ec);
  facts.bytes = ec ? 0 : static_cast<std::int64_t>(bytes);
  const bool fits = size.isValid() && size.width() <= limits.width &&
                    size.height() <= limits.height && facts.bytes <= limits.bytes;
  if (facts.format == "gif") {
    facts.handsetReady = fits;
  } else if (facts.format == "jpeg") {
    const auto layout = ParseJpegLayout(head);
    // Markers that end before any scan are a cut only when the whole file
    // was read.
    facts.cutShort = layout ? !JpegComplete(file, layout->scanData) : head.size() < 256 * 1024;
    // The handset ignores a stored turn: such a picture would show on its side.
    facts.handsetReady = fits && !facts.cutShort &&
                         reader.transformation() == QImageIOHandler::TransformationNone && JpegReady(head);
  }
  return facts;
}

QSize FitSize(QSize picture, QSize box) {
  if (picture.width() <= 0 || picture.height() <= 0) return {};
  if (box.width() <= 0 || box.height() <= 0) return picture;
  if (picture.width() <= box.width() && picture.height() <= box.height()) return picture;
  const QSize fitted = picture.scaled(box, Qt::KeepAspectRatio);
  return {std::max(1, fitted.width()), std::max(1, fitted.height())};
}

QImage ReadUpright(const fs::path& file, QSize fit) {
  QImageReader reader(QtPath(file));
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);
  // libjpeg decodes at 1/2, 1/4 or 1/8 of the size much faster than whole;
  // the reduced picture is still at least twice the final one, so the
  // averaging that follows does the real work. Requested in the stored
  // orientation, which the turn is applied to afterwards.
  if (reader.format() == "jpeg" && fit.isValid()) {
    QSize stored = reader.size();
    QSize want = fit * 2;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) want.transpose();
    if (stored.isValid() && stored.width() >= 2 * want.width() && stored.height() >= 2 * want.height()) {
      const int denom = std::min({8, stored.width() / want.width(), stored.height() / want.height()});
      const int step = denom >= 8 ? 8 : denom >= 4 ? 4 : 2;
      reader.setScaledSize(QSize(stored.width() / step, stored.height() / step));
      reader.setQuality(100);  // any rest of the reduction is smooth, never pixel dropping
    }
  }
  QImage image = reader.read();  // the first frame of an animation
  return image;
}

QImage Downscale(const QImage& picture, QSize target) {
  if (picture.isNull() || target.isEmpty()) return {};
  const QImage src = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int sw = src.width(), sh = src.height();
  const int tw = std::min(target.width(), sw), th = std::min(target.height(), sh);
  // Each target column (row) covers [i * sw / tw, (i + 1) * sw / tw) of the
  // source; a source pixel cut by a border counts with the part inside.
  struct Tap {
    int first = 0;
    std::vector<float> weights;
  };
  auto taps = [](int from, int to) {
    std::vector<Tap> out(static_cast<size_t>(to));
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
      const double a = i * ratio, b = (i + 1) * ratio;
      Tap& t = out[static_cast<size_t>(i)];
      t.first = static_cast<int>(std::floor(a));
      for (int s = t.first; s < from && s < b; ++s)
        t.weights.push_back(static_cast<float>((std::min<double>(s + 1, b) - std::max<double>(s, a)) / ratio));
    }
    return out;
  };
  const std::vector<Tap> cols = taps(sw, tw), rows = taps(sh, th);
  // Rows first: each target row is the weighted sum of its source rows, in
  // floats per channel; then the columns.
  std::vector<float> line(static_cast<size_t>(sw) * 4);
  QImage out(tw, th, QImage::Format_RGB888);
  for (int y = 0; y < th; ++y) {
    std::fill(line.begin(), line.end(), 0.0f);
    const Tap& ry = rows[static_cast<size_t>(y)];
    for (size_t k = 0; k < ry.weights.size(); ++k) {
      const auto* px = reinterpret_cast<const QRgb*>(src.constScanLine(ry.first + static_cast<int>(k)));
      const float w = ry.weights[k];
      for (int x = 0; x < sw; ++x) {
        float* l = &line[static_cast<size_t>(x) * 4];
        l[0] += w * qRed(px[x]);
        l[1] += w * qGreen(px[x]);
        l[2] += w * qBlue(px[x]);
        l[3] += w * qAlpha(px[x]);
      }
    }
    uchar* dst = out.scanLine(y);
    for (int x = 0; x < tw; ++x) {
      const Tap& cx = cols[static_cast<size_t>(x)];
      float acc[4] = {0, 0, 0, 0};
      for (size_t k = 0; k < cx.weights.size(); ++k) {
        const float* l = &line[static_cast<size_t>(cx.first + static_cast<int>(k)) * 4];
        for (int c = 0; c < 4; ++c) acc[c] += cx.weights[k] * l[c];
      }
      // Premultiplied colour over white: the uncovered part shows white.
      for (int c = 0; c < 3; ++c)
        dst[x * 3 + c] = static_cast<uchar>(std::clamp(std::lround(acc[c] + 255.0f - acc[3]), 0L, 255L));
    }
  }
  return out;
}

namespace {

// Owns libjpeg's state and output buffer, set up before setjmp, so a longjmp
// back skips no destructor.
struct EncodeContext {
  jpeg_compress_struct cinfo{};
  JpegErrors err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  bool created = false;
  ~EncodeContext() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(buffer);
  }
};

bool Encode(EncodeContext& ctx, const QImage& rgb, int quality) {
  jpeg_compress_struct& cinfo = ctx.cinfo;
  cinfo.err = ctx.err.Install();
  if (setjmp(ctx.err.jump)) return false;
  jpeg_create_compress(&cinfo);
  ctx.created = true;
  jpeg_mem_dest(&cinfo, &ctx.buffer, &ctx.size);
  cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
  cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, JCS_YCbCr);
  jpeg_set_quality(&cinfo, quality, TRUE);  // baseline quantisation tables (entries <= 255)
  cinfo.comp_info[0].h_samp_factor = 2;
  cinfo.comp_info[0].v_samp_factor = 2;
  for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  cinfo.optimize_coding = TRUE;
  cinfo.write_JFIF_header = TRUE;
  cinfo.write_Adobe_marker = FALSE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(static_cast<int>(cinfo.next_scanline)));
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

}  // namespace

std::optional<std::string> EncodeBaselineJpeg(const QImage& picture, int quality) {
  if (picture.isNull()) return std::nullopt;
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  EncodeContext ctx;
  if (!Encode(ctx, rgb, std::clamp(quality, 1, 100)) || !ctx.buffer) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(ctx.buffer), ctx.size);
}

std::optional<Encoded> EncodeWithin(const QImage& picture, std::int64_t maxBytes, int lowest,
                                    int highest) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  auto fits = [&](int q) -> std::optional<std::string> {
    auto bytes = EncodeBaselineJpeg(rgb, q);
    if (bytes && static_cast<std::int64_t>(bytes->size()) <= maxBytes) return bytes;
    return std::nullopt;
  };
  std::optional<Encoded> best;
  if (auto top = fits(highest)) return Encoded{std::move(*top), highest};
  auto low = fits(lowest);
  if (!low) return std::nullopt;
  best = Encoded{std::move(*low), lowest};
  // Invariant: `best.quality` fits, `failed` does not.
  int failed = highest;
  while (failed - best->quality > 1) {
    const int mid = (best->quality + failed) / 2;
    if (auto bytes = fits(mid)) best = Encoded{std::move(*bytes), mid};
    else failed = mid;
  }
  return best;
}

}  // namespace fenmora::convert
