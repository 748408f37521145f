// The preview side of the window: the pane that shows the selected image or a
// picture of the selected movie (decoded on a worker thread, its length and
// frame size in the status bar), and the playback switch with the melody
// player that plays a selected melody while the switch is on.
#pragma once

#include <QLabel>
#include <QPixmap>

#include <QFrame>
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QStatusBar;

namespace fenmora {
class MelodyPlayer;
class Progress;
class Prompts;
struct MediaEntry;
}  // namespace fenmora

namespace fenmora::app {

class MoviePreviewer;

// The preview pane's frame: square at the column's width, lower when the
// window is low; the picture's label fills it inside an 8-pixel margin.
class PreviewFrame : public QFrame {
 public:
  PreviewFrame(QWidget* parent, int width) : QFrame(parent), width_(width) {}
  QSize sizeHint() const override { return {width_, width_}; }
  QSize minimumSizeHint() const override { return {width_, kLeast}; }
  static constexpr int kLeast = 40;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  int width_;
};

// The preview's picture, always whole: as it is where it fits, scaled down
// to fit (keeping its shape) where the pane is smaller, as in a low window.
class FittingLabel : public QLabel {
 public:
  using QLabel::QLabel;
  void Show(const QPixmap& picture) {
    picture_ = picture;
    Fit();
  }
  void Clear() {
    picture_ = QPixmap();
    clear();
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    Fit();
  }

 private:
  void Fit() {
    if (picture_.isNull() || size().isEmpty()) return;
    const bool fits = picture_.width() <= width() && picture_.height() <= height();
    setPixmap(fits ? picture_ : picture_.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  }
  QPixmap picture_;
};

class PreviewSide : public QObject {
  Q_OBJECT
 public:
  // Where an item's file lies now (none: nowhere to read it).
  using ItemPathOf = std::function<std::optional<std::filesystem::path>(const MediaEntry&)>;
  // Makes the pane ("StaticText1" holding "DispPrev") and the switch
  // ("btStopMelody") as children of `window`, `width` wide.
  PreviewSide(QWidget* window, int width, ItemPathOf itemPath);
  ~PreviewSide() override;

  QFrame* frame() const { return frame_; }
  QPushButton* playbackSwitch() const { return switch_; }
  // Where the movie's line and the melody's notes go, and whom to tell.
  void SetStatus(Progress& status, QLabel* panel, QStatusBar* bar);
  void SetPrompts(Prompts& prompts) { prompts_ = &prompts; }

  // An image in the pane (null, or not previewable: the pane empty).
  void ShowImage(const MediaEntry* entry);
  // A movie's picture in the pane, once decoded.
  void ShowMovie(const MediaEntry& entry);
  // The pane empty (a movie's picture still coming is dropped).
  void Clear();

  // Selecting a melody plays it: the switch is on.
  bool PlaybackOn() const;
  // Sets the switch, its caption and its glyph.
  void SetPlayback(bool on);
  // Plays a melody when the switch is on; files of other kinds never.
  void PlayMelody(const MediaEntry& entry);
  // Stops a melody playing (no player operation unless one was ever given).
  void StopMelody();
  // The melody player, made at the first melody played (null before).
  MelodyPlayer* player() const { return player_.get(); }

 signals:
  // The switch was turned on by the user: the selected melody should play.
  void playbackSwitchedOn();
  // A melody's file began to play; empty: none plays any more.
  void melodyPlaying(const QString& file);

 private:
  MelodyPlayer& Player();
  // Another item takes the pane: a movie's picture still coming is dropped,
  // and its line leaves the status bar.
  void ForgetMoviePreview();

  ItemPathOf itemPath_;
  QFrame* frame_ = nullptr;
  FittingLabel* pane_ = nullptr;
  QPushButton* switch_ = nullptr;
  Progress* status_ = nullptr;
  QLabel* panel_ = nullptr;
  QStatusBar* bar_ = nullptr;
  Prompts* prompts_ = nullptr;
  std::unique_ptr<MelodyPlayer> player_;
  bool toldNoAudio_ = false;
  std::unique_ptr<MoviePreviewer> moviePreviewer_;
  QString movieStatus_;  // the movie's line the status bar shows, if any
};

}  // namespace fenmora::app
