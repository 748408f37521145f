// What the window benchmarks share: a hook that runs once a window has been
// painted for the first time, the monotonic clock and the peak memory, as the
// child programs print them for window_bench ("first-paint-steady-ns N",
// "peak-rss-kb N"). The real program prints the same lines from its own hook
// in src/app/main.cpp.
#pragma once

#include <sys/resource.h>

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <utility>

namespace fenmora::bench {

inline long long SteadyNanoseconds() {
  return static_cast<long long>(
      std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count());
}

inline long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

inline void PrintFigure(const char* name, long long value) {
  std::printf("%s %lld\n", name, value);
  std::fflush(stdout);
}

// Installed on a window: at its first paint event, schedules `then` for the
// moment the paint is done (the next turn of the event loop).
class AfterFirstPaint : public QObject {
 public:
  explicit AfterFirstPaint(std::function<void()> then) : then_(std::move(then)) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      QTimer::singleShot(0, this, [this] { then_(); });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<void()> then_;
  bool painted_ = false;
};

}  // namespace fenmora::bench
