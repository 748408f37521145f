// Blocking work of the core (load, commit, backup, restore) run off the GUI
// thread while the window's event loop keeps running, and the core's
// questions and progress carried from that worker back to the GUI thread.
#pragma once

#include <QObject>
#include <functional>

#include "sync/prompts.h"

namespace fenmora::app {

// Runs `job` on a worker thread and returns once it is done. Until then the
// calling (GUI) thread goes on handling its events: the window repaints,
// answers the worker's questions and shows its progress. Callers keep the
// user from starting other work meanwhile (CardWork's busy states).
void RunOffThread(const std::function<void()>& job);

// Runs `call` on the thread of `context` and waits for it: at once when
// that is the calling thread.
void OnThreadOf(QObject* context, const std::function<void()>& call);

// The core's questions, asked from a worker, answered by `inner` on the
// thread of `context` (the window's).
class ThreadedPrompts : public Prompts {
 public:
  ThreadedPrompts(QObject* context, Prompts& inner) : context_(context), inner_(inner) {}
  Answer Ask(Question question, Icon icon, Buttons buttons, const std::string& text) override;
  Answer AskWithDetails(Question question, Icon icon, Buttons buttons, const std::string& text,
                        const std::string& details) override;

 private:
  QObject* context_;
  Prompts& inner_;
};

// Status texts, the busy cursor and the steps of a worker's job, shown by
// `inner` on the thread of `context`. A step waits for the window to show it
// and returns whether the user asked to stop.
class ThreadedProgress : public Progress {
 public:
  ThreadedProgress(QObject* context, Progress& inner) : context_(context), inner_(inner) {}
  void Status(const std::string& text) override;
  void Busy(bool on) override;
  bool Step(long done, long total) override;

 private:
  QObject* context_;
  Progress& inner_;
};

}  // namespace fenmora::app
