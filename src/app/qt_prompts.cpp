#include "app/qt_prompts.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace fenmora::app {

Prompts::Answer QtPrompts::Ask(Icon icon, Buttons buttons, const std::string& text) {
  QMessageBox box(owner_);
  box.setWindowTitle(QStringLiteral("Fenmora"));
  box.setText(QString::fromStdString(text));
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

}  // namespace fenmora::app
