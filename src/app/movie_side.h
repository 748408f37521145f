// Movies in the window: the preview picture, decoded on a worker thread, and
// the conversion of an added movie on a worker thread behind a progress
// dialog with キャンセル.
#pragma once

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <filesystem>
#include <memory>

#include "convert/handset_fit.h"

class QWidget;

namespace fenmora::app {

// One preview at a time is wanted: a new request cancels the one before, and
// only the picture of the last request is handed over.
class MoviePreviewer : public QObject {
  Q_OBJECT
 public:
  MoviePreviewer();
  ~MoviePreviewer() override;  // cancels the running decode and waits for it

  void Request(const std::filesystem::path& file, QSize box);
  void Cancel();

 signals:
  // The picture and its line for the status bar ("0:32　176×144"); a null
  // image when the file cannot be decoded.
  void Ready(const QImage& picture, const QString& info);

 private:
  QThreadPool pool_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  int request_ = 0;
};

// The conversion's long work in the window: a worker thread, a modal progress
// dialog with the file name and the percent done; the window repaints.
class WindowWork : public convert::LongWork {
 public:
  explicit WindowWork(QWidget* parent) : parent_(parent) {}
  void Run(const std::string& fileName,
           const std::function<void(const std::function<bool(double)>& report)>& work) override;

 private:
  QWidget* parent_;
};

}  // namespace fenmora::app
