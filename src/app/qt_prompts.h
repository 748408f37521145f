// The window's answers to the core's questions and its progress display:
// message boxes titled "Fenmora", the status bar panel and the busy cursor.
#pragma once

#include "sync/prompts.h"

class QLabel;
class QWidget;

namespace fenmora::app {

class QtPrompts : public Prompts {
 public:
  explicit QtPrompts(QWidget* owner) : owner_(owner) {}
  Answer Ask(Icon icon, Buttons buttons, const std::string& text) override;

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

}  // namespace fenmora::app
