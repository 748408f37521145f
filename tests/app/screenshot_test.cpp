// Pictures of the window for looking at the layout: the window with the
// sample card loaded, and the about box, written to <build>/screenshots/.
// `make screenshot` runs these.
#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "app/app_texts.h"
#include "app/drive_list.h"
#include "app/qt_prompts.h"

#include "app/window_fixture.h"

namespace fenmora::testing {
namespace {

const QString kShots = QStringLiteral(FENMORA_SCREENSHOT_DIR);

using Screenshot = WindowTest;

TEST_F(Screenshot, LoadedWindowWithTheSampleCard) {
  const std::filesystem::path sample = FENMORA_SAMPLE_CARD;
  ASSERT_TRUE(std::filesystem::is_directory(sample)) << "build the sample card first";
  window->show();
  LoadFolder(sample);
  // The sample card offers something in every list, with Japanese titles.
  for (MediaKind k : kListKinds) {
    ASSERT_GE(session.Catalogue(k).LiveCount(), 1);
    EXPECT_FALSE(Cell(k, 1, 0).isEmpty());
    const QString title = Cell(k, 1, 3);
    EXPECT_TRUE(std::any_of(title.begin(), title.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
        << title.toStdString();
  }
  // The first image selected: its title in the edit, its picture in the pane.
  ClickRow(MediaKind::Image, 1);
  EXPECT_FALSE(Find<QLabel>("DispPrev")->pixmap().isNull());
  EXPECT_EQ(Find<QLineEdit>("edImageTitle")->text(), Cell(MediaKind::Image, 1, 3));
  const QImage shot = window->grab().toImage();
  EXPECT_EQ(shot.size(), QSize(697, 587) * shot.devicePixelRatio());
  ASSERT_TRUE(QDir().mkpath(kShots));
  ASSERT_TRUE(shot.save(kShots + QStringLiteral("/main-loaded.png")));
}

TEST_F(Screenshot, WindowAtStart) {
  window->show();
  const QImage shot = window->grab().toImage();
  ASSERT_TRUE(QDir().mkpath(kShots));
  ASSERT_TRUE(shot.save(kShots + QStringLiteral("/main-start.png")));
}

TEST_F(Screenshot, AboutBox) {
  about->show();
  const QImage shot = about->grab().toImage();
  EXPECT_EQ(shot.size(), QSize(296, 281) * shot.devicePixelRatio());
  ASSERT_TRUE(QDir().mkpath(kShots));
  ASSERT_TRUE(shot.save(kShots + QStringLiteral("/about.png")));
}

TEST_F(Screenshot, InterruptedUpdateQuestion) {
  window->show();
  app::QtPrompts boxes(window.get());
  QImage shot;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    shot = box->grab().toImage();
    box->close();
  });
  boxes.Ask(Prompts::Question::InterruptedUpdate, Prompts::Icon::Warning, Prompts::Buttons::YesNo,
            texts::kInterruptedCommit);
  ASSERT_FALSE(shot.isNull());
  ASSERT_TRUE(QDir().mkpath(kShots));
  ASSERT_TRUE(shot.save(kShots + QStringLiteral("/interrupted-update.png")));
}

// When a message box comes up: opens its details (if any), lets it lay out,
// saves its picture and presses No (or OK).
void ShootTheNextBox(const QString& file, bool openDetails) {
  QTimer::singleShot(0, [file, openDetails] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    if (openDetails)
      for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();
    QCoreApplication::processEvents();
    ASSERT_TRUE(QDir().mkpath(kShots));
    EXPECT_TRUE(box->grab().save(kShots + file));
    (box->button(QMessageBox::No) ? box->button(QMessageBox::No) : box->button(QMessageBox::Ok))->click();
  });
}

TEST_F(Screenshot, AQuestionWithQtsOwnButtonsInJapanese) {
  window->show();
  app::QtPrompts boxes(window.get());
  ShootTheNextBox(QStringLiteral("/message-box.png"), false);
  EXPECT_EQ(boxes.Ask(Prompts::Question::DropEdits, Prompts::Icon::Question, Prompts::Buttons::YesNo,
                      app::texts::kDropEditsOnClose),
            Prompts::Answer::No);
}

TEST_F(Screenshot, TheCommitsConfirmationWithItsDetails) {
  const std::filesystem::path sample = FENMORA_SAMPLE_CARD;
  ASSERT_TRUE(std::filesystem::is_directory(sample)) << "build the sample card first";
  window->show();
  LoadFolder(sample);
  // Edits in memory only: the box is answered No, and nothing is written.
  ClickRow(MediaKind::Image, 1);
  Click("btDelImage");
  ClickRow(MediaKind::Melody, 1);
  Click("btUpMelody");
  Click("btRenMelody");
  TempDir desktop;
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {desktop.Write("夏の海.jpg", "picture")}));
  app::QtPrompts boxes(window.get());
  window->SetPrompts(boxes);
  ShootTheNextBox(QStringLiteral("/commit-confirmation.png"), true);
  Click("btRefreshData");
  window->SetPrompts(prompts);
  EXPECT_TRUE(Find("btRefreshData")->isEnabled());  // declined: still to do
}

TEST_F(Screenshot, TheDriveListWithAMarkedCard) {
  const std::filesystem::path sample = FENMORA_SAMPLE_CARD;
  TempDir plain;
  const std::string table = "27 1 254:0 / / rw - ext4 /dev/vda rw\n"
                            "90 27 8:17 / " + sample.string() + " rw - vfat /dev/sdb1 rw\n"
                            "91 27 8:33 / " + plain.path().string() + " rw - exfat /dev/sdc1 rw\n";
  window->SetMountTable([table] { return table; });
  window->show();
  auto* drives = Find<QComboBox>("curDrive");
  ASSERT_EQ(drives->currentData().toString().toStdString(), sample.string());
  EXPECT_TRUE(drives->currentText().startsWith(QStringLiteral("［カード］")));
  drives->showPopup();
  QCoreApplication::processEvents();
  QWidget* popup = drives->view()->window();
  ASSERT_TRUE(popup->isVisible());
  ASSERT_TRUE(QDir().mkpath(kShots));
  EXPECT_TRUE(popup->grab().save(kShots + QStringLiteral("/drive-list.png")));
  EXPECT_TRUE(window->grab().save(kShots + QStringLiteral("/main-drive-chosen.png")));
  drives->hidePopup();
}

}  // namespace
}  // namespace fenmora::testing
