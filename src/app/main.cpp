// fenmora: the window. One optional argument, a folder, is offered in the
// drive list and selected (a card copied to disk, a mounted card image).
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "app/app_paths.h"
#include "app/main_window.h"
#include "sync/session.h"

namespace {

// Benchmark mode (bench/window_bench): with FENMORA_BENCH_EXIT_AFTER_PAINT=1
// set, the window quits as soon as it has been painted once, and prints the
// monotonic clock at that moment (the benchmark started the process at a
// time it knows) and the peak memory so far.
class ExitAfterFirstPaint : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      QTimer::singleShot(0, [] {  // once the paint is done
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("first-paint-steady-ns %lld\npeak-rss-kb %ld\n",
                    static_cast<long long>(std::chrono::nanoseconds(now).count()), usage.ru_maxrss);
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  // The profile and the catalogues exist before the window and outlive it.
  fenmora::CardSession session;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Fenmora"));
  fenmora::app::InstallFontSubstitutions();
  fenmora::app::InstallQtTranslation();

  {
    ExitAfterFirstPaint benchProbe;
    TfrMain frMain(session);
    if (qEnvironmentVariableIntValue("FENMORA_BENCH_EXIT_AFTER_PAINT") == 1)
      frMain.installEventFilter(&benchProbe);
    // The about box is made when the branding panel is first clicked: the
    // window shows sooner without it.

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 2) frMain.AddCardFolder(arguments.at(1));

    frMain.show();
    QApplication::exec();
  }
  return 0;
}
