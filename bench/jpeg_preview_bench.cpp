// How much the DCT-scaled decoding saves on a camera-sized picture: a
// 4000 x 3000 JPEG brought into the 145 x 145 preview pane
//   scaled: libjpeg decodes at 1/8 (500 x 375), then a smooth shrink;
//   full:   libjpeg decodes all 12 million pixels, then a smooth shrink.
// Both read the file each time, as the preview does. Prints the median of
// several runs of each and their ratio.
//
//   cmake --build build --target jpeg_preview_bench && build/jpeg_preview_bench [runs]
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pictures.h"
#include "convert/picture.h"
#include "preview/image_preview.h"
#include "preview/jpeg_decoder.h"

using namespace fenmora;

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

  QTemporaryDir dir;
  if (!dir.isValid()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  const QString path = dir.filePath(QStringLiteral("DSC00001.JPG"));
  QImageWriter writer(path, "JPG");
  writer.setQuality(90);
  if (!writer.write(MakePhoto())) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return 1;
  }
  std::printf("picture: 4000 x 3000, %lld bytes; pane %d x %d; %d runs each\n",
              static_cast<long long>(QFileInfo(path).size()), kPreviewPaneSize.width(),
              kPreviewPaneSize.height(), runs);

  QSize scaledSize, fullSize;
  int scaledDenom = 0;
  const double scaled = MedianMs(runs, [&] {
    const JpegDecodeResult r = DecodeJpegFile(path, kPreviewPaneSize);
    scaledDenom = r.scaleDenom;
    scaledSize = r.image.scaled(convert::FitSize(r.sourceSize, kPreviewPaneSize), Qt::IgnoreAspectRatio,
                                Qt::SmoothTransformation)
                     .size();
  });
  const double full = MedianMs(runs, [&] {
    const JpegDecodeResult r = DecodeJpegFile(path);
    fullSize =
        r.image.scaled(kPreviewPaneSize, Qt::KeepAspectRatio, Qt::SmoothTransformation).size();
  });
  const QImage viaPreview = LoadPreviewImage(path);

  std::printf("scaled decoding (1/%d) + shrink: %8.2f ms  -> %d x %d\n", scaledDenom, scaled,
              scaledSize.width(), scaledSize.height());
  std::printf("full decoding + shrink:         %8.2f ms  -> %d x %d\n", full, fullSize.width(),
              fullSize.height());
  std::printf("ratio full / scaled:            %8.2f\n", full / scaled);
  if (viaPreview.size() != scaledSize || scaledSize != fullSize) {
    std::fprintf(stderr, "the two ways gave different sizes\n");
    return 1;
  }
  return 0;
}
