// Loading a card through the window: the questions, the lists, the enabling
// at the end, and the cards that have gaps, missing files or odd tables.
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <filesystem>
#include <fstream>

#include "app/window_fixture.h"
#include "platform/cp932.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Question = Prompts::Question;

const char* const kLoadEnabled[] = {"btUpImage",  "btDownImage",  "btRenImage",  "btDelImage",
                                    "btAddImage", "btUpMelody",   "btDownMelody", "btRenMelody",
                                    "btDelMelody", "btAddMelody", "btUpMovie",    "btDownMovie",
                                    "btRenMovie", "btDelMovie",   "btAddMovie",   "btBackUp"};

class Load : public WindowTest {
 protected:
  // A card with three images, two melodies and one movie.
  void WriteSmallCard() {
    WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "夕焼けの海", std::string(3000, 'a')),
                                         Item("STIL0002.GIF", "猫"), Item("STIL0003.JPG", "Mt. Fuji")});
    WriteKind(card.path(), MediaKind::Melody, {Item("RING0001.MLD", "着信音１"), Item("RING0002.MID", "春の歌")});
    WriteKind(card.path(), MediaKind::Movie, {Item("MOL001.3GP", "花火大会")});
  }
  void ExpectNothingLoaded() {
    for (MediaKind k : kListKinds) {
      EXPECT_EQ(Rows(k), 63);
      EXPECT_TRUE(Cell(k, 1, 0).isEmpty());
    }
    for (const char* name : kLoadEnabled) EXPECT_FALSE(Find(name)->isEnabled()) << name;
    EXPECT_EQ(Find<QLabel>("stFree")->text(), "");
    EXPECT_FALSE(session.loaded);
  }
};

TEST_F(Load, DecliningTheDriveWarningForAFolderWithoutACardChangesNothing) {
  if (IsRemovableDrive(card.path())) GTEST_SKIP() << "the temporary folder lies on a removable drive";
  TempDir plain;  // no PRIVATE\DOCOMO, no SD_VIDEO
  Choose(plain.path());
  prompts.Expect(Question::NotRemovable, Answer::No, texts::kNotRemovable);
  QTest::mouseClick(Find("btLoadMem"), Qt::LeftButton);
  ASSERT_EQ(prompts.asked().size(), 1u);  // no advice, no error
  EXPECT_EQ(prompts.asked()[0].icon, Prompts::Icon::Warning);
  ExpectNothingLoaded();
}

TEST_F(Load, AFolderHoldingACardLoadsIntoTheThreeListsAfterOnlyTheBackupAdvice) {
  WriteSmallCard();
  Choose(card.path());
  // The folder holds the card's layout: no drive warning, though it lies on
  // a fixed disk.
  prompts.ExpectOk(texts::kBackupAdvice);
  QTest::mouseClick(Find("btLoadMem"), Qt::LeftButton);
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Prompts::Icon::Information);

  EXPECT_EQ(Rows(MediaKind::Image), 3);
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG", "STIL0002.GIF", "STIL0003.JPG"}));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"夕焼けの海", "猫", "Mt. Fuji"}));
  EXPECT_EQ(Cell(MediaKind::Image, 1, 1), "2004/03/01 12:00");
  EXPECT_EQ(Cell(MediaKind::Image, 1, 2), "3 KB");
  EXPECT_EQ(Cell(MediaKind::Image, 2, 2), "1 KB");
  EXPECT_EQ(Column(MediaKind::Melody, 3), (std::vector<QString>{"着信音１", "春の歌"}));
  EXPECT_EQ(Column(MediaKind::Movie, 0), (std::vector<QString>{"MOL001.3GP"}));

  for (const char* name : kLoadEnabled) EXPECT_TRUE(Find(name)->isEnabled()) << name;
  // The load leaves the commit button and the title buttons alone.
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  EXPECT_FALSE(Find("btEditImage")->isEnabled());
  EXPECT_TRUE(Find<QLabel>("StatusPanel0")->text().isEmpty());
  EXPECT_EQ(Find<QLabel>("stFree")->text().toStdString(), FreeSpaceText(session.space.Free()));
  EXPECT_GT(session.space.capacity, 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Load, EachListShowsItsFirstItemSelectedAndNothingIsLeftToCommit) {
  WriteSmallCard();
  // Before the load: an edit holding a typed title and a picture in the pane.
  Find<QLineEdit>("edMovieTitle")->setText(QStringLiteral("typed"));
  LoadCard();
  // The selection, the title edit and the preview show the same item.
  EXPECT_EQ(Find<QLineEdit>("edImageTitle")->text(), "夕焼けの海");
  EXPECT_EQ(Find<QLineEdit>("edMelodyTitle")->text(), "着信音１");
  EXPECT_EQ(Find<QLineEdit>("edMovieTitle")->text(), "花火大会");
  for (MediaKind k : kListKinds) {
    EXPECT_EQ(window->SelectedRow(k), 1);
    EXPECT_TRUE(Grid(k)->selectionModel()->isRowSelected(0, {}));
  }
  for (const char* name : {"btEditImage", "btEditMelody", "btEditMovie", "btRefreshData"})
    EXPECT_FALSE(Find(name)->isEnabled()) << name;
  // Nothing typed before the load stays in the edit: Enter stores the
  // selected item's own title into it.
  ShowPage(MediaKind::Movie);
  QTest::keyClick(Find<QLineEdit>("edMovieTitle"), Qt::Key_Return);
  EXPECT_EQ(Cell(MediaKind::Movie, 1, 3), "花火大会");
  EXPECT_EQ(session.Catalogue(MediaKind::Movie).Slot(0).title, "\x89\xd4\x89\xce\x91\xe5\x89\xef");

  // Loaded again from a card without images: no title, no picture. The
  // title stored above counts as an edit: dropping it is asked first.
  TempDir other;
  WriteKind(other.path(), MediaKind::Melody, {Item("RING0001.MLD", "別の曲")});
  prompts.Expect(Question::DropEdits, Answer::Yes);
  LoadFolder(other.path());
  EXPECT_TRUE(Find<QLineEdit>("edImageTitle")->text().isEmpty());
  EXPECT_TRUE(Find<QLabel>("DispPrev")->pixmap().isNull());
  EXPECT_EQ(Find<QLineEdit>("edMelodyTitle")->text(), "別の曲");
}

// Records the status texts that were painted while a load ran.
class PaintedTexts : public QObject {
 public:
  explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && (texts.empty() || texts.back() != label_->text()))
      texts.push_back(label_->text());
    return false;
  }
  std::vector<QString> texts;

 private:
  QLabel* label_;
};

TEST_F(Load, ShowsEachKindsStatusTextAtOnceAndClearsItAtTheEnd) {
  WriteSmallCard();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  QCoreApplication::processEvents();
  PaintedTexts painted(Find<QLabel>("StatusPanel0"));
  PaintedTexts space(Find<QLabel>("stFree"));
  LoadCard();
  EXPECT_EQ(painted.texts, (std::vector<QString>{"待ち受け画像ファイルの読み込み中...",
                                                 "着メロファイルの読み込み中...",
                                                 "ムービーファイルの読み込み中...", ""}));
  // The card's space shows from the first status text on.
  ASSERT_FALSE(space.texts.empty());
  EXPECT_EQ(space.texts.front().toStdString(), FreeSpaceText(session.space.Free()));
}

TEST_F(Load, AMissingCardRootGivesTheInsertCardErrorAndChangesNothing) {
  WriteSmallCard();
  LoadCard();
  const auto images = Column(MediaKind::Image, 0);
  const QString freeText = Find<QLabel>("stFree")->text();
  prompts.Clear();

  const fs::path gone = card.path() / "no-such-card";
  if (!IsRemovableDrive(gone)) prompts.Expect(Question::NotRemovable, Answer::Yes, texts::kNotRemovable);
  prompts.ExpectOk(texts::kInsertCard);
  Choose(gone);
  ClickLoad();
  EXPECT_EQ(prompts.asked().back().icon, Prompts::Icon::Error);
  EXPECT_EQ(Column(MediaKind::Image, 0), images);
  EXPECT_EQ(Find<QLabel>("stFree")->text(), freeText);
  EXPECT_EQ(session.cardRoot, card.path());
}

TEST_F(Load, TheBackupAdviceComesOncePerCardInASession) {
  WriteSmallCard();
  LoadCard();
  EXPECT_EQ(prompts.asked().size(), 1u);  // the advice
  prompts.Clear();
  ClickLoad();  // the same card again: nothing to ask
  EXPECT_TRUE(prompts.asked().empty());
  EXPECT_TRUE(session.loaded);

  TempDir other;
  WriteKind(other.path(), MediaKind::Image, {Item("STIL0001.JPG", "別のカード")});
  prompts.ExpectOk(texts::kBackupAdvice);  // another card: advised once too
  Choose(other.path());
  ClickLoad();
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), "別のカード");
  prompts.Clear();
  Choose(card.path());
  ClickLoad();
  EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(Load, AMissingCardBeforeAnyLoadEnablesNothing) {
  const fs::path gone = card.path() / "no-such-card";
  if (!IsRemovableDrive(gone)) prompts.Expect(Question::NotRemovable, Answer::Yes, texts::kNotRemovable);
  prompts.ExpectOk(texts::kInsertCard);
  Choose(gone);
  ClickLoad();
  ExpectNothingLoaded();
}

TEST_F(Load, TablesAreReadByNumberAcrossAGap) {
  WriteTable(card.path(), MediaKind::Image, 2, {Item("STIL0065.JPG", "二番目の表")},
                     "\\PRIVATE\\DOCOMO\\STILL\\SUD002");
  WriteTable(card.path(), MediaKind::Image, 0, {Item("STIL0001.JPG", "一"), Item("STIL0002.JPG", "二")});
  LoadCard();
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG", "STIL0002.JPG", "STIL0065.JPG"}));
  EXPECT_EQ(Cell(MediaKind::Image, 3, 3), "二番目の表");
}

TEST_F(Load, ARecordWhoseFileIsMissingIsDroppedWithoutAGap) {
  std::vector<CardItem> items = NumberedItems(MediaKind::Melody, 1, 4, ".MLD", "file ", "melody ");
  items[1].createFile = false;
  WriteKind(card.path(), MediaKind::Melody, items);
  LoadCard();
  EXPECT_EQ(Column(MediaKind::Melody, 0), (std::vector<QString>{"RING0001.MLD", "RING0003.MLD", "RING0004.MLD"}));
  const MediaCatalogue& melodies = session.Catalogue(MediaKind::Melody);
  ASSERT_EQ(melodies.count, 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(melodies.Slot(i).position, i + 1);
    EXPECT_FALSE(melodies.Slot(i).toDelete);
  }
}

TEST_F(Load, MovieTablesAreNumberedInHexadecimal) {
  WriteTable(card.path(), MediaKind::Movie, 16, {Item("MOL3C1.3GP", "sixteen")}, "\\SD_VIDEO\\PRL010");
  WriteTable(card.path(), MediaKind::Movie, 10, {Item("MOL241.3GP", "ten")}, "\\SD_VIDEO\\PRL00A");
  WriteTable(card.path(), MediaKind::Movie, 2, {Item("MOL041.3GP", "two")}, "\\SD_VIDEO\\PRL002");
  ASSERT_TRUE(fs::exists(card.path() / "PRIVATE/DOCOMO/TABLE/SD_VIDEO/PRL00A.TBL"));
  LoadCard();
  EXPECT_EQ(Column(MediaKind::Movie, 3), (std::vector<QString>{"two", "ten", "sixteen"}));
}

TEST_F(Load, AKindWithoutTablesShowsOneBlankRowAlsoAfterAnEarlierLoad) {
  WriteSmallCard();
  LoadCard();
  ASSERT_EQ(Rows(MediaKind::Melody), 2);
  fs::remove_all(card.path() / "PRIVATE/DOCOMO/TABLE/RINGER");
  prompts.Clear();
  LoadCard();
  EXPECT_EQ(Rows(MediaKind::Melody), 1);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(Cell(MediaKind::Melody, 1, c).isEmpty());
  EXPECT_EQ(session.Catalogue(MediaKind::Melody).count, 0);
  EXPECT_EQ(Rows(MediaKind::Image), 3);  // the others are read as before
}

TEST_F(Load, AnotherCardReplacesEverythingThePreviousOneListed) {
  WriteSmallCard();
  LoadCard();
  TempDir other;
  WriteKind(other.path(), MediaKind::Image, {Item("STIL0001.JPG", "別のカード")});
  prompts.Clear();
  LoadFolder(other.path());
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"別のカード"}));
  EXPECT_EQ(Rows(MediaKind::Movie), 1);
  EXPECT_TRUE(Cell(MediaKind::Movie, 1, 0).isEmpty());
  EXPECT_EQ(session.cardRoot, other.path());
}

TEST_F(Load, LongTitlesAreShortenedInTheGridOnly) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "とても長いタイトルの待受け画像です")});
  LoadCard();
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), "とても長いタイトル…");
  EXPECT_EQ(session.Catalogue(MediaKind::Image).Slot(0).title,
            Utf8ToCp932("とても長いタイトルの待受け画像です"));
}

TEST_F(Load, ATableThatCannotBeReadIsSkipped) {
  WriteTable(card.path(), MediaKind::Image, 0, {Item("STIL0001.JPG", "zero")});
  fs::create_directories(card.path() / "PRIVATE/DOCOMO/TABLE/STILL/SUD001.TBL");  // a folder, not a file
  WriteTable(card.path(), MediaKind::Image, 2, {Item("STIL0002.JPG", "two")}, "\\PRIVATE\\DOCOMO\\STILL\\SUD002");
  // Said, naming it; the other tables are read.
  ExpectFolderLoad(card.path());
  prompts.ExpectOk();
  Choose(card.path());
  ClickLoad();
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"zero", "two"}));
  EXPECT_NE(prompts.asked().back().text.find("SUD001.TBL"), std::string::npos);
}

TEST_F(Load, RecordsThatWouldLeadOutsideTheCardAreNotListed) {
  TempDir outside;
  std::ofstream(outside.path() / "SECRET.JPG") << "not on the card";
  // The other folder lies beside the card: one ".." leads there.
  const std::string escape = "\\..\\" + outside.path().filename().string();
  WriteTable(card.path(), MediaKind::Image, 0, {Item("STIL0001.JPG", "ok")});
  CardItem secret = Item("SECRET.JPG", "secret");
  secret.createFile = false;
  WriteTable(card.path(), MediaKind::Image, 1, {secret}, escape);
  LoadCard();
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"ok"}));
}

TEST_F(Load, MoreThan1024FilesOfAKindLoadTheFirst1024AndSaySoOnce) {
  WriteKind(card.path(), MediaKind::Image, NumberedItems(MediaKind::Image, 1, 1030, ".JPG", "file ", "item "));
  ExpectFolderLoad(card.path());
  prompts.ExpectOk();
  Choose(card.path());
  ClickLoad();
  ASSERT_FALSE(prompts.asked().empty());
  const auto& warning = prompts.asked().back();
  EXPECT_EQ(warning.icon, Prompts::Icon::Warning);
  EXPECT_NE(warning.text.find(texts::kTooManyItems), std::string::npos);
  EXPECT_EQ(Rows(MediaKind::Image), 1024);
  EXPECT_EQ(Cell(MediaKind::Image, 1024, 0), "STIL1024.JPG");
  EXPECT_EQ(Rows(MediaKind::Melody), 1);
}

}  // namespace
}  // namespace fenmora::testcard
