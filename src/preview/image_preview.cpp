#include "preview/image_preview.h"

#include <QFileInfo>
#include <QImageReader>

#include "convert/picture.h"
#include "preview/jpeg_decoder.h"
#include "profile/profile.h"

namespace fenmora {

PreviewFormat PreviewFormatOf(std::string_view name) {
  const std::string ext = AsciiUpper(ExtensionOf(name));
  if (ext == ".BMP") return PreviewFormat::Bmp;
  if (ext == ".JPG") return PreviewFormat::Jpeg;
  if (ext == ".PNG") return PreviewFormat::Png;
  if (ext == ".TIF") return PreviewFormat::Tiff;
  if (ext == ".GIF") return PreviewFormat::Gif;
  return PreviewFormat::None;
}

bool IsPreviewableImage(std::string_view name) {
  return PreviewFormatOf(name) != PreviewFormat::None;
}

namespace {

QImage ReadWithQt(const QString& path, QSize pane) {
  QImageReader reader(path);
  // The content decides, not the name: a ".BMP" that holds a PNG is shown.
  reader.setDecideFormatFromContent(true);
  const QSize source = reader.size();
  if (source.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)) {
    const QSize fitted = convert::FitSize(source, pane);
    if (fitted != source) reader.setScaledSize(fitted);
  }
  // Reads the first frame of a GIF and the first page of a TIFF. Qt refuses
  // pictures above its allocation limit (256 MB) before taking the memory.
  return reader.read();
}

}  // namespace

QImage LoadPreviewImage(const QString& path, QSize pane) {
  const PreviewFormat format = PreviewFormatOf(QFileInfo(path).fileName().toStdString());
  QImage image;
  switch (format) {
    case PreviewFormat::None:
      return {};
    case PreviewFormat::Jpeg: {
      // DCT scaling rounds the output size up, which may bend the aspect
      // ratio by a pixel; the final size comes from the stored size.
      JpegDecodeResult r = DecodeJpegFile(path, pane);
      if (!r.ok || r.image.isNull()) return {};
      const QSize fitted = convert::FitSize(r.sourceSize, pane);
      if (fitted == r.image.size()) return std::move(r.image);
      return r.image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    default:
      if (!QFileInfo(path).isFile()) return {};
      image = ReadWithQt(path, pane);
      break;
  }
  if (image.isNull()) return {};
  const QSize fitted = convert::FitSize(image.size(), pane);
  if (fitted == image.size()) return image;
  return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace fenmora
