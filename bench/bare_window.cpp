// The baseline of the window benchmarks: a bare Qt window of the same build,
// a QMainWindow holding a QTabWidget with three QTableWidgets and nothing
// else.
//   bare_window                       stays open
//   bare_window --exit-after-paint    (or FENMORA_BENCH_EXIT_AFTER_PAINT=1)
//       prints the monotonic clock and the peak memory once the window has
//       been painted, and quits
//   bare_window --fill --exit-after-paint
//       after the first paint, fills each table with 1024 rows of four texts
//       like the program's lists, repaints, prints the peak memory and quits
#include <QApplication>
#include <QMainWindow>
#include <QTabWidget>
#include <QTableWidget>
#include <cstring>

#include "first_paint.h"

using fenmora::bench::AfterFirstPaint;
using fenmora::bench::PeakRssKb;
using fenmora::bench::PrintFigure;
using fenmora::bench::SteadyNanoseconds;

namespace {

constexpr int kRows = 1024;
constexpr int kColumns = 4;

void Fill(QTableWidget* table, int tab) {
  static const char* const kExt[3] = {".JPG", ".MLD", ".3GP"};
  table->setRowCount(kRows);
  for (int r = 0; r < kRows; ++r) {
    const QString texts[kColumns] = {
        QStringLiteral("FILE%1").arg(r + 1, 4, 10, QLatin1Char('0')) + QLatin1String(kExt[tab]),
        QStringLiteral("2004:02:14 00:00:00"), QStringLiteral("64"),
        QStringLiteral("title %1").arg(r + 1)};
    for (int c = 0; c < kColumns; ++c) table->setItem(r, c, new QTableWidgetItem(texts[c]));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  bool exitAfterPaint = qEnvironmentVariableIntValue("FENMORA_BENCH_EXIT_AFTER_PAINT") == 1;
  bool fill = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--exit-after-paint") == 0) exitAfterPaint = true;
    if (std::strcmp(argv[i], "--fill") == 0) fill = true;
  }

  QMainWindow window;
  auto* tabs = new QTabWidget(&window);
  QTableWidget* tables[3];
  for (int i = 0; i < 3; ++i) {
    tables[i] = new QTableWidget(0, kColumns, tabs);
    tabs->addTab(tables[i], QStringLiteral("Tab %1").arg(i + 1));
  }
  window.setCentralWidget(tabs);

  AfterFirstPaint probe([&] {
    if (!exitAfterPaint) return;
    if (fill) {
      for (int i = 0; i < 3; ++i) Fill(tables[i], i);
      window.repaint();
    } else {
      PrintFigure("first-paint-steady-ns", SteadyNanoseconds());
    }
    PrintFigure("peak-rss-kb", PeakRssKb());
    QCoreApplication::quit();
  });
  window.installEventFilter(&probe);
  window.resize(697, 587);  // the program's window size
  window.show();
  return QApplication::exec();
}
