#include "app/preview_side.h"

#include <QFile>
#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QStringList>

#include "app/app_paths.h"
#include "app/app_texts.h"
#include "app/movie_side.h"
#include "catalogue/catalogue.h"
#include "media/mfi_midi.h"
#include "preview/image_preview.h"
#include "preview/melody_player.h"
#include "sync/prompts.h"

namespace fenmora::app {

namespace {

QString ToQString(const std::filesystem::path& p) { return QFile::decodeName(QByteArray::fromStdString(p.native())); }

// What the conversion of an MLD melody left out, for the status bar; empty
// when nothing was.
QString LeftOutText(const MfiLeftOut& leftOut) {
  if (!leftOut.Any()) return {};
  return QString::fromUtf8(texts::kMelodyLeftOut) + QString::fromStdString(DescribeLeftOut(leftOut));
}

void SetWhite(QWidget* w) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::white);
  w->setPalette(p);
}

}  // namespace

void PreviewFrame::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  // The picture fills the frame inside an 8-pixel margin; its own size
  // never widens the frame.
  for (QWidget* inside : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    inside->setGeometry(rect().adjusted(8, 8, -8, -8));
}

PreviewSide::PreviewSide(QWidget* window, int width, ItemPathOf itemPath)
    : QObject(window), itemPath_(std::move(itemPath)) {
  frame_ = new PreviewFrame(window, width);
  frame_->setObjectName(QStringLiteral("StaticText1"));
  frame_->setFrameShape(QFrame::StyledPanel);
  frame_->setFrameShadow(QFrame::Sunken);
  SetWhite(frame_);
  pane_ = new FittingLabel(frame_);
  pane_->setObjectName(QStringLiteral("DispPrev"));
  pane_->setAccessibleName(QString::fromUtf8(texts::kPreviewName));
  pane_->setGeometry(8, 8, width - 16, width - 16);
  pane_->setAlignment(Qt::AlignCenter);
  // (The pane alone gives up height when the window is low.)
  frame_->setFixedWidth(width);
  frame_->setMinimumHeight(PreviewFrame::kLeast);
  frame_->setMaximumHeight(width);
  frame_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Maximum);

  // The playback switch: checked while selecting a melody plays it; the
  // caption and the glyph say which way it stands.
  switch_ = new QPushButton(QString::fromUtf8(texts::kPlaybackOff), window);
  switch_->setObjectName(QStringLiteral("btStopMelody"));
  switch_->setIcon(QIcon(DataPixmap(QStringLiteral("melody-off.png"))));
  switch_->setIconSize(QSize(16, 16));
  switch_->setCheckable(true);
  connect(switch_, &QPushButton::clicked, this, [this](bool on) {
    SetPlayback(on);
    if (!on) return StopMelody();
    emit playbackSwitchedOn();
  });
}

PreviewSide::~PreviewSide() = default;

void PreviewSide::SetStatus(Progress& status, QLabel* panel, QStatusBar* bar) {
  status_ = &status;
  panel_ = panel;
  bar_ = bar;
}

void PreviewSide::Clear() {
  ForgetMoviePreview();
  pane_->Clear();
}

void PreviewSide::ShowImage(const MediaEntry* entry) {
  ForgetMoviePreview();
  // A selected item that cannot be previewed leaves the pane empty: it must
  // not go on showing another item.
  if (!entry || !IsPreviewableImage(entry->sourceName)) return pane_->Clear();
  const auto path = itemPath_(*entry);
  const QImage image = path ? LoadPreviewImage(ToQString(*path)) : QImage();
  // The picture shown before is released. A file that cannot be decoded
  // leaves the pane empty.
  if (image.isNull()) pane_->Clear();
  else pane_->Show(QPixmap::fromImage(image));
}

void PreviewSide::ShowMovie(const MediaEntry& entry) {
  if (!moviePreviewer_) {
    moviePreviewer_ = std::make_unique<MoviePreviewer>();
    connect(moviePreviewer_.get(), &MoviePreviewer::Ready, this, [this](const QImage& picture, const QString& info) {
      // A file that cannot be decoded leaves the pane empty, without a
      // message, as an image does.
      if (picture.isNull()) pane_->Clear();
      else pane_->Show(QPixmap::fromImage(picture));
      ForgetMoviePreview();
      if (info.isEmpty() || !status_) return;
      movieStatus_ = info;
      status_->Status(info.toStdString());
    });
  }
  // Until the picture comes, the pane shows no other item.
  ForgetMoviePreview();
  pane_->Clear();
  const auto path = itemPath_(entry);
  if (!path) {
    moviePreviewer_->Cancel();
    return;
  }
  moviePreviewer_->Request(*path, pane_->contentsRect().size());
}

void PreviewSide::ForgetMoviePreview() {
  if (moviePreviewer_) moviePreviewer_->Cancel();
  // Only the movie's own line goes; any other message stays.
  if (!movieStatus_.isEmpty() && panel_ && status_ && panel_->text() == movieStatus_) status_->Status({});
  movieStatus_.clear();
}

bool PreviewSide::PlaybackOn() const { return switch_->isChecked(); }

void PreviewSide::SetPlayback(bool on) {
  switch_->setChecked(on);
  switch_->setText(QString::fromUtf8(on ? texts::kPlaybackOn : texts::kPlaybackOff));
  switch_->setIcon(QIcon(DataPixmap(on ? QStringLiteral("melody-on.png") : QStringLiteral("melody-off.png"))));
}

void PreviewSide::StopMelody() {
  if (player_ && !player_->fileName().isEmpty()) player_->Stop();
  emit melodyPlaying(QString());
}

MelodyPlayer& PreviewSide::Player() {
  if (!player_) {
    player_ = std::make_unique<MelodyPlayer>();
    connect(player_.get(), &MelodyPlayer::finished, this, [this] { emit melodyPlaying(QString()); });
  }
  return *player_;
}

void PreviewSide::PlayMelody(const MediaEntry& entry) {
  // Files of other kinds are never played; a melody already playing goes on.
  if (!IsPlayableMelody(entry.sourceName) || !PlaybackOn()) return;
  const auto path = itemPath_(entry);
  if (!path) return;
  MelodyPlayer& player = Player();
  if (bar_) bar_->clearMessage();
  // (Opening another melody ends the one playing.)
  emit melodyPlaying(QString());
  if (player.Open(ToQString(*path)) && player.Play()) {
    emit melodyPlaying(ToQString(*path));
    if (const auto& leftOut = player.leftOut(); leftOut && bar_) {
      const QString text = LeftOutText(*leftOut);
      if (!text.isEmpty()) bar_->showMessage(text);
    }
    return;
  }
  // A melody that cannot be read plays nothing, without a message, as a
  // picture that cannot be decoded shows nothing.
  if (player.unreadable() || !prompts_) return;
  if (!player.available()) {
    // Without a sound device the lists work all the same: said once.
    if (toldNoAudio_) return;
    toldNoAudio_ = true;
    // The sound library's own words go to the details.
    prompts_->AskWithDetails(Prompts::Question::Message, Prompts::Icon::Error, Prompts::Buttons::Ok,
                             texts::kNoAudioDevice, player.lastError().toStdString());
    return;
  }
  prompts_->AskWithDetails(Prompts::Question::Message, Prompts::Icon::Warning, Prompts::Buttons::Ok,
                           texts::kCannotPlay + ToQString(*path).toStdString(), player.lastError().toStdString());
}

}  // namespace fenmora::app
