// Adding files from the computer: the "追加" dialog (answered by the test)
// and drops on the window, with their questions, refusals and stops.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QPushButton>

#include "app/media_files.h"
#include "app/window_fixture.h"
#include "platform/cp932.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Question = Prompts::Question;
using Icon = Prompts::Icon;

class Adding : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->SetFileChooser([this](MediaKind kind, const QString& filter) {
      dialogs.push_back({kind, filter});
      return choice;
    });
  }
  // Loads a card whose three content folders exist and hold nothing.
  void LoadEmptyCard() {
    for (const char* folder : {"PRIVATE/DOCOMO/STILL", "PRIVATE/DOCOMO/RINGER", "SD_VIDEO"})
      fs::create_directories(card.path() / folder);
    LoadCard();
    prompts.Clear();
  }
  void Choose(std::initializer_list<fs::path> files) {
    choice.clear();
    for (const auto& f : files) choice << QString::fromStdString(f.string());
  }
  bool CommitEnabled() { return Find("btRefreshData")->isEnabled(); }

  struct Dialog {
    MediaKind kind;
    QString filter;
  };
  std::vector<Dialog> dialogs;
  QStringList choice;
  TempDir desktop;
};

TEST_F(Adding, TwoImagesAddedToAnEmptyListAreStil0001AndStil0002) {
  LoadEmptyCard();
  ASSERT_EQ(Rows(MediaKind::Image), 1);
  const std::int64_t freeBefore = session.space.Free();
  Choose({desktop.Write("beach.jpg", std::string(500, 'x')), desktop.Write("CAT.JPG", std::string(700, 'y'))});
  Click("btAddImage");
  ASSERT_EQ(dialogs.size(), 1u);
  // Pictures the conversion takes are offered with the handset's own types.
  EXPECT_EQ(dialogs[0].filter,
            "待ち受け画像データ (*.JPG *.jpg *.GIF *.gif *.JPEG *.jpeg *.PNG *.png *.BMP *.bmp "
            "*.WEBP *.webp *.TIF *.tif *.TIFF *.tiff)");
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG", "STIL0002.JPG"}));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"beach", "CAT"}));
  EXPECT_EQ(Column(MediaKind::Image, 2), (std::vector<QString>{"1 KB", "1 KB"}));
  EXPECT_TRUE(prompts.asked().empty());
  EXPECT_TRUE(CommitEnabled());
  // Each file takes whole clusters of the card.
  const std::int64_t taken = session.space.Footprint(500) + session.space.Footprint(700);
  EXPECT_GE(taken, 1200);
  EXPECT_EQ(session.space.Free(), freeBefore - taken);
  EXPECT_EQ(Find<QLabel>("stFree")->text().toStdString(), FreeSpaceText(freeBefore - taken));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // The queued item remembers where it lies on the computer.
  const MediaEntry* first = session.Catalogue(MediaKind::Image).EntryAtRow(1);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->queued);
  EXPECT_EQ(window->ItemPath(*first), desktop.path() / "beach.jpg");
}

TEST_F(Adding, EachKindOffersItsOwnFilter) {
  LoadEmptyCard();
  Click("btAddMelody");
  Click("btAddMovie");
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[0].kind, MediaKind::Melody);
  EXPECT_EQ(dialogs[0].filter, "着メロデータ (*.MLD *.mld *.MID *.mid *.SMF *.smf)");
  // Movies: the handset's types, then the videos the conversion takes.
  EXPECT_EQ(dialogs[1].filter,
            "ムービーデータ (*.3GP *.3gp *.MP4 *.mp4 *.ASF *.asf *.MOV *.mov *.MKV *.mkv *.WEBM *.webm "
            "*.AVI *.avi *.M4V *.m4v *.3G2 *.3g2)");
}

TEST_F(Adding, CancellingTheDialogChangesNothing) {
  LoadEmptyCard();
  choice.clear();
  Click("btAddImage");
  EXPECT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(session.Catalogue(MediaKind::Image).count, 0);
  EXPECT_FALSE(CommitEnabled());
}

// Asked about at "追加"; made by the commit, like every other change.
TEST_F(Adding, AMissingFolderIsMadeByTheCommitWhenTheUserAgrees) {
  WriteKind(card.path(), MediaKind::Image, {});
  LoadCard();  // no melody folder on this card
  prompts.Clear();
  const fs::path ringer = card.path() / "PRIVATE/DOCOMO/RINGER";
  ASSERT_FALSE(fs::exists(ringer));
  prompts.Expect(Question::MissingFolder, Answer::Cancel, texts::kMissingFolder[1]);
  Click("btAddMelody");
  EXPECT_TRUE(dialogs.empty());
  EXPECT_FALSE(fs::exists(ringer));

  prompts.Expect(Question::MissingFolder, Answer::Yes, texts::kMissingFolder[1]);
  Choose({desktop.Write("tune.mid", PianoMidi())});
  Click("btAddMelody");
  EXPECT_FALSE(fs::exists(ringer));
  EXPECT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(Column(MediaKind::Melody, 0), (std::vector<QString>{"RING0001.MID"}));
  // A second melody: the folder is already agreed to.
  Choose({desktop.Write("tune2.mld", MldWithTitle("b"))});
  Click("btAddMelody");
  EXPECT_EQ(Column(MediaKind::Melody, 0), (std::vector<QString>{"RING0001.MID", "RING0002.MLD"}));
  EXPECT_FALSE(fs::exists(ringer));

  prompts.Expect(Question::ConfirmCommit, Answer::Yes);
  prompts.ExpectOk(texts::kCommitDone);
  Click("btRefreshData");
  EXPECT_TRUE(fs::is_regular_file(ringer / "RING0001.MID"));
  EXPECT_TRUE(fs::is_regular_file(ringer / "RING0002.MLD"));
}

TEST_F(Adding, AnImageOfExactly102400BytesPassesAndOneByteMoreAsks) {
  LoadEmptyCard();
  const fs::path big = desktop.Write("big.jpg", std::string(102401, 'b'));
  Choose({desktop.Write("exact.jpg", std::string(102400, 'a')), big});
  // The question keeps its text and adds the file's size and the limit on a
  // line of their own after the path.
  const std::string oversize =
      texts::kOversize + big.string() + "\nファイルサイズ: 102401 バイト　上限: 102400 バイト";
  prompts.Expect(Question::Oversize, Answer::No, oversize);
  Click("btAddImage");
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"exact"}));
  EXPECT_TRUE(CommitEnabled());

  prompts.Expect(Question::Oversize, Answer::Yes, oversize);
  Choose({big});
  Click("btAddImage");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"exact", "big"}));
}

TEST_F(Adding, AnEmptyFileIsRefusedAndACopyOfAnItemAsksFirst) {
  LoadEmptyCard();
  const fs::path empty = desktop.Write("empty.jpg", "");
  const fs::path sea = desktop.Write("sea.jpg", "the sea");
  const fs::path again = desktop.Write("sea-again.jpg", "the sea");
  Choose({empty, sea});
  prompts.ExpectOk(texts::kEmptyFile + empty.string());
  Click("btAddImage");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"sea"}));

  Choose({again});
  prompts.Expect(Question::Duplicate, Answer::No,
                 std::string(texts::kSameContent) + "STIL0001.JPG「sea」" + texts::kSameContentQuestion +
                     again.string());
  Click("btAddImage");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"sea"}));
  prompts.Expect(Question::Duplicate, Answer::Yes);
  Click("btAddImage");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"sea", "sea-again"}));
}

TEST_F(Adding, OfThreeFilesTheSecondDoesNotFitAndTheThirdIsNeverLookedAt) {
  LoadEmptyCard();
  // Room for one cluster and 150 bytes: one small file, not two.
  session.space.capacity = session.space.used + session.space.cluster + 150;
  const fs::path third = desktop.path() / "not-there.jpg";  // asked about if looked at
  Choose({desktop.Write("a.jpg", std::string(100, 'a')), desktop.Write("b.jpg", std::string(100, 'b')), third});
  prompts.ExpectOk(texts::kNoSpace);
  Click("btAddImage");
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Warning);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"a"}));
  EXPECT_TRUE(CommitEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Adding, AFileThatIsNotThereIsRefusedAndTheRestGoOn) {
  LoadEmptyCard();
  const fs::path gone = desktop.path() / "gone.jpg";
  Choose({gone, desktop.Write("here.jpg", "x")});
  prompts.ExpectOk(texts::kUnreadableFile + gone.string());
  Click("btAddImage");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"here"}));
  EXPECT_EQ(Cell(MediaKind::Image, 1, 0), "STIL0001.JPG");
}

// ---------------------------------------------------------------- drops

class Dropping : public Adding {
 protected:
  void SetUp() override {
    Adding::SetUp();
    ShowWindow();
  }
};

TEST_F(Dropping, OfAJpgATxtAndAGifTwoAreQueuedAndOneWarningNamesTheOther) {
  LoadEmptyCard();
  const fs::path text = desktop.Write("notes.txt", "words");
  prompts.ExpectOk(texts::kUnsupportedDrop[0] + text.string());
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {desktop.Write("one.JPG", "1"), text, desktop.Write("two.GIF", "22")}));
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Warning);
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG", "STIL0002.GIF"}));
  EXPECT_TRUE(CommitEnabled());
  EXPECT_EQ(lastDropAction, Qt::CopyAction);
}

TEST_F(Dropping, AMelodyDroppedOnTheImageListIsRefusedWithTheImageWarning) {
  LoadEmptyCard();
  const fs::path tune = desktop.Write("tune.mid", PianoMidi());
  prompts.ExpectOk(texts::kUnsupportedDrop[0] + tune.string());
  DropOnGrid(MediaKind::Image, {tune});
  EXPECT_EQ(session.Catalogue(MediaKind::Image).count, 0);
  EXPECT_EQ(session.Catalogue(MediaKind::Melody).count, 0);
  // Every file refused: nothing to commit.
  EXPECT_FALSE(CommitEnabled());
}

TEST_F(Dropping, APictureOfAnotherFormatIsConvertedWhenTheUserAgrees) {
  LoadEmptyCard();
  const fs::path png = desktop.Write("sunset.png", SolidPicture(800, 600, QColor(250, 120, 20), "PNG"));
  const fs::path webp = desktop.Write("leaf.webp", SolidPicture(300, 300, Qt::green, "WEBP"));
  prompts.Expect(Prompts::Question::ConvertPicture, Answer::Yes, texts::kConvertPicture + png.string());
  prompts.Expect(Prompts::Question::ConvertPicture, Answer::No, texts::kConvertPicture + webp.string());
  // Declined, a .webp keeps an extension no record can hold: refused.
  prompts.ExpectOk(texts::kUnfitExtension + webp.string());
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {png, webp}));
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG"}));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"sunset"}));
  const MediaEntry* entry = session.Catalogue(MediaKind::Image).EntryAtRow(1);
  ASSERT_NE(entry, nullptr);
  // Queued from the converted copy, which the preview shows too.
  const fs::path copy = window->ItemPath(*entry).value_or(fs::path());
  EXPECT_NE(copy, png);
  EXPECT_EQ(copy.extension(), ".jpg");
  EXPECT_EQ(QImage(QString::fromStdString(copy.string())).size(), QSize(240, 180));
  EXPECT_EQ(Column(MediaKind::Image, 2), (std::vector<QString>{QString::number((fs::file_size(copy) + 1023) / 1024) + " KB"}));
}

TEST_F(Dropping, AFolderIsRefusedLikeAFileOfAnotherType) {
  LoadEmptyCard();
  const fs::path folder = desktop.path() / "album.JPG";
  fs::create_directories(folder);
  prompts.ExpectOk(texts::kUnsupportedDrop[0] + folder.string());
  DropOnGrid(MediaKind::Image, {folder});
  EXPECT_EQ(session.Catalogue(MediaKind::Image).count, 0);
}

// A FIFO is refused without being opened, picked in the dialog or dropped
// (a picture's name would have the conversion read it and wait for ever).
TEST_F(Dropping, AFifoIsRefusedWithoutBeingOpened) {
  LoadEmptyCard();
  WatchedFifo picked(desktop.path() / "pipe.jpg");
  WatchedFifo dropped(desktop.path() / "pipe.png");
  Choose({picked.path(), desktop.Write("here.jpg", "x")});
  prompts.ExpectOk(texts::kNotAPlainFile + picked.str());
  Click("btAddImage");
  prompts.ExpectOk(texts::kUnsupportedDrop[0] + dropped.str());
  DropOnGrid(MediaKind::Image, {dropped.path()});
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"here"}));
  EXPECT_FALSE(picked.Opened());
  EXPECT_FALSE(dropped.Opened());
}

TEST_F(Dropping, AnMldDroppedOnTheMelodyListGetsItsOwnTitle) {
  LoadEmptyCard();
  const std::string title = Utf8ToCp932("春の小川");
  DropOnGrid(MediaKind::Melody, {desktop.Write("haru.mld", MldWithTitle(title))});
  EXPECT_EQ(Column(MediaKind::Melody, 0), (std::vector<QString>{"RING0001.MLD"}));
  EXPECT_EQ(Column(MediaKind::Melody, 3), (std::vector<QString>{"春の小川"}));
  EXPECT_EQ(session.Catalogue(MediaKind::Melody).Slot(0).title, title);
}

TEST_F(Dropping, AJapaneseFileNameBecomesAShiftJisTitle) {
  LoadEmptyCard();
  DropOnGrid(MediaKind::Movie, {desktop.Write("花火大会.3gp", "movie")});
  EXPECT_EQ(Column(MediaKind::Movie, 0), (std::vector<QString>{"MOL001.3GP"}));
  EXPECT_EQ(session.Catalogue(MediaKind::Movie).Slot(0).title, Utf8ToCp932("花火大会"));
  EXPECT_EQ(Cell(MediaKind::Movie, 1, 3), "花火大会");
}

TEST_F(Dropping, DropsOutsideTheListsDoNothing) {
  LoadEmptyCard();
  const fs::path photo = desktop.Write("photo.jpg", "x");
  for (const char* name : {"btAddImage", "curDrive", "DispPrev", "edImageTitle", "btRefreshData"}) {
    QWidget* target = Find(name);
    EXPECT_FALSE(Drop(target, target->rect().center(), {photo})) << name;
  }
  EXPECT_TRUE(prompts.asked().empty());
  for (MediaKind k : kListKinds) EXPECT_EQ(session.Catalogue(k).count, 0);
  EXPECT_FALSE(CommitEnabled());
  EXPECT_TRUE(Find<QLineEdit>("edImageTitle")->text().isEmpty());
}

TEST_F(Dropping, TheScrollBarBelongsToItsList) {
  WriteKind(card.path(), MediaKind::Image, NumberedItems(MediaKind::Image, 1, 40, ".JPG", "file ", "item "));
  LoadCard();
  prompts.Clear();
  QWidget* bar = Grid(MediaKind::Image)->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  EXPECT_TRUE(Drop(bar, bar->rect().center(), {desktop.Write("photo.jpg", "x")}));
  EXPECT_EQ(Cell(MediaKind::Image, 41, 0), "STIL0041.JPG");
}

TEST_F(Dropping, DropsBeforeAnyCardIsLoadedAreIgnored) {
  ShowPage(MediaKind::Image);
  QWidget* viewport = Grid(MediaKind::Image)->viewport();
  EXPECT_FALSE(Drop(viewport, viewport->rect().center(), {desktop.Write("photo.jpg", "x")}));
  EXPECT_TRUE(prompts.asked().empty());
  EXPECT_EQ(session.Catalogue(MediaKind::Image).count, 0);
  EXPECT_FALSE(CommitEnabled());
}

TEST_F(Dropping, AMoveOfferedByTheFileManagerIsTakenAsACopy) {
  LoadEmptyCard();
  QWidget* viewport = Grid(MediaKind::Image)->viewport();
  const fs::path photo = desktop.Write("photo.jpg", "x");
  EXPECT_TRUE(Drop(viewport, viewport->rect().center(), {photo}, Qt::CopyAction | Qt::MoveAction, Qt::MoveAction));
  EXPECT_EQ(lastDropAction, Qt::CopyAction);
  EXPECT_TRUE(fs::exists(photo));
}

TEST_F(Dropping, NoSpaceStopsTheRestOfTheDrop) {
  LoadEmptyCard();
  session.space.capacity = session.space.used + session.space.cluster + 10;
  prompts.ExpectOk(texts::kNoSpace);
  DropOnGrid(MediaKind::Image, {desktop.Write("a.jpg", "12345"), desktop.Write("b.jpg", "123456"),
                                desktop.path() / "never-looked-at.txt"});
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"a"}));
  EXPECT_TRUE(CommitEnabled());
}

}  // namespace
// A record holds three letters of extension: a longer one would be cut at
// the next load and the file lost from the list.
TEST_F(Adding, AnExtensionNoRecordHoldsIsRefusedWithAMessageAndJpegTakenAsJpg) {
  LoadEmptyCard();
  const fs::path webp = desktop.Write("photo.webp", "w");
  Choose({webp, desktop.Write("photo.jpeg", "j")});
  prompts.ExpectOk(texts::kUnfitExtension + webp.string());
  Click("btAddImage");
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Warning);
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG"}));
}

TEST_F(Dropping, AJpegIsTakenAsAJpg) {
  LoadEmptyCard();
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {desktop.Write("photo.JFIF", "j")}));
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG"}));
}

}  // namespace fenmora::testcard
