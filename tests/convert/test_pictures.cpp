#include "convert/test_pictures.h"

#include <libheif/heif.h>

#include <cstring>

#include <QBuffer>

#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

namespace fenmora::testpic {

QImage Plain(int width, int height, QColor colour) {
  QImage img(width, height, QImage::Format_RGB32);
  img.fill(colour);
  return img;
}

QImage Noise(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  QImage img(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) img.setPixel(x, y, rng() | 0xFF000000u);
  return img;
}

std::string Jpeg(const QImage& picture, JpegKind kind, int quality) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(rgb.width());
  cinfo.image_height = static_cast<JDIMENSION>(rgb.height());
  const bool cmyk = kind == JpegKind::Cmyk;
  cinfo.input_components = cmyk ? 4 : 3;
  cinfo.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (kind == JpegKind::Progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(rgb.width()) * 4);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uchar* src = rgb.constScanLine(static_cast<int>(cinfo.next_scanline));
    if (cmyk) {
      // Inverted CMYK with K = 0: the inverted C, M, Y are R, G, B themselves.
      for (int x = 0; x < rgb.width(); ++x) {
        row[x * 4 + 0] = src[x * 3 + 0];
        row[x * 4 + 1] = src[x * 3 + 1];
        row[x * 4 + 2] = src[x * 3 + 2];
        row[x * 4 + 3] = 255;
      }
    } else {
      std::copy(src, src + rgb.width() * 3, row.begin());
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  std::free(buffer);
  return out;
}

std::string WithExifOrientation(const std::string& jpeg, int orientation) {
  // "Exif\0\0", a big-endian TIFF header, one IFD with the orientation tag.
  std::string tiff = std::string("MM\0*\0\0\0\x08", 8);
  tiff += std::string("\0\x01", 2);                                       // one entry
  tiff += std::string("\x01\x12\0\x03\0\0\0\x01", 8);                     // 0x0112, SHORT, 1
  tiff += std::string{'\0', static_cast<char>(orientation), '\0', '\0'};  // the value
  tiff += std::string(4, '\0');                                           // no next IFD
  const std::string body = std::string("Exif\0\0", 6) + tiff;
  const size_t length = body.size() + 2;
  const std::string segment = std::string{'\xFF', '\xE1', static_cast<char>(length >> 8),
                                          static_cast<char>(length & 0xFF)} + body;
  return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

std::string Png(const QImage& picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return bytes.toStdString();
}

std::string Gif(int width, int height, const std::vector<QColor>& frames) {
  auto le16 = [](int v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; };
  std::string out = "GIF89a" + le16(width) + le16(height);
  out += std::string{'\xF1', '\0', '\0'};  // global colour table of 4 entries
  std::vector<QColor> table = frames;
  table.resize(4, Qt::black);
  for (const QColor& c : table)
    out += std::string{static_cast<char>(c.red()), static_cast<char>(c.green()), static_cast<char>(c.blue())};
  if (frames.size() > 1)  // loop for ever
    out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19);
  for (size_t f = 0; f < frames.size(); ++f) {
    out += std::string("\x21\xF9\x04\x00\x0A\x00\x00\x00", 8);  // 0.1 s a frame
    out += "\x2C" + le16(0) + le16(0) + le16(width) + le16(height) + '\0';
    // LZW with 2-bit pixels: codes of 3 bits, a clear code before every two
    // pixels so the code width never grows.
    std::string data;
    unsigned bits = 0, count = 0;
    auto put = [&](unsigned code) {
      bits |= code << count;
      count += 3;
      while (count >= 8) {
        data.push_back(static_cast<char>(bits & 0xFF));
        bits >>= 8;
        count -= 8;
      }
    };
    const long pixels = static_cast<long>(width) * height;
    for (long p = 0; p < pixels; ++p) {
      if (p % 2 == 0) put(4);
      put(static_cast<unsigned>(f));
    }
    put(5);
    if (count) data.push_back(static_cast<char>(bits & 0xFF));
    out += '\x02';
    for (size_t at = 0; at < data.size(); at += 255) {
      const std::string block = data.substr(at, 255);
      out += static_cast<char>(block.size()) + block;
    }
    out += '\0';
  }
  return out + ";";
}

std::string Heif(const QImage& picture, bool avif) {
  const heif_compression_format format = avif ? heif_compression_AV1 : heif_compression_HEVC;
  if (!heif_have_encoder_for_format(format)) return {};
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
  heif_image* image = nullptr;
  if (heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image).code)
    return {};
  heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8);
  int stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
  for (int y = 0; y < rgb.height(); ++y) std::memcpy(plane + y * stride, rgb.constScanLine(y), rgb.width() * 3);
  heif_context* context = heif_context_alloc();
  heif_encoder* encoder = nullptr;
  std::string bytes;
  if (heif_context_get_encoder_for_format(context, format, &encoder).code == heif_error_Ok) {
    heif_encoder_set_lossy_quality(encoder, 80);
    if (heif_context_encode_image(context, image, encoder, nullptr, nullptr).code == heif_error_Ok) {
      heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
                         }};
      heif_context_write(context, &writer, &bytes);
    }
    heif_encoder_release(encoder);
  }
  heif_context_free(context);
  heif_image_release(image);
  return bytes;
}

QColor MeanColour(const QImage& picture, int x, int y, int w, int h) {
  double r = 0, g = 0, b = 0;
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) {
      const QRgb p = picture.pixel(i, j);
      r += qRed(p);
      g += qGreen(p);
      b += qBlue(p);
    }
  const double n = static_cast<double>(w) * h;
  return QColor(static_cast<int>(r / n + 0.5), static_cast<int>(g / n + 0.5), static_cast<int>(b / n + 0.5));
}

}  // namespace fenmora::testpic
