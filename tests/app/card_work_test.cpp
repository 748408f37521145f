// The card's work through the window: its states, the worker that keeps the
// window answering during a slow commit, and a card pulled out in the middle
// of a commit and put back.
#include <QAbstractProxyModel>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/app_texts.h"
#include "app/card_work.h"
#include "app/qt_prompts.h"
#include "app/window_fixture.h"
#include "sync/card_lock.h"
#include "sync/journal.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using State = app::CardWork::State;
using Answer = Prompts::Answer;
using Question = Prompts::Question;

TEST(CardWork, FollowsTheCardThroughLoadsEditsWritesAndPulls) {
  app::CardWork work;
  std::vector<State> seen;
  QObject::connect(&work, &app::CardWork::stateChanged, [&](State s) { seen.push_back(s); });
  work.WriteStarted();  // nothing loaded: nothing to write
  work.CardPulled();
  EXPECT_EQ(work.state(), State::NoCard);
  work.LoadStarted();
  work.LoadEnded(false);  // declined: back where it was
  EXPECT_EQ(work.state(), State::NoCard);
  work.LoadStarted();
  EXPECT_TRUE(work.Busy());
  work.LoadEnded(true);
  work.EditsChanged(true);
  EXPECT_TRUE(work.CommitDue());

  // A write the card refused (write-protected): the edits stay due.
  work.WriteStarted();
  EXPECT_FALSE(work.CardThere());
  work.WriteLeftCardAsItWas();
  EXPECT_EQ(work.state(), State::Edited);
  // Pulled mid-write; put back changed, then unchanged.
  work.WriteStarted();
  work.WriteFoundCardGone();
  EXPECT_TRUE(work.HoldsEdits());
  work.CardBack(false);
  EXPECT_EQ(work.state(), State::Pulled);
  work.CardBack(true);
  EXPECT_EQ(work.state(), State::Edited);
  // Undone to clean while out: back as loaded.
  work.CardPulled();
  work.EditsChanged(false);
  EXPECT_FALSE(work.HoldsEdits());
  work.CardBack(true);
  EXPECT_EQ(work.state(), State::Loaded);

  // An old-format journal at load: due without any edit, reverting; a
  // reload that ends a write and fails goes back to the write's start.
  work.LoadStarted();
  work.LoadEnded(true, /*interrupted=*/true, /*reverting=*/true);
  EXPECT_TRUE(work.Reverting());
  work.WriteStarted();
  work.LoadStarted();
  work.LoadEnded(false);
  EXPECT_EQ(work.state(), State::Interrupted);
  EXPECT_EQ(seen.front(), State::Loading);
  EXPECT_EQ(seen.back(), State::Interrupted);
}

// Renames take their time, as on a slow card; `during` runs (on the worker)
// before each.
class SlowRenames : public FaultyFileOps {
 public:
  SlowRenames(FileOps& inner, std::chrono::milliseconds each) : FaultyFileOps(inner), each_(each) {}
  std::function<void()> during;
  int renames = 0;
  OpResult Rename(const fs::path& from, const fs::path& to) override {
    ++renames;
    std::this_thread::sleep_for(each_);
    if (during) during();
    return FaultyFileOps::Rename(from, to);
  }

 private:
  std::chrono::milliseconds each_;
};

class CardWorkWindow : public WindowTest {
 protected:
  // Four images loaded and put in reverse order: every file changes name.
  void LoadAndReverse() {
    WriteKind(card.path(), MediaKind::Image,
              {Item("STIL0001.JPG", "A", "a"), Item("STIL0002.JPG", "B", "b"), Item("STIL0003.JPG", "C", "c"),
               Item("STIL0004.JPG", "D", "d")});
    ShowWindow();
    LoadCard();
    prompts.Clear();
    for (int top = 1; top < 4; ++top) {
      ClickRow(MediaKind::Image, 4);
      for (int i = 4; i > top; --i) Click("btUpImage");
    }
    Click("btRenImage");
    ASSERT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"D", "C", "B", "A"}));
  }
  std::string Still(const char* name) { return ReadBytes(card.path() / "PRIVATE/DOCOMO/STILL" / name); }
  RealFileOps real;
};

TEST_F(CardWorkWindow, TheWindowAnswersWithin100MsWhileASlowCommitRuns) {
  LoadAndReverse();
  SlowRenames slow(real, std::chrono::milliseconds(150));
  window->SetFileOps(slow);
  // A probe on the window's event loop: the longest wait between its ticks,
  // and what the window allowed meanwhile.
  QElapsedTimer clock;
  qint64 last = -1, longest = 0;
  bool sawWriting = false, closedWhileWriting = false, controlsOn = false;
  QTimer probe;
  probe.setInterval(10);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    if (last >= 0) longest = std::max(longest, now - last);
    last = now;
    if (window->cardWork().state() == State::Writing) {
      sawWriting = true;
      controlsOn |= Find("btLoadMem")->isEnabled() || Find("btRefreshData")->isEnabled() ||
                    Find("pcMain")->isEnabled();
      closedWhileWriting |= window->close();
    }
  });
  prompts.Expect(Question::ConfirmCommit, Answer::Yes);
  prompts.ExpectOk(texts::kCommitDone);
  clock.start();
  probe.start();
  Click("btRefreshData");
  probe.stop();
  EXPECT_GE(slow.renames, 4);  // over half a second of renames
  EXPECT_TRUE(sawWriting);
  EXPECT_LT(longest, 100) << "the window's event loop stood still for " << longest << " ms";
  EXPECT_FALSE(controlsOn);
  EXPECT_FALSE(closedWhileWriting);
  EXPECT_EQ(Still("STIL0001.JPG"), "d");
  EXPECT_EQ(Still("STIL0004.JPG"), "a");
  EXPECT_EQ(window->cardWork().state(), State::Loaded);
  EXPECT_TRUE(window->isVisible());
}

TEST_F(CardWorkWindow, ACardPulledMidCommitIsSaidSoAndIsFinishedWhenPutBackAndLoaded) {
  LoadAndReverse();
  const fs::path aside = card.path().string() + ".out";
  SlowRenames pulling(real, std::chrono::milliseconds(0));
  // The card leaves the reader just after the first name changed.
  pulling.during = [&] {
    if (pulling.renames == 2) fs::rename(card.path(), aside);
  };
  window->SetFileOps(pulling);
  prompts.Expect(Question::ConfirmCommit, Answer::Yes);
  prompts.ExpectOk();
  Click("btRefreshData");
  ASSERT_FALSE(prompts.asked().empty());
  EXPECT_EQ(prompts.asked().back().icon, Prompts::Icon::Error);
  EXPECT_EQ(prompts.asked().back().text.rfind(app::texts::kCardPulledDuringWrite, 0), 0u)
      << prompts.asked().back().text;
  // Said as a card taken out, not as one that could not be written (the
  // core's account of the steps only in the details, after a blank line).
  const std::string& told = prompts.asked().back().text;
  EXPECT_EQ(told.substr(0, told.find("\n\n")),
            std::string(app::texts::kCardPulledDuringWrite) + "\n" + app::texts::kCardPulledReinsert);
  EXPECT_TRUE(window->LoadedCardGone());
  EXPECT_EQ(Find<QLabel>("StatusPanel0")->text(), QString::fromUtf8(app::texts::kCardGone));
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());

  // Put back: its tables may have changed, so it is loaded again, and the
  // load finishes the update at once. This window's own lock, left behind
  // on the pulled card, is no other program's.
  fs::rename(aside, card.path());
  window->SetFileOps(real);
  prompts.Clear();
  ExpectFolderLoad(card.path());
  prompts.Expect(Question::InterruptedUpdate, Answer::Yes, texts::kInterruptedCommit);
  prompts.ExpectOk(texts::kFinishDone);
  ClickLoad();
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"D", "C", "B", "A"}));
  EXPECT_EQ(Still("STIL0001.JPG"), "d");
  EXPECT_EQ(Still("STIL0004.JPG"), "a");
  EXPECT_FALSE(fs::exists(card.path() / kJournalName));
  EXPECT_FALSE(fs::exists(card.path() / kLockName));
  EXPECT_EQ(window->cardWork().state(), State::Loaded);
}

TEST_F(CardWorkWindow, RestoreOnACardWhoseUpdateWasInterruptedRefusesBeforeAskingAnything) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", "a")});
  ShowWindow();
  LoadCard();
  prompts.Clear();
  // As a load of an old-format journal leaves it: an update to carry out.
  window->cardWork().LoadStarted();
  window->cardWork().LoadEnded(true, /*interrupted=*/true);
  ASSERT_EQ(window->cardWork().state(), State::Interrupted);
  int chooserCalls = 0;
  window->SetBackupChooser([&](const QString&) {
    ++chooserCalls;
    return QString();
  });
  prompts.ExpectOk(app::texts::kRestoreRefusedInterrupted);
  Click("btRestore");
  EXPECT_EQ(chooserCalls, 0);
  ASSERT_EQ(prompts.asked().size(), 1u);  // no question about dropping edits
  EXPECT_EQ(window->cardWork().state(), State::Interrupted);
}

TEST(FolderDialog, IsQtsOwnInTheWindowsWords) {
  testcard::TempFolder start;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    seen = true;
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_EQ(dialog->labelText(QFileDialog::FileName), QString::fromUtf8(app::texts::kFolderName));
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), QString::fromUtf8(app::texts::kFolderChoose));
    ASSERT_NE(dialog->proxyModel(), nullptr);
    QStringList headers;
    for (int c = 0; c < 4; ++c) headers << dialog->proxyModel()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"名前", "サイズ", "種類", "更新日時"}));
    // No English word in the dialog's own texts.
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
      QString text;
      if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
      if (auto* button = qobject_cast<QAbstractButton*>(w)) text = button->text();
      if (auto* box = qobject_cast<QComboBox*>(w); box && box->objectName() == QLatin1String("fileTypeCombo"))
        text = box->currentText();
      EXPECT_FALSE(text.contains(QStringLiteral("Folder")) || text.contains(QStringLiteral("Directory")) ||
                   text.contains(QStringLiteral("ディレクトリ")))
          << text.toStdString();
    }
    dialog->reject();
  });
  EXPECT_TRUE(app::ChooseFolder(nullptr, QStringLiteral("テスト"), QString::fromStdString(start.path().string())).isEmpty());
  EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace fenmora::testcard
