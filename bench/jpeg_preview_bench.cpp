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
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "preview/image_preview.h"
#include "preview/jpeg_decoder.h"

using namespace fenmora;

namespace {

// Something like a photograph: smooth areas, edges, and fine grain.
QImage MakePicture() {
  QImage image(4000, 3000, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, 3000);
  sky.setColorAt(0, QColor(70, 130, 200));
  sky.setColorAt(0.6, QColor(230, 220, 190));
  sky.setColorAt(1, QColor(60, 90, 40));
  p.fillRect(image.rect(), sky);
  std::mt19937 rng(2003);
  for (int i = 0; i < 300; ++i) {
    const int x = static_cast<int>(rng() % 4000), y = static_cast<int>(rng() % 3000);
    const int r = 20 + static_cast<int>(rng() % 300);
    QRadialGradient g(x, y, r);
    g.setColorAt(0, QColor::fromHsv(static_cast<int>(rng() % 360), 160, 230));
    g.setColorAt(1, Qt::transparent);
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(x, y), r, r);
  }
  p.end();
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const int n = static_cast<int>(rng() % 17) - 8;
      const QRgb c = line[x];
      line[x] = qRgb(std::clamp(qRed(c) + n, 0, 255), std::clamp(qGreen(c) + n, 0, 255),
                     std::clamp(qBlue(c) + n, 0, 255));
    }
  }
  return image;
}

template <typename F>
double MedianMs(int runs, F&& f) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    QElapsedTimer t;
    t.start();
    f();
    times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

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
  if (!writer.write(MakePicture())) {
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
    scaledSize = r.image.scaled(FitSize(r.sourceSize, kPreviewPaneSize), Qt::IgnoreAspectRatio,
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
