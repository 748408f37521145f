// The window's layout: at its first size the controls show in their order with
// no text cut; a larger window gives its room to the lists; the least size
// fits small screens with nothing hidden; its size and place come back at the
// next run where they fit.
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QWindow>
#include <QtTest/QTest>

#include "app/window_fixture.h"
#include "app/window_place.h"

namespace fenmora::testcard {
namespace {

using Layout = WindowTest;

QRect InWindow(QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }

// The window's first size: the fixed places' 697 x 587 and the menu bar.
QSize FirstSize(QWidget* window) {
  return QSize(697, 587 + window->findChild<QWidget*>(QStringLiteral("MainMenu"))->sizeHint().height());
}

// Every text label that shows a text is at least as large as its text asks.
void ExpectNoLabelCut(QWidget* window) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty() || !label->pixmap().isNull()) continue;
    const QSize wanted = label->minimumSizeHint();
    EXPECT_GE(label->width(), wanted.width()) << label->objectName().toStdString();
    EXPECT_GE(label->height(), wanted.height()) << label->objectName().toStdString();
  }
}

TEST_F(Layout, AtTheFirstSizeTheControlsShowInTheirOrderAndNoTextIsCut) {
  ShowWindow();
  ASSERT_EQ(window->size(), FirstSize(window.get()));
  // The lists on the left, the column on their right, the strip and the
  // status bar under both.
  const QRect tabs = InWindow(Find("pcMain"));
  EXPECT_EQ(tabs.size(), QSize(513, 513));
  // The column: each control under the one before it, all visible and
  // inside the window.
  const char* column[] = {"Panel5",        "Label1",      "curDrive",     "btLoadMem", "Label5", "cgDiskSpace",
                          "stFree",        "btRefreshData", "StaticText1", "btStopMelody", "btBackUp", "btHelp"};
  int below = tabs.top();
  for (const char* name : column) {
    QWidget* w = Find(name);
    const QRect r = InWindow(w);
    EXPECT_TRUE(w->isVisible()) << name;
    EXPECT_GT(r.left(), tabs.right()) << name;
    EXPECT_GE(r.top(), below) << name;
    EXPECT_TRUE(window->rect().contains(r)) << name;
    below = r.bottom() + 1;
  }
  // Side by side in their rows.
  EXPECT_GT(InWindow(Find("btRestore")).left(), InWindow(Find("btBackUp")).right());
  EXPECT_GT(InWindow(Find("btEnd")).left(), InWindow(Find("btHelp")).right());
  // The foot of the column stands level with the lists' foot, the strip and
  // the status bar below.
  EXPECT_EQ(InWindow(Find("btEnd")).bottom(), tabs.bottom());
  EXPECT_GT(InWindow(Find("Label9")).top(), tabs.bottom());
  EXPECT_EQ(InWindow(Find("StatusBar")).bottom(), window->height() - 1);
  // The preview square at the column's width, the picture inside its frame.
  EXPECT_EQ(Find("StaticText1")->size(), QSize(161, 161));
  EXPECT_TRUE(Find("StaticText1")->rect().contains(Find("DispPrev")->geometry()));
  ExpectNoLabelCut(window.get());
  // The grid's columns as they were.
  QTableView* grid = Grid(MediaKind::Image);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(grid->columnWidth(c), (std::array{77, 119, 55, 134})[c]);
}

// The controls of the window's own area (not inside the tab control) and the
// tab control itself: none may overlap another.
const char* const kTopLevel[] = {"pcMain",      "Panel5",        "Label1",     "curDrive",
                                 "btLoadMem",   "Label5",        "cgDiskSpace", "stFree",
                                 "btRefreshData", "StaticText1", "btStopMelody", "btBackUp",
                                 "btRestore",   "btHelp",      "btEnd",         "Label9",     "Image3",
                                 "StatusBar"};
const char* const kPage[] = {"Label2",    "edImageTitle", "btEditImage", "sgImage",   "Panel1",
                             "btUpImage", "btDownImage",  "btRenImage",  "btDelImage", "btAddImage"};

void ExpectNoOverlap(QWidget* window, const std::vector<QWidget*>& widgets) {
  for (size_t i = 0; i < widgets.size(); ++i) {
    EXPECT_TRUE(window->rect().contains(InWindow(widgets[i]))) << widgets[i]->objectName().toStdString();
    for (size_t j = i + 1; j < widgets.size(); ++j)
      EXPECT_FALSE(InWindow(widgets[i]).intersects(InWindow(widgets[j])))
          << widgets[i]->objectName().toStdString() << " / " << widgets[j]->objectName().toStdString();
  }
}

TEST_F(Layout, ALargerWindowGivesItsRoomToTheListsAndNothingOverlaps) {
  ShowWindow();
  QTableView* grid = Grid(MediaKind::Image);
  const QSize gridBefore = grid->size();
  const int titleBefore = grid->columnWidth(3);
  const QRect previewBefore = InWindow(Find("DispPrev"));
  window->resize(1200, 1000);
  QCoreApplication::processEvents();
  ASSERT_EQ(window->size(), QSize(1200, 1000));

  EXPECT_EQ(grid->width() - gridBefore.width(), 1200 - 697);
  EXPECT_EQ(grid->height() - gridBefore.height(), 1000 - FirstSize(window.get()).height());
  EXPECT_EQ(grid->columnWidth(3) - titleBefore, 1200 - 697);  // the title column takes it
  // Forty rows and more show at once.
  EXPECT_GE(grid->viewport()->height() / grid->rowHeight(0), 40);
  // The preview keeps its size (and so its aspect) in the column on the right.
  EXPECT_EQ(InWindow(Find("DispPrev")).size(), previewBefore.size());
  EXPECT_EQ(InWindow(Find("Panel5")).right(), 1200 - 9);
  // The foot of the column stands level with the lists' foot.
  EXPECT_EQ(InWindow(Find("btEnd")).bottom(), InWindow(Find("pcMain")).bottom());
  EXPECT_EQ(InWindow(Find("btAddImage")).bottom(), InWindow(grid).bottom());

  std::vector<QWidget*> topLevel, page;
  for (const char* name : kTopLevel) topLevel.push_back(Find(name));
  for (const char* name : kPage) page.push_back(Find(name));
  ExpectNoOverlap(window.get(), topLevel);
  ExpectNoOverlap(window.get(), page);
}

TEST_F(Layout, TheLeastSizeFitsAn800x600ScreenAndFullHdAtScale2WithNothingHidden) {
  ShowWindow();
  window->resize(300, 200);
  QCoreApplication::processEvents();
  // 1920 x 1080 at scale 2 leaves 960 x 540, less a title bar and a panel.
  EXPECT_LE(window->width(), 800);
  EXPECT_LE(window->height(), 540 - 50);
  std::vector<QWidget*> topLevel, page;
  for (const char* name : kTopLevel) topLevel.push_back(Find(name));
  for (const char* name : kPage) page.push_back(Find(name));
  ExpectNoOverlap(window.get(), topLevel);
  ExpectNoOverlap(window.get(), page);
  for (QWidget* w : page) EXPECT_TRUE(InWindow(Find("pcMain")).contains(InWindow(w))) << w->objectName().toStdString();
  ExpectNoLabelCut(window.get());
  // The list keeps a few rows, the preview some of its height.
  EXPECT_GE(Grid(MediaKind::Image)->viewport()->height() / Grid(MediaKind::Image)->rowHeight(0), 4);
  EXPECT_GE(Find("DispPrev")->height(), 20);
}

TEST(WindowPlace, AKeptPlaceIsTakenBackOnlyWhereItFitsOnAScreen) {
  const QList<QRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  const QPoint first(10, 10);
  const QSize least(697, 587), frame(2, 24);
  using app::PlaceOnScreens;
  using app::WindowPlace;
  // None kept: the first-run place.
  WindowPlace p = PlaceOnScreens(std::nullopt, screens, first, least, frame);
  EXPECT_EQ(p.framePosition, first);
  EXPECT_EQ(p.size, least);
  // On the second screen: as kept.
  p = PlaceOnScreens(WindowPlace{{2000, 100}, {1000, 800}, false}, screens, first, least, frame);
  EXPECT_EQ(p.framePosition, QPoint(2000, 100));
  EXPECT_EQ(p.size, QSize(1000, 800));
  // That screen gone: the first place, the size kept since it fits there.
  p = PlaceOnScreens(WindowPlace{{2000, 100}, {1000, 800}, true}, {screens[0]}, first, least, frame);
  EXPECT_EQ(p.framePosition, first);
  EXPECT_EQ(p.size, QSize(1000, 800));
  EXPECT_TRUE(p.maximized);
  // Larger than any screen now: the first size as well.
  p = PlaceOnScreens(WindowPlace{{0, 0}, {3000, 2000}, false}, screens, first, least, frame);
  EXPECT_EQ(p.framePosition, first);
  EXPECT_EQ(p.size, least);
  // Smaller than the window can be: the least size.
  p = PlaceOnScreens(WindowPlace{{50, 60}, {100, 100}, false}, screens, first, least, frame);
  EXPECT_EQ(p.framePosition, QPoint(50, 60));
  EXPECT_EQ(p.size, least);
}

TEST_F(Layout, AWiderTitleColumnShowsTheWholeTitleTheFirstWidthTheHandsetsCut) {
  const QString title = QStringLiteral("家族旅行の写真　北海道の夏の思い出");
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "家族旅行の写真　北海道の夏の思い出")});
  ShowWindow();
  LoadCard();
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), QStringLiteral("家族旅行の写真　北…"));
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3, Qt::ToolTipRole), title);
  window->resize(1000, 700);
  QCoreApplication::processEvents();
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), title);
  // A column widened by hand does the same.
  window->resize(FirstSize(window.get()));
  QCoreApplication::processEvents();
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), QStringLiteral("家族旅行の写真　北…"));
  Grid(MediaKind::Image)->horizontalHeader()->resizeSection(3, 300);
  EXPECT_EQ(Cell(MediaKind::Image, 1, 3), title);
}

TEST_F(Layout, TheSizeAndPlaceComeBackAtTheNextRunFromTheSettingsFile) {
  TempDir config;
  const QString file = QString::fromStdString((config.path() / "window.conf").string());
  window->RememberPlaceIn(file);  // nothing kept yet: the first run
  EXPECT_EQ(window->size(), FirstSize(window.get()));
  ShowWindow();
  // A little larger, within the screen there is (800 x 600 headless).
  const QRect screen = window->screen()->availableGeometry();
  const QSize larger(std::max(700, screen.width() - 40), std::max(590, screen.height() - 12));
  window->resize(larger);
  QCoreApplication::processEvents();
  ASSERT_TRUE(window->close());

  const std::optional<app::WindowPlace> kept = app::ReadWindowPlace(file);
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->size, larger);
  EXPECT_FALSE(kept->maximized);

  CardSession nextSession;
  TfrMain next(nextSession);
  next.RememberPlaceIn(file);
  EXPECT_EQ(next.size(), larger);
  // Shown where it stood: no drift from one run to the next. (Placed below
  // where a title bar would be: the headless screen has no window manager.)
  next.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
  next.setGeometry(QRect(QPoint(40, 60), FirstSize(&next)));
  QCoreApplication::processEvents();
  const QRect before = next.geometry();
  ASSERT_TRUE(next.close());
  CardSession thirdSession;
  TfrMain third(thirdSession);
  third.RememberPlaceIn(file);
  third.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&third));
  EXPECT_EQ(third.geometry(), before);
  third.close();

  // A file holding something else is no place.
  QSettings(file, QSettings::IniFormat).setValue("window/size", "wide");
  EXPECT_FALSE(app::ReadWindowPlace(file).has_value());
}

TEST_F(Layout, AMaximizedWindowComesBackMaximizedAndUnmaximizesToItsSize) {
  TempDir config;
  const QString file = QString::fromStdString((config.path() / "window.conf").string());
  window->RememberPlaceIn(file);
  ShowWindow();
  const QSize normal = window->size();
  window->showMaximized();
  QCoreApplication::processEvents();
  ASSERT_TRUE(window->isMaximized());
  ASSERT_TRUE(window->close());

  CardSession nextSession;
  TfrMain next(nextSession);
  next.RememberPlaceIn(file);
  next.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
  EXPECT_TRUE(next.isMaximized());
  next.showNormal();
  QCoreApplication::processEvents();
  EXPECT_EQ(next.size(), normal);
  next.close();
}

}  // namespace
}  // namespace fenmora::testcard
