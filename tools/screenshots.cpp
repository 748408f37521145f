// fenmora_screenshots SAMPLE-CARD FOLDER: draws pictures of the window for
// looking at the layout, headless, into FOLDER: the window at start and with
// the sample card loaded (at its first size and larger), the read-me in the
// window's own view, the about box, a warning and a question in Qt's
// Japanese buttons, the commit's confirmation with its details, and the drive
// list with a card marked. `make screenshot` runs it.
//
// Every picture comes from the real window driven as a user drives it; the
// window's questions are answered as a user who goes on answers them (the
// boxes that are drawn are shown for real and answered No).
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QFileDialog>
#include <QListView>
#include <QTableView>
#include <QThread>
#include <QAction>
#include "platform/language.h"
#include "app/kind_model.h"
#include "app/thumbnails.h"
#include <QTimer>
#include <QUrl>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/about_box.h"
#include "app/app_paths.h"
#include "app/app_texts.h"
#include "app/help_view.h"
#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "sync/session.h"
#include "sync/texts.h"

namespace fs = std::filesystem;
using namespace fenmora;

namespace {

// Goes on at every question: Yes (or OK).
class GoOn : public Prompts {
 public:
  Answer Ask(Question, Icon, Buttons buttons, const std::string&) override {
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Yes;
  }
};

int failures = 0;

void Fail(const char* shot, const char* what) {
  std::fprintf(stderr, "fenmora_screenshots: %s: %s\n", shot, what);
  ++failures;
}

// One picture: a fresh window on a fresh session, drawn by `draw`.
struct Shot {
  CardSession session;
  GoOn goOn;
  TfrMain window{session};
  QString folder;
  const char* name;

  Shot(const QString& into, const char* shotName) : folder(into), name(shotName) {
    window.SetPrompts(goOn);
  }
  template <class W = QWidget>
  W* Find(const char* objectName) {
    return window.findChild<W*>(QString::fromUtf8(objectName));
  }
  void Save(const QImage& image, const char* file) {
    if (image.isNull() || !image.save(folder + QLatin1Char('/') + QString::fromUtf8(file)))
      Fail(name, file);
  }
  void Load(const fs::path& card) {
    window.AddCardFolder(QString::fromStdString(card.string()));
    Find<QPushButton>("btLoadMem")->click();
  }
  QTableView* Grid(const char* objectName, int kindIndex) {
    Find<QTabWidget>("pcMain")->setCurrentIndex(kindIndex);
    return Find<QTableView>(objectName);
  }
  // Clicks the first data row of a list, as the user selects an item.
  void ClickFirstRow(const char* grid, int kindIndex) {
    QTableView* g = Grid(grid, kindIndex);
    const QPoint at = g->visualRect(g->model()->index(0, 1)).center();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }
  void Click(const char* button) { QTest::mouseClick(Find(button), Qt::LeftButton); }
  // Drops a file in the middle of a list, as a file manager drops it.
  bool Drop(const char* grid, int kindIndex, const fs::path& file) {
    QWidget* viewport = Grid(grid, kindIndex)->viewport();
    const QPoint at = viewport->rect().center();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
  }
};

// When a message box comes up: opens its details (if any), lets it lay out,
// saves its picture and presses No (or OK).
// (The box may come up only after work the window runs on its worker.)
void ShootTheNextBox(Shot& shot, const char* file, bool openDetails, int triesLeft = 250) {
  QTimer::singleShot(triesLeft == 250 ? 0 : 20, [&shot, file, openDetails, triesLeft] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box && triesLeft > 0) return ShootTheNextBox(shot, file, openDetails, triesLeft - 1);
    if (!box) return Fail(shot.name, "no message box came up");
    if (openDetails)
      for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
    QCoreApplication::processEvents();
    shot.Save(box->grab().toImage(), file);
    (box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok))->click();
  });
}

void Shoot(const QString& folder, const fs::path& sample, const fs::path& scratch) {
  {
    Shot s(folder, "the window at start");
    s.window.show();
    s.Save(s.window.grab().toImage(), "main-start.png");
  }
  {
    Shot s(folder, "the window with the sample card");
    s.window.show();
    s.Load(sample);
    if (!s.session.loaded) Fail(s.name, "the sample card did not load");
    // The first image selected: its title in the edit, its picture in the pane.
    s.ClickFirstRow("sgImage", 0);
    if (s.Find<QLabel>("DispPrev")->pixmap().isNull()) Fail(s.name, "no preview");
    s.Save(s.window.grab().toImage(), "main-loaded.png");
  }
  {
    Shot s(folder, "the window made larger");
    s.window.show();
    s.window.resize(1100, 900);
    s.Load(sample);
    s.ClickFirstRow("sgImage", 0);
    QCoreApplication::processEvents();
    s.Save(s.window.grab().toImage(), "main-large.png");
  }
  {
    Shot s(folder, "the lists as thumbnails");
    s.window.show();
    s.Load(sample);
    s.ClickFirstRow("sgImage", 0);
    auto* thumbnails = s.Find<QAction>("acViewThumbnails");
    if (thumbnails) thumbnails->trigger();
    // The pictures come from their workers (a movie's from the helper).
    const auto waitForPictures = [&](const char* view) {
      auto* list = s.Find<QListView>(view);
      auto* pictures = list ? list->parentWidget()->parentWidget()->findChild<app::Thumbnails*>() : nullptr;
      if (!pictures) return Fail(s.name, "no thumbnails");
      for (int i = 0; i < 300; ++i) {
        QCoreApplication::processEvents();
        bool all = true;
        for (int r = 0; r < list->model()->rowCount(); ++r) {
          const QString file = list->model()->index(r, 0).data(app::KindModel::kFileRole).toString();
          if (!file.isEmpty() && !pictures->Ready(file)) all = false;
        }
        if (all) break;
        QThread::msleep(20);
      }
      QCoreApplication::processEvents();
    };
    waitForPictures("tvImage");
    s.Save(s.window.grab().toImage(), "main-thumbnails.png");
    s.Find<QTabWidget>("pcMain")->setCurrentIndex(2);
    waitForPictures("tvMovie");
    s.Save(s.window.grab().toImage(), "main-thumbnails-movies.png");
  }
  {
    Shot s(folder, "the folder dialog");
    s.window.show();
    QTimer::singleShot(0, [&s] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return Fail(s.name, "no folder dialog came up");
      dialog->resize(640, 420);
      QCoreApplication::processEvents();
      QThread::msleep(200);  // the folder's contents, read by the dialog's own thread
      QCoreApplication::processEvents();
      s.Save(dialog->grab().toImage(), "folder-dialog.png");
      dialog->reject();
    });
    app::ChooseFolder(&s.window, QString::fromUtf8(app::texts::kChooseCardFolder),
                      QString::fromStdString(sample.string()));
  }
  {
    Shot s(folder, "the read-me in the window's own view");
    s.window.show();
    // A desktop without an application for text files.
    s.window.SetOpener([](const QString&) { return false; });
    s.Click("btHelp");
    auto* help = s.window.findChild<app::HelpView*>();
    if (!help) {
      Fail(s.name, "no help view");
    } else {
      help->findChild<QLineEdit*>(QStringLiteral("HelpFind"))->setText(QString::fromUtf8(fenmora::Say("バックアップ", "backup")));
      help->FindNext();
      QCoreApplication::processEvents();
      s.Save(help->grab().toImage(), "help.png");
    }
  }
  {
    Shot s(folder, "the about box");
    TfrAbout about(&s.window);
    about.show();
    s.Save(about.grab().toImage(), "about.png");
  }
  {
    Shot s(folder, "the interrupted update's question");
    s.window.show();
    app::QtPrompts boxes(&s.window);
    ShootTheNextBox(s, "interrupted-update.png", false);
    boxes.Ask(Prompts::Question::InterruptedUpdate, Prompts::Icon::Warning, Prompts::Buttons::YesNo,
              texts::kInterruptedCommit);
  }
  {
    Shot s(folder, "a question with Qt's own buttons");
    s.window.show();
    app::QtPrompts boxes(&s.window);
    ShootTheNextBox(s, "message-box.png", false);
    boxes.Ask(Prompts::Question::DropEdits, Prompts::Icon::Question, Prompts::Buttons::YesNo,
              app::texts::kDropEditsOnClose);
  }
  {
    Shot s(folder, "the commit's confirmation");
    s.window.show();
    s.Load(sample);
    // Edits in memory only: the box is answered No, and nothing is written.
    s.ClickFirstRow("sgImage", 0);
    s.Click("btDelImage");
    s.ClickFirstRow("sgMelody", 1);
    s.Click("btUpMelody");
    s.Click("btRenMelody");
    const fs::path picture = scratch / "夏の海.jpg";
    { std::FILE* f = std::fopen(picture.c_str(), "wb"); if (f) { std::fputs("picture", f); std::fclose(f); } }
    if (!s.Drop("sgImage", 0, picture)) Fail(s.name, "the drop was refused");
    app::QtPrompts boxes(&s.window);
    s.window.SetPrompts(boxes);
    ShootTheNextBox(s, "commit-confirmation.png", true);
    s.Click("btRefreshData");
    s.window.SetPrompts(s.goOn);
  }
  {
    Shot s(folder, "the card menu");
    s.window.show();
    s.Load(sample);
    auto* bar = s.Find<QMenuBar>("MainMenu");
    QMenu* card = bar ? bar->actions().value(3)->menu() : nullptr;
    if (!card) {
      Fail(s.name, "no カード menu");
    } else {
      const QPoint at = bar->actionGeometry(bar->actions().value(3)).bottomLeft();
      emit card->aboutToShow();
      card->popup(bar->mapToGlobal(at));
      QCoreApplication::processEvents();
      // The window with the open menu drawn where it stands.
      QImage picture = s.window.grab().toImage();
      QPainter painter(&picture);
      painter.drawImage(bar->mapTo(&s.window, at), card->grab().toImage());
      painter.end();
      s.Save(picture, "menu.png");
      card->hide();
    }
  }
  {
    Shot s(folder, "the window at 800 x 600 and at its least size");
    s.window.resize(800, 600);
    s.window.show();
    s.Load(sample);
    QCoreApplication::processEvents();
    s.Save(s.window.grab().toImage(), "main-800x600.png");
    s.window.resize(1, 1);
    QCoreApplication::processEvents();
    s.Save(s.window.grab().toImage(), "main-least.png");
  }
  {
    Shot s(folder, "the drive list");
    const std::string table = "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                              "90 27 8:17 / " + sample.string() + " rw - vfat /dev/sdb1 rw\n"
                              "91 27 8:33 / " + scratch.string() + " rw - exfat /dev/sdc1 rw\n";
    s.window.SetMountTable([table] { return table; });
    s.window.show();
    auto* drives = s.Find<QComboBox>("curDrive");
    if (drives->currentText().isEmpty() || drives->currentIndex() < 0) Fail(s.name, "the card is not chosen");
    drives->showPopup();
    QCoreApplication::processEvents();
    s.Save(drives->view()->window()->grab().toImage(), "drive-list.png");
    s.Save(s.window.grab().toImage(), "main-drive-chosen.png");
    drives->hidePopup();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fenmora_screenshots SAMPLE-CARD FOLDER\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  QApplication application(argc, argv);
  app::InstallQtTranslation();
  app::InstallFontSubstitutions();
  const fs::path sample = fs::absolute(argv[1]).lexically_normal();
  const QString folder = QString::fromLocal8Bit(argv[2]);
  if (!fs::is_directory(sample)) {
    std::fprintf(stderr, "fenmora_screenshots: no sample card at %s\n", argv[1]);
    return 1;
  }
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "fenmora_screenshots: cannot make %s\n", argv[2]);
    return 1;
  }
  // A folder of the user's own: a picture to drop, a plain volume.
  QByteArray scratch = QDir::temp().filePath(QStringLiteral("fenmora-screenshots-XXXXXX")).toLocal8Bit();
  if (!::mkdtemp(scratch.data())) {
    std::fprintf(stderr, "fenmora_screenshots: no temporary folder\n");
    return 1;
  }
  Shoot(folder, sample, scratch.constData());
  std::error_code ec;
  fs::remove_all(scratch.constData(), ec);
  return failures == 0 ? 0 : 1;
}
