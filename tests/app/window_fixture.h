// The real main window for a test, answered by a script, with helpers to
// find its controls by name, to catch the URLs it opens and to build cards.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QObject>
#include <QTabWidget>
#include <QTableView>
#include <QUrl>
#include <QtTest/QTest>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/about_box.h"
#include "app/app_paths.h"
#include "app/main_window.h"
#include "support/temp_card.h"
#include "platform/drives.h"
#include "platform/fileops.h"
#include "support/scripted_prompts.h"
#include "sync/texts.h"

namespace fenmora::testcard {

using TempDir = testcard::TempFolder;

// Takes the URLs the program asks the desktop to open, instead of the desktop.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() {
    for (const char* scheme : {"file", "http", "https"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
  }
  ~UrlCatcher() override {
    for (const char* scheme : {"file", "http", "https"})
      QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
  }
  std::vector<QUrl> opened;

 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::InstallFontSubstitutions();
    window = std::make_unique<TfrMain>(session);
    about = new TfrAbout(window.get());
    window->SetAboutBox(about);
    window->SetPrompts(prompts);
  }
  void TearDown() override {
    window.reset();
    EXPECT_EQ(prompts.unanswered(), 0u) << "questions the script expected were not asked";
  }

  template <class W = QWidget>
  W* Find(const char* name) {
    W* w = window->findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QTableView* Grid(MediaKind k) {
    return Find<QTableView>(k == MediaKind::Image ? "sgImage" : k == MediaKind::Melody ? "sgMelody" : "sgMovie");
  }
  // The data rows of a kind's grid (its model's rows).
  int Rows(MediaKind k) { return Grid(k)->model()->rowCount(); }
  // What a cell shows (row as the handset counts: 1 = first item).
  QString Cell(MediaKind k, int row, int column, int role = Qt::DisplayRole) {
    return Grid(k)->model()->index(row - 1, column).data(role).toString();
  }
  std::vector<QString> Column(MediaKind k, int column) {
    std::vector<QString> texts;
    for (int r = 1; r <= Rows(k); ++r) texts.push_back(Cell(k, r, column));
    return texts;
  }

  // Expects the questions of a load of a folder on a fixed disk: the drive
  // warning (answered Yes) unless the folder holds a card, and the backup
  // advice the first time the folder is loaded by this window.
  void ExpectFolderLoad(const std::filesystem::path& folder) {
    RealFileOps ops;
    if (!IsRemovableDrive(folder) && !HoldsCardLayout(folder, ops))
      prompts.Expect(Prompts::Question::NotRemovable, Prompts::Answer::Yes, texts::kNotRemovable);
    const std::string key = folder.lexically_normal().string();
    if (std::find(advised.begin(), advised.end(), key) == advised.end()) {
      prompts.ExpectOk(texts::kBackupAdvice);
      advised.push_back(key);
    }
  }
  // Folders the backup advice was given for.
  std::vector<std::string> advised;
  void Choose(const std::filesystem::path& folder) {
    window->AddCardFolder(QString::fromStdString(folder.string()));
  }
  // Chooses the folder, answers the load's questions and loads it.
  void LoadFolder(const std::filesystem::path& folder) {
    ExpectFolderLoad(folder);
    Choose(folder);
    ClickLoad();
  }
  void LoadCard() { LoadFolder(card.path()); }
  // "メモリカード読込", as the user clicks it.
  void ClickLoad() { Find<QAbstractButton>("btLoadMem")->click(); }

  // Shows the window and waits until it can take the keyboard.
  void ShowWindow() {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  // Brings the kind's page to the front.
  void ShowPage(MediaKind k) {
    auto* tabs = Find<QTabWidget>("pcMain");
    tabs->setCurrentIndex(KindIndex(k));
  }
  // The middle of a data row (1 = first item) in the grid's viewport.
  QPoint RowPoint(MediaKind k, int row) {
    QTableView* g = Grid(k);
    g->scrollTo(g->model()->index(row - 1, 0));
    return g->visualRect(g->model()->index(row - 1, 1)).center();
  }
  // Clicks a data row with the mouse, as the user selects an item.
  void ClickRow(MediaKind k, int row) {
    ShowPage(k);
    QTest::mouseClick(Grid(k)->viewport(), Qt::LeftButton, Qt::NoModifier, RowPoint(k, row));
  }
  void DoubleClickRow(MediaKind k, int row) {
    ShowPage(k);
    // A double-click as the system delivers it: press, release, then the
    // second press as a double-click, and its release.
    QWidget* viewport = Grid(k)->viewport();
    const QPoint at = RowPoint(k, row);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, at);
  }
  void Click(const char* name) { QTest::mouseClick(Find(name), Qt::LeftButton); }

  // Drags files over `target` and drops them at `at` (in its coordinates):
  // a drag-enter, a drag-move, then the drop, as a file manager makes them.
  // Returns whether the drop was taken.
  bool Drop(QWidget* target, QPoint at, const std::vector<std::filesystem::path>& files,
            Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction,
            Qt::DropAction proposed = Qt::CopyAction) {
    QMimeData data;
    QList<QUrl> urls;
    for (const auto& f : files) urls << QUrl::fromLocalFile(QString::fromStdString(f.string()));
    data.setUrls(urls);
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(proposed);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    move.setDropAction(proposed);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(proposed);
    QApplication::sendEvent(target, &drop);
    lastDropAction = drop.dropAction();
    return drop.isAccepted();
  }
  // Drops files in the middle of a kind's list.
  bool DropOnGrid(MediaKind k, const std::vector<std::filesystem::path>& files) {
    ShowPage(k);
    QWidget* viewport = Grid(k)->viewport();
    return Drop(viewport, viewport->rect().center(), files);
  }
  Qt::DropAction lastDropAction = Qt::IgnoreAction;

  CardSession session;
  ScriptedPrompts prompts;
  std::unique_ptr<TfrMain> window;
  TfrAbout* about = nullptr;
  TempDir card;
};

}  // namespace fenmora::testcard
