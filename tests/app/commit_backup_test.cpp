// "メモリカード更新" and "データバックアップ" through the window, on real
// folders and files: the road of one change from a drop to the reloaded
// list, the closing messages, failing file operations, and the backups.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest/QTest>
#include <ctime>
#include <map>

#include "app/media_files.h"
#include "app/app_texts.h"
#include "app/off_thread.h"
#include "app/window_fixture.h"
#include "platform/cp932.h"
#include "platform/fileops.h"
#include "support/temp_card.h"
#include "sync/backup.h"
#include "sync/journal.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Question = Prompts::Question;
using Icon = Prompts::Icon;
using testcard::ReadBytes;
using testcard::SnapshotOf;

// Calls `hook` before every file operation that changes something, on the
// window's thread (the operations run on the window's worker).
class WatchedFileOps : public FaultyFileOps {
 public:
  WatchedFileOps(FileOps& inner, std::function<void()> hook) : FaultyFileOps(inner), hook_(std::move(hook)) {}
  OpResult CopyFile(const fs::path& from, const fs::path& to) override {
    Hook();
    return FaultyFileOps::CopyFile(from, to);
  }
  OpResult Rename(const fs::path& from, const fs::path& to) override {
    Hook();
    return FaultyFileOps::Rename(from, to);
  }
  OpResult WriteFile(const fs::path& p, std::string_view bytes) override {
    Hook();
    return FaultyFileOps::WriteFile(p, bytes);
  }

 private:
  void Hook() { app::OnThreadOf(qApp, hook_); }
  std::function<void()> hook_;
};

// Copies fail as on a full card; everything else works.
class CopiesFail : public FaultyFileOps {
 public:
  using FaultyFileOps::FaultyFileOps;
  OpResult CopyFile(const fs::path&, const fs::path&) override { return OpResult::Fail("No space left on device"); }
};

// The card is pulled out just after the commit moved its first file out of
// the way of the new names: every later change fails, until Heal.
class CutAfterFirstMove : public FaultyFileOps {
 public:
  explicit CutAfterFirstMove(FileOps& inner) : FaultyFileOps(inner) {}
  void Heal() { cut_ = false; }
  OpResult MakeFolders(const fs::path& p) override { return cut_ ? Gone() : FaultyFileOps::MakeFolders(p); }
  OpResult Remove(const fs::path& p) override { return cut_ ? Gone() : FaultyFileOps::Remove(p); }
  OpResult Rename(const fs::path& f, const fs::path& t) override {
    if (cut_) return Gone();
    OpResult r = FaultyFileOps::Rename(f, t);
    if (r && !pulledOnce_) cut_ = pulledOnce_ = true;
    return r;
  }
  OpResult Replace(const fs::path& f, const fs::path& t) override { return cut_ ? Gone() : FaultyFileOps::Replace(f, t); }
  OpResult CopyFile(const fs::path& f, const fs::path& t) override { return cut_ ? Gone() : FaultyFileOps::CopyFile(f, t); }
  OpResult WriteFile(const fs::path& p, std::string_view b) override { return cut_ ? Gone() : FaultyFileOps::WriteFile(p, b); }
  OpResult Symlink(const fs::path& t, const fs::path& l) override { return cut_ ? Gone() : FaultyFileOps::Symlink(t, l); }

 private:
  static OpResult Gone() { return OpResult::Fail("No such device"); }
  bool cut_ = false;
  bool pulledOnce_ = false;
};

class Commit : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->SetFileOps(ops);
  }
  fs::path Still(const char* name) { return card.path() / "PRIVATE/DOCOMO/STILL" / name; }
  // The question that shows what the commit will do, answered Yes.
  void ExpectPlanQuestion() {
    prompts.Expect(Prompts::Question::ConfirmCommit, Prompts::Answer::Yes);
  }
  // The plan's question, then the closing message: the reload asks nothing.
  void ExpectCommitEnding(Icon icon, const std::string& text = {}) {
    ExpectPlanQuestion();
    prompts.ExpectOk(text);
    closingIcon = icon;
  }
  // Row 2 moved up and the list renumbered (the two images exchange names),
  // then the commit through `pulled`: it is cut after its first move, and the
  // reload that follows finds the journal.
  void ExchangeTwoImagesAndCommitUntilCut(FileOps& pulled) {
    ShowWindow();
    LoadCard();
    prompts.Clear();
    ClickRow(MediaKind::Image, 2);
    Click("btUpImage");
    Click("btRenImage");
    window->SetFileOps(pulled);
    ExpectPlanQuestion();
  }
  void CheckClosingIcon() {
    ASSERT_FALSE(prompts.asked().empty());
    EXPECT_EQ(prompts.asked().back().icon, closingIcon);
  }

  RealFileOps real;
  FaultyFileOps ops{real};  // fails nothing unless a test says so
  Icon closingIcon = Icon::Information;
  TempDir desktop;
};

TEST_F(Commit, TheRoadOfOneChangeFromADropToTheReloadedList) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一", "first image"),
                                       Item("STIL0002.JPG", "二", "second image"),
                                       Item("STIL0003.JPG", "三", "third image")});
  const std::string photoBytes = SolidPicture(240, 180, QColor(200, 80, 20), "JPG");  // fits the screen
  const fs::path photo = desktop.Write("photo.jpg", photoBytes);
  ShowWindow();
  LoadCard();
  prompts.Clear();

  // The drop queues the photo behind the three images.
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {photo}));
  EXPECT_TRUE(prompts.asked().empty());
  EXPECT_EQ(Column(MediaKind::Image, 0),
            (std::vector<QString>{"STIL0001.JPG", "STIL0002.JPG", "STIL0003.JPG", "STIL0004.JPG"}));
  EXPECT_EQ(Cell(MediaKind::Image, 4, 3), "photo");
  EXPECT_EQ(Cell(MediaKind::Image, 4, 2), QString::number((photoBytes.size() + 1023) / 1024) + " KB");
  EXPECT_TRUE(Find("btRefreshData")->isEnabled());

  // To the top with three "上へ", then "リナンバ".
  ClickRow(MediaKind::Image, 4);
  for (int i = 0; i < 3; ++i) Click("btUpImage");
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 1);
  Click("btRenImage");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"photo", "一", "二", "三"}));

  ExpectCommitEnding(Icon::Information, texts::kCommitDone);
  Click("btRefreshData");
  CheckClosingIcon();

  // The reloaded list: four images in the new order, each file with its content.
  EXPECT_EQ(Column(MediaKind::Image, 0),
            (std::vector<QString>{"STIL0001.JPG", "STIL0002.JPG", "STIL0003.JPG", "STIL0004.JPG"}));
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"photo", "一", "二", "三"}));
  EXPECT_EQ(ReadBytes(Still("STIL0001.JPG")), photoBytes);
  EXPECT_EQ(ReadBytes(Still("STIL0002.JPG")), "first image");
  EXPECT_EQ(ReadBytes(Still("STIL0003.JPG")), "second image");
  EXPECT_EQ(ReadBytes(Still("STIL0004.JPG")), "third image");
  EXPECT_EQ(session.Catalogue(MediaKind::Image).LiveCount(), 4);
  EXPECT_FALSE(session.Catalogue(MediaKind::Image).Slot(0).queued);
  // The photo was copied, not moved.
  EXPECT_EQ(ReadBytes(photo), photoBytes);
  // The end of a commit: the button off, the status empty, the cursor back.
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  EXPECT_TRUE(Find("btUpImage")->isEnabled());
  EXPECT_TRUE(Find<QLabel>("StatusPanel0")->text().isEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Commit, ShowsWhatItWillDoBeforeItsFirstWriteAndNoChangesNothing) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一", "first"), Item("STIL0002.JPG", "二", "second")});
  WriteKind(card.path(), MediaKind::Melody, {Item("RING0001.MLD", "古い曲", "old")});
  const fs::path photo = desktop.Write("photo.jpg", "photo bytes");
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  Click("btRenImage");
  ClickRow(MediaKind::Melody, 1);
  Click("btDelMelody");
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {photo}));
  const auto before = SnapshotOf(card.path());

  // The question comes before anything is written: the card is as loaded
  // while it is up.
  std::map<std::string, std::string> whileAsked;
  prompts.ExpectThen(Prompts::Question::ConfirmCommit, Prompts::Answer::No, {},
                     [&] { whileAsked = SnapshotOf(card.path()); });
  Click("btRefreshData");
  EXPECT_EQ(whileAsked, before);
  ASSERT_EQ(prompts.asked().size(), 1u);
  const std::string asked = prompts.asked()[0].text;
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Question);
  EXPECT_EQ(asked.rfind(std::string(texts::kPlanQuestion) +
                            "\n\n名前・場所の変更: 2 件\n削除: 1 件\nコピー: 1 件\n管理テーブルの書き込み: 3 件\n\n",
                        0),
            0u)
      << asked;
  EXPECT_NE(asked.find("着メロ RING0001.MLD「古い曲」"), std::string::npos) << asked;
  EXPECT_NE(asked.find("待ち受け画像 STIL0003.JPG「photo」 ← " + photo.string()), std::string::npos) << asked;
  // Declined: nothing written, the edits kept and still to be committed.
  EXPECT_EQ(SnapshotOf(card.path()), before);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"二", "一", "photo"}));
  EXPECT_TRUE(Find("btRefreshData")->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Commit, TwoImagesThatExchangedNamesKeepTheirContents) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "content of A"),
                                       Item("STIL0002.JPG", "B", "content of B")});
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  Click("btRenImage");
  ExpectCommitEnding(Icon::Information, texts::kCommitDone);
  Click("btRefreshData");
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"B", "A"}));
  EXPECT_EQ(ReadBytes(Still("STIL0001.JPG")), "content of B");
  EXPECT_EQ(ReadBytes(Still("STIL0002.JPG")), "content of A");
  EXPECT_FALSE(fs::exists(Still("STIL0001.JPG_")));
}

TEST_F(Commit, ADeletedItemsFileGoesAndATitleReachesTheTable) {
  WriteKind(card.path(), MediaKind::Melody, {Item("RING0001.MLD", "古い", "old"), Item("RING0002.MLD", "残る", "kept")});
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Melody, 1);
  Click("btDelMelody");
  Find<QLineEdit>("edMelodyTitle")->setText(QStringLiteral("新しい題"));
  Click("btEditMelody");
  ExpectCommitEnding(Icon::Information, texts::kCommitDone);
  Click("btRefreshData");
  EXPECT_FALSE(fs::exists(card.path() / "PRIVATE/DOCOMO/RINGER/RING0001.MLD"));
  EXPECT_EQ(Column(MediaKind::Melody, 0), (std::vector<QString>{"RING0002.MLD"}));
  EXPECT_EQ(Column(MediaKind::Melody, 3), (std::vector<QString>{"新しい題"}));
}

TEST_F(Commit, AFailedCopyStopsTheCommitUndoesItAndNamesIt) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一", "first")});
  const fs::path photo = desktop.Write("photo.jpg", "photo bytes");
  CopiesFail failing(real);
  window->SetFileOps(failing);
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {photo}));
  ExpectCommitEnding(Icon::Error);
  Click("btRefreshData");
  CheckClosingIcon();
  // The commit stops there and undoes what it did: the card is as it was.
  const std::string message = prompts.asked().back().text;
  EXPECT_EQ(message.rfind(texts::kCommitStopped, 0), 0u) << message;
  EXPECT_NE(message.find("STIL0002.JPG"), std::string::npos) << message;
  EXPECT_NE(message.find("No space left on device"), std::string::npos) << message;
  // The reload shows the card as it is: the copy never arrived.
  EXPECT_EQ(Column(MediaKind::Image, 0), (std::vector<QString>{"STIL0001.JPG"}));
  EXPECT_EQ(ReadBytes(photo), "photo bytes");
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
}

TEST_F(Commit, AWriteProtectedCardStopsAtOnceChangesNothingAndKeepsTheEdits) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "content of A"),
                                       Item("STIL0002.JPG", "B", "content of B")});
  ShowWindow();
  LoadCard();
  prompts.Clear();
  const auto before = SnapshotOf(card.path());
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  Click("btRenImage");
  FaultyFileOps writeProtected(real, 1);  // every change fails
  window->SetFileOps(writeProtected);
  ExpectPlanQuestion();
  prompts.ExpectOk();  // no reload: the error is the only message
  Click("btRefreshData");
  ASSERT_EQ(prompts.asked().size(), 2u);
  EXPECT_EQ(prompts.asked()[1].icon, Icon::Error);
  EXPECT_EQ(prompts.asked()[1].text.rfind(texts::kCommitStopped, 0), 0u) << prompts.asked()[1].text;
  EXPECT_EQ(SnapshotOf(card.path()), before);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"B", "A"}));
  EXPECT_TRUE(Find("btRefreshData")->isEnabled());
  EXPECT_TRUE(Find<QLabel>("StatusPanel0")->text().isEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // With the card writable again the same edits commit.
  window->SetFileOps(ops);
  prompts.Clear();
  ExpectCommitEnding(Icon::Information, texts::kCommitDone);
  Click("btRefreshData");
  EXPECT_EQ(ReadBytes(Still("STIL0001.JPG")), "content of B");
  EXPECT_EQ(ReadBytes(Still("STIL0002.JPG")), "content of A");
}

// The card root is another file system now: the card was unmounted and the
// bare mount point is left.
class Unmounted : public FaultyFileOps {
 public:
  using FaultyFileOps::FaultyFileOps;
  std::string VolumeOf(const fs::path&) override { return "0:0:0:0"; }
};

TEST_F(Commit, AnUnmountedCardIsNeitherWrittenNorBackedUp) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "content of A"),
                                       Item("STIL0002.JPG", "B", "content of B")});
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  Click("btRenImage");
  const auto before = SnapshotOf(card.path());
  Unmounted gone(real);
  window->SetFileOps(gone);
  // (The card is looked at once, just before the first write.)
  ExpectPlanQuestion();
  prompts.ExpectOk(texts::kCardChanged);
  Click("btRefreshData");
  EXPECT_EQ(prompts.asked().back().icon, Icon::Error);
  EXPECT_EQ(gone.changes(), 0);
  EXPECT_EQ(SnapshotOf(card.path()), before);
  // Neither can run again until the card is loaded again.
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  EXPECT_FALSE(Find("btBackUp")->isEnabled());
  EXPECT_TRUE(Find("btUpImage")->isEnabled());  // editing goes on
}

TEST_F(Commit, ABackupOfACardThatChangedSaysSoInItsOwnWordsAndWritesNothing) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "content of A")});
  LoadCard();
  prompts.Clear();
  Unmounted gone(real);
  window->SetFileOps(gone);
  prompts.ExpectOk(app::texts::kBackupCardGone);
  Click("btBackUp");
  EXPECT_EQ(prompts.asked().back().icon, Icon::Error);
  EXPECT_EQ(gone.changes(), 0);
  EXPECT_FALSE(Find("btBackUp")->isEnabled());
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
}

TEST_F(Commit, AnInterruptedCommitIsFinishedByTheNextOne) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "content of A"),
                                       Item("STIL0002.JPG", "B", "content of B")});
  CutAfterFirstMove pulled(real);
  ExchangeTwoImagesAndCommitUntilCut(pulled);
  // The reload after the commit asks nothing; the commit's message says
  // what to do: load the card again.
  prompts.ExpectOk();
  Click("btRefreshData");
  EXPECT_EQ(prompts.asked().back().icon, Icon::Error);
  EXPECT_EQ(prompts.asked().back().text.rfind(texts::kCommitStoppedLater, 0), 0u);
  ASSERT_TRUE(fs::exists(card.path() / kJournalName));
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());

  // Loaded again, the card asks: finish it, at once. The lists show the
  // edits, done.
  pulled.Heal();
  prompts.Clear();
  prompts.Expect(Prompts::Question::InterruptedUpdate, Answer::Yes, texts::kInterruptedCommit);
  prompts.ExpectOk(texts::kFinishDone);
  ClickLoad();
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"B", "A"}));
  EXPECT_EQ(ReadBytes(Still("STIL0001.JPG")), "content of B");
  EXPECT_EQ(ReadBytes(Still("STIL0002.JPG")), "content of A");
  EXPECT_FALSE(fs::exists(card.path() / kJournalName));
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
}

TEST_F(Commit, AnInterruptedCommitCanBeUndoneFromTheQuestionAtLoad) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "content of A"),
                                       Item("STIL0002.JPG", "B", "content of B")});
  const std::string table = ReadBytes(card.path() / "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL");
  CutAfterFirstMove pulled(real);
  ExchangeTwoImagesAndCommitUntilCut(pulled);
  prompts.ExpectOk();
  Click("btRefreshData");
  pulled.Heal();
  prompts.Clear();
  prompts.Expect(Prompts::Question::InterruptedUpdate, Answer::No, texts::kInterruptedCommit);  // back to before
  prompts.ExpectOk(texts::kRevertDone);  // says what it did
  ClickLoad();
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"A", "B"}));
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  EXPECT_EQ(ReadBytes(Still("STIL0001.JPG")), "content of A");
  EXPECT_EQ(ReadBytes(Still("STIL0002.JPG")), "content of B");
  EXPECT_EQ(ReadBytes(card.path() / "PRIVATE/DOCOMO/TABLE/STILL/SUD000.TBL"), table);
  EXPECT_FALSE(fs::exists(card.path() / kJournalName));
}

TEST_F(Commit, TheStatusShowsEachPhaseAndALongCommitShowsItsProgress) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "a"), Item("STIL0002.JPG", "B", "b")});
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  Click("btRenImage");
  window->SetProgressDelay(0);  // every commit is a long one
  std::vector<QString> statuses, labels;
  WatchedFileOps watched(real, [&] {
    statuses.push_back(Find<QLabel>("StatusPanel0")->text());
    auto* dialog = window->findChild<QProgressDialog*>();
    labels.push_back(dialog && dialog->isVisible() ? dialog->labelText() : QString());
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
  });
  window->SetFileOps(watched);
  ExpectCommitEnding(Icon::Information, texts::kCommitDone);
  Click("btRefreshData");
  ASSERT_FALSE(statuses.empty());
  EXPECT_EQ(statuses.front(), "サブディレクトリの整合性調整中...");
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "待ち受け画像のリネーム中..."), statuses.end());
  EXPECT_EQ(statuses.back(), "ムービーテーブルの更新中...");
  // The dialog follows the status texts; it is gone when the message shows.
  EXPECT_EQ(labels.back(), "ムービーテーブルの更新中...");
  EXPECT_EQ(window->findChild<QProgressDialog*>(), nullptr);
}

// ---------------------------------------------------------------- backup

class Backup : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window->SetBackupFolders(program.path(), userData.path());
  }
  // A card with its three folders.
  void WriteFullCard() {
    WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一", "image")});
    WriteKind(card.path(), MediaKind::Movie, {Item("MOL001.3GP", "動画", "movie")});
    WriteBytes(CardHostPath(card.path(), "\\DCIM\\100F900I\\F1000001.JPG"), "camera picture");
  }
  // A full card loaded and backed up with "データバックアップ": the backup.
  fs::path BackUpAFullCard() {
    WriteFullCard();
    LoadCard();
    prompts.Clear();
    prompts.ExpectOk();
    Click("btBackUp");
    return OnlyBackupIn(program.path() / "BackUp");
  }
  // The one backup folder made under root.
  fs::path OnlyBackupIn(const fs::path& root) {
    std::vector<fs::path> made;
    if (fs::is_directory(root))
      for (const auto& e : fs::directory_iterator(root)) made.push_back(e.path());
    EXPECT_EQ(made.size(), 1u) << root;
    return made.empty() ? fs::path() : made[0];
  }
  TempDir program, userData;
};

TEST_F(Backup, AllThreeFoldersAreCopiedWhole) {
  WriteFullCard();
  ShowWindow();
  LoadCard();
  prompts.Clear();
  const std::time_t started = std::time(nullptr);
  prompts.ExpectOk();
  Click("btBackUp");
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Information);
  const std::string message = prompts.asked()[0].text;
  EXPECT_EQ(message.rfind(texts::kBackupDone, 0), 0u) << message;

  const fs::path folder = OnlyBackupIn(program.path() / "BackUp");
  EXPECT_NE(message.find(folder.string()), std::string::npos);
  // Named by the time it started, to the second.
  const std::time_t finished = std::time(nullptr);
  const std::string name = folder.filename().string();
  EXPECT_TRUE(name == BackupStamp(started) || name == BackupStamp(finished)) << name;
  std::vector<std::string> top;
  for (const auto& e : fs::directory_iterator(folder)) top.push_back(e.path().filename().string());
  std::sort(top.begin(), top.end());
  EXPECT_EQ(top, (std::vector<std::string>{"DCIM", "PRIVATE", "SD_VIDEO", kCompleteMarkName, kManifestName}));
  for (const char* sub : {"PRIVATE", "SD_VIDEO", "DCIM"})
    EXPECT_EQ(SnapshotOf(folder / sub), SnapshotOf(card.path() / sub)) << sub;
  EXPECT_TRUE(Find<QLabel>("StatusPanel0")->text().isEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Backup, TheStatusTextAndTheHourglassGoBeforeTheClosingMessage) {
  WriteFullCard();
  LoadCard();
  prompts.Clear();
  QString statusDuring = QStringLiteral("not asked");
  bool busyDuring = true;
  prompts.ExpectThen(Question::Message, Answer::Ok, {}, [&] {
    statusDuring = Find<QLabel>("StatusPanel0")->text();
    busyDuring = QApplication::overrideCursor() != nullptr;
  });
  Click("btBackUp");
  EXPECT_EQ(statusDuring, "");  // not "データのバックアップ中..." over "バックアップが完了しました"
  EXPECT_FALSE(busyDuring);
  EXPECT_TRUE(Find<QLabel>("StatusPanel0")->text().isEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Backup, ACardWithoutDcimIsBackedUpWithoutAWarning) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一", "image")});
  WriteKind(card.path(), MediaKind::Movie, {Item("MOL001.3GP", "動画", "movie")});
  LoadCard();
  prompts.Clear();
  prompts.ExpectOk();
  Click("btBackUp");
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Information);
  EXPECT_EQ(prompts.asked()[0].text.rfind(texts::kBackupDone, 0), 0u);
  const fs::path folder = OnlyBackupIn(program.path() / "BackUp");
  EXPECT_EQ(SnapshotOf(folder / "PRIVATE"), SnapshotOf(card.path() / "PRIVATE"));
  EXPECT_EQ(SnapshotOf(folder / "SD_VIDEO"), SnapshotOf(card.path() / "SD_VIDEO"));
  EXPECT_FALSE(fs::exists(folder / "DCIM"));
}

TEST_F(Backup, UncommittedEditsPlayNoPart) {
  WriteFullCard();
  ShowWindow();
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Image, 1);
  Click("btDelImage");
  prompts.ExpectOk();
  Click("btBackUp");
  const fs::path folder = OnlyBackupIn(program.path() / "BackUp");
  EXPECT_EQ(ReadBytes(folder / "PRIVATE/DOCOMO/STILL/STIL0001.JPG"), "image");
}

TEST_F(Backup, AProgramFolderThatCannotBeWrittenSendsTheBackupToTheUsersDataFolder) {
  WriteFullCard();
  LoadCard();
  prompts.Clear();
  window->SetBackupFolders(program.path() / "not-there", userData.path());
  prompts.ExpectOk();
  Click("btBackUp");
  EXPECT_EQ(prompts.asked().back().icon, Icon::Information);
  const fs::path folder = OnlyBackupIn(userData.path() / "BackUp");
  EXPECT_TRUE(fs::is_directory(folder / "DCIM"));
  EXPECT_FALSE(fs::exists(program.path() / "not-there"));
}

// Folders may be written as their owner's write permission says, whoever
// runs the test (the superuser writes into read-only folders).
class OwnerPermissions : public FaultyFileOps {
 public:
  using FaultyFileOps::FaultyFileOps;
  bool CanWrite(const fs::path& p) override {
    std::error_code ec;
    const fs::file_status status = fs::status(p, ec);
    return !ec && (status.permissions() & fs::perms::owner_write) != fs::perms::none;
  }
};

TEST_F(Backup, AReadOnlyProgramFolderSendsTheBackupToTheUsersDataFolder) {
  RealFileOps real;
  OwnerPermissions ops(real);
  window->SetFileOps(ops);
  WriteFullCard();
  LoadCard();
  prompts.Clear();
  fs::permissions(program.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  prompts.ExpectOk();
  Click("btBackUp");
  fs::permissions(program.path(), fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(prompts.asked().back().icon, Icon::Information);
  OnlyBackupIn(userData.path() / "BackUp");
  EXPECT_FALSE(fs::exists(program.path() / "BackUp"));
}

TEST_F(Backup, CancellingTheProgressDialogStopsTheRemainingCopies) {
  WriteFullCard();
  ShowWindow();
  LoadCard();
  prompts.Clear();
  window->SetProgressDelay(0);
  RealFileOps real;
  int copies = 0;
  WatchedFileOps watched(real, [&] {
    if (++copies != 2) return;
    auto* dialog = window->findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->labelText(), "コピーしています...");
    dialog->cancel();
  });
  window->SetFileOps(watched);
  prompts.ExpectOk();
  Click("btBackUp");
  EXPECT_EQ(prompts.asked().back().icon, Icon::Warning);
  EXPECT_NE(prompts.asked().back().text.find("キャンセル"), std::string::npos);
  const fs::path folder = OnlyBackupIn(program.path() / "BackUp");
  EXPECT_EQ(folder.filename().string().rfind(kCancelledSuffix), folder.filename().string().size() - 10);
  EXPECT_FALSE(fs::exists(folder / kCompleteMarkName));
  EXPECT_FALSE(fs::exists(folder / "SD_VIDEO"));
  EXPECT_FALSE(fs::exists(folder / "DCIM"));
  EXPECT_EQ(window->findChild<QProgressDialog*>(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// "復元": the backup chosen in the folder dialog (which starts at the
// backup root), the commit's question, the reload, the closing message naming
// the file the backup did not have.
TEST_F(Backup, ABackupIsRestoredAfterTheCommitsQuestion) {
  const fs::path backup = BackUpAFullCard();
  // The card since: its image replaced by another.
  fs::remove_all(card.path() / "PRIVATE");
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "新", "new image")});
  LoadCard();
  prompts.Clear();
  QString startedIn;
  window->SetBackupChooser([&](const QString& start) {
    startedIn = start;
    return QString::fromStdString(backup.string());
  });
  // "いいえ" leaves the card as it is.
  const auto before = SnapshotOf(card.path());
  prompts.Expect(Question::ConfirmCommit, Answer::No);
  Click("btRestore");
  EXPECT_EQ(SnapshotOf(card.path()), before);
  // The question names the backup.
  ASSERT_FALSE(prompts.asked().empty());
  EXPECT_NE(prompts.asked().back().text.find(backup.string()), std::string::npos) << prompts.asked().back().text;
  EXPECT_EQ(startedIn.toStdString(), (program.path() / "BackUp").string());

  prompts.Expect(Question::ConfirmCommit, Answer::Yes);
  ExpectFolderLoad(card.path());
  prompts.ExpectOk();
  Click("btRestore");
  ASSERT_FALSE(prompts.asked().empty());
  const std::string message = prompts.asked().back().text;
  EXPECT_EQ(prompts.asked().back().icon, Icon::Information);
  EXPECT_EQ(message.rfind(texts::kRestoreDone, 0), 0u) << message;
  EXPECT_NE(message.find("STIL0001.JPG -> STIL0001.JPG.fmkeep"), std::string::npos) << message;
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"一"}));
  EXPECT_EQ(ReadBytes(card.path() / "PRIVATE/DOCOMO/STILL/STIL0001.JPG"), "image");
  EXPECT_EQ(ReadBytes(card.path() / "PRIVATE/DOCOMO/STILL/STIL0001.JPG.fmkeep"), "new image");
}

TEST_F(Backup, ABackupThatDoesNotMatchItsManifestIsRefused) {
  const fs::path backup = BackUpAFullCard();
  WriteBytes(backup / "SD_VIDEO" / "PRL001" / "MOL001.3GP", "movie!");
  window->SetBackupChooser([&](const QString&) { return QString::fromStdString(backup.string()); });
  prompts.Clear();
  const auto before = SnapshotOf(card.path());
  prompts.ExpectOk();
  Click("btRestore");
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Error);
  EXPECT_NE(prompts.asked()[0].text.find(std::string(texts::kBackupChanged) + "SD_VIDEO/PRL001/MOL001.3GP"),
            std::string::npos) << prompts.asked()[0].text;
  EXPECT_EQ(SnapshotOf(card.path()), before);
}

}  // namespace
}  // namespace fenmora::testcard
