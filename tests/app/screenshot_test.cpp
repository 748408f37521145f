// Pictures of the window for looking at the layout: the window with the
// sample card loaded, and the about box, written to <build>/screenshots/.
// `make screenshot` runs these.
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>

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

}  // namespace
}  // namespace fenmora::testing
