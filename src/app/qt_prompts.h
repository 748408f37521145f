// The window's answers to the core's questions and its progress display:
// message boxes titled "Fenmora", the status bar panel and the busy cursor.
#pragma once

#include <QString>
#include <memory>

#include "sync/prompts.h"

class QLabel;
class QMessageBox;
class QProgressDialog;
class QWidget;

namespace fenmora::app {

// A folder chosen in Qt's own folder dialog (not the desktop's), in the
// window's words; empty when cancelled.
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder);

// Widens a message box's text to its longest line (as far as the screen
// allows), so that no line breaks in the middle of a word.
void KeepLinesWhole(QMessageBox& box);

class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* owner) : owner_(owner) {}
  Answer Ask(Question question, Icon icon, Buttons buttons, const std::string& text) override;
  Answer AskWithDetails(Question question, Icon icon, Buttons buttons, const std::string& text,
                        const std::string& details) override;

 private:
  QWidget* owner_;
};

// Status texts go to the status bar panel and the window is repainted at
// once, since a long operation does not return to the event loop until it
// is done. Busy sets the hourglass for the whole application.
class StatusProgress : public Progress {
 public:
  StatusProgress(QWidget* window, QLabel* panel) : window_(window), panel_(panel) {}
  ~StatusProgress() override;
  void Status(const std::string& text) override;
  void Busy(bool on) override;

 private:
  QWidget* window_;
  QLabel* panel_;
  int busyDepth_ = 0;
};

// The steps of a long operation (the operations of a commit, the copies of a
// backup) in a progress dialog that shows itself only when the operation runs
// longer than `delayMs`. Status texts and the busy cursor go on to `inner`;
// with `label` empty the dialog shows the status texts too. With a cancel
// button, Step returns false once it was pressed.
class DialogProgress : public Progress {
 public:
  DialogProgress(QWidget* owner, Progress& inner, QString label, bool cancellable, int delayMs);
  ~DialogProgress() override;
  void Status(const std::string& text) override;
  void Busy(bool on) override { inner_.Busy(on); }
  bool Step(long done, long total) override;
  // Takes the dialog down (before the operation's closing message).
  void Close();
  QProgressDialog* dialog() const { return dialog_.get(); }

 private:
  QWidget* owner_;
  Progress& inner_;
  QString label_;
  QString status_;
  bool cancellable_;
  int delayMs_;
  bool cancelled_ = false;
  std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace fenmora::app
