#include "app/card_control.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStandardPaths>
#include <QWidget>
#include <ctime>

#include "app/app_texts.h"
#include "app/card_work.h"
#include "app/drive_box.h"
#include "app/off_thread.h"
#include "app/qt_prompts.h"
#include "sync/backup.h"
#include "sync/commit.h"
#include "sync/load.h"
#include "sync/plan_summary.h"
#include "sync/restore.h"
#include "sync/texts.h"

namespace fenmora::app {

namespace {

// The load sets the card's space just before it turns the hourglass on;
// showing it at that moment lets the window, repainted with every status
// text, show the new card's space while the tables are read.
class LoadProgress : public Progress {
 public:
  LoadProgress(Progress& inner, std::function<void()> spaceKnown)
      : inner_(inner), spaceKnown_(std::move(spaceKnown)) {}
  void Status(const std::string& text) override { inner_.Status(text); }
  void Busy(bool on) override {
    if (on && !spaceShown_) {
      spaceKnown_();
      spaceShown_ = true;
    }
    inner_.Busy(on);
  }
  bool Step(long done, long total) override { return inner_.Step(done, total); }

 private:
  Progress& inner_;
  std::function<void()> spaceKnown_;
  bool spaceShown_ = false;
};

std::uint64_t DeviceOf(const std::filesystem::path& folder) {
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_dev) : 0;
}

}  // namespace

CardControl::CardControl(CardSession& session, DriveBox& drives, QWidget* window, Progress& status)
    : QObject(window), session_(session), drives_(drives), window_(window), status_(status) {
  work_ = new CardWork(this);
  programFolder_ = QCoreApplication::applicationDirPath().toStdString();
  userDataFolder_ = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
  chooseBackup_ = [this](const QString& start) {
    return ChooseFolder(window_, QString::fromUtf8(fenmora::texts::kChooseBackup), start);
  };
}

CardControl::~CardControl() = default;

void CardControl::SetBackupFolders(std::filesystem::path programFolder, std::filesystem::path userDataFolder) {
  programFolder_ = std::move(programFolder);
  userDataFolder_ = std::move(userDataFolder);
}

void CardControl::RunOnWorker(const std::function<void(Prompts&, Progress&)>& job, Progress& progress) {
  ThreadedPrompts prompts(this, *prompts_);
  ThreadedProgress steps(this, progress);
  RunOffThread([&] { job(prompts, steps); });
}

bool CardControl::AskToDropEdits(const char* question) {
  if (!work_->HoldsEdits()) return true;
  return prompts_->Ask(Prompts::Question::DropEdits, Prompts::Icon::Question, Prompts::Buttons::YesCancel,
                       question) == Prompts::Answer::Yes;
}

QString CardControl::LoadedRootText() const {
  return QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(session_.cardRoot.native())));
}

bool CardControl::LoadedCardStillThere() const { return DeviceOf(session_.cardRoot) == loadedDevice_; }

bool CardControl::LoadedFolderThere() const {
  return std::filesystem::is_directory(session_.cardRoot) && LoadedCardStillThere();
}

// ---- the load

void CardControl::LoadChosen() {
  if (!AskToDropEdits(texts::kDropEditsOnLoad)) return;
  const QString chosen = drives_.Chosen();
  if (chosen.isEmpty()) {  // nothing chosen in the drive list
    prompts_->Tell(Prompts::Icon::Error, fenmora::texts::kInsertCard);
    return;
  }
  Load(std::filesystem::path(chosen.toStdString()), /*reload=*/false);
}

LoadResult CardControl::Load(const std::filesystem::path& root, bool reload) {
  LoadProgress loadProgress(status_, [this] { emit spaceKnown(); });
  // The drive warning only for a volume not known as a card reader's and
  // holding no card; the backup advice once per card in a session. The
  // reload after a commit asks nothing of either, nor what to do with an
  // update it left unfinished (its closing message says how: load again).
  const QString rootText = QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(root.native())));
  LoadAsks asks;
  asks.driveWarning = !reload && !drives_.KnownReader(rootText) && !HoldsCardLayout(root, *fileOps_);
  asks.backupAdvice = !reload && !advisedCards_.contains(rootText);
  LoadResult result;
  work_->LoadStarted();
  RunOnWorker(
      [&](Prompts& prompts, Progress& steps) {
        result = LoadCard(session_, root, prompts, steps, *fileOps_,
                          reload ? InterruptedChoice::Tables : InterruptedChoice::Ask, asks);
      },
      loadProgress);
  if (!result.Completed()) {  // declined, or no card: nothing changes
    work_->LoadEnded(false);
    return result;
  }
  if (asks.backupAdvice) advisedCards_ << rootText;
  emit spaceKnown();
  loadedDevice_ = DeviceOf(session_.cardRoot);
  loadedFromVolume_ = drives_.IsVolume(LoadedRootText());
  emit cardLoaded();
  // The lists come from a journal of the old format: the next commit
  // completes that update (or, reverting, undoes it). (One of today's is
  // finished or undone as the load begins.)
  work_->LoadEnded(true, session_.recovering && session_.journalUse != CardSession::JournalUse::Blocks,
                   result.reverting);
  emit historyEnded();
  // A status left from an earlier card (gone, back) no longer holds.
  status_.Status("");
  return result;
}

// ---- the card leaving and coming back

void CardControl::FollowVolumes() {
  // (A worker holds the card and the session now: it sees for itself.)
  if (work_->Busy()) return;
  const bool leftTheTable = loadedFromVolume_ && !drives_.IsVolume(LoadedRootText());
  const bool there = !leftTheTable && std::filesystem::is_directory(session_.cardRoot);
  if (work_->CardThere() && (!there || !LoadedCardStillThere())) NoticeCardPulled();
  else if (work_->state() == CardWork::State::Pulled && there) NoticeCardBack();
}

void CardControl::NoticeCardPulled() {
  work_->CardPulled();
  status_.Status(texts::kCardGone);
}

void CardControl::NoticeCardBack() {
  // Mounted again, perhaps as another file system: the same card when its
  // tables (and its journal) are byte for byte those loaded.
  CardSession now;
  now.profile = session_.profile;
  now.cardRoot = session_.cardRoot;
  now.volume = fileOps_->VolumeOf(session_.cardRoot);
  now.journalHash = session_.journalHash;
  now.tableHashes = session_.tableHashes;
  const bool unchanged = !now.volume.empty() && CardChangedSinceLoad(now, *fileOps_).empty();
  if (unchanged) {
    session_.volume = now.volume;
    loadedDevice_ = DeviceOf(session_.cardRoot);
  }
  work_->CardBack(unchanged);
  status_.Status(unchanged ? texts::kCardBackUnchanged : texts::kCardBack);
}

bool CardControl::StartCardWrite() {
  if (!work_->CardThere()) return false;
  // A card folder that went unseen (nothing signals a folder's removal) is
  // noticed here, before any plan or question.
  if (!LoadedFolderThere()) {
    NoticeCardPulled();
    prompts_->Tell(Prompts::Icon::Error, texts::kCardPulledBeforeWrite);
    return false;
  }
  work_->WriteStarted();
  return true;
}

// ---- the commit

void CardControl::Commit() {
  if (!work_->CommitDue() || !StartCardWrite()) return;
  // (Whether the card is still the one loaded is seen once, by the commit,
  // just before its first write.)
  const bool reverting = work_->Reverting();
  CommitPlan plan;
  RunOnWorker([&](Prompts&, Progress&) { plan = PlanCommit(session_, *fileOps_); }, status_);
  // What happened: the update, or the return to the state before an
  // interrupted one.
  RunPlannedCommit(session_, plan, [reverting](const CommitResult& result, std::string& details) {
    return result.Ok() && reverting ? std::string(fenmora::texts::kRevertDone) : CommitReport(result, &details);
  });
}

void CardControl::RunPlannedCommit(
    CardSession& session, const CommitPlan& plan,
    const std::function<std::string(const CommitResult&, std::string& details)>& report,
    const std::string& headline) {
  // What the commit will do, before it writes anything; a plan blocked from
  // the start changes nothing and says so itself.
  if (!plan.blocked) {
    const PlanSummary summary = SummarizePlan(plan, session);
    if (prompts_->AskWithDetails(Prompts::Question::ConfirmCommit, Prompts::Icon::Question,
                                 Prompts::Buttons::YesNo,
                                 headline.empty() ? summary.text : headline + "\n\n" + summary.text,
                                 summary.details) != Prompts::Answer::Yes) {
      work_->WriteLeftCardAsItWas();
      return;
    }
  }
  status_.Busy(true);
  DialogProgress steps(window_, status_, QString(), /*cancellable=*/false, progressDelayMs_);
  CommitResult result;
  RunOnWorker([&](Prompts&, Progress& shown) { result = ExecuteCommit(session, plan, *fileOps_, shown); }, steps);
  steps.Close();
  // The card went while it was written: said in those words, before the
  // core's account of the steps.
  const bool pulled = !result.Ok() && !LoadedFolderThere();

  // A commit stopped before it touched any file on the card (a write-protected
  // card) leaves the card as it was: the lists keep the user's edits, so that
  // the commit can be tried again once the card can be written.
  const bool cardUnchanged = result.stopped && !result.contentTouched && !result.cardChanged;
  bool reloaded = true;
  if (result.cardChanged) {
    // Not the card that was loaded: nothing was written, and nothing is read
    // back from whatever lies at the card root now; nothing more is written
    // to it either.
    work_->WriteFoundCardGone();
  } else if (cardUnchanged) {
    work_->WriteLeftCardAsItWas();
  } else if (pulled) {
    // Nothing to read back: the card is out. Its journal holds what the
    // next load finishes or undoes; the edits are in it.
    work_->WriteFoundCardGone();
    emit historyEnded();
  } else {
    status_.Status(fenmora::texts::kReloadStatus);
    // Reread the card that was written, and show it in the drive list.
    const std::filesystem::path root = session_.cardRoot;
    drives_.AddFolder(QString::fromStdString(root.string()));
    reloaded = Load(root, /*reload=*/true).Completed();
    // The edits are on the card now (or in its journal): no undo reaches
    // back past the commit.
    emit historyEnded();
  }
  status_.Status(pulled ? texts::kCardGone : "");
  status_.Busy(false);

  const Prompts::Icon icon = result.Ok() && reloaded ? Prompts::Icon::Information
                             : result.stopped       ? Prompts::Icon::Error
                                                    : Prompts::Icon::Warning;
  // What happened, in one box, then the reload when it did not work. The
  // system's reasons for failures go to the details.
  std::string details;
  std::string text = report(result, details);
  if (pulled) {
    // The card was taken out: said in those words, with what became of it;
    // the core's account of the steps (and its advice about a
    // write-protected card, which does not apply) goes to the details.
    details = text + (details.empty() ? "" : "\n\n" + details);
    text = std::string(texts::kCardPulledDuringWrite) + "\n" +
           (result.contentTouched ? texts::kCardPulledReinsert : texts::kCardPulledUntouched);
  }
  if (!reloaded) text += std::string("\n") + fenmora::texts::kReloadFailed;
  prompts_->AskWithDetails(Prompts::Question::Message, icon, Prompts::Buttons::Ok, text, details);
}

// ---- the backup and the restore

void CardControl::BackUp() {
  // (The backup holds the card's lock as a write would: nothing else starts.)
  if (!StartCardWrite()) return;
  std::string changed;
  RunOnWorker([&](Prompts&, Progress&) { changed = CardChangedSinceLoad(session_, *fileOps_); }, status_);
  if (!changed.empty()) {
    work_->WriteFoundCardGone();
    prompts_->Tell(Prompts::Icon::Error, texts::kBackupCardGone);
    return;
  }
  DialogProgress copies(window_, status_, QString::fromUtf8(fenmora::texts::kCopying),
                        /*cancellable=*/true, progressDelayMs_);
  // BackupCard turns the hourglass on and puts up its status text.
  const std::filesystem::path root = ChooseBackupRoot(programFolder_, userDataFolder_, *fileOps_);
  BackupResult result;
  RunOnWorker([&](Prompts&, Progress& shown) {
    result = BackupCard(session_.cardRoot, root, std::time(nullptr), *fileOps_, shown);
  }, copies);
  copies.Close();
  work_->WriteLeftCardAsItWas();
  // The status text and the hourglass go with the work, before the closing
  // message: the backup is over when it is read.
  status_.Status("");
  status_.Busy(false);
  std::string details;
  const std::string report = BackupReport(result, &details);
  prompts_->AskWithDetails(Prompts::Question::Message,
                           result.complete ? Prompts::Icon::Information : Prompts::Icon::Warning,
                           Prompts::Buttons::Ok, report, details);
}

void CardControl::Restore() {
  if (!work_->CardThere()) return;
  // An interrupted update is finished or undone first: before any question
  // about edits or any choice of a backup.
  if (work_->state() == CardWork::State::Interrupted) {
    prompts_->Tell(Prompts::Icon::Warning, texts::kRestoreRefusedInterrupted);
    return;
  }
  if (!AskToDropEdits(texts::kDropEditsOnRestore)) return;
  const std::filesystem::path root = ChooseBackupRoot(programFolder_, userDataFolder_, *fileOps_);
  const QString chosen = chooseBackup_(QString::fromStdString(root.string()));
  if (chosen.isEmpty() || !StartCardWrite()) return;
  const std::filesystem::path backup = chosen.toStdString();
  RestoreSetup setup;
  CommitPlan plan;
  RunOnWorker(
      [&](Prompts&, Progress&) {
        setup = PrepareRestore(backup, session_.cardRoot, *fileOps_);
        if (setup.refusal.empty()) plan = PlanCommit(setup.session, *fileOps_);
      },
      status_);
  if (!setup.refusal.empty()) {
    work_->WriteLeftCardAsItWas();
    std::string text;
    for (const std::string& line : setup.refusal) text += (text.empty() ? "" : "\n") + line;
    prompts_->Tell(Prompts::Icon::Error, text);
    return;
  }
  // Asked, run and reloaded as a commit; the question names the backup it
  // restores, the closing message what the backup did not have.
  RunPlannedCommit(
      setup.session, plan,
      [&](const CommitResult& result, std::string&) { return RestoreReport(setup, plan, result); },
      texts::kRestoreFrom + QDir::toNativeSeparators(chosen).toStdString());
}

}  // namespace fenmora::app
