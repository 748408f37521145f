// What follows a selection: the image previewed in the pane, the melody
// played when playback is on; and opening an item in the desktop's
// application for it (double-click, F4).
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QStatusBar>
#include <QStringList>

#include "app/app_paths.h"
#include "app/app_texts.h"
#include "app/kind_page.h"
#include "app/main_window.h"
#include "platform/cardpath.h"
#include "preview/image_preview.h"
#include "preview/melody_player.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::app;

namespace {

QString ToQString(const std::filesystem::path& p) {
  return QFile::decodeName(QByteArray::fromStdString(p.native()));
}

// What the conversion of an MLD melody left out, for the status bar; empty
// when nothing was.
QString LeftOutText(const MfiLeftOut& leftOut) {
  QStringList parts;
  auto add = [&](int count, const char* text) {
    if (count > 0) parts << QString::fromUtf8(text).arg(count);
  };
  add(leftOut.audioChunks, app::texts::kLeftOutAudio);
  add(leftOut.voiceEdits, app::texts::kLeftOutVoices);
  add(leftOut.vendorEvents, app::texts::kLeftOutVendor);
  add(leftOut.otherEvents, app::texts::kLeftOutOther);
  if (parts.isEmpty()) return {};
  return QString::fromUtf8(app::texts::kMelodyLeftOut) + parts.join(QStringLiteral("、"));
}

}  // namespace

std::optional<std::filesystem::path> TfrMain::ItemPath(const MediaEntry& entry) const {
  if (entry.queued) return std::filesystem::path(entry.sourceFolder) / entry.sourceName;
  if (!session_.loaded) return std::nullopt;
  return ResolveCardPath(session_.cardRoot, entry.sourceFolder, entry.sourceName);
}

void TfrMain::PreviewImage(const MediaEntry& entry) {
  ForgetMoviePreview();
  // A selected item that cannot be previewed leaves the pane empty: it must
  // not go on showing another item.
  if (!IsPreviewableImage(entry.sourceName)) return previewPane_->clear();
  // Only while the images' tab is in front.
  if (kindTabs_->currentWidget() != &Page(MediaKind::Image)) return previewPane_->clear();
  const auto path = ItemPath(entry);
  const QImage image = path ? LoadPreviewImage(ToQString(*path)) : QImage();
  // The picture shown before is released. A file that cannot be decoded
  // leaves the pane empty: it must not go on showing another item.
  if (image.isNull()) previewPane_->clear();
  else previewPane_->setPixmap(QPixmap::fromImage(image));
}

void TfrMain::ShowTab(int index) {
  const auto* page = qobject_cast<const KindPage*>(kindTabs_->widget(index));
  if (!page || !banner_) return;
  banner_->setText(QString::fromUtf8(fenmora::texts::Of(app::texts::kBanner, page->kind())));
  // The pane belongs to the images: on the other tabs it is empty, and the
  // selected image comes back with its tab.
  if (page->kind() != MediaKind::Image) return previewPane_->clear();
  const MediaEntry* entry = session_.Catalogue(MediaKind::Image).EntryAtRow(SelectedRow(MediaKind::Image));
  if (entry) PreviewImage(*entry);
  else previewPane_->clear();
}

bool TfrMain::PlaybackOn() const { return playbackSwitch_->isChecked(); }

void TfrMain::SetPlayback(bool on) {
  playbackSwitch_->setChecked(on);
  playbackSwitch_->setText(QString::fromUtf8(on ? app::texts::kPlaybackOn : app::texts::kPlaybackOff));
  playbackSwitch_->setIcon(
      QIcon(DataPixmap(on ? QStringLiteral("melody-on.png") : QStringLiteral("melody-off.png"))));
}

MelodyPlayer& TfrMain::Player() {
  if (!player_) player_ = std::make_unique<MelodyPlayer>();
  return *player_;
}

void TfrMain::PlayMelody(const MediaEntry& entry) {
  // Files of other kinds are never played; a melody already playing goes on.
  if (!IsPlayableMelody(entry.sourceName) || !PlaybackOn()) return;
  const auto path = ItemPath(entry);
  if (!path) return;
  MelodyPlayer& player = Player();
  auto* statusBar = findChild<QStatusBar*>(QStringLiteral("StatusBar"));
  if (statusBar) statusBar->clearMessage();
  if (player.Open(ToQString(*path)) && player.Play()) {
    if (const auto& leftOut = player.leftOut(); leftOut && statusBar) {
      const QString text = LeftOutText(*leftOut);
      if (!text.isEmpty()) statusBar->showMessage(text);
    }
    return;
  }
  // A melody that cannot be read plays nothing, without a message, as a
  // picture that cannot be decoded shows nothing.
  if (player.unreadable()) return;
  if (!player.available()) {
    // Without a sound device the lists work all the same: said once.
    if (toldNoAudio_) return;
    toldNoAudio_ = true;
    // The sound library's own words go to the details.
    prompts_->AskWithDetails(Prompts::Question::Message, Prompts::Icon::Error, Prompts::Buttons::Ok,
                             app::texts::kNoAudioDevice, player.lastError().toStdString());
    return;
  }
  prompts_->AskWithDetails(Prompts::Question::Message, Prompts::Icon::Warning, Prompts::Buttons::Ok,
                           app::texts::kCannotPlay + ToQString(*path).toStdString(),
                           player.lastError().toStdString());
}

void TfrMain::SwitchPlayback(bool on) {
  SetPlayback(on);
  if (!on) {
    // No player operation unless a melody was ever given to the player.
    if (player_ && !player_->fileName().isEmpty()) player_->Stop();
    return;
  }
  ShowChosenRow(MediaKind::Melody);  // the selected melody starts at once, whichever tab shows
}

void TfrMain::OpenChosenItem(MediaKind kind) {
  if (kind == MediaKind::Melody) {
    // The desktop's player gets the melody without competition, and further
    // selections stay silent until playback is switched on again.
    if (player_ && !player_->fileName().isEmpty()) player_->Stop();
    SetPlayback(false);
  }
  const MediaEntry* entry = session_.Catalogue(kind).EntryAtRow(SelectedRow(kind));
  if (!entry) return;
  if (const auto path = ItemPath(*entry)) {
    const QString file = ToQString(*path);
    if (!open_(file)) TellCannotOpen(file);
  }
}
