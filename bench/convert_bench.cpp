// Converting a camera photo for the handset: a 4000 x 3000 JPEG (and the same
// picture as PNG) through the whole conversion the window runs on "はい":
// looking at the file, decoding it upright (the JPEG reduced by libjpeg's DCT
// scaling), averaging down to 240 x 180, searching the JPEG quality that fits
// 102,400 bytes, writing the copy. Baseline: decoding the same file whole
// with QImageReader, which any program showing the photo does once.
// Medians of several runs.
//
//   cmake --build build --target convert_bench && build/convert_bench [runs]
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "convert/handset_fit.h"
#include "convert/jpeg_layout.h"
#include "pictures.h"

using namespace fenmora;
namespace fs = std::filesystem;

namespace {

class AlwaysYes : public Prompts {
 public:
  Answer Ask(Question, Icon, Buttons buttons, const std::string&) override {
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
};


// One row: the conversion against one whole decoding of the same file.
bool Measure(const char* figure, const QString& path, const fs::path& out, int runs, double target) {
  const HandsetProfile profile = HandsetProfile::F900i();
  AlwaysYes yes;
  convert::Fitted last;
  const double ours = MedianMs(runs, [&] {
    convert::HandsetFit fit(profile, out);
    last = fit.Prepare(MediaKind::Image, fs::path(path.toStdString()), yes);
  });
  const double base = MedianMs(runs, [&] { QImageReader(path).read(); });
  if (last.step != convert::Fitted::Step::Converted) {
    std::fprintf(stderr, "%s: not converted\n", figure);
    return false;
  }
  std::error_code ec;
  const auto bytes = fs::file_size(last.file, ec);
  QFile copy(QString::fromStdString(last.file.string()));
  copy.open(QIODevice::ReadOnly);
  const auto layout = convert::ParseJpegLayout(copy.readAll().toStdString());
  const double ratio = ours / base;
  std::printf("%-18s %10.2f ms %10.2f ms %7.2fx   target <= %.1fx  %s   (%lld bytes in, %lld out, %d x %d)\n",
              figure, ours, base, ratio, target, ratio <= target ? "met" : "NOT MET",
              static_cast<long long>(QFileInfo(path).size()), static_cast<long long>(bytes),
              layout ? layout->width : 0, layout ? layout->height : 0);
  return layout && layout->width == 240 && layout->height == 180 && bytes <= 102400;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication app(argc, argv);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  QTemporaryDir dir;
  if (!dir.isValid()) {
    std::fprintf(stderr, "no temporary folder\n");
    return 1;
  }
  const QImage photo = MakePhoto();
  const QString jpeg = dir.filePath(QStringLiteral("DSC00001.JPG"));
  const QString png = dir.filePath(QStringLiteral("DSC00001.PNG"));
  QImageWriter jpegWriter(jpeg, "JPG");
  jpegWriter.setQuality(90);
  if (!jpegWriter.write(photo) || !QImageWriter(png, "PNG").write(photo)) {
    std::fprintf(stderr, "cannot write the pictures\n");
    return 1;
  }
  const fs::path out = fs::path(dir.path().toStdString()) / "converted";
  fs::create_directories(out);
  std::printf("picture: 4000 x 3000 -> 240 x 180, <= 102400 bytes; %d runs each\n", runs);
  std::printf("%-18s %13s %13s %8s\n", "figure", "conversion", "decoding", "ratio");
  bool ok = Measure("JPEG photo", jpeg, out, runs, 1.0);
  ok = Measure("PNG of the photo", png, out, runs, 1.5) && ok;
  return ok ? 0 : 1;
}
