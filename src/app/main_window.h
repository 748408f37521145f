// The main window: the three list pages, the drive list, the card-space
// bar, the commit, preview, backup, help and exit controls, the partner
// banner and the status bar. Every control carries its name as objectName so
// that tests and the drop routing find it by name.
//
// Each list operation is written once, taking the MediaKind; a page's
// signals reach it with the page's kind.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/fileops.h"
#include "sync/prompts.h"
#include "sync/session.h"

class QAction;
class QCloseEvent;
class QMenuBar;
class QComboBox;
class QUrl;
class QHBoxLayout;
class QVBoxLayout;
class QSocketNotifier;
class QUndoStack;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class TfrAbout;

namespace fenmora::app {
class CardControl;
class CardWork;
class DriveBox;
class HelpView;
class KindPage;
class ListEditor;
class PreviewSide;
class MoviePreviewer;
class QtPrompts;
class StatusProgress;
}  // namespace fenmora::app

namespace fenmora {
class MelodyPlayer;
struct CommitPlan;
struct CommitResult;
struct LoadResult;
struct MediaEntry;
struct CatalogueEdit;
}  // namespace fenmora

class TfrMain : public QWidget {
  Q_OBJECT
 public:
  // The session (profile and catalogues) outlives the window.
  explicit TfrMain(fenmora::CardSession& session, QWidget* parent = nullptr);
  ~TfrMain() override;

  // Adds a folder to the drive list (once) and selects it: a card copied to
  // disk, a card image mounted anywhere, a test folder.
  void AddCardFolder(const QString& folder);

  // ---- what tests put in place of the real thing
  // Questions and messages go to message boxes unless something else (a
  // test's script) is put in their place.
  void SetPrompts(fenmora::Prompts& prompts);
  // The about box that the branding panel shows (made at its first use
  // unless one is put in place).
  void SetAboutBox(TfrAbout* about) { about_ = about; }
  // Gives the mount table's text (/proc/self/mountinfo unless replaced).
  using MountTableReader = std::function<std::string()>;
  // Puts another mount table in place (a test's) and rereads it at once.
  void SetMountTable(MountTableReader reader);
  // The file operations of the load, the commit, the backup and the restore
  // (the real file system unless replaced).
  void SetFileOps(fenmora::FileOps& ops);
  // The file dialog of "追加": gets the kind and the dialog's name filter,
  // returns the chosen paths (empty: cancelled).
  using FileChooser = std::function<QStringList(fenmora::MediaKind, const QString& nameFilter)>;
  void SetFileChooser(FileChooser chooser);
  // Opens a file in the desktop's application for it (an item, the read-me);
  // false when the desktop has no application for it.
  using Opener = std::function<bool(const QString& path)>;
  void SetOpener(Opener opener) { open_ = std::move(opener); }
  // Opens an address in the desktop's browser (the partner banner, the about
  // box's links); false when it cannot.
  using UrlOpener = std::function<bool(const QUrl& url)>;
  void SetUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }
  // The program's folder and the user's data folder, between which the
  // backup chooses its root.
  void SetBackupFolders(std::filesystem::path programFolder, std::filesystem::path userDataFolder);
  // Keeps the window's size and place in this settings file between runs
  // and takes them back from it now (none: the first-run place and size).
  void RememberPlaceIn(const QString& settingsFile);
  // The folder dialog of "復元": gets the folder it starts in, returns
  // the chosen backup folder (empty: cancelled).
  using FolderChooser = std::function<QString(const QString& startFolder)>;
  void SetBackupChooser(FolderChooser chooser);
  // The folder dialog of "フォルダーをカードとして開く" (Ctrl+O): returns the
  // chosen folder (empty: cancelled).
  void SetCardFolderChooser(FolderChooser chooser) { chooseCardFolder_ = std::move(chooser); }
  // How long a commit or a backup runs before its progress dialog shows.
  void SetProgressDelay(int milliseconds);

  // ---- what tests look at besides the controls (found by objectName)
  // The card root chosen in the drive list (empty when the list is empty).
  std::filesystem::path CardRoot() const;
  // The loaded card is no longer there (until it is back or loaded again).
  bool LoadedCardGone() const;
  // Where the card's work stands.
  fenmora::app::CardWork& cardWork() const;
  // One command per list edit; a load or a commit clears it.
  QUndoStack* undoStack() const { return undoStack_; }
  // Edits that a commit would still write to the card.
  bool HasUncommittedEdits() const;
  // The data row selected in a kind's grid (1 = first item, 0 = none).
  int SelectedRow(fenmora::MediaKind kind) const;
  // The file of an item as it lies now: on the loaded card (checked to stay
  // inside it) or, for a queued item, where the user picked it from.
  std::optional<std::filesystem::path> ItemPath(const fenmora::MediaEntry& entry) const;
  // The melody player, made at the first melody played (null before).
  fenmora::MelodyPlayer* melodyPlayer() const;
  // Puts the session's card space on the bar (scaled to fit an int when the card
  // is larger) and shows its free space.
  void ShowCardSpace();
  // The free-space text and the colours of the text and of the bar.
  void ShowFreeSpace(std::int64_t freeBytes);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private slots:
  // "ヘルプ": opens the read-me.
  void OpenReadMe();
  // The read-me in the window's own view (when the desktop cannot show it).
  void ShowReadMeHere(const QString& path);
  // The branding panel: the about box.
  void ShowAbout();
  // The partner banner: its site in the browser.
  void OpenPartnerSite();

 private:
  // The user asked to open the selected item in the desktop's application
  // (double-click, F4).
  void OpenChosenItem(fenmora::MediaKind kind);
  // The selected item of a list in the preview side: an image (while its
  // page is in front), a movie's picture, a melody played (when asked).
  void ShowPreviewOf(fenmora::MediaKind kind, const fenmora::MediaEntry* entry, bool playMelody);

  fenmora::app::KindPage& Page(fenmora::MediaKind kind);
  fenmora::Progress& progress();
  // Puts the frame at its place once the window manager has made it.
  void PlaceFrame();
  QVBoxLayout* BuildRightColumn();
  // The menu bar: every command of the buttons with its shortcut; a command
  // runs only while its button could be pressed.
  QMenuBar* BuildMenuBar();
  // A folder chosen in a dialog, added to the drive list and loaded.
  void OpenFolderAsCard();
  QHBoxLayout* BuildBottomStrip();
  // Another tab brought to the front: the banner's words and the preview
  // follow its kind.
  void ShowTab(int index);
  // The controls follow the card's work: off while a worker holds the card;
  // the commit while a loaded card is there and a commit would change it.
  void FollowCardWork();
  // Tells that the desktop could not open a file or an address.
  void TellCannotOpen(const QString& what);
  // A load completed: each list shows its first item.
  void ShowLoadedCard();
  // The lists as thumbnails (on) or as grids; kept in the settings file.
  void ShowThumbnails(bool on);

  fenmora::CardSession& session_;
  std::unique_ptr<fenmora::app::QtPrompts> messageBoxes_;
  std::unique_ptr<fenmora::app::StatusProgress> statusProgress_;
  fenmora::Prompts* prompts_ = nullptr;
  TfrAbout* about_ = nullptr;
  bool shown_ = false;
  // Where the frame goes when the window is first shown, and whether the
  // window is maximized then.
  QPoint framePosition_;
  bool startMaximized_ = false;
  // The place was taken back from the last run's geometry.
  bool placeRestored_ = false;
  QString placeSettings_;
  // Shown, and the frame not yet seen at its place.
  bool placingFrame_ = false;

  FolderChooser chooseCardFolder_;
  Opener open_;
  UrlOpener openUrl_;

  QTabWidget* kindTabs_ = nullptr;
  std::array<fenmora::app::KindPage*, 3> pages_{};
  fenmora::app::DriveBox* drives_ = nullptr;
  QComboBox* driveList_ = nullptr;  // the drive list's box
  QProgressBar* spaceBar_ = nullptr;
  QLabel* freeSpace_ = nullptr;
  QPushButton* commitButton_ = nullptr;
  fenmora::app::PreviewSide* preview_ = nullptr;
  fenmora::app::ListEditor* editor_ = nullptr;
  QPushButton* backupButton_ = nullptr;
  QPushButton* restoreButton_ = nullptr;
  QUndoStack* undoStack_ = nullptr;
  fenmora::app::CardControl* card_ = nullptr;
  fenmora::app::CardWork* work_ = nullptr;  // the card control's
  QAction* undoAction_ = nullptr;
  QAction* redoAction_ = nullptr;
  QAction* viewList_ = nullptr;
  QAction* viewThumbnails_ = nullptr;
  QLabel* statusPanel_ = nullptr;
  QLabel* banner_ = nullptr;
  fenmora::app::HelpView* help_ = nullptr;
};
