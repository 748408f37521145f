// The window's history of list edits (undo, redo, what a load and a commit
// do to it), the questions before uncommitted edits are dropped, and the
// selection, title edit and preview showing one item.
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUndoStack>
#include <QtTest/QTest>

#include "app/app_texts.h"
#include "app/media_files.h"
#include "app/window_fixture.h"
#include "platform/cp932.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Question = Prompts::Question;

// What the user sees of one list and of the card space.
struct Seen {
  std::vector<QString> names, titles;
  QString freeText;
  int gauge;
  std::int64_t used;
  bool operator==(const Seen&) const = default;
};

class History : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->SetOpener([this](const QString& path) {
      opened.push_back(path);
      return openWorks;
    });
    window->SetFileChooser([this](MediaKind, const QString&) { return choice; });
    WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "赤", SolidPicture(40, 40, Qt::red, "JPG")),
                                         Item("STIL0002.JPG", "緑", SolidPicture(40, 40, Qt::green, "JPG")),
                                         Item("STIL0003.JPG", "青", SolidPicture(40, 40, Qt::blue, "JPG"))});
    ShowWindow();
    LoadCard();
    prompts.Clear();
  }
  Seen Look() {
    return {Column(MediaKind::Image, 0), Column(MediaKind::Image, 3), Find<QLabel>("stFree")->text(),
            Find<QProgressBar>("cgDiskSpace")->value(), session.space.used};
  }
  void Key(QKeySequence keys) {
    QTest::keySequence(window.get(), keys);
  }
  QLineEdit* Edit() { return Find<QLineEdit>("edImageTitle"); }
  bool CommitEnabled() { return Find("btRefreshData")->isEnabled(); }
  QImage Preview() { return Find<QLabel>("DispPrev")->pixmap().toImage(); }
  QColor PreviewMiddle() {
    const QImage i = Preview();
    return i.isNull() ? QColor() : i.pixelColor(i.width() / 2, i.height() / 2);
  }

  QStringList choice;
  std::vector<QString> opened;
  bool openWorks = true;
  TempDir desktop;
};

TEST_F(History, EveryKindOfEditIsUndoneAndRedoneBackToTheLoad) {
  const Seen loaded = Look();
  std::vector<Seen> states{loaded};
  // retitle, move, renumber, delete, add, drop: each one step.
  ClickRow(MediaKind::Image, 2);
  Edit()->setText(QStringLiteral("若草"));
  Click("btEditImage");
  states.push_back(Look());
  Click("btUpImage");
  states.push_back(Look());
  Click("btRenImage");
  states.push_back(Look());
  ClickRow(MediaKind::Image, 3);
  Click("btDelImage");
  states.push_back(Look());
  choice = {QString::fromStdString(desktop.Write("a.jpg", "picture a").string()),
            QString::fromStdString(desktop.Write("b.jpg", "picture b").string())};
  Click("btAddImage");  // two files, one step
  states.push_back(Look());
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {desktop.Write("c.jpg", "picture c")}));
  states.push_back(Look());
  ASSERT_EQ(window->undoStack()->count(), 6);
  EXPECT_EQ(states.back().names.size(), 5u);
  EXPECT_TRUE(CommitEnabled());

  Grid(MediaKind::Image)->setFocus();
  for (size_t i = states.size() - 1; i > 0; --i) {
    Key(QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(Look() == states[i - 1]) << "undo to step " << i - 1;
  }
  // Everything undone: nothing to commit, and the catalogue as loaded.
  EXPECT_FALSE(CommitEnabled());
  EXPECT_EQ(session.Catalogue(MediaKind::Image).count, 3);
  EXPECT_EQ(session.Catalogue(MediaKind::Image).deletedCount, 0);

  // Redo with both keys Linux and Windows users know.
  for (size_t i = 1; i < states.size(); ++i) {
    Key(i % 2 ? QKeySequence(Qt::CTRL | Qt::Key_Y) : QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    EXPECT_TRUE(Look() == states[i]) << "redo to step " << i;
    EXPECT_TRUE(CommitEnabled());
  }
}

TEST_F(History, AnUndoneDeletionComesBackWithItsTitleAndPicture) {
  ClickRow(MediaKind::Image, 1);
  Click("btDelImage");
  EXPECT_EQ(Edit()->text(), "緑");
  window->undoStack()->undo();
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 1);
  EXPECT_EQ(Edit()->text(), "赤");
  EXPECT_GT(PreviewMiddle().red(), 200);
  EXPECT_LT(PreviewMiddle().green(), 60);
}

TEST_F(History, ALoadAndACommitClearIt) {
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  ASSERT_TRUE(window->undoStack()->canUndo());
  // Loading again with an edit asks first; Yes drops it.
  prompts.Expect(Question::DropEdits, Answer::Yes, app::texts::kDropEditsOnLoad);
  ExpectFolderLoad(card.path());
  ClickLoad();
  EXPECT_FALSE(window->undoStack()->canUndo());
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), "赤");

  Click("btUpImage");  // row 1: nothing happens, nothing to undo
  EXPECT_FALSE(window->undoStack()->canUndo());
  ClickRow(MediaKind::Image, 3);
  Click("btUpImage");
  prompts.Expect(Question::ConfirmCommit, Answer::Yes);
  ExpectFolderLoad(card.path());
  prompts.ExpectOk(texts::kCommitDone);
  Click("btRefreshData");
  EXPECT_FALSE(window->undoStack()->canUndo());
  EXPECT_FALSE(CommitEnabled());
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"赤", "青", "緑"}));
}

TEST_F(History, EditsAreNotDroppedWithoutAsking) {
  // Without edits, closing asks nothing.
  EXPECT_FALSE(window->HasUncommittedEdits());
  ClickRow(MediaKind::Image, 2);
  Click("btDelImage");
  ASSERT_TRUE(window->HasUncommittedEdits());

  prompts.Expect(Question::DropEdits, Answer::No, app::texts::kDropEditsOnLoad);
  ClickLoad();  // declined: nothing reloaded
  EXPECT_EQ(session.Catalogue(MediaKind::Image).deletedCount, 1);

  prompts.Expect(Question::DropEdits, Answer::No, app::texts::kDropEditsOnClose);
  Click("btEnd");
  EXPECT_TRUE(window->isVisible());
  prompts.Expect(Question::DropEdits, Answer::Yes, app::texts::kDropEditsOnClose);
  window->close();  // the close box
  EXPECT_FALSE(window->isVisible());
}

TEST_F(History, UndoingEverythingLetsTheWindowCloseWithoutAsking) {
  ClickRow(MediaKind::Image, 2);
  Click("btDelImage");
  window->undoStack()->undo();
  EXPECT_FALSE(window->HasUncommittedEdits());
  Click("btEnd");  // a question here would fail the test
  EXPECT_FALSE(window->isVisible());
}

TEST_F(History, TheDeleteKeyDeletesTheSelectedItemAsTheButtonDoes) {
  ClickRow(MediaKind::Image, 2);
  QTest::keyClick(Grid(MediaKind::Image), Qt::Key_Delete);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"赤", "青"}));
  EXPECT_EQ(Edit()->text(), "青");
  EXPECT_TRUE(CommitEnabled());
  EXPECT_EQ(window->undoStack()->count(), 1);
}

TEST_F(History, TheEditAndThePreviewFollowTheSelectionOrShowNothing) {
  // After the load: row 1 selected, its title and its picture.
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 1);
  EXPECT_EQ(Edit()->text(), "赤");
  EXPECT_GT(PreviewMiddle().red(), 200);
  // Deleting every image: the edit and the pane empty, never an old item.
  for (int i = 0; i < 3; ++i) Click("btDelImage");
  EXPECT_TRUE(Edit()->text().isEmpty());
  EXPECT_TRUE(Preview().isNull());
  // Enter in the empty edit stores nothing anywhere.
  QTest::keyClicks(Edit(), "x");
  QTest::keyClick(Edit(), Qt::Key_Return);
  for (int r = 1; r <= 3; ++r) EXPECT_FALSE(session.Catalogue(MediaKind::Image).Slot(r - 1).title == "x");
}

TEST_F(History, TheTitleEditStopsAt64BytesAndNamesCharactersTheCardCannotHold) {
  ClickRow(MediaKind::Image, 1);
  Edit()->clear();
  // Typed one by one (as an input method commits them): あ is two bytes.
  for (int i = 0; i < 40; ++i) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x3042)));
    QApplication::sendEvent(Edit(), &press);
  }
  EXPECT_EQ(Edit()->text(), QString(32, QChar(0x3042)));

  Edit()->setText(QStringLiteral("café 😀"));
  prompts.Expect(Question::Unrepresentable, Answer::No,
                 std::string(app::texts::kUnrepresentable) + "「é」「😀」" + app::texts::kUnrepresentableQuestion);
  Click("btEditImage");
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), "赤");
  EXPECT_FALSE(window->undoStack()->canUndo());
  prompts.Expect(Question::Unrepresentable, Answer::Yes);
  QTest::keyClick(Edit(), Qt::Key_Return);
  EXPECT_EQ(session.Catalogue(MediaKind::Image).EntryAtRow(1)->title, "caf? ?");
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);  // Enter went on
}

TEST_F(History, OpeningAFileTheDesktopHasNoApplicationForSaysSo) {
  openWorks = false;
  prompts.ExpectOk();
  DoubleClickRow(MediaKind::Image, 2);
  ASSERT_EQ(opened.size(), 1u);
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].text,
            app::texts::kCannotOpenFile + (card.path() / "PRIVATE/DOCOMO/STILL/STIL0002.JPG").string());
  EXPECT_EQ(prompts.asked()[0].icon, Prompts::Icon::Warning);
  prompts.ExpectOk();
  QTest::keyClick(Grid(MediaKind::Image), Qt::Key_F4);
  EXPECT_EQ(prompts.asked().size(), 2u);
}

}  // namespace
}  // namespace fenmora::testcard
