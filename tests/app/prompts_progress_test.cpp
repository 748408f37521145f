// The window's message boxes and its progress display, and the files of the
// sample card that the build makes.
#include <QApplication>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QTextEdit>
#include <QTimer>
#include <QtTest/QTest>
#include <fstream>
#include <map>

#include "app/qt_prompts.h"
#include "app/window_fixture.h"
#include "catalogue/table.h"
#include "media/melody_title.h"
#include "media/mfi_midi.h"
#include "movie/movie.h"
#include "platform/cp932.h"

namespace fenmora::testcard {
namespace {

using Icon = Prompts::Icon;
using Buttons = Prompts::Buttons;
using Answer = Prompts::Answer;

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Asks through the window's message boxes; when the box is up, notes what it
// shows and presses `press` (or Escape when press is NoButton).
Answer AskAndPress(app::QtPrompts& prompts, Icon icon, Buttons buttons, QMessageBox::StandardButton press,
                   SeenBox& seen) {
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
    if (press == QMessageBox::NoButton)
      QTest::keyClick(box, Qt::Key_Escape);
    else
      box->button(press)->click();
  });
  return prompts.Ask(Prompts::Question::NotRemovable, icon, buttons, "ドライブにSDメモリカードを挿入してください．");
}

TEST(MessageBoxes, ShowTheTitleTextIconAndButtonsAskedAndReturnThePress) {
  QWidget owner;
  app::QtPrompts prompts(&owner);
  SeenBox seen;
  EXPECT_EQ(AskAndPress(prompts, Icon::Warning, Buttons::YesNo, QMessageBox::Yes, seen), Answer::Yes);
  EXPECT_EQ(seen.title, "Fenmora");
  EXPECT_EQ(seen.text, "ドライブにSDメモリカードを挿入してください．");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

  EXPECT_EQ(AskAndPress(prompts, Icon::Error, Buttons::Ok, QMessageBox::Ok, seen), Answer::Ok);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);

  EXPECT_EQ(AskAndPress(prompts, Icon::Question, Buttons::YesCancel, QMessageBox::Cancel, seen), Answer::Cancel);
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(AskAndPress(prompts, Icon::Information, Buttons::YesNo, QMessageBox::No, seen), Answer::No);
  EXPECT_EQ(seen.icon, QMessageBox::Information);
}

TEST(MessageBoxes, KeepEachLineWholeAndGiveTheDetailsRoom) {
  QWidget owner;
  app::QtPrompts prompts(&owner);
  const QString line = QStringLiteral("SDメモリ内のデータを編集・更新する前に、バックアップを取ることを強くお勧めします．");
  int labelWidth = 0, lineWidth = 0, detailsHeight = 0, lineSpacing = 0;
  Qt::TextInteractionFlags flags;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    QCoreApplication::processEvents();
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    labelWidth = label->width();
    lineWidth = label->fontMetrics().horizontalAdvance(line);
    flags = label->textInteractionFlags();
    auto* details = box->findChild<QTextEdit*>();
    detailsHeight = details->height();
    lineSpacing = details->fontMetrics().lineSpacing();
    box->button(QMessageBox::Ok)->click();
  });
  prompts.AskWithDetails(Prompts::Question::Message, Icon::Information, Buttons::Ok, line.toStdString(),
                         "one\ntwo\nthree");
  EXPECT_GE(labelWidth, lineWidth);  // on one line, not broken in a word
  EXPECT_TRUE(flags & Qt::TextSelectableByMouse);  // a path or address can be copied
  EXPECT_GE(detailsHeight, 12 * lineSpacing);
}

TEST(MessageBoxes, QtsOwnTextsAreJapaneseAndDetailsCanBeOpened) {
  QWidget owner;
  app::QtPrompts prompts(&owner);
  std::map<QMessageBox::StandardButton, QString> captions;
  QString details, detailsButton;
  auto look = [&](QMessageBox::StandardButton press) {
    QTimer::singleShot(0, [&, press] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      for (QAbstractButton* b : box->buttons()) {
        const auto which = box->standardButton(b);
        if (which != QMessageBox::NoButton) captions[which] = b->text();
        else detailsButton = b->text();  // the one that opens the details
      }
      if (!box->detailedText().isEmpty()) details = box->detailedText();
      box->button(press)->click();
    });
  };
  look(QMessageBox::No);
  EXPECT_EQ(prompts.AskWithDetails(Prompts::Question::ConfirmCommit, Icon::Question, Buttons::YesNo,
                                   "更新しますか？", "削除: STIL0001.JPG"),
            Answer::No);
  look(QMessageBox::Cancel);
  prompts.Ask(Prompts::Question::MissingFolder, Icon::Question, Buttons::YesCancel, "作成しますか？");
  look(QMessageBox::Ok);
  prompts.Tell(Icon::Information, "完了しました");
  auto plain = [](QString t) { return t.remove(QLatin1Char('&')); };
  EXPECT_TRUE(plain(captions[QMessageBox::Yes]).startsWith(QStringLiteral("はい"))) << captions[QMessageBox::Yes].toStdString();
  EXPECT_TRUE(plain(captions[QMessageBox::No]).startsWith(QStringLiteral("いいえ"))) << captions[QMessageBox::No].toStdString();
  EXPECT_TRUE(plain(captions[QMessageBox::Cancel]).startsWith(QStringLiteral("キャンセル")))
      << captions[QMessageBox::Cancel].toStdString();
  EXPECT_EQ(plain(captions[QMessageBox::Ok]), "OK");
  EXPECT_EQ(details, "削除: STIL0001.JPG");
  EXPECT_TRUE(std::any_of(detailsButton.begin(), detailsButton.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
      << detailsButton.toStdString();
}

TEST(MessageBoxes, EscapeGivesTheSafeAnswer) {
  QWidget owner;
  app::QtPrompts prompts(&owner);
  SeenBox seen;
  EXPECT_EQ(AskAndPress(prompts, Icon::Warning, Buttons::YesNo, QMessageBox::NoButton, seen), Answer::No);
  EXPECT_EQ(AskAndPress(prompts, Icon::Warning, Buttons::YesCancel, QMessageBox::NoButton, seen), Answer::Cancel);
}

TEST(StatusDisplay, BusyHoldsTheHourglassUntilEveryBusyEnds) {
  QWidget window;
  QLabel panel(&window);
  {
    app::StatusProgress progress(&window, &panel);
    progress.Status("着メロファイルの読み込み中...");
    EXPECT_EQ(panel.text(), "着メロファイルの読み込み中...");
    progress.Busy(true);
    progress.Busy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    progress.Busy(false);
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    progress.Busy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    progress.Busy(false);  // one too many changes nothing
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    progress.Busy(true);
  }
  // An operation that ended early does not leave the hourglass behind.
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The sample card holds real files: the titles its melodies carry are the
// ones its tables list, and its pictures decode.
TEST(SampleCard, FilesMatchTheirTables) {
  const std::filesystem::path root = FENMORA_SAMPLE_CARD;
  auto table = [&](const char* path) {
    std::ifstream in(CardHostPath(root, path), std::ios::binary);
    return ParseTable(std::string(std::istreambuf_iterator<char>(in), {}));
  };
  const TableContents melodies = table("\\PRIVATE\\DOCOMO\\TABLE\\RINGER\\RUD000.TBL");
  ASSERT_GE(melodies.records.size(), 2u);
  int mid = 0, mld = 0;
  for (const TableRecord& r : melodies.records) {
    const auto file = CardHostPath(root, melodies.folderText + "\\" + r.FileName());
    if (r.ext == "MID") {
      EXPECT_EQ(ReadSmfTrackName(file), r.title) << r.FileName();
      ++mid;
    } else if (r.ext == "MLD") {
      EXPECT_EQ(ReadMldTitle(file), r.title) << r.FileName();
      ++mld;
    }
    EXPECT_LE(std::filesystem::file_size(file), 40960u);
  }
  EXPECT_GE(mid, 1);
  EXPECT_GE(mld, 1);

  const TableContents images = table("\\PRIVATE\\DOCOMO\\TABLE\\STILL\\SUD000.TBL");
  ASSERT_GE(images.records.size(), 2u);
  for (const TableRecord& r : images.records) {
    const auto file = CardHostPath(root, images.folderText + "\\" + r.FileName());
    QImageReader reader(QString::fromStdString(file.string()));
    const QImage image = reader.read();
    EXPECT_EQ(image.size(), QSize(240, 320)) << r.FileName() << ": " << reader.errorString().toStdString();
    EXPECT_LE(std::filesystem::file_size(file), 102400u);
  }
  const TableContents movies = table("\\PRIVATE\\DOCOMO\\TABLE\\SD_VIDEO\\PRL001.TBL");
  EXPECT_GE(movies.records.size(), 1u);
  EXPECT_EQ(movies.folderText, "\\SD_VIDEO\\PRL001");
  // Its movies are the handset's own (they preview and play), its MLD
  // melodies have notes.
  for (const TableRecord& r : movies.records) {
    const auto file = CardHostPath(root, movies.folderText + "\\" + r.FileName());
    EXPECT_TRUE(movie::HandsetPlays(movie::ProbeMovie(file))) << r.FileName();
    EXPECT_TRUE(movie::PreviewFrame(file, 145, 145).valid()) << r.FileName();
  }
  for (const TableRecord& r : melodies.records)
    if (r.ext == "MLD") {
      std::ifstream in(CardHostPath(root, melodies.folderText + "\\" + r.FileName()), std::ios::binary);
      const auto converted = ConvertMfiToSmf(std::string(std::istreambuf_iterator<char>(in), {}));
      ASSERT_TRUE(converted) << r.FileName();
      EXPECT_GT(converted->notes, 10) << r.FileName();
    }
}

}  // namespace
}  // namespace fenmora::testcard
