// The drive list following the mount table: volumes coming and going, a card
// marked and chosen when it arrives, the system root never chosen, and a
// loaded card that goes away. A test double stands for the mount table; as
// root, a real mount shows that the system's own signal reaches the list.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QUndoStack>
#include <QtTest/QTest>
#include <sys/mount.h>
#include <unistd.h>

#include "app/app_texts.h"
#include "app/drive_list.h"
#include "app/window_fixture.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;

class DriveWatch : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    fs::create_directories(card.path() / "PRIVATE/DOCOMO/STILL");
    WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一"), Item("STIL0002.JPG", "二")});
  }
  // A mount table with the root and the given folders as mounted volumes.
  void Mounted(std::vector<fs::path> volumes) {
    std::string table = "22 1 0:21 / /proc rw - proc proc rw\n27 1 254:0 / / rw - ext4 /dev/vda rw\n";
    int id = 100;
    for (const fs::path& v : volumes)
      table += std::to_string(id++) + " 27 8:17 / " + v.string() + " rw,nosuid shared:5 - vfat /dev/sdb1 rw\n";
    mountTable = table;
    window->SetMountTable([this] { return mountTable; });
  }
  QComboBox* Drives() { return Find<QComboBox>("curDrive"); }
  int IndexOf(const fs::path& p) { return Drives()->findData(QString::fromStdString(p.string())); }
  QString Selected() { return Drives()->currentData().toString(); }
  // Chooses an entry as the user does (the list's own signal).
  void ChooseEntry(const fs::path& p) {
    Drives()->setCurrentIndex(IndexOf(p));
    emit Drives()->activated(IndexOf(p));
  }

  std::string mountTable;
  TempDir plain;  // a volume without a card
};

TEST_F(DriveWatch, VolumesComeAndGoAndACardIsMarkedAndChosenNeverTheRoot) {
  Mounted({plain.path()});
  EXPECT_GE(Drives()->findData(QStringLiteral("/")), 0);
  EXPECT_EQ(Drives()->currentIndex(), -1);  // neither the root nor a plain volume
  EXPECT_GE(IndexOf(plain.path()), 0);
  // Loading with nothing chosen asks for a card, and loads nothing.
  prompts.ExpectOk(texts::kInsertCard);
  ClickLoad();
  EXPECT_FALSE(session.loaded);

  Mounted({plain.path(), card.path()});
  ASSERT_EQ(IndexOf(card.path()), 0);  // cards first
  EXPECT_TRUE(Drives()->itemText(0).startsWith(QStringLiteral("［カード］")));
  EXPECT_TRUE(Drives()->itemData(0, app::kCardRole).toBool());
  EXPECT_FALSE(Drives()->itemData(IndexOf(plain.path()), app::kCardRole).toBool());
  EXPECT_EQ(Selected().toStdString(), card.path().string());

  Mounted({plain.path()});
  EXPECT_LT(IndexOf(card.path()), 0);
  EXPECT_NE(Selected(), "/");
}

TEST_F(DriveWatch, TheUsersChoiceAndTheLoadedCardStayChosenWhenCardsArrive) {
  TempDir other;
  Mounted({plain.path(), other.path()});
  ChooseEntry(other.path());
  Mounted({plain.path(), other.path()});  // a change elsewhere
  EXPECT_EQ(Selected().toStdString(), other.path().string());
  Mounted({plain.path(), other.path(), card.path()});  // a card arrives: listed, not chosen
  EXPECT_EQ(Selected().toStdString(), other.path().string());
  EXPECT_TRUE(Drives()->itemData(IndexOf(card.path()), app::kCardRole).toBool());

  ChooseEntry(card.path());
  ExpectFolderLoad(card.path());
  ClickLoad();
  ASSERT_TRUE(session.loaded);
  TempDir second;
  fs::create_directories(second.path() / "SD_VIDEO");
  Mounted({plain.path(), other.path(), card.path(), second.path()});
  EXPECT_EQ(Selected().toStdString(), card.path().string());
  // The entries show where each volume is; the whole path is the tip.
  const int at = IndexOf(second.path());
  EXPECT_EQ(Drives()->itemData(at, Qt::ToolTipRole).toString().contains(QString::fromStdString(second.path().string())), true);
}

TEST_F(DriveWatch, ACardPulledOutAndPutBackUnchangedKeepsItsEditsAndCanBeCommitted) {
  Mounted({card.path()});
  ExpectFolderLoad(card.path());
  ClickLoad();
  ASSERT_TRUE(session.loaded);
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  ASSERT_TRUE(Find("btRefreshData")->isEnabled());

  Mounted({});
  EXPECT_TRUE(window->LoadedCardGone());
  EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), QString::fromUtf8(app::texts::kCardGone));
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  EXPECT_FALSE(Find("btBackUp")->isEnabled());  // nothing to back up from
  EXPECT_TRUE(Find("btDownImage")->isEnabled());  // editing goes on
  // Undo and redo do not bring the button back while the card is away.
  window->undoStack()->undo();
  window->undoStack()->redo();
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  QMetaObject::invokeMethod(window.get(), "CommitToCard");  // even if run: no question, no write

  // Back in the reader as it was: the lists and the edit go on.
  Mounted({card.path()});
  EXPECT_FALSE(window->LoadedCardGone());
  EXPECT_EQ(Selected().toStdString(), card.path().string());
  EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), QString::fromUtf8(app::texts::kCardBackUnchanged));
  EXPECT_TRUE(Find("btRefreshData")->isEnabled());
  EXPECT_FALSE(window->undoStack()->isClean());

  // Out again, and back with other tables (written elsewhere meanwhile):
  // only a load (dropping the edit) makes it committable.
  Mounted({});
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "三"), Item("STIL0002.JPG", "二")});
  Mounted({card.path()});
  EXPECT_TRUE(window->LoadedCardGone());
  EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), QString::fromUtf8(app::texts::kCardBack));
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
  prompts.Expect(Prompts::Question::DropEdits, Prompts::Answer::Yes, app::texts::kDropEditsOnLoad);
  ExpectFolderLoad(card.path());  // advised once already: no advice again
  ClickLoad();
  EXPECT_FALSE(window->LoadedCardGone());
  EXPECT_TRUE(Find<QLabel>("StatusPanel0")->text().isEmpty());
  EXPECT_TRUE(Find("btBackUp")->isEnabled());
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  EXPECT_TRUE(Find("btRefreshData")->isEnabled());
}

TEST_F(DriveWatch, AFolderCardWhoseFolderIsRemovedIsGoneToo) {
  LoadCard();  // a folder chosen by hand, not a volume
  Mounted({});
  EXPECT_FALSE(window->LoadedCardGone());
  EXPECT_GE(IndexOf(card.path()), 0);  // kept in the list
  fs::remove_all(card.path());
  Mounted({});
  EXPECT_TRUE(window->LoadedCardGone());
}

// A real mount, watched through the system's own signal. The mounted folder
// holds no card: windows of tests running beside this one, which would take
// a card that arrives, are left alone.
TEST_F(DriveWatch, ARealMountAndUnmountReachTheListWithoutAnyPolling) {
  if (::geteuid() != 0) GTEST_SKIP() << "mounting needs root";
  TempDir volume, mountPoint;
  volume.Write("photo.jpg", "not a card");
  if (::mount(volume.path().c_str(), mountPoint.path().c_str(), nullptr, MS_BIND, nullptr) != 0)
    GTEST_SKIP() << "this machine does not allow mounts here";
  auto waitFor = [](const std::function<bool()>& done) {
    for (int i = 0; i < 250 && !done(); ++i) QTest::qWait(20);
    return done();
  };
  EXPECT_TRUE(waitFor([&] { return IndexOf(mountPoint.path()) >= 0; }));
  const int at = IndexOf(mountPoint.path());
  if (at >= 0) {
    EXPECT_FALSE(Drives()->itemData(at, app::kCardRole).toBool());
    EXPECT_TRUE(Drives()->itemData(at, Qt::ToolTipRole).toString().endsWith(QString::fromStdString(mountPoint.path().string())));
  }
  ASSERT_EQ(::umount2(mountPoint.path().c_str(), 0), 0);
  EXPECT_TRUE(waitFor([&] { return IndexOf(mountPoint.path()) < 0; }));
}

}  // namespace
}  // namespace fenmora::testcard
