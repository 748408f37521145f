#include "app/help_view.h"

#include "platform/language.h"

#include <QBoxLayout>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>

#include "app/app_paths.h"
#include "app/app_texts.h"

namespace fenmora::app {

HelpView::HelpView(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frHelp"));
  setWindowTitle(QString::fromUtf8(texts::kHelpTitle));
  setFont(PixelFont(kProportionalFace, 12));
  resize(640, 520);

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("HelpText"));
  text_->setReadOnly(true);
  text_->setFont(PixelFont(kFixedFace, 14));
  text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The cursor stays visible so that a found place shows and the text can be
  // selected and copied.
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

  auto* label = new QLabel(QString::fromUtf8(texts::kHelpFindLabel), this);
  find_ = new QLineEdit(this);
  find_->setObjectName(QStringLiteral("HelpFind"));
  label->setBuddy(find_);
  auto* next = new QPushButton(QString::fromUtf8(texts::kHelpFindNext), this);
  next->setObjectName(QStringLiteral("HelpFindNext"));
  next->setAutoDefault(false);
  notFound_ = new QLabel(this);
  notFound_->setObjectName(QStringLiteral("HelpNotFound"));
  auto* close = new QPushButton(QString::fromUtf8(texts::kClose), this);
  close->setObjectName(QStringLiteral("HelpClose"));
  close->setAutoDefault(false);

  auto* searchRow = new QHBoxLayout;
  searchRow->addWidget(label);
  searchRow->addWidget(find_, 1);
  searchRow->addWidget(next);
  searchRow->addWidget(notFound_);
  searchRow->addStretch();
  searchRow->addWidget(close);
  auto* column = new QVBoxLayout(this);
  column->addWidget(text_, 1);
  column->addLayout(searchRow);

  connect(find_, &QLineEdit::returnPressed, this, &HelpView::FindNext);
  connect(next, &QPushButton::clicked, this, &HelpView::FindNext);
  connect(find_, &QLineEdit::textChanged, notFound_, &QLabel::clear);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* findKey = new QShortcut(QKeySequence::Find, this);
  connect(findKey, &QShortcut::activated, this, [this] {
    find_->setFocus();
    find_->selectAll();
  });
}

namespace {
// The heading of the read-me's English part.
constexpr const char* kEnglishPart = "Fenmora user guide (English)";
}  // namespace

bool HelpView::Open(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  // A read-me is small; a larger file is not one, and only its start shows.
  constexpr qint64 kMaxBytes = 4 * 1024 * 1024;
  text_->setPlainText(QString::fromUtf8(file.read(kMaxBytes)));
  text_->moveCursor(QTextCursor::Start);
  // The read-me is Japanese first, then English: in English the view opens
  // at the English part, its heading at the top.
  if (CurrentLanguage() == Language::English) {
    const QTextCursor english = text_->document()->find(QString::fromUtf8(kEnglishPart));
    if (!english.isNull()) {
      text_->moveCursor(QTextCursor::End);
      QTextCursor at(english);
      at.movePosition(QTextCursor::StartOfBlock);
      text_->setTextCursor(at);
    }
  }
  return true;
}

bool HelpView::FindNext() {
  const QString what = find_->text();
  if (what.isEmpty()) return false;
  bool found = text_->find(what);
  if (!found) {  // from the top again
    const QTextCursor before = text_->textCursor();
    text_->moveCursor(QTextCursor::Start);
    found = text_->find(what);
    if (!found) text_->setTextCursor(before);
  }
  notFound_->setText(found ? QString() : QString::fromUtf8(texts::kHelpNotFound));
  return found;
}

}  // namespace fenmora::app
