#include "app/thumbnails.h"

#include <QFile>
#include <QPainter>

#include "app/kind_model.h"
#include "movie/movie.h"
#include "preview/image_preview.h"

namespace fenmora::app {

namespace {

// A picture of a movie: its first frame fitted into the handset's screen, by
// the movie helper program (a crash there never reaches the window).
QImage MoviePicture(const QString& file, const std::atomic<bool>* stop) {
  const movie::PreviewPicture p = movie::PreviewFrame(std::filesystem::path(QFile::encodeName(file).toStdString()),
                                                      kHandsetScreen.width(), kHandsetScreen.height(), stop);
  if (!p.valid()) return {};
  QImage image(p.width, p.height, QImage::Format_RGB888);
  for (int y = 0; y < p.height; ++y)
    std::copy_n(p.rgb.data() + static_cast<std::ptrdiff_t>(y) * p.width * 3, p.width * 3, image.scanLine(y));
  return image;
}

}  // namespace

QImage FramedOnScreen(const QImage& picture, QSize size) {
  QImage screen(size, QImage::Format_RGB32);
  screen.fill(QColor(24, 24, 24));
  QPainter painter(&screen);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setRenderHint(QPainter::Antialiasing);
  if (picture.isNull()) {
    // The placeholder: a grey screen crossed out.
    painter.fillRect(screen.rect(), QColor(200, 200, 200));
    painter.setPen(QPen(QColor(150, 150, 150), 2));
    const QRect mark = QRect(QPoint(0, 0), size / 3).translated((size.width() - size.width() / 3) / 2,
                                                                 (size.height() - size.height() / 3) / 2);
    painter.drawLine(mark.topLeft(), mark.bottomRight());
    painter.drawLine(mark.topRight(), mark.bottomLeft());
  } else {
    // Placed on the 240 x 320 screen as the handset shows it (shrunk when
    // larger, centred), then the screen shrunk to the thumbnail.
    const double scale = double(size.width()) / kHandsetScreen.width();
    QSizeF shown = picture.size();
    if (shown.width() > kHandsetScreen.width() || shown.height() > kHandsetScreen.height())
      shown.scale(QSizeF(kHandsetScreen), Qt::KeepAspectRatio);
    shown *= scale;
    const QRectF at(QPointF((size.width() - shown.width()) / 2, (size.height() - shown.height()) / 2), shown);
    painter.drawImage(at, picture);
  }
  painter.setPen(QColor(90, 90, 90));
  painter.drawRect(screen.rect().adjusted(0, 0, -1, -1));
  return screen;
}

Thumbnails::Thumbnails(MediaKind kind, QObject* parent)
    : QObject(parent), kind_(kind), stop_(std::make_shared<std::atomic<bool>>(false)) {
  // Movies one at a time (each a helper process), pictures two at a time.
  pool_.setMaxThreadCount(kind == MediaKind::Movie ? 1 : 2);
  QImage empty(kThumbnailSize, QImage::Format_RGB32);
  empty.fill(QColor(24, 24, 24));
  waiting_ = QPixmap::fromImage(empty);
}

Thumbnails::~Thumbnails() {
  stop_->store(true);
  pool_.clear();
  pool_.waitForDone();
}

void Thumbnails::Clear() {
  // The decodings under way are of no use any more.
  stop_->store(true);
  pool_.clear();
  stop_ = std::make_shared<std::atomic<bool>>(false);
  done_.clear();
  pending_.clear();
}

QPixmap Thumbnails::Of(const QString& file) {
  if (const auto found = done_.constFind(file); found != done_.constEnd()) return *found;
  if (file.isEmpty()) return waiting_;
  if (!pending_.contains(file)) {
    pending_.insert(file);
    const auto stop = stop_;
    const MediaKind kind = kind_;
    pool_.start([this, file, stop, kind] {
      if (stop->load()) return;
      const QImage picture = kind == MediaKind::Movie ? MoviePicture(file, stop.get())
                                                      : LoadPreviewImage(file, kHandsetScreen);
      if (stop->load()) return;
      const QImage framed = FramedOnScreen(picture);
      // Handed over on the window's thread, unless forgotten meanwhile.
      QMetaObject::invokeMethod(
          this,
          [this, file, framed, stop] {
            if (stop->load()) return;
            pending_.remove(file);
            done_.insert(file, QPixmap::fromImage(framed));
            emit decoded(file);
          },
          Qt::QueuedConnection);
    });
  }
  return waiting_;
}

ThumbnailDelegate::ThumbnailDelegate(Thumbnails& thumbnails, QObject* parent)
    : QStyledItemDelegate(parent), thumbnails_(thumbnails) {}

void ThumbnailDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(option, index);
  const QModelIndex title = index.siblingAtColumn(kTitleColumn);
  // The title under the picture (the file's name when it has none).
  QString text = title.data(KindModel::kWholeTitleRole).toString();
  if (text.isEmpty()) text = index.siblingAtColumn(0).data().toString();
  option->text = text;
  option->textElideMode = Qt::ElideRight;
  option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
  option->decorationPosition = QStyleOptionViewItem::Top;
  option->decorationAlignment = Qt::AlignHCenter;
  option->decorationSize = kThumbnailSize;
  option->features |= QStyleOptionViewItem::HasDecoration;
  option->features &= ~QStyleOptionViewItem::WrapText;
  if (index.data(KindModel::kHoldsItemRole).toBool()) {
    // The picture as it is, chosen or not (the title shows the choice).
    const QPixmap picture = thumbnails_.Of(index.data(KindModel::kFileRole).toString());
    QIcon icon;
    icon.addPixmap(picture, QIcon::Normal);
    icon.addPixmap(picture, QIcon::Selected);
    option->icon = icon;
  }
}

QSize ThumbnailDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {kThumbnailSize.width() + 16, kThumbnailSize.height() + option.fontMetrics.height() + 12};
}

}  // namespace fenmora::app
