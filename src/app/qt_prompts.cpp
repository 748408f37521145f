#include "app/qt_prompts.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QFileSystemModel>
#include <QIdentityProxyModel>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <algorithm>
#include <climits>

#include "app/app_texts.h"
#include "sync/texts.h"

namespace fenmora::app {

void KeepLinesWhole(QMessageBox& box) {
  // Qt wraps a message wider than half the screen anywhere, in the middle of
  // a Japanese word: the text is as wide as its longest line instead, as far
  // as the screen allows. Longer lines (a path) still wrap.
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return;
  const QFontMetrics metrics(label->font());
  int longest = 0;
  for (const QString& line : box.text().split(QLatin1Char('\n')))
    longest = std::max(longest, metrics.horizontalAdvance(line));
  const QScreen* screen = box.screen();
  const int room = screen ? screen->availableGeometry().width() * 3 / 4 : 600;
  label->setMinimumWidth(std::min(longest + 4, room));
}

Prompts::Answer QtPrompts::Ask(Question question, Icon icon, Buttons buttons, const std::string& text) {
  return AskWithDetails(question, icon, buttons, text, {});
}

Prompts::Answer QtPrompts::AskWithDetails(Question question, Icon icon, Buttons buttons,
                                          const std::string& text, const std::string& details) {
  QMessageBox box(owner_);
  box.setWindowTitle(QStringLiteral("Fenmora"));
  box.setText(QString::fromStdString(text));
  // Paths and addresses can be selected and copied.
  box.setTextInteractionFlags(Qt::TextSelectableByMouse);
  KeepLinesWhole(box);
  if (!details.empty()) {
    box.setDetailedText(QString::fromStdString(details));
    // Room for a dozen lines of details, not Qt's five.
    if (auto* detailsView = box.findChild<QTextEdit*>())
      detailsView->setFixedHeight(detailsView->fontMetrics().lineSpacing() * 12 + 8);
  }
  switch (icon) {
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Error: box.setIcon(QMessageBox::Critical); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
  }
  switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::Cancel); break;
  }
  if (question == Question::InterruptedUpdate && buttons == Buttons::YesNo) {
    // The two ways out named on the buttons themselves.
    box.button(QMessageBox::Yes)->setText(QString::fromUtf8(fenmora::texts::kFinishUpdate));
    box.button(QMessageBox::No)->setText(QString::fromUtf8(fenmora::texts::kUndoUpdate));
  }
  // Dropping edits is never what a stray Enter does.
  if (question == Question::DropEdits)
    box.setDefaultButton(buttons == Buttons::YesCancel ? QMessageBox::Cancel : QMessageBox::No);
  // The busy cursor of a running operation must not hide the arrow over the box.
  const bool busy = QApplication::overrideCursor() != nullptr;
  if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
  const int pressed = box.exec();
  if (busy) QApplication::restoreOverrideCursor();
  switch (pressed) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Ok: return Answer::Ok;
    default: break;
  }
  // Closed with Escape or the close box: the safe answer of the buttons shown.
  switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    case Buttons::YesCancel: return Answer::Cancel;
  }
  return Answer::Cancel;
}

StatusProgress::~StatusProgress() {
  while (busyDepth_ > 0) Busy(false);
}

void StatusProgress::Status(const std::string& text) {
  panel_->setText(QString::fromStdString(text));
  window_->repaint();
}

void StatusProgress::Busy(bool on) {
  if (on) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busyDepth_;
  } else if (busyDepth_ > 0) {
    QApplication::restoreOverrideCursor();
    --busyDepth_;
  }
}

DialogProgress::DialogProgress(QWidget* owner, Progress& inner, QString label, bool cancellable,
                               int delayMs)
    : owner_(owner), inner_(inner), label_(std::move(label)), cancellable_(cancellable),
      delayMs_(delayMs) {}

DialogProgress::~DialogProgress() { Close(); }

void DialogProgress::Status(const std::string& text) {
  inner_.Status(text);
  status_ = QString::fromStdString(text);
  if (dialog_ && label_.isEmpty() && !status_.isEmpty()) dialog_->setLabelText(status_);
}

bool DialogProgress::Step(long done, long total) {
  if (cancelled_) return false;
  if (total <= 0) return true;
  if (!dialog_) {
    if (done >= total) return true;  // over before it began: nothing to show
    dialog_ = std::make_unique<QProgressDialog>(owner_);
    dialog_->setWindowTitle(QStringLiteral("Fenmora"));
    dialog_->setLabelText(label_.isEmpty() ? status_ : label_);
    if (!cancellable_) dialog_->setCancelButton(nullptr);
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(delayMs_);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setRange(0, static_cast<int>(std::min<long>(total, INT_MAX)));
    dialog_->setValue(0);  // starts the dialog's clock
  }
  if (dialog_->maximum() != std::min<long>(total, INT_MAX))
    dialog_->setMaximum(static_cast<int>(std::min<long>(total, INT_MAX)));
  dialog_->setValue(static_cast<int>(std::clamp<long>(done, 0, dialog_->maximum())));
  if (cancellable_ && dialog_->wasCanceled()) cancelled_ = true;
  return !cancelled_;
}

void DialogProgress::Close() {
  if (!dialog_) return;
  dialog_->hide();
  dialog_.reset();
}

namespace {

// The folder dialog's list in the window's words: its column headers, and
// "フォルダー" as the kind of every folder.
class FolderWords : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
      const char* const names[] = {app::texts::kFolderColumnName, app::texts::kFolderColumnSize, app::texts::kFolderColumnType,
                                   app::texts::kFolderColumnDate};
      if (section >= 0 && section < 4) return QString::fromUtf8(names[section]);
    }
    return QIdentityProxyModel::headerData(section, orientation, role);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (files && index.column() == 2 && role == Qt::DisplayRole && files->isDir(mapToSource(index)))
      return QString::fromUtf8(app::texts::kFolderKind);
    // The date as the window writes dates ("2004/03/01 18:30").
    if (files && index.column() == 3 && role == Qt::DisplayRole)
      return files->lastModified(mapToSource(index)).toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    return QIdentityProxyModel::data(index, role);
  }
};

}  // namespace

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder) {
  QFileDialog dialog(parent, caption, startFolder);
  dialog.setObjectName(QStringLiteral("FolderDialog"));
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setProxyModel(new FolderWords(&dialog));
  dialog.setLabelText(QFileDialog::LookIn, QString::fromUtf8(app::texts::kFolderLookIn));
  dialog.setLabelText(QFileDialog::FileName, QString::fromUtf8(app::texts::kFolderName));
  dialog.setLabelText(QFileDialog::FileType, QString::fromUtf8(app::texts::kFolderType));
  dialog.setLabelText(QFileDialog::Accept, QString::fromUtf8(app::texts::kFolderChoose));
  dialog.setLabelText(QFileDialog::Reject, QString::fromUtf8(app::texts::kCancel));
  // The kind of what is chosen: folders, in the window's word.
  if (auto* kinds = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
    for (int i = 0; i < kinds->count(); ++i) kinds->setItemText(i, QString::fromUtf8(app::texts::kFolderKind));
  if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    list->header()->resizeSection(0, 220);
    list->header()->resizeSection(2, 90);
    list->header()->resizeSection(3, 120);
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

}  // namespace fenmora::app
