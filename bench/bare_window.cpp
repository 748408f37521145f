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
//   bare_window --captions FILE ...
//       the fair baseline of the start-up: the same window, and on top of it
//       the captions the program shows at its first paint (written by
//       window_bench --captions-child), each a QLabel at its place in its
//       font, with the program's font substitutions
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>
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

// Puts the captions of the file on a layer over the window; false when the
// file cannot be read or holds none.
bool ShowCaptions(QWidget* window, const char* fileName) {
  QFile file(QString::fromLocal8Bit(fileName));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  // The substitutions first: the fonts are resolved when the labels are made.
  for (const QString& line : lines) {
    if (!line.startsWith(QLatin1String("substitute "))) continue;
    const QStringList parts = line.mid(11).split(QLatin1Char('\t'));
    if (parts.size() == 2 && !parts[1].isEmpty())
      QFont::insertSubstitutions(parts[0], parts[1].split(QLatin1Char(',')));
  }
  auto* layer = new QWidget(window);
  layer->setAttribute(Qt::WA_TransparentForMouseEvents);
  int shown = 0;
  for (const QString& line : lines) {
    if (!line.startsWith(QLatin1String("caption "))) continue;
    const int tab = line.indexOf(QLatin1Char('\t'));
    const QStringList head = line.left(tab).split(QLatin1Char(' '));
    if (tab < 0 || head.size() < 6) continue;
    QFont font;
    font.fromString(head.mid(5).join(QLatin1Char(' ')));
    auto* label = new QLabel(line.mid(tab + 1).replace(QChar(0x2028), QLatin1Char('\n')), layer);
    label->setFont(font);
    label->setGeometry(head[1].toInt(), head[2].toInt(), head[3].toInt(), head[4].toInt());
    ++shown;
  }
  layer->resize(697, 587);
  layer->raise();
  return shown > 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  bool exitAfterPaint = qEnvironmentVariableIntValue("FENMORA_BENCH_EXIT_AFTER_PAINT") == 1;
  bool fill = false;
  const char* captions = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--exit-after-paint") == 0) exitAfterPaint = true;
    if (std::strcmp(argv[i], "--fill") == 0) fill = true;
    if (std::strcmp(argv[i], "--captions") == 0 && i + 1 < argc) captions = argv[++i];
  }

  QMainWindow window;
  auto* tabs = new QTabWidget(&window);
  QTableWidget* tables[3];
  for (int i = 0; i < 3; ++i) {
    tables[i] = new QTableWidget(0, kColumns, tabs);
    tabs->addTab(tables[i], QStringLiteral("Tab %1").arg(i + 1));
  }
  window.setCentralWidget(tabs);
  if (captions && !ShowCaptions(&window, captions)) {
    std::fprintf(stderr, "bare_window: no captions in %s\n", captions);
    return 1;
  }

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
