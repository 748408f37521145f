// Editing the lists through the window: the selection and the title edit,
// the keyboard cycle, moving, renumbering and deleting, and what each does to
// the grid, the gauge and the commit button.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "app/app_texts.h"
#include "app/window_fixture.h"
#include "platform/cp932.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;

class Editing : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->SetOpener([this](const QString& path) {
      opened.push_back(path);
      return true;
    });
    WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "夕焼け", std::string(1000, 'a')),
                                         Item("STIL0002.JPG", "猫", std::string(2000, 'b')),
                                         Item("STIL0003.JPG", "富士山", std::string(3000, 'c'))});
    WriteKind(card.path(), MediaKind::Movie, {Item("MOL001.3GP", "花火")});
    ShowWindow();
    LoadCard();
    prompts.Clear();
  }
  QLineEdit* Edit() { return Find<QLineEdit>("edImageTitle"); }
  bool CommitEnabled() { return Find("btRefreshData")->isEnabled(); }
  std::vector<QString> Names() { return Column(MediaKind::Image, 0); }
  std::vector<QString> Titles() { return Column(MediaKind::Image, 3); }

  std::vector<QString> opened;
};

TEST_F(Editing, SelectingARowPutsItsTitleIntoTheEditWithoutMakingItApplicable) {
  ClickRow(MediaKind::Image, 2);
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "猫");
  EXPECT_FALSE(Find("btEditImage")->isEnabled());
  QTest::keyClicks(Edit(), "x");
  EXPECT_TRUE(Find("btEditImage")->isEnabled());
  // A click on the row already selected brings its stored title back.
  ClickRow(MediaKind::Image, 2);
  EXPECT_EQ(Edit()->text(), "猫");
  EXPECT_FALSE(Find("btEditImage")->isEnabled());
}

TEST_F(Editing, ATitleTypedButNotAppliedIsOfferedForItsRowWhenAnotherIsChosen) {
  ClickRow(MediaKind::Image, 2);
  Edit()->setText(QStringLiteral("黒猫"));
  prompts.Expect(Prompts::Question::ApplyTitle, Prompts::Answer::Yes,
                 std::string(app::texts::kTitleNotApplied) + "STIL0002.JPG「黒猫」");
  ClickRow(MediaKind::Image, 3);
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "黒猫", "富士山"}));  // stored where it was typed
  EXPECT_EQ(Edit()->text(), "富士山");
  EXPECT_TRUE(CommitEnabled());

  Edit()->setText(QStringLiteral("山"));
  prompts.Expect(Prompts::Question::ApplyTitle, Prompts::Answer::No);
  ClickRow(MediaKind::Image, 1);
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "黒猫", "富士山"}));  // dropped on No
  EXPECT_EQ(Edit()->text(), "夕焼け");
  // Typed back to what is stored: nothing to ask.
  Edit()->setText(QStringLiteral("夕焼"));
  Edit()->setText(QStringLiteral("夕焼け"));
  ClickRow(MediaKind::Image, 2);
  EXPECT_EQ(Edit()->text(), "黒猫");
}

TEST_F(Editing, ATitleStoredWithQuestionMarksShowsSoInTheEditToo) {
  ClickRow(MediaKind::Image, 1);
  Edit()->setText(QStringLiteral("𠮷野家"));
  prompts.Expect(Prompts::Question::Unrepresentable, Prompts::Answer::Yes);
  Click("btEditImage");
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), "?野家");
  EXPECT_EQ(Edit()->text(), "?野家");
  EXPECT_FALSE(Find("btEditImage")->isEnabled());
}

TEST_F(Editing, ArrowKeysInTheGridRunTheSelection) {
  ClickRow(MediaKind::Image, 1);
  QTest::keyClick(Grid(MediaKind::Image), Qt::Key_Down);
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "猫");
}

TEST_F(Editing, ApplyingATitleRewritesOnlyThatTitleCell) {
  ClickRow(MediaKind::Image, 2);
  Edit()->setText(QStringLiteral("黒猫のタマ"));
  Click("btEditImage");
  EXPECT_EQ(session.Catalogue(MediaKind::Image).EntryAtRow(2)->title, Utf8ToCp932("黒猫のタマ"));
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "黒猫のタマ", "富士山"}));
  EXPECT_EQ(Names(), (std::vector<QString>{"STIL0001.JPG", "STIL0002.JPG", "STIL0003.JPG"}));
  EXPECT_FALSE(Find("btEditImage")->isEnabled());
  EXPECT_TRUE(CommitEnabled());
  EXPECT_TRUE(Grid(MediaKind::Image)->hasFocus());
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
}

TEST_F(Editing, ALongTitleShowsShortenedInTheGridAndWholeInTheCatalogue) {
  ClickRow(MediaKind::Image, 1);
  Edit()->setText(QStringLiteral("とても長いタイトルの待受け画像"));
  Click("btEditImage");
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), "とても長いタイトル…");
  EXPECT_EQ(session.Catalogue(MediaKind::Image).EntryAtRow(1)->title,
            Utf8ToCp932("とても長いタイトルの待受け画像"));
}

TEST_F(Editing, EnterInTheEditWithoutAChangeStoresTheTitleAndGoesToTheNextRow) {
  ClickRow(MediaKind::Image, 1);
  ASSERT_FALSE(CommitEnabled());
  Edit()->setFocus();
  QTest::keyClick(Edit(), Qt::Key_Return);
  EXPECT_TRUE(CommitEnabled());
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "猫");
  EXPECT_TRUE(Grid(MediaKind::Image)->hasFocus());
}

TEST_F(Editing, TheKeyboardCycleRetitlesRowAfterRow) {
  ClickRow(MediaKind::Image, 1);
  for (const char* title : {"one", "two", "three"}) {
    QTest::keyClick(Grid(MediaKind::Image), Qt::Key_Return);  // to the edit
    ASSERT_TRUE(Edit()->hasFocus());
    Edit()->selectAll();
    QTest::keyClicks(Edit(), title);
    QTest::keyClick(Edit(), Qt::Key_Return);  // store, back to the grid, next row
    ASSERT_TRUE(Grid(MediaKind::Image)->hasFocus());
  }
  EXPECT_EQ(Titles(), (std::vector<QString>{"one", "two", "three"}));
  // Enter on the last row stores and keeps the last row.
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 3);
}

TEST_F(Editing, F4InTheGridOpensTheSelectedItemOnTheCard) {
  ClickRow(MediaKind::Image, 3);
  QTest::keyClick(Grid(MediaKind::Image), Qt::Key_F4);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(fs::path(opened[0].toStdString()), card.path() / "PRIVATE/DOCOMO/STILL/STIL0003.JPG");
  // A double-click opens too.
  DoubleClickRow(MediaKind::Movie, 1);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(fs::path(opened[1].toStdString()), card.path() / "SD_VIDEO/PRL001/MOL001.3GP");
}

TEST_F(Editing, UpOnTheFirstRowAndDownOnTheLastChangeNothing) {
  ClickRow(MediaKind::Image, 1);
  Click("btUpImage");
  ClickRow(MediaKind::Image, 3);
  Click("btDownImage");
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "猫", "富士山"}));
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 3);
  EXPECT_FALSE(CommitEnabled());
}

TEST_F(Editing, UpAndDownExchangeNeighboursAndTheSelectionFollows) {
  ClickRow(MediaKind::Image, 3);
  Click("btUpImage");
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "富士山", "猫"}));
  // The names stay with their items until the list is renumbered.
  EXPECT_EQ(Names(), (std::vector<QString>{"STIL0001.JPG", "STIL0003.JPG", "STIL0002.JPG"}));
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "富士山");
  EXPECT_TRUE(CommitEnabled());
  Click("btDownImage");
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "猫", "富士山"}));
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 3);
}

TEST_F(Editing, RenumberingNamesTheListInOrderAndLeavesTheSelectionAndTheEdit) {
  ClickRow(MediaKind::Image, 3);
  Click("btUpImage");  // 夕焼け, 富士山 (STIL0003), 猫 (STIL0002); row 2 selected
  Edit()->setText(QStringLiteral("typed, not applied"));
  Click("btRenImage");
  EXPECT_EQ(Names(), (std::vector<QString>{"STIL0001.JPG", "STIL0002.JPG", "STIL0003.JPG"}));
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "富士山", "猫"}));
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "typed, not applied");
  EXPECT_TRUE(Find("btEditImage")->isEnabled());
}

TEST_F(Editing, DeletingAMiddleRowShowsTheNextItemThereAndGrowsTheFreeSpace) {
  const std::int64_t freeBefore = session.space.Free();
  ClickRow(MediaKind::Image, 2);
  Click("btDelImage");
  EXPECT_EQ(Titles(), (std::vector<QString>{"夕焼け", "富士山"}));
  EXPECT_EQ(Rows(MediaKind::Image), 2);
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "富士山");
  EXPECT_EQ(session.space.Free(), freeBefore + session.space.Footprint(2000));
  EXPECT_EQ(Find<QLabel>("stFree")->text().toStdString(), FreeSpaceText(freeBefore + session.space.Footprint(2000)));
  EXPECT_TRUE(CommitEnabled());
  // The item stays in the catalogue, marked, until the commit deletes its file.
  const MediaCatalogue& images = session.Catalogue(MediaKind::Image);
  EXPECT_EQ(images.count, 3);
  EXPECT_EQ(images.deletedCount, 1);
  EXPECT_TRUE(fs::exists(card.path() / "PRIVATE/DOCOMO/STILL/STIL0002.JPG"));
}

TEST_F(Editing, DeletingTheLastRowMovesTheSelectionToTheNewLastRow) {
  ClickRow(MediaKind::Image, 3);
  Click("btDelImage");
  EXPECT_EQ(Rows(MediaKind::Image), 2);
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Edit()->text(), "猫");
}

TEST_F(Editing, DeletingTheOnlyRowLeavesOneBlankRowAndAnEmptyEdit) {
  ClickRow(MediaKind::Movie, 1);
  ASSERT_EQ(Find<QLineEdit>("edMovieTitle")->text(), "花火");
  Click("btDelMovie");
  EXPECT_EQ(Rows(MediaKind::Movie), 1);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(Cell(MediaKind::Movie, 1, c).isEmpty());
  EXPECT_TRUE(Find<QLineEdit>("edMovieTitle")->text().isEmpty());
  EXPECT_FALSE(Find("btEditMovie")->isEnabled());
  // The blank row has no item: deleting, applying or moving there does nothing.
  prompts.Clear();
  Find<QLineEdit>("edMovieTitle")->setText(QStringLiteral("x"));
  Click("btEditMovie");
  Click("btDelMovie");
  Click("btUpMovie");
  Click("btDownMovie");
  const MediaCatalogue& movies = session.Catalogue(MediaKind::Movie);
  EXPECT_EQ(movies.deletedCount, 1);
  EXPECT_EQ(movies.Slot(0).title, Utf8ToCp932("花火"));
}

TEST_F(Editing, EditsOfOneListLeaveTheOthersAlone) {
  ClickRow(MediaKind::Image, 1);
  Click("btDelImage");
  EXPECT_EQ(Column(MediaKind::Movie, 3), (std::vector<QString>{"花火"}));
  EXPECT_EQ(session.Catalogue(MediaKind::Movie).deletedCount, 0);
}

}  // namespace
}  // namespace fenmora::testcard
