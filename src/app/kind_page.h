// One list page of the main window: the title edit and its "修正" button,
// the grid, the kind's icon and the button column. The window builds it three
// times, once per kind, with that kind's control names and captions.
#pragma once

#include <QWidget>

#include "catalogue/catalogue.h"
#include "profile/profile.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QFrame;

namespace fenmora::app {

// The names and captions that differ between the three pages.
struct KindPageNames {
  const char* tab;          // "tsImage"
  const char* tabCaption;   // "　待受け画像　"
  const char* label;        // "Label2"
  const char* labelCaption; // "待受け画像タイトル"
  const char* edit;         // "edImageTitle"
  const char* editButton;   // "btEditImage"
  const char* grid;         // "sgImage"
  const char* iconPanel;    // "Panel1"
  const char* icon;         // "ImageImage"
  const char* iconFile;     // picture in the data folder
  const char* up;
  const char* down;
  const char* renumber;
  const char* remove;
  const char* add;
};
const KindPageNames& NamesOf(MediaKind kind);

// The grid's columns: file name, time, size, title.
inline constexpr int kGridColumns = 4;
inline constexpr int kColumnWidths[kGridColumns] = {77, 119, 55, 134};
inline constexpr const char* kColumnHeaders[kGridColumns] = {"ファイル名", "時刻", "サイズ",
                                                             "タイトル"};
// Data rows of a grid before any load (the header row comes on top).
inline constexpr int kInitialDataRows = 63;
inline constexpr int kRowHeight = 16;

class KindPage : public QWidget {
  Q_OBJECT
 public:
  KindPage(MediaKind kind, QWidget* parent);

  MediaKind kind() const { return kind_; }
  const KindPageNames& names() const { return NamesOf(kind_); }

  // Rewrites the grid from the catalogue: a data row per live entry in list
  // order, each row from the entry at that position, and one blank row when
  // the list is empty. Titles are converted for display here and only here.
  void RefreshRows(const MediaCatalogue& catalogue);

  // Writes one data row (1-based, below the header) from an entry.
  void WriteRow(int row, const MediaEntry& entry);
  // Writes only the title cell of a data row (a title applied).
  void WriteTitle(int row, const MediaEntry& entry);

  // The list buttons that a completed load enables: up, down, renumber,
  // delete, add.
  void EnableListButtons();

  QLabel* titleLabel;
  QLineEdit* titleEdit;
  QPushButton* editButton;
  QTableWidget* grid;
  QFrame* iconPanel;
  QLabel* icon;
  QPushButton* upButton;
  QPushButton* downButton;
  QPushButton* renumberButton;
  QPushButton* deleteButton;
  QPushButton* addButton;

 private:
  void SetCells(int row, const GridRow& cells);

  MediaKind kind_;
};

}  // namespace fenmora::app
