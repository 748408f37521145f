#include "app/movie_side.h"

#include "app/app_texts.h"

#include <QEventLoop>
#include <QLabel>
#include <QPixmap>
#include <QProgressDialog>
#include <QTimer>

#include <thread>

#include "convert/movie_texts.h"
#include "movie/movie.h"

namespace fenmora::app {

MoviePreviewer::MoviePreviewer() { pool_.setMaxThreadCount(1); }

MoviePreviewer::~MoviePreviewer() {
  Cancel();
  pool_.clear();
  pool_.waitForDone();
}

void MoviePreviewer::Cancel() {
  if (cancel_) cancel_->store(true);
  cancel_.reset();
  ++request_;
}

void MoviePreviewer::Request(const std::filesystem::path& file, QSize box) {
  Cancel();
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  cancel_ = cancel;
  const int request = request_;
  // Requests not yet started are of no use any more.
  pool_.clear();
  pool_.start([this, file, box, cancel, request] {
    if (cancel->load()) return;
    const movie::PreviewPicture p = movie::PreviewFrame(file, box.width(), box.height(), cancel.get());
    if (cancel->load()) return;
    QImage image;
    QString info;
    if (p.valid()) {
      image = QImage(p.width, p.height, QImage::Format_RGB888);
      for (int y = 0; y < p.height; ++y)
        std::copy_n(p.rgb.data() + static_cast<std::ptrdiff_t>(y) * p.width * 3, p.width * 3,
                    image.scanLine(y));
      info = QString::fromStdString(movie::LengthText(p.seconds)) + QString::fromUtf8(app::texts::kMovieFrameSize)
                                                                      .arg(p.frameWidth)
                                                                      .arg(p.frameHeight);
    }
    // Handed over on the window's thread, where a later request may have
    // come in the meantime.
    QMetaObject::invokeMethod(
        this,
        [this, image, info, request] {
          if (request == request_) emit Ready(image, info);
        },
        Qt::QueuedConnection);
  });
}

void WindowWork::Run(const std::string& fileName,
                     const std::function<void(const std::function<bool(double)>&)>& work) {
  QProgressDialog dialog(QString::fromUtf8(fenmora::texts::kMovieConverting) + QString::fromStdString(fileName),
                         QString::fromUtf8(app::texts::kCancel), 0, 100, parent_);
  dialog.setObjectName(QStringLiteral("MovieProgress"));
  dialog.setWindowTitle(QStringLiteral("Fenmora"));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setValue(0);

  std::atomic<int> percent{0};
  std::atomic<bool> cancel{false}, done{false};
  QEventLoop loop;
  std::thread worker([&] {
    work([&](double share) {
      percent = static_cast<int>(share * 100);
      return !cancel.load();
    });
    done = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  QTimer tick;
  // キャンセル (the button, Escape, closing the dialog) marks the dialog
  // canceled; the work sees it at its next report.
  QObject::connect(&tick, &QTimer::timeout, &dialog, [&] {
    if (dialog.wasCanceled()) cancel = true;
    else dialog.setValue(percent.load());
  });
  QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] { cancel = true; });
  tick.start(50);
  if (!done.load()) loop.exec();
  worker.join();
}

}  // namespace fenmora::app
