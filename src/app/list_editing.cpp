// The list operations of the main window: selecting a row, retitling, moving,
// renumbering and deleting. The catalogue changes through the editing core;
// the window mirrors the change in the grid, the space bar and the buttons.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QUndoCommand>
#include <QUndoStack>
#include <algorithm>

#include "app/app_texts.h"
#include "app/kind_page.h"
#include "app/preview_side.h"
#include "app/main_window.h"
#include "editing/edit_record.h"
#include "editing/editing.h"
#include "platform/cp932.h"

using namespace fenmora;
using namespace fenmora::app;

namespace {

// Grid changes made by the program: the selection handler runs only where
// an operation calls it.
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

}  // namespace

// One list edit in the window's undo history: what the core's editing
// function changed in the catalogue and the card space.
class ListEditCommand : public QUndoCommand {
 public:
  ListEditCommand(TfrMain& window, CatalogueEdit edit) : window_(window), edit_(std::move(edit)) {}
  void undo() override { window_.RestoreEdit(edit_, /*forward=*/false); }
  void redo() override {
    // Pushed right after the edit was made: nothing to do the first time.
    if (done_) {
      done_ = false;
      return;
    }
    window_.RestoreEdit(edit_, /*forward=*/true);
  }

 private:
  TfrMain& window_;
  CatalogueEdit edit_;
  bool done_ = true;
};

bool TfrMain::RecordEdit(MediaKind kind, const std::function<bool()>& edit) {
  const EditRecorder recorder(session_, kind);
  if (!edit()) return false;
  undoStack_->push(new ListEditCommand(*this, recorder.Finish(session_)));
  FollowCardWork();
  return true;
}

void TfrMain::RestoreEdit(const CatalogueEdit& edit, bool forward) {
  if (forward) RedoEdit(session_, edit);
  else UndoEdit(session_, edit);
  const MediaKind kind = edit.kind;
  kindTabs_->setCurrentWidget(&Page(kind));  // the list that changes is the one shown
  const int row = SelectedRow(kind);
  RefreshGrid(kind);
  SelectRowQuietly(kind, std::clamp(row, 1, Page(kind).RowCount()));
  ShowCardSpace();
  ShowSelection(kind, /*playMelody=*/false);
  FollowCardWork();
}

int TfrMain::SelectedRow(MediaKind kind) const {
  const int i = KindIndex(kind);
  if (i < 0 || i >= 3) return 0;
  return pages_[static_cast<size_t>(i)]->CurrentRow();
}

void TfrMain::RefreshGrid(MediaKind kind) {
  QuietSelection quiet(quietSelection_);
  Page(kind).RefreshRows(session_.Catalogue(kind));
}

// The title edit holds the selected item's title (nothing when no item is
// selected), never one left from an earlier item or an earlier card: Enter
// stores the edit's text into the selected item.
const MediaEntry* TfrMain::ShowSelectedTitle(MediaKind kind) {
  KindPage& page = Page(kind);
  const int row = SelectedRow(kind);
  const MediaEntry* entry = session_.Catalogue(kind).EntryAtRow(row);
  page.ShowTitle(entry ? QString::fromStdString(Cp932ToUtf8(entry->title)) : QString());
  titleRows_[static_cast<size_t>(KindIndex(kind))] = entry ? row : 0;
  return entry;
}

void TfrMain::KeepTypedTitle(MediaKind kind) {
  KindPage& page = Page(kind);
  const int row = titleRows_[static_cast<size_t>(KindIndex(kind))];
  if (!page.TitlePending() || row == SelectedRow(kind)) return;
  const MediaEntry* left = session_.Catalogue(kind).EntryAtRow(row);
  if (!left || page.TypedTitle() == QString::fromStdString(Cp932ToUtf8(left->title))) return;
  const std::string question = app::texts::kTitleNotApplied + Cp932ToUtf8(left->cardName) + "「" +
                               page.TypedTitle().toStdString() + "」";
  if (prompts_->Ask(Prompts::Question::ApplyTitle, Prompts::Icon::Question, Prompts::Buttons::YesNo,
                    question) == Prompts::Answer::Yes)
    StoreTitleAt(kind, row);
}

void TfrMain::SelectRowQuietly(MediaKind kind, int row) {
  QuietSelection quiet(quietSelection_);
  Page(kind).SetCurrentRow(row);
}

void TfrMain::ShowChosenRow(MediaKind kind) { ShowSelection(kind, /*playMelody=*/true); }

void TfrMain::ShowSelection(MediaKind kind, bool playMelody) {
  const MediaEntry* entry = ShowSelectedTitle(kind);
  // The pane shows the selected image or nothing, never an item that is
  // no longer in the list; the images' only while their tab is in front.
  if (kind == MediaKind::Image)
    preview_->ShowImage(kindTabs_->currentWidget() == &Page(MediaKind::Image) ? entry : nullptr);
  if (!entry) return;
  if (kind == MediaKind::Melody && playMelody) preview_->PlayMelody(*entry);
  else if (kind == MediaKind::Movie) preview_->ShowMovie(*entry);
}

void TfrMain::TitleTyped(MediaKind kind) { Page(kind).SetEditEnabled(true); }

bool TfrMain::StoreTitle(MediaKind kind) {
  if (!StoreTitleAt(kind, SelectedRow(kind))) return false;
  // The edit shows the title as stored ("?" where a character could not be).
  ShowSelectedTitle(kind);
  Page(kind).FocusGrid();
  return true;
}

bool TfrMain::StoreTitleAt(MediaKind kind, int row) {
  KindPage& page = Page(kind);
  MediaCatalogue& catalogue = session_.Catalogue(kind);
  if (!catalogue.EntryAtRow(row)) return false;
  const std::string typed = page.TypedTitle().toStdString();
  // Characters the card's titles cannot hold would become "?": named first.
  if (const std::vector<std::string> lost = Cp932Unrepresentable(typed); !lost.empty()) {
    std::string question = app::texts::kUnrepresentable;
    for (const std::string& ch : lost) question += "「" + ch + "」";
    question += app::texts::kUnrepresentableQuestion;
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

void TfrMain::TitleKey(MediaKind kind, int key) {
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

void TfrMain::GridKey(MediaKind kind, int key) {
  if (key == Qt::Key_F4) OpenChosenItem(kind);
  else if (IsEnter(key)) Page(kind).FocusTitle();
  // (Delete is the menu's command "削除".)
}

void TfrMain::MoveItemUp(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!RecordEdit(kind, [&] { return MoveUp(session_.Catalogue(kind), row); })) return;
  RefreshGrid(kind);
  SelectRowQuietly(kind, row - 1);
  ShowChosenRow(kind);
}

void TfrMain::MoveItemDown(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!RecordEdit(kind, [&] { return MoveDown(session_.Catalogue(kind), row); })) return;
  RefreshGrid(kind);
  SelectRowQuietly(kind, row + 1);
  ShowChosenRow(kind);
}

void TfrMain::RenumberList(MediaKind kind) {
  RecordEdit(kind, [&] {
    Renumber(session_.profile, kind, session_.Catalogue(kind));
    return true;
  });
  RefreshGrid(kind);
}

void TfrMain::DeleteItem(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!RecordEdit(kind, [&] { return DeleteEntry(session_.Catalogue(kind), session_.space, row).has_value(); }))
    return;
  RefreshGrid(kind);
  // The row stays selected and now shows the next item; after the last row
  // the selection moves to the new last row.
  SelectRowQuietly(kind, std::min(row, Page(kind).RowCount()));
  ShowCardSpace();
  repaint();
  ShowChosenRow(kind);
}
