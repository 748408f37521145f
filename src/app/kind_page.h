// One list page of the main window: the title edit and its "修正" button,
// the grid, the kind's icon and the button column. The window builds it three
// times, once per kind, with that kind's control names and captions.
#pragma once

#include <QWidget>
#include <array>

#include "app/kind_model.h"
#include "catalogue/catalogue.h"
#include "profile/profile.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QAbstractItemView;
class QTableView;
class QListView;
class QStackedWidget;
class QFrame;

namespace fenmora::app {

// The names and captions that differ between the three pages.
struct KindPageNames {
  const char* tab;          // "tsImage"
  const char* tabCaption;   // "　待ち受け画像　": one space before, as many after as make the three equally wide
  const char* label;        // "Label2"
  const char* labelCaption; // "待ち受け画像タイトル"
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

// The page keeps its controls to itself: the window hears what the user did
// through its signals and changes the page through its functions.
class KindPage : public QWidget {
  Q_OBJECT
 public:
  KindPage(MediaKind kind, QWidget* parent);

  MediaKind kind() const { return kind_; }
  const KindPageNames& names() const { return NamesOf(kind_); }

  // Shows the catalogue as it is now: a data row per live entry in list
  // order, and one blank row when the list is empty.
  void RefreshRows(const MediaCatalogue& catalogue);

  // Shows again only the title of a data row (a title applied).
  void WriteTitle(int row);

  KindModel* model() const { return model_; }

  // Where an item's file lies now (for its thumbnail).
  void SetFileOf(KindModel::FileOf fileOf) { model_->SetFileOf(std::move(fileOf)); }
  // The list as thumbnails (images and movies; a melody list stays a list)
  // or as the grid. Both show the same rows and the same selection.
  void ShowThumbnails(bool on);
  bool ThumbnailsShown() const;
  // The thumbnails decoded so far are forgotten (a card loaded anew).
  void ForgetThumbnails();

  // The list buttons that a completed load enables: up, down, renumber,
  // delete, add.
  void EnableListButtons();

  // ---- the grid: rows as the handset counts them (1 = first item, 0 = none)
  int CurrentRow() const;
  int RowCount() const;
  // Makes the row current (keeping the column); an unknown row is ignored.
  void SetCurrentRow(int row);
  void FocusGrid();
  // Whether the widget is the grid or one of its parts (viewport, scroll bars).
  bool GridHolds(const QWidget* widget) const;

  // ---- the title edit and its "修正" button
  QString TypedTitle() const;
  // Shows a title (null: empties the edit); the button stays off, since a
  // title shown is not a change.
  void ShowTitle(const QString& title);
  void SetEditEnabled(bool on);
  // A title typed and not yet applied ("修正" is on).
  bool TitlePending() const;
  void FocusTitle();
  bool DeleteEnabled() const;

 signals:
  // The current row changed, or the current row was clicked again.
  void rowChosen();
  void rowDoubleClicked();
  void gridKeyPressed(int key);
  void titleTyped();
  void titleKeyPressed(int key);
  void editClicked();
  void upClicked();
  // A row dragged with the mouse and dropped on another (rows as the
  // handset counts them).
  void rowDragged(int from, int to);
  void downClicked();
  void renumberClicked();
  void deleteClicked();
  void addClicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Follows a mouse drag of a row over the grid; true when it takes the
  // event.
  bool DragRow(QAbstractItemView* view, QEvent* event);

 private:
  // Whether a view row holds an item (a blank row does not).
  bool HoldsItem(int viewRow) const;

  MediaKind kind_;
  KindModel* model_ = nullptr;
  QLineEdit* titleEdit_ = nullptr;
  QPushButton* editButton_ = nullptr;
  QTableView* grid_ = nullptr;
  QStackedWidget* views_ = nullptr;
  QListView* thumbs_ = nullptr;  // null for melodies
  class Thumbnails* thumbnails_ = nullptr;
  // Blank rows have no thumbnail.
  void HideBlankThumbnails();
  QPushButton* deleteButton_ = nullptr;
  std::array<QPushButton*, 5> listButtons_{};
  // The row that was current when the mouse was pressed on the grid: a click
  // on the row already selected chooses it again.
  int rowBeforePress_ = -1;
  // A drag of a row: where the press was, and whether it has become a drag.
  int dragFrom_ = -1;
  QPoint dragStart_;
  bool dragging_ = false;
};

}  // namespace fenmora::app
