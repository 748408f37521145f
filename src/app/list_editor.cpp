#include "app/list_editor.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUndoCommand>
#include <QUndoStack>
#include <QWidget>
#include <algorithm>

#include "app/app_texts.h"
#include "app/kind_page.h"
#include "app/movie_side.h"
#include "convert/handset_fit.h"
#include "editing/edit_record.h"
#include "editing/editing.h"
#include "media/file_info.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"
#include "platform/fileops.h"
#include "sync/prompts.h"
#include "sync/texts.h"

namespace fenmora::app {

namespace {

// List changes made by the program: the selection handler runs only where an
// operation calls it.
class QuietSelection {
 public:
  explicit QuietSelection(int& depth) : depth_(depth) { ++depth_; }
  ~QuietSelection() { --depth_; }
  QuietSelection(const QuietSelection&) = delete;
  QuietSelection& operator=(const QuietSelection&) = delete;

 private:
  int& depth_;
};

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// The dialog's filter from the kind's filter text ("待ち受け画像データ|*.JPG;
// *.GIF;"): the label and its patterns, "待ち受け画像データ (*.JPG *.jpg *.GIF
// *.gif)". File names on Linux are case-sensitive, and a card or a camera
// writes its extensions either way. Pictures the conversion makes into
// standby images (PNG, ...) are offered with the kind's own types.
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
  return (bar < 0 ? QString() : text.left(bar)) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
         QLatin1Char(')');
}

std::filesystem::path HostPath(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

}  // namespace

// One list edit in the undo history: what the core's editing function
// changed in the catalogue and the card space.
class ListEditCommand : public QUndoCommand {
 public:
  ListEditCommand(ListEditor& editor, CatalogueEdit edit) : editor_(editor), edit_(std::move(edit)) {}
  void undo() override { editor_.RestoreEdit(edit_, /*forward=*/false); }
  void redo() override {
    // Pushed right after the edit was made: nothing to do the first time.
    if (done_) {
      done_ = false;
      return;
    }
    editor_.RestoreEdit(edit_, /*forward=*/true);
  }

 private:
  ListEditor& editor_;
  CatalogueEdit edit_;
  bool done_ = true;
};

ListEditor::ListEditor(CardSession& session, std::array<KindPage*, 3> pages, QUndoStack& history, QWidget* window,
                       Progress& status)
    : QObject(window), session_(session), pages_(pages), history_(history), window_(window), status_(status) {
  for (KindPage* page : pages_) WirePage(page);
  // The file dialog starts where the user keeps that kind of file (the
  // home folder when the desktop names no such place), then where the last
  // files came from.
  chooseFiles_ = [this](MediaKind kind, const QString& filter) {
    static QString last;
    const QStandardPaths::StandardLocation kept = kind == MediaKind::Image    ? QStandardPaths::PicturesLocation
                                                  : kind == MediaKind::Melody ? QStandardPaths::MusicLocation
                                                                              : QStandardPaths::MoviesLocation;
    QString start = last;
    if (start.isEmpty() || !QDir(start).exists()) start = QStandardPaths::writableLocation(kept);
    if (start.isEmpty() || !QDir(start).exists()) start = QDir::homePath();
    const QStringList chosen = QFileDialog::getOpenFileNames(window_, QString(), start, filter);
    if (!chosen.isEmpty()) last = QFileInfo(chosen.front()).absolutePath();
    return chosen;
  };
}

void ListEditor::WirePage(KindPage* page) {
  const MediaKind kind = page->kind();
  connect(page, &KindPage::rowChosen, this, [this, kind] {
    if (quietSelection_ != 0) return;
    KeepTypedTitle(kind);
    ShowChosenRow(kind);
  });
  connect(page, &KindPage::rowDoubleClicked, this, [this, kind] { emit openRequested(kind); });
  connect(page, &KindPage::gridKeyPressed, this, [this, kind](int key) { GridKey(kind, key); });
  connect(page, &KindPage::titleTyped, this, [this, kind] { Page(kind).SetEditEnabled(true); });
  connect(page, &KindPage::titleKeyPressed, this, [this, kind](int key) { TitleKey(kind, key); });
  connect(page, &KindPage::editClicked, this, [this, kind] { StoreTitle(kind); });
  connect(page, &KindPage::upClicked, this, [this, kind] { MoveItem(kind, SelectedRow(kind), SelectedRow(kind) - 1); });
  connect(page, &KindPage::downClicked, this,
          [this, kind] { MoveItem(kind, SelectedRow(kind), SelectedRow(kind) + 1); });
  // A row dragged to another place: one move, undone as one.
  connect(page, &KindPage::rowDragged, this, [this, kind](int from, int to) { MoveItem(kind, from, to); });
  connect(page, &KindPage::renumberClicked, this, [this, kind] { RenumberList(kind); });
  connect(page, &KindPage::deleteClicked, this, [this, kind] { DeleteItem(kind); });
  connect(page, &KindPage::addClicked, this, [this, kind] { AddFiles(kind); });
}

KindPage& ListEditor::Page(MediaKind kind) const {
  const int i = KindIndex(kind);
  return *pages_[static_cast<size_t>(i >= 0 && i < 3 ? i : 0)];
}

int ListEditor::SelectedRow(MediaKind kind) const {
  const int i = KindIndex(kind);
  if (i < 0 || i >= 3) return 0;
  return pages_[static_cast<size_t>(i)]->CurrentRow();
}

std::optional<MediaKind> ListEditor::ListKindOf(const QWidget* widget) const {
  if (!widget) return std::nullopt;
  for (const KindPage* page : pages_)
    if (page->GridHolds(widget)) return page->kind();
  return std::nullopt;
}

void ListEditor::ShowLoadedLists() {
  for (MediaKind kind : kListKinds) {
    Page(kind).ForgetThumbnails();
    RefreshList(kind);
    SelectRowQuietly(kind, 1);
    ShowSelectedTitle(kind);
  }
  for (KindPage* page : pages_) page->EnableListButtons();
}

// ---- the undo history

bool ListEditor::RecordEdit(MediaKind kind, const std::function<bool()>& edit) {
  const EditRecorder recorder(session_, kind);
  if (!edit()) return false;
  history_.push(new ListEditCommand(*this, recorder.Finish(session_)));
  emit edited();
  return true;
}

void ListEditor::RestoreEdit(const CatalogueEdit& edit, bool forward) {
  if (forward) RedoEdit(session_, edit);
  else UndoEdit(session_, edit);
  const MediaKind kind = edit.kind;
  emit pageWanted(kind);  // the list that changes is the one shown
  const int row = SelectedRow(kind);
  RefreshList(kind);
  SelectRowQuietly(kind, std::clamp(row, 1, Page(kind).RowCount()));
  emit spaceChanged();
  ShowSelection(kind, /*playMelody=*/false);
  emit edited();
}

// ---- the selection and the title

void ListEditor::RefreshList(MediaKind kind) {
  QuietSelection quiet(quietSelection_);
  Page(kind).RefreshRows(session_.Catalogue(kind));
}

void ListEditor::SelectRowQuietly(MediaKind kind, int row) {
  QuietSelection quiet(quietSelection_);
  Page(kind).SetCurrentRow(row);
}

// The title edit holds the selected item's title (nothing when no item is
// selected), never one left from an earlier item or an earlier card: Enter
// stores the edit's text into the selected item.
const MediaEntry* ListEditor::ShowSelectedTitle(MediaKind kind) {
  KindPage& page = Page(kind);
  const int row = SelectedRow(kind);
  const MediaEntry* entry = session_.Catalogue(kind).EntryAtRow(row);
  page.ShowTitle(entry ? QString::fromStdString(Cp932ToUtf8(entry->title)) : QString());
  titleRows_[static_cast<size_t>(KindIndex(kind))] = entry ? row : 0;
  return entry;
}

void ListEditor::ShowSelection(MediaKind kind, bool playMelody) {
  emit selectionShown(kind, ShowSelectedTitle(kind), playMelody);
}

void ListEditor::KeepTypedTitle(MediaKind kind) {
  KindPage& page = Page(kind);
  const int row = titleRows_[static_cast<size_t>(KindIndex(kind))];
  if (!page.TitlePending() || row == SelectedRow(kind)) return;
  const MediaEntry* left = session_.Catalogue(kind).EntryAtRow(row);
  if (!left || page.TypedTitle() == QString::fromStdString(Cp932ToUtf8(left->title))) return;
  const std::string question = texts::kTitleNotApplied + Cp932ToUtf8(left->cardName) +
                               Fill(fenmora::texts::kQuoted, {page.TypedTitle().toStdString()});
  if (prompts_->Ask(Prompts::Question::ApplyTitle, Prompts::Icon::Question, Prompts::Buttons::YesNo, question) ==
      Prompts::Answer::Yes)
    StoreTitleAt(kind, row);
}

bool ListEditor::StoreTitle(MediaKind kind) {
  if (!StoreTitleAt(kind, SelectedRow(kind))) return false;
  // The edit shows the title as stored ("?" where a character could not be).
  ShowSelectedTitle(kind);
  Page(kind).FocusGrid();
  return true;
}

bool ListEditor::StoreTitleAt(MediaKind kind, int row) {
  KindPage& page = Page(kind);
  MediaCatalogue& catalogue = session_.Catalogue(kind);
  if (!catalogue.EntryAtRow(row)) return false;
  const std::string typed = page.TypedTitle().toStdString();
  // Characters the card's titles cannot hold would become "?": named first.
  if (const std::vector<std::string> lost = Cp932Unrepresentable(typed); !lost.empty()) {
    std::string question = texts::kUnrepresentable;
    for (const std::string& ch : lost) question += Fill(fenmora::texts::kQuoted, {ch});
    question += texts::kUnrepresentableQuestion;
    if (prompts_->Ask(Prompts::Question::Unrepresentable, Prompts::Icon::Question, Prompts::Buttons::YesNo,
                      question) != Prompts::Answer::Yes)
      return false;
  }
  const std::string title = Utf8ToCp932(typed);
  if (!RecordEdit(kind, [&] { return ApplyTitle(catalogue, row, title); })) return false;
  page.WriteTitle(row);
  page.SetEditEnabled(false);
  return true;
}

void ListEditor::TitleKey(MediaKind kind, int key) {
  if (!IsEnter(key)) return;
  // Enter stores the title whether or not it was changed, then goes on to
  // the next row: the keyboard cycle of retitling a whole list.
  if (!StoreTitle(kind)) return;
  const int row = SelectedRow(kind);
  if (row >= 1 && row < Page(kind).RowCount()) {
    SelectRowQuietly(kind, row + 1);
    ShowChosenRow(kind);
  }
}

void ListEditor::GridKey(MediaKind kind, int key) {
  if (key == Qt::Key_F4) emit openRequested(kind);
  else if (IsEnter(key)) Page(kind).FocusTitle();
  // (Delete is the menu's command "削除".)
}

// ---- moving, renumbering, deleting

void ListEditor::MoveItem(MediaKind kind, int from, int to) {
  const bool moved = RecordEdit(kind, [&] {
    bool any = false;
    for (int r = from; r > to; --r) any = MoveUp(session_.Catalogue(kind), r) || any;
    for (int r = from; r < to; ++r) any = MoveDown(session_.Catalogue(kind), r) || any;
    return any;
  });
  if (!moved) return;
  RefreshList(kind);
  SelectRowQuietly(kind, to);
  ShowChosenRow(kind);
}

void ListEditor::RenumberList(MediaKind kind) {
  RecordEdit(kind, [&] {
    Renumber(session_.profile, kind, session_.Catalogue(kind));
    return true;
  });
  RefreshList(kind);
}

void ListEditor::DeleteItem(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!RecordEdit(kind, [&] { return DeleteEntry(session_.Catalogue(kind), session_.space, row).has_value(); }))
    return;
  RefreshList(kind);
  // The row stays selected and now shows the next item; after the last row
  // the selection moves to the new last row.
  SelectRowQuietly(kind, std::min(row, Page(kind).RowCount()));
  emit spaceChanged();
  window_->repaint();
  ShowChosenRow(kind);
}

// ---- adding files: through the "追加" dialog or dropped on the list. Each
// batch is queued through one FileQueue; the files are copied to the card
// only by the commit.

void ListEditor::AddFiles(MediaKind kind) {
  const KindProfile& profile = session_.profile.Kind(kind);
  if (profile.contentFolder.empty()) {
    prompts_->Tell(Prompts::Icon::Warning, fenmora::texts::Of(fenmora::texts::kNotSupported, kind));
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
      !queuedAlready && folder && fileOps_ && !fileOps_->IsFolder(*folder) &&
      prompts_->Ask(Prompts::Question::MissingFolder, Prompts::Icon::Question, Prompts::Buttons::YesCancel,
                    fenmora::texts::Of(fenmora::texts::kMissingFolder, kind)) != Prompts::Answer::Yes)
    return;
  const QStringList paths = chooseFiles_(kind, DialogNameFilter(FileFilterText(session_.profile, kind), kind));
  if (paths.isEmpty()) return;  // cancelled
  QueueFiles(kind, paths, /*refuseOtherTypes=*/false);
}

void ListEditor::QueueFiles(MediaKind kind, const QStringList& paths, bool refuseOtherTypes) {
  status_.Busy(true);
  // The whole batch is one edit: one undo takes it back.
  RecordEdit(kind, [&] {
    bool queued = false;
    FileQueue queue(session_, kind, *prompts_);
    convert::HandsetFit fit(session_.profile);
    WindowWork movieWork(window_);
    fit.SetLongWork(&movieWork);
    for (const QString& path : paths) {
      const std::filesystem::path file = HostPath(path);
      if (refuseOtherTypes) {
        const auto ext = CardExtensionFor(kind, file.filename().string());
        const bool taken = (ext && session_.profile.FindExtension(kind, *ext)) ||
                           convert::ConvertiblePicture(kind, file) || convert::ConvertibleMovie(kind, file);
        // A folder, a FIFO or a device is refused like a file of another
        // type, without being opened (the conversions open plain files
        // only).
        std::error_code ec;
        if (!taken || (!PlainFileStatus(file) && std::filesystem::exists(file, ec))) {
          prompts_->Tell(Prompts::Icon::Warning,
                         fenmora::texts::Of(fenmora::texts::kUnsupportedDrop, kind) + file.string());
          continue;
        }
      }
      const QueueOutcome outcome = convert::AddFitted(queue, fit, kind, file, *prompts_);
      if (outcome == QueueOutcome::Queued) {
        queued = true;
        emit spaceChanged();
        RefreshList(kind);
        window_->repaint();  // the batch does not return to the event loop
      }
      if (StopsBatch(outcome)) break;
    }
    return queued;
  });
  status_.Busy(false);
}

}  // namespace fenmora::app
