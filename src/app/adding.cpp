// Adding files from the computer to a list: through the "追加" dialog or by
// dropping them on the list. Each batch is queued through one FileQueue; the
// files are copied to the card only by the commit.
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>

#include "app/card_control.h"
#include "app/kind_page.h"
#include "app/main_window.h"
#include "app/movie_side.h"
#include "convert/handset_fit.h"
#include "editing/editing.h"
#include "media/file_info.h"
#include "platform/cardpath.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::app;

namespace {

// The dialog's filter from the kind's filter text ("待ち受け画像データ|*.JPG;
// *.GIF;"): the label and its patterns, "待ち受け画像データ (*.JPG *.jpg *.GIF
// *.gif)". File names on Linux are case-sensitive, and a card or a camera
// writes its extensions either way.
// Pictures the conversion makes into standby images (PNG, ...) are offered
// with the kind's own types.
QString DialogNameFilter(const std::string& filterText, MediaKind kind) {
  const QString text = QString::fromStdString(filterText);
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  QStringList own = text.mid(bar + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (const std::string& p : convert::ConvertiblePatterns(kind))
    if (!own.contains(QString::fromStdString(p))) own << QString::fromStdString(p);
  QStringList patterns;
  for (const QString& p : own) {
    patterns << p;
    if (p.toLower() != p) patterns << p.toLower();
  }
  return (bar < 0 ? QString() : text.left(bar)) + QStringLiteral(" (") +
         patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

std::filesystem::path HostPath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

// Files are always copied from where they are dropped, never moved: a file
// manager that was told "moved" would delete its file.
template <class Event>
void AcceptAsCopy(Event* event) {
  if (!(event->possibleActions() & Qt::CopyAction)) return event->ignore();
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

}  // namespace

void TfrMain::AddFiles(MediaKind kind) {
  const KindProfile& profile = session_.profile.Kind(kind);
  if (profile.contentFolder.empty()) {
    prompts_->Tell(Prompts::Icon::Warning, texts::Of(texts::kNotSupported, kind));
    return;
  }
  if (!session_.loaded) return;  // the button is enabled by the first load
  // The kind's folder is not on the loaded card: asked whether to make it.
  // Nothing is written now; the commit makes it with the items' files. Once
  // the user agreed, an item of the kind is queued and the question is not
  // asked again.
  const MediaCatalogue& catalogue = session_.Catalogue(kind);
  bool queuedAlready = false;
  for (int i = 0; i < catalogue.count && !queuedAlready; ++i) queuedAlready = catalogue.Slot(i).queued;
  if (const auto folder = ResolveCardPath(session_.cardRoot, profile.contentFolder);
      !queuedAlready && folder && !card_->fileOps().IsFolder(*folder) &&
      prompts_->Ask(Prompts::Question::MissingFolder, Prompts::Icon::Question, Prompts::Buttons::YesCancel,
                    texts::Of(texts::kMissingFolder, kind)) != Prompts::Answer::Yes)
    return;
  const QStringList paths =
      chooseFiles_(kind, DialogNameFilter(FileFilterText(session_.profile, kind), kind));
  if (paths.isEmpty()) return;  // cancelled
  QueueFiles(kind, paths, /*refuseOtherTypes=*/false);
}

void TfrMain::QueueFiles(MediaKind kind, const QStringList& paths, bool refuseOtherTypes) {
  progress().Busy(true);
  // The whole batch is one edit: one undo takes it back.
  RecordEdit(kind, [&] {
    bool queued = false;
    FileQueue queue(session_, kind, *prompts_);
    convert::HandsetFit fit(session_.profile);
    WindowWork movieWork(this);
    fit.SetLongWork(&movieWork);
    for (const QString& path : paths) {
      const std::filesystem::path file = HostPath(path);
      if (refuseOtherTypes) {
        const auto ext = CardExtensionFor(kind, file.filename().string());
        const bool taken = (ext && session_.profile.FindExtension(kind, *ext)) ||
                           convert::ConvertiblePicture(kind, file) ||
                           convert::ConvertibleMovie(kind, file);
        // A folder, a FIFO or a device is refused like a file of another
        // type, without being opened (the conversions open plain files
        // only).
        std::error_code ec;
        if (!taken || (!PlainFileStatus(file) && std::filesystem::exists(file, ec))) {
          prompts_->Tell(Prompts::Icon::Warning,
                         texts::Of(texts::kUnsupportedDrop, kind) + file.string());
          continue;
        }
      }
      const QueueOutcome outcome = convert::AddFitted(queue, fit, kind, file, *prompts_);
      if (outcome == QueueOutcome::Queued) {
        queued = true;
        ShowCardSpace();
        RefreshGrid(kind);
        repaint();  // the batch does not return to the event loop
      }
      if (StopsBatch(outcome)) break;
    }
    return queued;
  });
  progress().Busy(false);
}

std::optional<MediaKind> TfrMain::GridKindOf(const QWidget* widget) const {
  if (!widget) return std::nullopt;
  for (const KindPage* page : pages_)
    if (page->GridHolds(widget)) return page->kind();
  return std::nullopt;
}

void TfrMain::dragEnterEvent(QDragEnterEvent* event) {
  // Before a card is loaded there is no list to drop on.
  if (session_.loaded && !LocalFiles(event->mimeData()).isEmpty()) AcceptAsCopy(event);
  else event->ignore();
}

void TfrMain::dragMoveEvent(QDragMoveEvent* event) {
  // Only the three lists take files; elsewhere the pointer says so.
  if (session_.loaded && GridKindOf(childAt(event->position().toPoint()))) AcceptAsCopy(event);
  else event->ignore();
}

void TfrMain::dropEvent(QDropEvent* event) {
  const std::optional<MediaKind> kind =
      session_.loaded ? GridKindOf(childAt(event->position().toPoint())) : std::nullopt;
  if (!kind) {
    event->ignore();  // anywhere else: nothing, and no message
    return;
  }
  const QStringList paths = LocalFiles(event->mimeData());
  AcceptAsCopy(event);
  if (!isActiveWindow()) {  // the files came from another application
    raise();
    activateWindow();
  }
  QueueFiles(*kind, paths, /*refuseOtherTypes=*/true);
}
