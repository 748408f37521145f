// fenmora: the window. One optional argument, a folder, is offered in the
// drive list and selected (a card copied to disk, a mounted card image).
// --help and --version answer without opening a window (or a display).
#include <QApplication>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/app_paths.h"
#include "app/main_window.h"
#include "platform/language.h"
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
        // The words of a message box's Yes button, as the user would see
        // them (Qt's own Japanese texts, when they were found).
        std::printf("yes-button %s\n", qPrintable(QCoreApplication::translate("QPlatformTheme", "&Yes")));
        // The first caption of the window, in the language it speaks.
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* load = w->findChild<QPushButton*>(QStringLiteral("btLoadMem")))
            std::printf("load-button %s\n", qPrintable(load->text()));
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool painted_ = false;
};

// What --help prints; the manual pages fenmora(1) are made from it.
const char* const kHelpText = fenmora::Say(
    " - F900i の SD メモリカードをウィンドウで扱います\n"
    "\n"
    "使い方: fenmora [FOLDER]\n"
    "        fenmora --help | --version\n"
    "\n"
    "DoCoMo FOMA F900i が SD メモリカードに保存している待ち受け画像・着メロ・\n"
    "ムービーを表示し、タイトルの変更、並べ替え、リナンバ、削除、追加ができます．\n"
    "「メモリカード更新」を押すまで、カードには何も書き込みません．\n"
    "\n"
    "FOLDER を指定すると、ドライブの一覧に加えて選び、読み込みます：パソコンに\n"
    "コピーしたカードや、どこかにマウントしたカードイメージのルートです．\n"
    "\n"
    "オプション:\n"
    "  -h, --help     この説明を表示して終了します\n"
    "  --version      バージョンを表示して終了します\n"
    "Qt のオプション（-platform NAME、-style NAME など）も使えます．\n"
    "\n"
    "表示言語:\n"
    "  FENMORA_LANG（ja または en）、ウィンドウの「表示言語 / Language」の設定、\n"
    "  ロケール（LC_ALL、LC_MESSAGES、LANG）の順に決まります．英語のロケールでは\n"
    "  英語、それ以外では日本語です．\n"
    "\n"
    "ファイル:\n"
    "  アイコン、ReadMe.txt、リンクのページは、プログラムの横の \"data\" か、\n"
    "  インストールしたときは bin フォルダーの横の ../share/fenmora から読みます．\n"
    "  バックアップは、書き込めるときはプログラムの横の \"BackUp\" に、\n"
    "  そうでなければユーザーのデータフォルダーに保存します．\n",
    " - the F900i's SD card in a window\n"
    "\n"
    "Usage: fenmora [FOLDER]\n"
    "       fenmora --help | --version\n"
    "\n"
    "Shows the standby images, ring melodies and movies that the DoCoMo FOMA\n"
    "F900i keeps on its SD card, and lets you retitle, reorder, renumber, delete\n"
    "and add them; nothing on the card changes until \"Write to Memory Card\" is pressed.\n"
    "\n"
    "FOLDER, when given, is added to the drive list, selected and loaded: the root\n"
    "of a card copied to disk or of a card image mounted anywhere.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this text and exit\n"
    "  --version      print the version and exit\n"
    "Qt's own options (-platform NAME, -style NAME, ...) are accepted as well.\n"
    "\n"
    "Language:\n"
    "  FENMORA_LANG (ja or en), else the window's setting \"表示言語 / Language\",\n"
    "  else the locale (LC_ALL, LC_MESSAGES, LANG): English for an English locale,\n"
    "  Japanese for any other.\n"
    "\n"
    "Files:\n"
    "  The icons, ReadMe.txt and the link pages are read from \"data\" beside the\n"
    "  program, or from ../share/fenmora beside its bin folder when installed.\n"
    "  Backups go to \"BackUp\" beside the program when that folder is writable,\n"
    "  otherwise to the user's data folder.\n");

// --help or --version before any "--": answered on standard output, without a
// window. -1 when neither is asked for.
int AnswerInformationOptions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) break;
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("fenmora %s%s", FENMORA_VERSION, kHelpText);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("fenmora %s\n", FENMORA_VERSION);
      return 0;
    }
  }
  return -1;
}

}  // namespace

// The window's setting of its language ("表示言語 / Language" in the help
// menu), under the user's configuration folder.
extern "C" const char* const fenmora_language_setting = "Fenmora/language.conf";

int main(int argc, char** argv) {
  if (const int answered = AnswerInformationOptions(argc, argv); answered >= 0) return answered;

  // The profile and the catalogues exist before the window and outlive it.
  fenmora::CardSession session;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Fenmora"));
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.fenmora.Fenmora"));
  fenmora::app::InstallFontSubstitutions();
  if (!fenmora::app::InstallQtTranslation())
    std::fprintf(stderr, "fenmora: %s\n",
                 fenmora::Say("Qt の日本語のテキスト（qtbase_ja、パッケージ qt6-translations-l10n）がありません："
                              "メッセージボックスのボタンは英語になります",
                              "Qt's Japanese texts (qtbase_ja, package qt6-translations-l10n) are missing: "
                              "message boxes show English buttons"));
  if (fenmora::app::FindDataDir(QApplication::applicationDirPath()).isEmpty())
    std::fprintf(stderr, "fenmora: %s%s\n",
                 fenmora::Say("プログラムの横にも次の場所にもデータフォルダー（アイコン、ReadMe.txt）がありません: ",
                              "no data folder (icons, ReadMe.txt) beside the program or in "),
                 qPrintable(fenmora::app::DataDir()));

  {
    ExitAfterFirstPaint benchProbe;
    TfrMain frMain(session);
    const bool benchmark = qEnvironmentVariableIntValue("FENMORA_BENCH_EXIT_AFTER_PAINT") == 1;
    // The window's size and place of the last run (not for the benchmark,
    // which measures the first-run window).
    if (benchmark)
      frMain.installEventFilter(&benchProbe);
    else
      frMain.RememberPlaceIn(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                             QStringLiteral("/window.conf"));
    // The about box is made when the branding panel is first clicked: the
    // window shows sooner without it.

    // Qt has taken its own options out; "--" may come before the folder.
    QStringList arguments = QApplication::arguments();
    if (arguments.size() >= 2 && arguments.at(1) == QStringLiteral("--")) arguments.removeAt(1);
    if (arguments.size() >= 2) {
      frMain.AddCardFolder(arguments.at(1));
      // A folder named at start is loaded as soon as the window shows, as
      // "メモリカード読込" would (the benchmark measures the bare window).
      if (!benchmark)
        QTimer::singleShot(0, &frMain, [&frMain] {
          if (auto* load = frMain.findChild<QPushButton*>(QStringLiteral("btLoadMem"))) load->click();
        });
    }

    frMain.show();
    QApplication::exec();
  }
  return 0;
}
