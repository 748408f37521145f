// The card's work as the window runs it: the load ("メモリカード読込"), the
// commit ("メモリカード更新"), the backup ("データバックアップ") and the
// restore ("復元"), each on a worker while the window answers its events;
// where the card stands (CardWork's states); the loaded card leaving and
// coming back. The window builds the buttons and reacts to the signals.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "platform/fileops.h"
#include "sync/prompts.h"
#include "sync/session.h"

class QWidget;

namespace fenmora {
struct CommitPlan;
struct CommitResult;
struct LoadResult;
}  // namespace fenmora

namespace fenmora::app {

class CardWork;
class DriveBox;

class CardControl : public QObject {
  Q_OBJECT
 public:
  // `window` owns the dialogs; `status` shows the status texts and the busy
  // cursor; `drives` is the drive list the cards are chosen in.
  CardControl(CardSession& session, DriveBox& drives, QWidget* window, Progress& status);
  ~CardControl() override;

  CardWork& work() const { return *work_; }

  // ---- what tests put in place of the real thing
  void SetPrompts(Prompts& prompts) { prompts_ = &prompts; }
  void SetFileOps(FileOps& ops) { fileOps_ = &ops; }
  FileOps& fileOps() const { return *fileOps_; }
  // The program's folder and the user's data folder, between which the
  // backup chooses its root.
  void SetBackupFolders(std::filesystem::path programFolder, std::filesystem::path userDataFolder);
  // The folder dialog of "復元": gets the folder it starts in, returns the
  // chosen backup folder (empty: cancelled).
  using FolderChooser = std::function<QString(const QString& startFolder)>;
  void SetBackupChooser(FolderChooser chooser) { chooseBackup_ = std::move(chooser); }
  // How long a commit or a backup runs before its progress dialog shows.
  void SetProgressDelay(int milliseconds) { progressDelayMs_ = milliseconds; }

  // With edits not yet committed, asks whether to drop them; true to go on.
  bool AskToDropEdits(const char* question);
  // The loaded card's root as the drive list names it.
  QString LoadedRootText() const;

  // ---- the commands
  // "メモリカード読込": the card chosen in the drive list.
  void LoadChosen();
  // The load of the card at root; reload: the load that ends a commit.
  LoadResult Load(const std::filesystem::path& root, bool reload);
  void Commit();
  void BackUp();
  void Restore();
  // The drive list was read again: a loaded card that went away can no
  // longer be written to; one back unchanged goes on.
  void FollowVolumes();

 signals:
  // The card's space was read (early in a load): the window shows it.
  void spaceKnown();
  // A load completed: the lists are the card's now.
  void cardLoaded();
  // The edits are on the card or in its journal: no undo reaches back
  // past this point.
  void historyEnded();

 private:
  // Runs `job` on a worker with the core's questions and progress carried
  // to the window: the window answers its events meanwhile.
  void RunOnWorker(const std::function<void(Prompts&, Progress&)>& job, Progress& progress);
  // Asks with the plan's summary, carries it out with the commit's progress,
  // reloads the card and tells report(result): the commit and the restore.
  // `headline`, when given, goes before the plan's summary in the question.
  void RunPlannedCommit(CardSession& session, const CommitPlan& plan,
                        const std::function<std::string(const CommitResult&, std::string& details)>& report,
                        const std::string& headline = {});
  // The commit, the restore and the backup begin: false (and said) when the
  // loaded card is no longer there.
  bool StartCardWrite();
  void NoticeCardPulled();
  // The card that was pulled is there again: unchanged (its tables as
  // loaded), its lists and edits go on; otherwise it waits for a load.
  void NoticeCardBack();
  // The loaded card's folder is there, on the file system loaded.
  bool LoadedFolderThere() const;
  bool LoadedCardStillThere() const;

  CardSession& session_;
  DriveBox& drives_;
  QWidget* window_;
  Progress& status_;
  CardWork* work_ = nullptr;
  Prompts* prompts_ = nullptr;
  RealFileOps realFileOps_;
  FileOps* fileOps_ = &realFileOps_;
  FolderChooser chooseBackup_;
  std::filesystem::path programFolder_;
  std::filesystem::path userDataFolder_;
  int progressDelayMs_ = 500;
  // Cards (their roots) the backup advice was given for in this session.
  QStringList advisedCards_;
  std::uint64_t loadedDevice_ = 0;
  // The loaded card is a volume of the mount table (not a folder added by
  // hand): it is gone when it leaves the table.
  bool loadedFromVolume_ = false;
};

}  // namespace fenmora::app
