// The thumbnail view of the lists: switched with the grid from the menu "表示",
// remembered in the settings file, the same rows and selection as the grid,
// each picture framed as the handset's 240 x 320 screen shows it, decoded off
// the window's thread; a file that cannot be decoded shows a placeholder.
#include <QAction>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QSettings>
#include <QUndoStack>
#include <QStackedWidget>
#include <QtTest/QTest>

#include "app/media_files.h"
#include "app/kind_model.h"
#include "app/thumbnails.h"
#include "app/window_fixture.h"

namespace fenmora::testcard {
namespace {

class Thumbnail : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
  QListView* Thumbs(MediaKind k) { return Find<QListView>(k == MediaKind::Image ? "tvImage" : "tvMovie"); }
  void ChooseView(const char* action) { Find<QAction>(action)->trigger(); }
};

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
         std::abs(a.blue() - b.blue()) < 24;
}

TEST(ThumbnailFrame, APictureIsPlacedOnTheHandsetsScreenShrunkWhenLargerAndCentred) {
  const QSize size = app::kThumbnailSize;
  // A picture as large as the screen fills it.
  QImage full(app::kHandsetScreen, QImage::Format_RGB32);
  full.fill(Qt::red);
  QImage framed = app::FramedOnScreen(full);
  ASSERT_EQ(framed.size(), size);
  EXPECT_TRUE(Near(framed.pixelColor(size.width() / 2, 3), Qt::red));
  EXPECT_TRUE(Near(framed.pixelColor(size.width() / 2, size.height() / 2), Qt::red));
  // A small landscape picture sits in the middle at its size on the screen.
  QImage small(120, 40, QImage::Format_RGB32);
  small.fill(Qt::blue);
  framed = app::FramedOnScreen(small);
  EXPECT_TRUE(Near(framed.pixelColor(size.width() / 2, size.height() / 2), Qt::blue));
  EXPECT_FALSE(Near(framed.pixelColor(size.width() / 2, 4), Qt::blue));  // above it: the screen
  EXPECT_FALSE(Near(framed.pixelColor(4, size.height() / 2), Qt::blue));  // beside it (120 of 240)
  // A wide picture larger than the screen is shrunk to its width.
  QImage wide(960, 320, QImage::Format_RGB32);
  wide.fill(Qt::green);
  framed = app::FramedOnScreen(wide);
  EXPECT_TRUE(Near(framed.pixelColor(3, size.height() / 2), Qt::green));
  EXPECT_FALSE(Near(framed.pixelColor(size.width() / 2, size.height() / 4), Qt::green));
  // No picture: the placeholder, not a crash.
  EXPECT_EQ(app::FramedOnScreen(QImage()).size(), size);
}

TEST_F(Thumbnail, TheViewMenuSwitchesImagesAndMoviesToThumbnailsWithTheSameSelection) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "夕焼け", SolidPicture(240, 320, Qt::red, "JPG")),
                                            Item("STIL0002.JPG", "桜", SolidPicture(240, 320, Qt::green, "JPG")),
                                            Item("STIL0003.JPG", "壊れた", "not a picture")});
  LoadCard();
  EXPECT_TRUE(Find<QAction>("acViewList")->isChecked());
  EXPECT_FALSE(Thumbs(MediaKind::Image)->isVisible());
  ChooseView("acViewThumbnails");
  EXPECT_TRUE(Find<QAction>("acViewThumbnails")->isChecked());
  QListView* thumbs = Thumbs(MediaKind::Image);
  ASSERT_TRUE(thumbs->isVisible());
  EXPECT_FALSE(Grid(MediaKind::Image)->isVisible());
  EXPECT_EQ(thumbs->viewMode(), QListView::IconMode);
  // The same rows and the same selection.
  EXPECT_EQ(thumbs->model(), Grid(MediaKind::Image)->model());
  EXPECT_EQ(thumbs->selectionModel(), Grid(MediaKind::Image)->selectionModel());
  EXPECT_EQ(thumbs->currentIndex().row(), 0);
  // A click on a thumbnail chooses its item: its title in the edit.
  QCoreApplication::processEvents();
  const QRect second = thumbs->visualRect(thumbs->model()->index(1, 0));
  ASSERT_TRUE(second.isValid());
  QTest::mouseClick(thumbs->viewport(), Qt::LeftButton, Qt::NoModifier, second.center());
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
  EXPECT_EQ(Find<QLineEdit>("edImageTitle")->text(), "桜");
  // The pictures come from their workers; the broken file shows the
  // placeholder and the window goes on.
  auto* pictures = thumbs->parentWidget()->parentWidget()->findChild<app::Thumbnails*>();
  ASSERT_NE(pictures, nullptr);
  QStringList files;
  for (int r = 0; r < 3; ++r) files << thumbs->model()->index(r, 0).data(app::KindModel::kFileRole).toString();
  const auto allReady = [&] {
    return std::all_of(files.begin(), files.end(), [&](const QString& f) { return pictures->Ready(f); });
  };
  for (int i = 0; i < 250 && !allReady(); ++i) QTest::qWait(20);
  ASSERT_TRUE(allReady());
  const auto middle = [&](int r) {
    const QImage image = pictures->Of(files[r]).toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
  };
  EXPECT_TRUE(Near(middle(0), Qt::red));
  EXPECT_TRUE(Near(middle(1), Qt::green));
  const QImage placeholder = pictures->Of(files[2]).toImage();
  EXPECT_TRUE(Near(placeholder.pixelColor(6, placeholder.height() / 2), QColor(200, 200, 200)));
  // The melodies stay a list; back to the list for all.
  ShowPage(MediaKind::Melody);
  EXPECT_TRUE(Grid(MediaKind::Melody)->isVisible());
  ShowPage(MediaKind::Movie);
  EXPECT_TRUE(Thumbs(MediaKind::Movie)->isVisible());
  ChooseView("acViewList");
  EXPECT_TRUE(Grid(MediaKind::Movie)->isVisible());
  ShowPage(MediaKind::Image);
  EXPECT_TRUE(Grid(MediaKind::Image)->isVisible());
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 2);
}

TEST_F(Thumbnail, AThumbnailDraggedToAnotherPlaceIsOneMove) {
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "A", SolidPicture(24, 32, Qt::red, "JPG")),
                                            Item("STIL0002.JPG", "B", SolidPicture(24, 32, Qt::green, "JPG")),
                                            Item("STIL0003.JPG", "C", SolidPicture(24, 32, Qt::blue, "JPG"))});
  LoadCard();
  prompts.Clear();
  ChooseView("acViewThumbnails");
  QListView* thumbs = Thumbs(MediaKind::Image);
  QCoreApplication::processEvents();
  QWidget* viewport = thumbs->viewport();
  const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)), Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
  };
  const QPoint from = thumbs->visualRect(thumbs->model()->index(2, 0)).center();
  const QPoint to = thumbs->visualRect(thumbs->model()->index(0, 0)).center();
  send(QEvent::MouseButtonPress, from, Qt::LeftButton);
  send(QEvent::MouseMove, from + QPoint(-10, 0), Qt::LeftButton);
  send(QEvent::MouseMove, to, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, to, Qt::NoButton);
  EXPECT_EQ(Column(MediaKind::Image, 3), (std::vector<QString>{"C", "A", "B"}));
  EXPECT_EQ(window->SelectedRow(MediaKind::Image), 1);
  EXPECT_EQ(window->undoStack()->count(), 1);
}

TEST_F(Thumbnail, TheChoiceComesBackAtTheNextRunFromTheSettingsFile) {
  TempDir config;
  const QString file = QString::fromStdString((config.path() / "window.conf").string());
  window->RememberPlaceIn(file);
  ChooseView("acViewThumbnails");
  ASSERT_TRUE(window->close());
  EXPECT_TRUE(QSettings(file, QSettings::IniFormat).value("window/thumbnails").toBool());

  CardSession nextSession;
  TfrMain next(nextSession);
  next.RememberPlaceIn(file);
  EXPECT_TRUE(next.findChild<QAction*>(QStringLiteral("acViewThumbnails"))->isChecked());
  auto* thumbs = next.findChild<QListView*>(QStringLiteral("tvImage"));
  ASSERT_NE(thumbs, nullptr);
  EXPECT_EQ(qobject_cast<QStackedWidget*>(thumbs->parentWidget())->currentWidget(), thumbs);
}

}  // namespace
}  // namespace fenmora::testcard
