// The list editing of the window: selecting a row, retitling, moving,
// renumbering, deleting and adding files (through "追加" or dropped), each
// edit one command of the undo history. The catalogue changes through the
// editing core; the pages show it. The window hears through the signals what
// else follows (the card space, the preview, the controls).
#pragma once

#include <QObject>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>

#include "profile/profile.h"
#include "sync/session.h"

class QUndoStack;
class QWidget;

namespace fenmora {
class FileOps;
class Progress;
class Prompts;
struct CatalogueEdit;
struct MediaEntry;
}  // namespace fenmora

namespace fenmora::app {

class KindPage;

class ListEditor : public QObject {
  Q_OBJECT
 public:
  // `window` owns the dialogs; `fileOps` reads the card (a kind's folder);
  // `status` shows the busy cursor while files are queued.
  ListEditor(CardSession& session, std::array<KindPage*, 3> pages, QUndoStack& history, QWidget* window,
             Progress& status);

  void SetPrompts(Prompts& prompts) { prompts_ = &prompts; }
  void SetFileOps(FileOps& ops) { fileOps_ = &ops; }
  // The file dialog of "追加": gets the kind and the dialog's name filter,
  // returns the chosen paths (empty: cancelled).
  using FileChooser = std::function<QStringList(MediaKind, const QString& nameFilter)>;
  void SetFileChooser(FileChooser chooser) { chooseFiles_ = std::move(chooser); }

  KindPage& Page(MediaKind kind) const;
  // The data row selected in a kind's grid (1 = first item, 0 = none).
  int SelectedRow(MediaKind kind) const;
  // The kind whose list holds the widget (the grid, its viewport, its scroll
  // bars, the thumbnails), if any.
  std::optional<MediaKind> ListKindOf(const QWidget* widget) const;

  // A load completed: each list shows its first item, selected, its title
  // in the edit.
  void ShowLoadedLists();
  // The selected row's item in the title edit, and the preview (and, when
  // playMelody, the player) told.
  void ShowSelection(MediaKind kind, bool playMelody);
  // A row chosen by the user: as ShowSelection, a melody played.
  void ShowChosenRow(MediaKind kind) { ShowSelection(kind, /*playMelody=*/true); }
  // Files dropped on a kind's list (or chosen in its dialog when
  // `refuseOtherTypes` is false): queued one after the other, one edit.
  void QueueFiles(MediaKind kind, const QStringList& paths, bool refuseOtherTypes);

 signals:
  // The card's space changed (an item queued or deleted, an edit undone).
  void spaceChanged();
  // The edit history changed: the controls follow.
  void edited();
  // The selected item of a kind (null: none) to preview or to play.
  void selectionShown(fenmora::MediaKind kind, const fenmora::MediaEntry* entry, bool playMelody);
  // The user asked to open the selected item (double-click, F4).
  void openRequested(fenmora::MediaKind kind);
  // An undo or redo changed this kind's list: its page goes to the front.
  void pageWanted(fenmora::MediaKind kind);

 private:
  friend class ListEditCommand;
  void WirePage(KindPage* page);
  void GridKey(MediaKind kind, int key);
  void TitleKey(MediaKind kind, int key);
  // False when the title was not stored (no item, or the user declined).
  bool StoreTitle(MediaKind kind);
  bool StoreTitleAt(MediaKind kind, int row);
  // Another row chosen while a title typed for the row left is not applied:
  // asks whether to apply it there.
  void KeepTypedTitle(MediaKind kind);
  void MoveItem(MediaKind kind, int from, int to);
  void RenumberList(MediaKind kind);
  void DeleteItem(MediaKind kind);
  void AddFiles(MediaKind kind);
  // Runs one list edit of a kind (the callback calls the core's editing
  // function and says whether it acted) and keeps what it changed as an undo
  // command. True when the edit acted.
  bool RecordEdit(MediaKind kind, const std::function<bool()>& edit);
  // Puts a kind's catalogue as it was before an edit (forward: after it) and
  // shows it.
  void RestoreEdit(const CatalogueEdit& edit, bool forward);
  // Rewrites a kind's list and selects a row without running the selection:
  // the callers run it themselves when the operation asks for it.
  void RefreshList(MediaKind kind);
  void SelectRowQuietly(MediaKind kind, int row);
  const MediaEntry* ShowSelectedTitle(MediaKind kind);

  CardSession& session_;
  std::array<KindPage*, 3> pages_;
  QUndoStack& history_;
  QWidget* window_;
  Progress& status_;
  Prompts* prompts_ = nullptr;
  FileOps* fileOps_ = nullptr;
  FileChooser chooseFiles_;
  // List changes made by the program itself do not run the selection.
  int quietSelection_ = 0;
  // Per kind, the row whose title the edit was given (0: none).
  std::array<int, 3> titleRows_{};
};

}  // namespace fenmora::app
