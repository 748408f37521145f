// "復元": a backup chosen in a folder dialog restored onto the loaded
// card. The core checks the backup against its manifest and plans the restore
// as a commit; the window asks with the commit's summary, runs it with the
// commit's progress, reloads the card and names what the backup did not have.
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUndoStack>

#include "app/app_texts.h"
#include "app/card_work.h"
#include "app/main_window.h"
#include "sync/backup.h"
#include "sync/commit.h"
#include "sync/load.h"
#include "sync/restore.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::app;

void TfrMain::BuildRestoreButton(QHBoxLayout* backupRow) {
  // The backup button gives the right part of its row.
  constexpr int kWidth = 44;
  restoreButton_ = new QPushButton(QString::fromUtf8(fenmora::texts::kRestoreButton), this);
  restoreButton_->setObjectName(QStringLiteral("btRestore"));
  restoreButton_->setFixedWidth(kWidth);
  restoreButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Ignored);  // the row's height
  // (Its caption may be cut rather than widen the column.)
  backupButton_->setSizePolicy(QSizePolicy::Ignored, backupButton_->sizePolicy().verticalPolicy());
  backupRow->addWidget(restoreButton_);
  restoreButton_->setToolTip(QString::fromUtf8(fenmora::texts::kChooseBackup));
  restoreButton_->setEnabled(false);
  connect(restoreButton_, &QPushButton::clicked, this, &TfrMain::RestoreBackup);
  chooseBackup_ = [this](const QString& start) {
    return QFileDialog::getExistingDirectory(this, QString::fromUtf8(fenmora::texts::kChooseBackup), start);
  };
}

void TfrMain::RestoreBackup() {
  if (!work_->CardThere()) return;
  if (!AskToDropEdits(app::texts::kDropEditsOnRestore)) return;
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
      progress());
  if (!setup.refusal.empty()) {
    work_->WriteLeftCardAsItWas();
    std::string text;
    for (const std::string& line : setup.refusal) text += (text.empty() ? "" : "\n") + line;
    prompts_->Tell(Prompts::Icon::Error, text);
    return;
  }
  // Asked, run and reloaded as a commit; the closing message names what the
  // backup did not have.
  // The question names the backup it restores.
  RunPlannedCommit(
      setup.session, plan,
      [&](const CommitResult& result, std::string&) { return RestoreReport(setup, plan, result); },
      app::texts::kRestoreFrom + QDir::toNativeSeparators(chosen).toStdString());
}
