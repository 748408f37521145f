// Figures of the window, headless (QT_QPA_PLATFORM=offscreen), as medians of
// several runs:
//   start-up       process start (fork) to the first paint of the window:
//                  fenmora vs bare_window (a QMainWindow, a QTabWidget and
//                  three QTableWidgets, same build)
//   peak memory    peak RSS with a full card (3 x 1024 items) loaded through
//                  "メモリカード読込": the window vs bare_window with its three
//                  tables filled with 1024 rows of four texts
//   down + refresh one "下へ" on the middle row of a 1024-item list (the real
//                  handler: the move, the grid rewritten, the selection and its
//                  preview) and the repaint that follows, in the event loop
//
//   window_bench [--runs N]        the driver: makes a full card in a temporary
//                                  folder, starts the programs, prints the table
//   window_bench --memory-child CARD        (started by the driver)
//   window_bench --refresh-child CARD RUNS  (started by the driver)
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTabBar>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_paths.h"
#include "app/kind_page.h"
#include "app/main_window.h"
#include "first_paint.h"
#include "full_card.h"
#include "sync/session.h"

namespace fs = std::filesystem;
using namespace fenmora;
using namespace fenmora::bench;

namespace {

// ------------------------------------------------------------ the children

// Answers every question of the load as the user who goes ahead does.
class AlwaysYes : public Prompts {
 public:
  Answer Ask(Question, Icon, Buttons b, const std::string&) override {
    return b == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
};

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return QObject::eventFilter(watched, event);
  }
};

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double MillisSince(long long startNs) { return static_cast<double>(SteadyNanoseconds() - startNs) / 1e6; }

// A standby image as the handset takes them (240 x 320, a photo-like
// gradient), so that the selection after "下へ" decodes a real picture.
void WriteStandbyJpeg(const fs::path& file) {
  QImage picture(240, 320, QImage::Format_RGB32);
  QPainter painter(&picture);
  QLinearGradient gradient(0, 0, 240, 320);
  gradient.setColorAt(0, QColor(30, 90, 160));
  gradient.setColorAt(1, QColor(230, 180, 60));
  painter.fillRect(picture.rect(), gradient);
  painter.setBrush(QColor(250, 250, 240));
  painter.drawEllipse(60, 90, 120, 120);
  painter.end();
  if (!picture.save(QString::fromStdString(file.string()), "JPG", 85))
    std::fprintf(stderr, "window_bench: could not write %s\n", file.c_str());
}

// The window as src/app/main.cpp makes it, with the card offered in the
// drive list and the questions answered Yes; `afterFirstPaint` runs once it
// has been painted.
int RunWindow(int argc, char** argv, const fs::path& card,
              const std::function<int(TfrMain&, CardSession&)>& afterFirstPaint) {
  CardSession session;
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Fenmora"));
  app::InstallFontSubstitutions();
  int status = 0;
  AlwaysYes yes;
  {
    TfrMain frMain(session);
    frMain.SetPrompts(yes);
    if (!card.empty()) frMain.AddCardFolder(QString::fromStdString(card.string()));
    AfterFirstPaint probe([&] {
      status = afterFirstPaint(frMain, session);
      QCoreApplication::quit();
    });
    frMain.installEventFilter(&probe);
    frMain.show();
    QApplication::exec();
  }
  return status;
}

bool LoadedInFull(const CardSession& session) {
  for (MediaKind kind : kListKinds)
    if (session.Catalogue(kind).LiveCount() != MediaCatalogue::kSlots) return false;
  return true;
}

// Peak memory with the full card loaded through the window's own load.
int MemoryChild(int argc, char** argv, const fs::path& card) {
  return RunWindow(argc, argv, card, [](TfrMain& window, CardSession& session) {
    window.findChild<QPushButton*>(QStringLiteral("btLoadMem"))->click();
    if (!LoadedInFull(session)) {
      std::fprintf(stderr, "window_bench: the full card did not load in full\n");
      return 1;
    }
    window.repaint();
    QCoreApplication::processEvents();
    PrintFigure("peak-rss-kb", PeakRssKb());
    return 0;
  });
}

// "下へ" on the middle row of the image list, again and again.
int RefreshChild(int argc, char** argv, const fs::path& card, int runs) {
  constexpr int kMiddle = 512;
  return RunWindow(argc, argv, card, [&](TfrMain& window, CardSession& session) {
    WriteStandbyJpeg(FullCardItemPath(card, KindIndex(MediaKind::Image), kMiddle));
    window.findChild<QPushButton*>(QStringLiteral("btLoadMem"))->click();
    if (!LoadedInFull(session)) {
      std::fprintf(stderr, "window_bench: the full card did not load in full\n");
      return 1;
    }
    QTableView* grid = window.findChild<QTableView*>(QStringLiteral("sgImage"));
    QPushButton* down = window.findChild<QPushButton*>(QStringLiteral("btDownImage"));
    grid->setCurrentIndex(grid->model()->index(kMiddle - 1, 0));  // the user's selection: runs the handler
    QCoreApplication::processEvents();
    PaintCounter paints;
    grid->viewport()->installEventFilter(&paints);
    std::vector<double> handler, paint, total, fullGrid;
    for (int r = 0; r < runs; ++r) {
      const int row = window.SelectedRow(MediaKind::Image);
      const int paintsBefore = paints.paints;
      const long long t0 = SteadyNanoseconds();
      down->click();
      const double handlerMs = MillisSince(t0);
      const long long t1 = SteadyNanoseconds();
      QCoreApplication::processEvents();  // the repaint, as the event loop makes it
      paint.push_back(MillisSince(t1));
      handler.push_back(handlerMs);
      total.push_back(MillisSince(t0));
      if (window.SelectedRow(MediaKind::Image) != row + 1 || paints.paints == paintsBefore) {
        std::fprintf(stderr, "window_bench: \"下へ\" did not move the selection or repaint the grid\n");
        return 1;
      }
      // For comparison: the whole visible grid painted again.
      const long long t2 = SteadyNanoseconds();
      grid->viewport()->repaint();
      fullGrid.push_back(MillisSince(t2));
    }
    const auto* pane = window.findChild<QLabel*>(QStringLiteral("DispPrev"));
    if (!pane || pane->pixmap().isNull()) {
      std::fprintf(stderr, "window_bench: the moved picture was not previewed\n");
      return 1;
    }
    PrintFigure("refresh-total-us", static_cast<long long>(Median(total) * 1000));
    PrintFigure("refresh-handler-us", static_cast<long long>(Median(handler) * 1000));
    PrintFigure("refresh-paint-us", static_cast<long long>(Median(paint) * 1000));
    PrintFigure("refresh-full-grid-us", static_cast<long long>(Median(fullGrid) * 1000));
    return 0;
  });
}

// The captions the window shows at its first paint, for the fair baseline
// (bare_window --captions FILE): every visible text of a label, button, tab,
// grid header, group box or drop-down list, with its place in the window and
// its font, and the font substitutions in force. One caption a line:
//   caption X Y W H FONT<TAB>TEXT       substitute FAMILY<TAB>SUBST1,SUBST2...
int CaptionsChild(int argc, char** argv, const fs::path& out) {
  return RunWindow(argc, argv, {}, [&](TfrMain& window, CardSession&) {
    std::ofstream file(out);
    std::set<QString> families;
    int captions = 0;
    auto put = [&](QWidget* w, const QRect& local, const QString& text) {
      if (text.trimmed().isEmpty() || local.isEmpty()) return;
      const QRect r(w->mapTo(&window, local.topLeft()), local.size());
      QString flat = text;
      flat.replace(QLatin1Char('\n'), QChar(0x2028)).replace(QLatin1Char('\t'), QLatin1Char(' '));
      file << "caption " << r.x() << ' ' << r.y() << ' ' << r.width() << ' ' << r.height() << ' '
           << w->font().toString().toStdString() << '\t' << flat.toStdString() << '\n';
      families.insert(w->font().family());
      ++captions;
    };
    for (QWidget* w : window.findChildren<QWidget*>()) {
      if (!w->isVisible()) continue;
      if (auto* l = qobject_cast<QLabel*>(w)) put(w, w->rect(), l->text());
      if (auto* b = qobject_cast<QAbstractButton*>(w)) put(w, w->rect(), b->text());
      if (auto* g = qobject_cast<QGroupBox*>(w)) put(w, QRect(0, 0, w->width(), 16), g->title());
      if (auto* c = qobject_cast<QComboBox*>(w)) put(w, w->rect(), c->currentText());
      if (auto* t = qobject_cast<QTabBar*>(w))
        for (int i = 0; i < t->count(); ++i) put(w, t->tabRect(i), t->tabText(i));
      if (auto* h = qobject_cast<QHeaderView*>(w)) {
        for (int i = 0; i < h->count(); ++i) {
          if (h->isSectionHidden(i)) continue;
          const int at = h->sectionViewportPosition(i), size = h->sectionSize(i);
          const QRect place = h->orientation() == Qt::Horizontal ? QRect(at, 0, size, h->height())
                                                                 : QRect(0, at, h->width(), size);
          if (!h->viewport()->rect().intersects(place)) continue;
          put(h->viewport(), place, h->model()->headerData(i, h->orientation()).toString());
        }
      }
    }
    for (const QString& family : families)
      file << "substitute " << family.toStdString() << '\t'
           << QFont::substitutes(family).join(QLatin1Char(',')).toStdString() << '\n';
    file << "window " << window.width() << ' ' << window.height() << '\n';
    if (!file || captions == 0) {
      std::fprintf(stderr, "window_bench: no captions written to %s\n", out.c_str());
      return 1;
    }
    return 0;
  });
}

// ------------------------------------------------------------ the driver

struct ChildRun {
  bool ok = false;
  long long forkedNs = 0;
  long long exitedNs = 0;
  std::map<std::string, long long> figures;
};

// Starts a program with FENMORA_BENCH_EXIT_AFTER_PAINT=1 and reads the
// figures it prints; its error output goes to errFile.
ChildRun Start(const std::vector<std::string>& argv, const fs::path& errFile) {
  ChildRun run;
  int out[2];
  if (pipe(out) != 0) return run;
  std::fflush(stdout);
  run.forkedNs = SteadyNanoseconds();
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (err >= 0) dup2(err, STDERR_FILENO);
    setenv("FENMORA_BENCH_EXIT_AFTER_PAINT", "1", 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.exitedNs = SteadyNanoseconds();
  std::istringstream lines(text);
  std::string key;
  long long value;
  while (lines >> key >> value) run.figures[key] = value;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

[[maybe_unused]] fs::path Beside(const char* name) { return fs::canonical("/proc/self/exe").parent_path() / name; }

void Row(const char* figure, double ours, double base, const char* unit, double target) {
  const double ratio = base > 0 ? ours / base : 0;
  const std::string named = std::string(figure) + " [" + std::getenv("QT_QPA_PLATFORM") + "]";
  std::printf("%-30s %12.2f %12.2f %-5s %7.2fx   target <= %.1fx  %s\n", named.c_str(), ours, base, unit, ratio,
              target, ratio <= target ? "met" : "NOT MET");
}

void Fail(const char* what, const fs::path& errFile) {
  std::fprintf(stderr, "window_bench: %s failed; its error output:\n", what);
  std::ifstream in(errFile);
  std::string line;
  std::vector<std::string> tail;
  while (std::getline(in, line)) tail.push_back(line);
  for (size_t i = tail.size() > 20 ? tail.size() - 20 : 0; i < tail.size(); ++i)
    std::fprintf(stderr, "  %s\n", tail[i].c_str());
}

int Driver(int runs, bool startupOnly) {
#ifdef FENMORA_PROGRAM
  const std::string program = FENMORA_PROGRAM;
  const std::string bare = BARE_WINDOW_PROGRAM;
#else
  const std::string program = Beside("fenmora").string();
  const std::string bare = Beside("bare_window").string();
#endif
  const std::string self = fs::canonical("/proc/self/exe").string();
  const fs::path work = fs::temp_directory_path() / ("fenmora-window-bench-" + std::to_string(getpid()));
  const fs::path card = work / "card";
  const fs::path errFile = work / "children.err";
  MakeFullCard(card);
  // Headless, and without Qt's warning about a missing runtime folder.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    fs::create_directories(work / "runtime");
    fs::permissions(work / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", (work / "runtime").c_str(), 1);
  }
  std::printf("window: QT_QPA_PLATFORM=%s, full card %s (3 x 1024 items), %d runs each, medians\n\n",
              std::getenv("QT_QPA_PLATFORM"), card.c_str(), runs);
  std::printf("%-30s %12s %12s %-5s %8s\n", "figure", "fenmora", "bare Qt", "unit", "ratio");
  int failures = 0;

  // ---- start-up to the first paint; the first run of each warms the caches.
  // Two baselines: the bare window, and the bare window showing the program's
  // own captions in its fonts (what the text itself costs).
  const fs::path captions = work / "captions.txt";
  const bool haveCaptions = Start({self, "--captions-child", captions.string()}, errFile).ok;
  if (!haveCaptions) {
    Fail("the window (captions)", errFile);
    ++failures;
  }
  {
    std::vector<double> ours, base, fair, oursExit, baseExit, oursRss, baseRss;
    for (int r = -1; r < runs; ++r) {
      const ChildRun a = Start({program}, errFile);
      const ChildRun b = Start({bare}, errFile);
      const ChildRun c = haveCaptions ? Start({bare, "--captions", captions.string()}, errFile) : ChildRun{};
      if (!a.ok || !a.figures.count("first-paint-steady-ns")) {
        Fail("fenmora (start-up)", errFile);
        ++failures;
        break;
      }
      if (!b.ok || !b.figures.count("first-paint-steady-ns")) {
        Fail("bare_window (start-up)", errFile);
        ++failures;
        break;
      }
      if (haveCaptions && (!c.ok || !c.figures.count("first-paint-steady-ns"))) {
        Fail("bare_window --captions (start-up)", errFile);
        ++failures;
        break;
      }
      if (r < 0) continue;
      ours.push_back(static_cast<double>(a.figures.at("first-paint-steady-ns") - a.forkedNs) / 1e6);
      base.push_back(static_cast<double>(b.figures.at("first-paint-steady-ns") - b.forkedNs) / 1e6);
      if (haveCaptions) fair.push_back(static_cast<double>(c.figures.at("first-paint-steady-ns") - c.forkedNs) / 1e6);
      oursExit.push_back(static_cast<double>(a.exitedNs - a.forkedNs) / 1e6);
      baseExit.push_back(static_cast<double>(b.exitedNs - b.forkedNs) / 1e6);
      if (a.figures.count("peak-rss-kb") && b.figures.count("peak-rss-kb")) {
        oursRss.push_back(static_cast<double>(a.figures.at("peak-rss-kb")) / 1024);
        baseRss.push_back(static_cast<double>(b.figures.at("peak-rss-kb")) / 1024);
      }
    }
    if (!ours.empty()) {
      Row("start-up", Median(ours), Median(base), "ms", 1.3);
      if (!fair.empty()) {
        Row("start-up vs captions", Median(ours), Median(fair), "ms", 1.3);
        std::printf("  (the bare window with the program's captions in its fonts: %.2f ms, %.2fx the bare window)\n",
                    Median(fair), Median(base) > 0 ? Median(fair) / Median(base) : 0);
      }
      std::printf("  (start to exit right after the paint: %.2f vs %.2f ms; peak memory at start-up %.1f vs %.1f MiB)\n",
                  Median(oursExit), Median(baseExit), Median(oursRss), Median(baseRss));
    }
  }
  if (startupOnly) {
    fs::remove_all(work);
    return failures == 0 ? 0 : 1;
  }

  // ---- peak memory with the full card loaded
  {
    std::vector<double> ours, base;
    for (int r = 0; r < std::max(3, runs / 3); ++r) {  // peak memory varies little
      const ChildRun a = Start({self, "--memory-child", card.string()}, errFile);
      const ChildRun b = Start({bare, "--fill", "--exit-after-paint"}, errFile);
      if (!a.ok || !a.figures.count("peak-rss-kb")) {
        Fail("the window (memory)", errFile);
        ++failures;
        break;
      }
      if (!b.ok || !b.figures.count("peak-rss-kb")) {
        Fail("bare_window (memory)", errFile);
        ++failures;
        break;
      }
      ours.push_back(static_cast<double>(a.figures.at("peak-rss-kb")) / 1024);
      base.push_back(static_cast<double>(b.figures.at("peak-rss-kb")) / 1024);
    }
    if (!ours.empty()) Row("peak memory", Median(ours), Median(base), "MiB", 1.3);
  }

  // ---- one "下へ" and the repaint, on a 1024-item list
  {
    const int samples = std::max(21, runs * 3);
    const ChildRun a = Start({self, "--refresh-child", card.string(), std::to_string(samples)}, errFile);
    if (!a.ok || !a.figures.count("refresh-total-us")) {
      Fail("the window (down + refresh)", errFile);
      ++failures;
    } else {
      std::printf("%-30s %12.2f %12s %-5s %8s   no baseline (%d moves)\n", "down + refresh",
                  static_cast<double>(a.figures.at("refresh-total-us")) / 1000, "-", "ms", "-", samples);
      std::printf("  (handler %.2f ms: move, grid rewritten, selection and preview of a 240 x 320 JPEG;"
                  " repaint %.2f ms; whole visible grid repainted %.2f ms)\n",
                  static_cast<double>(a.figures.at("refresh-handler-us")) / 1000,
                  static_cast<double>(a.figures.at("refresh-paint-us")) / 1000,
                  static_cast<double>(a.figures.at("refresh-full-grid-us")) / 1000);
    }
  }
  fs::remove_all(work);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--grab-child") == 0)  // the window as first painted, to a PNG
    return RunWindow(argc, argv, {}, [&](TfrMain& window, CardSession&) {
      return window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    });
  if (argc >= 3 && std::strcmp(argv[1], "--captions-child") == 0) return CaptionsChild(argc, argv, argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "--memory-child") == 0) return MemoryChild(argc, argv, argv[2]);
  if (argc >= 4 && std::strcmp(argv[1], "--refresh-child") == 0)
    return RefreshChild(argc, argv, argv[2], std::max(1, std::atoi(argv[3])));
  int runs = 15;
  bool startupOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) runs = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--startup-only") == 0) startupOnly = true;
  }
  return Driver(runs, startupOnly);
}
