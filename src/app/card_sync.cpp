// The commit ("メモリカード更新") and the backup ("データバックアップ") as the
// window runs them: the core does the work through the window's file
// operations; the window shows the phases, a progress dialog for long runs,
// and the closing message.
#include <QCoreApplication>
#include <QPushButton>
#include <QUndoStack>
#include <ctime>

#include "app/app_texts.h"
#include "app/card_work.h"
#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "sync/backup.h"
#include "sync/commit.h"
#include "sync/load.h"
#include "sync/plan_summary.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::app;

bool TfrMain::LoadedFolderThere() const {
  return std::filesystem::is_directory(session_.cardRoot) && LoadedCardStillThere();
}

bool TfrMain::StartCardWrite() {
  if (!work_->CardThere()) return false;
  // A card folder that went unseen (nothing signals a folder's removal) is
  // noticed here, before any plan or question.
  if (!LoadedFolderThere()) {
    NoticeCardPulled();
    prompts_->Tell(Prompts::Icon::Error, app::texts::kCardPulledBeforeWrite);
    return false;
  }
  work_->WriteStarted();
  return true;
}

void TfrMain::CommitToCard() {
  if (!work_->CommitDue() || !StartCardWrite()) return;
  // (Whether the card is still the one loaded is seen once, by the commit,
  // just before its first write.)
  const bool reverting = work_->Reverting();
  CommitPlan plan;
  RunOnWorker([&](Prompts&, Progress&) { plan = PlanCommit(session_, *fileOps_); }, progress());
  // What happened: the update, or the return to the state before an
  // interrupted one.
  RunPlannedCommit(session_, plan, [reverting](const CommitResult& result, std::string& details) {
    return result.Ok() && reverting ? std::string(fenmora::texts::kRevertDone) : CommitReport(result, &details);
  });
}

void TfrMain::RunPlannedCommit(CardSession& session, const CommitPlan& plan,
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
  Progress& status = progress();
  status.Busy(true);
  DialogProgress steps(this, status, QString(), /*cancellable=*/false, progressDelayMs_);
  CommitResult result;
  RunOnWorker([&](Prompts&, Progress& shown) { result = ExecuteCommit(session, plan, *fileOps_, shown); },
              steps);
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
    undoStack_->clear();
  } else {
    status.Status(fenmora::texts::kReloadStatus);
    // Reread the card that was written, and show it in the drive list.
    const std::filesystem::path root = session_.cardRoot;
    AddCardFolder(QString::fromStdString(root.string()));
    reloaded = LoadFrom(root, /*reload=*/true).Completed();
    // The edits are on the card now (or in its journal): no undo reaches
    // back past the commit.
    undoStack_->clear();
  }
  status.Status(pulled ? app::texts::kCardGone : "");
  FollowCardWork();
  status.Busy(false);

  const Prompts::Icon icon = result.Ok() && reloaded ? Prompts::Icon::Information
                             : result.stopped       ? Prompts::Icon::Error
                                                    : Prompts::Icon::Warning;
  // What happened, in one box, then the reload when it did not work. The
  // system's reasons for failures go to the details.
  std::string details;
  std::string text = report(result, details);
  if (pulled) text = std::string(app::texts::kCardPulledDuringWrite) + "\n" + text;
  if (!reloaded) text += std::string("\n") + fenmora::texts::kReloadFailed;
  prompts_->AskWithDetails(Prompts::Question::Message, icon, Prompts::Buttons::Ok, text, details);
}

void TfrMain::BackUpCard() {
  // (The backup holds the card's lock as a write would: nothing else starts.)
  if (!StartCardWrite()) return;
  std::string changed;
  RunOnWorker([&](Prompts&, Progress&) { changed = CardChangedSinceLoad(session_, *fileOps_); }, progress());
  if (!changed.empty()) {
    work_->WriteFoundCardGone();
    prompts_->Tell(Prompts::Icon::Error, app::texts::kBackupCardGone);
    return;
  }
  DialogProgress copies(this, progress(), QString::fromUtf8(fenmora::texts::kCopying),
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
  progress().Status("");
  progress().Busy(false);
  std::string details;
  const std::string report = BackupReport(result, &details);
  prompts_->AskWithDetails(Prompts::Question::Message,
                           result.complete ? Prompts::Icon::Information : Prompts::Icon::Warning,
                           Prompts::Buttons::Ok, report, details);
}
