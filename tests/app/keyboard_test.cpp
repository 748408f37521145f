// The window from the keyboard: the menu's shortcuts run the commands of the
// buttons (and only when the button could be pressed), and Tab leaves the
// list instead of walking its cells.
#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>
#include <QtTest/QTest>

#include "app/window_fixture.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Question = Prompts::Question;

class Keyboard : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WriteKind(card.path(), MediaKind::Image,
              {Item("STIL0001.JPG", "A", "a"), Item("STIL0002.JPG", "B", "b"), Item("STIL0003.JPG", "C", "c")});
    window->SetOpener([this](const QString& path) {
      opened << path;
      return true;
    });
    ShowWindow();
  }
  void Press(QKeySequence key) { QTest::keySequence(window.get(), key); }
  QStringList opened;
};

TEST_F(Keyboard, TheShortcutsRunTheCommandsOfTheButtons) {
  // Before a load only the load, the folder, help and quit can run.
  Press(QKeySequence(Qt::CTRL | Qt::Key_S));
  Press(QKeySequence(Qt::CTRL | Qt::Key_B));
  EXPECT_TRUE(prompts.asked().empty());

  // Ctrl+O: a folder chosen and loaded as a card.
  window->SetCardFolderChooser([this](const QString&) { return QString::fromStdString(card.path().string()); });
  ExpectFolderLoad(card.path());
  Press(QKeySequence(Qt::CTRL | Qt::Key_O));
  ASSERT_TRUE(session.loaded);
  EXPECT_EQ(window->CardRoot(), card.path());

  // Delete in the list marks the row; Ctrl+Z takes it back, Ctrl+Y again.
  ClickRow(MediaKind::Image, 2);
  Press(QKeySequence(Qt::Key_Delete));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"A", "C"}));
  Press(QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"A", "B", "C"}));
  Press(QKeySequence(Qt::CTRL | Qt::Key_Y));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"A", "C"}));
  // ... but in the title edit it is the edit's own key.
  auto* edit = Find<QLineEdit>("edImageTitle");
  edit->setFocus();
  edit->setCursorPosition(0);
  QTest::keyClick(edit, Qt::Key_Delete);
  EXPECT_EQ(edit->text(), "");  // "C" lost its one character
  EXPECT_EQ(window->undoStack()->count(), 1);

  // Ctrl+S writes to the card, after its question; F5 loads again.
  prompts.Expect(Question::ConfirmCommit, Answer::Yes);
  prompts.ExpectOk(texts::kCommitDone);
  Press(QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_FALSE(fs::exists(card.path() / "PRIVATE/DOCOMO/STILL/STIL0002.JPG"));
  Press(QKeySequence(Qt::Key_F5));  // advised once: no questions
  EXPECT_EQ(Rows(MediaKind::Image), 2);

  // F1: the read-me.
  Press(QKeySequence(Qt::Key_F1));
  ASSERT_EQ(opened.size(), 1);
  EXPECT_TRUE(opened[0].endsWith(QStringLiteral("ReadMe.txt")));

  // Every menu names its commands with access keys.
  auto* bar = Find<QMenuBar>("MainMenu");
  QStringList menus;
  for (QAction* a : bar->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{"ファイル(&F)", "編集(&E)", "表示(&V)", "カード(&C)", "ヘルプ(&H)"}));
}

TEST_F(Keyboard, EveryControlThatTakesTheFocusHasANameForScreenReaders) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(window.get()) || qobject_cast<QMenu*>(w)) continue;
    if (w->parentWidget() && w->parentWidget()->inherits("QAbstractScrollArea")) continue;  // a viewport
    const auto* button = qobject_cast<QAbstractButton*>(w);
    const bool named = !w->accessibleName().isEmpty() || (button && !button->text().isEmpty());
    EXPECT_TRUE(named) << w->objectName().toStdString() << " (" << w->metaObject()->className() << ")";
  }
  // Each caption leads to its control.
  EXPECT_EQ(Find<QLabel>("Label1")->buddy(), Find("curDrive"));
  EXPECT_EQ(Find<QLabel>("Label2")->buddy(), Find("edImageTitle"));
}

TEST_F(Keyboard, ARowDraggedToAnotherPlaceIsOneMoveUndoneAsOne) {
  LoadCard();
  prompts.Clear();
  QWidget* viewport = Grid(MediaKind::Image)->viewport();
  const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  };
  const QPoint from = RowPoint(MediaKind::Image, 3), to = RowPoint(MediaKind::Image, 1);
  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  send(QEvent::MouseMove, from + QPoint(0, -10), Qt::LeftButton);
  send(QEvent::MouseMove, to, Qt::LeftButton);
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 3);  // the rows passed over are not chosen
  send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"C", "A", "B"}));
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 1);
  EXPECT_EQ(window->undoStack()->count(), 1);
  window->undoStack()->undo();
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"A", "B", "C"}));
}

TEST_F(Keyboard, TabLeavesTheListAndTheArrowsWalkIt) {
  LoadCard();
  ClickRow(MediaKind::Image, 1);
  QTableView* grid = Grid(MediaKind::Image);
  ASSERT_TRUE(grid->hasFocus());
  QTest::keyClick(grid, Qt::Key_Tab);
  EXPECT_FALSE(grid->hasFocus());
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 1);
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
}

}  // namespace
}  // namespace fenmora::testcard
