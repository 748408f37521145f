#include "app/off_thread.h"

#include <QEventLoop>
#include <QThread>
#include <memory>

namespace fenmora::app {

void RunOffThread(const std::function<void()>& job) {
  QEventLoop loop;
  std::unique_ptr<QThread> worker(QThread::create(job));
  // Queued to this thread: delivered by the loop below even when the job
  // ends before the loop starts.
  QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
  worker->start();
  loop.exec();
  worker->wait();
}

void OnThreadOf(QObject* context, const std::function<void()>& call) {
  if (QThread::currentThread() == context->thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(context, call, Qt::BlockingQueuedConnection);
}

Prompts::Answer ThreadedPrompts::Ask(Question question, Icon icon, Buttons buttons, const std::string& text) {
  Answer answer = Answer::Cancel;
  OnThreadOf(context_, [&] { answer = inner_.Ask(question, icon, buttons, text); });
  return answer;
}

Prompts::Answer ThreadedPrompts::AskWithDetails(Question question, Icon icon, Buttons buttons,
                                                const std::string& text, const std::string& details) {
  Answer answer = Answer::Cancel;
  OnThreadOf(context_, [&] { answer = inner_.AskWithDetails(question, icon, buttons, text, details); });
  return answer;
}

void ThreadedProgress::Status(const std::string& text) {
  OnThreadOf(context_, [&] { inner_.Status(text); });
}

void ThreadedProgress::Busy(bool on) {
  OnThreadOf(context_, [&] { inner_.Busy(on); });
}

bool ThreadedProgress::Step(long done, long total) {
  bool goOn = true;
  OnThreadOf(context_, [&] { goOn = inner_.Step(done, total); });
  return goOn;
}

}  // namespace fenmora::app
