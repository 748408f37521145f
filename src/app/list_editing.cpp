// The list operations of the main window: selecting a row, retitling, moving,
// renumbering and deleting. The catalogue changes through the editing core;
// the window mirrors the change in the grid, the gauge and the buttons.
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

#include "app/kind_page.h"
#include "app/main_window.h"
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

int TfrMain::SelectedRow(MediaKind kind) const {
  const int i = KindIndex(kind);
  if (i < 0 || i >= 3) return 0;
  return pages_[static_cast<size_t>(i)]->grid->currentRow() + 1;
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
  const MediaEntry* entry = session_.Catalogue(kind).EntryAtRow(SelectedRow(kind));
  if (entry) page.titleEdit->setText(QString::fromStdString(Cp932ToUtf8(entry->title)));
  else page.titleEdit->clear();
  // Setting the text counts as a change; the title shown is not one.
  page.editButton->setEnabled(false);
  return entry;
}

void TfrMain::SelectRowQuietly(MediaKind kind, int row) {
  QTableWidget* grid = Page(kind).grid;
  if (row < 1 || row > grid->rowCount()) return;
  QuietSelection quiet(quietSelection_);
  grid->setCurrentCell(row - 1, std::max(0, grid->currentColumn()));
}

void TfrMain::ListClick(MediaKind kind) {
  const MediaEntry* entry = ShowSelectedTitle(kind);
  if (!entry) return;
  if (kind == MediaKind::Image) PreviewImage(*entry);
  else if (kind == MediaKind::Melody) PlayMelody(*entry);
}

void TfrMain::TitleChange(MediaKind kind) { Page(kind).editButton->setEnabled(true); }

void TfrMain::EditClick(MediaKind kind) {
  KindPage& page = Page(kind);
  MediaCatalogue& catalogue = session_.Catalogue(kind);
  const int row = SelectedRow(kind);
  const std::string title = Utf8ToCp932(page.titleEdit->text().toStdString());
  if (!ApplyTitle(catalogue, row, title)) return;
  page.WriteTitle(row, *catalogue.EntryAtRow(row));
  page.editButton->setEnabled(false);
  btRefreshData_->setEnabled(true);
  page.grid->setFocus();
}

void TfrMain::TitleKeyDown(MediaKind kind, int key) {
  if (!IsEnter(key)) return;
  // Enter stores the title whether or not it was changed, then goes on to
  // the next row: the keyboard cycle of retitling a whole list.
  EditClick(kind);
  const int row = SelectedRow(kind);
  if (row >= 1 && row < Page(kind).grid->rowCount()) {
    SelectRowQuietly(kind, row + 1);
    ListClick(kind);
  }
}

void TfrMain::ListKeyDown(MediaKind kind, int key) {
  if (key == Qt::Key_F4) ListDblClick(kind);
  else if (IsEnter(key)) Page(kind).titleEdit->setFocus();
}

void TfrMain::UpClick(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!MoveUp(session_.Catalogue(kind), row)) return;
  RefreshGrid(kind);
  btRefreshData_->setEnabled(true);
  SelectRowQuietly(kind, row - 1);
  ListClick(kind);
}

void TfrMain::DownClick(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!MoveDown(session_.Catalogue(kind), row)) return;
  RefreshGrid(kind);
  btRefreshData_->setEnabled(true);
  SelectRowQuietly(kind, row + 1);
  ListClick(kind);
}

void TfrMain::RenClick(MediaKind kind) {
  Renumber(session_.profile, kind, session_.Catalogue(kind));
  RefreshGrid(kind);
  btRefreshData_->setEnabled(true);
}

void TfrMain::DelClick(MediaKind kind) {
  const int row = SelectedRow(kind);
  if (!DeleteEntry(session_.Catalogue(kind), session_.gauge, row)) return;
  RefreshGrid(kind);
  // The row stays selected and now shows the next item; after the last row
  // the selection moves to the new last row.
  SelectRowQuietly(kind, std::min(row, Page(kind).grid->rowCount()));
  InitDiskGauge();
  repaint();
  btRefreshData_->setEnabled(true);
  ListClick(kind);
}
