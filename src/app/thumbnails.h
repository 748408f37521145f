// The thumbnail view of a list: each standby image (or a movie's picture) as
// the handset's 240 x 320 screen would show it, in a portrait frame. Pictures
// are decoded when the view first asks for them, on worker threads (a movie's
// in the movie helper program, as the preview's); a file that cannot be
// decoded shows a placeholder.
#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <atomic>
#include <memory>

#include "profile/profile.h"

namespace fenmora::app {

// The handset's screen, and a thumbnail's frame (the screen shrunk).
inline constexpr QSize kHandsetScreen{240, 320};
inline constexpr QSize kThumbnailSize{72, 96};

// A picture placed on the handset's screen: shrunk to fit when larger,
// centred; the screen drawn at `size`. A null picture gives the placeholder.
QImage FramedOnScreen(const QImage& picture, QSize size = kThumbnailSize);

class Thumbnails : public QObject {
  Q_OBJECT
 public:
  Thumbnails(MediaKind kind, QObject* parent);
  ~Thumbnails() override;  // stops the decoding and waits for it

  // The framed picture of a file; an empty screen while it is decoded (its
  // decoding starts at the first ask).
  QPixmap Of(const QString& file);
  // Whether a file's picture is decoded (or known to be undecodable).
  bool Ready(const QString& file) const { return done_.contains(file); }
  // Forgets every picture (a card loaded anew).
  void Clear();

 signals:
  // A file's picture was decoded: the view shows it.
  void decoded(const QString& file);

 private:
  MediaKind kind_;
  QThreadPool pool_;
  std::shared_ptr<std::atomic<bool>> stop_;
  QHash<QString, QPixmap> done_;
  QSet<QString> pending_;
  QPixmap waiting_;
};

// Draws a list's rows as thumbnails: the framed picture above the title.
class ThumbnailDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  ThumbnailDelegate(Thumbnails& thumbnails, QObject* parent);
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

 private:
  Thumbnails& thumbnails_;
};

}  // namespace fenmora::app
