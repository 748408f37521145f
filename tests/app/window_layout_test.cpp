// The window's layout: at its first size every control stands where it stood
// when the window was built of fixed places; a larger window gives its room to
// the lists; its size and place come back at the next run where they fit.
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

// Each control's place in the window (x, y, width, height) as the window of
// fixed places showed it at 697 x 587, with the images' tab in front; the
// menu bar now stands above them all.
struct Place {
  const char* name;
  QRect rect;
};
const Place kFirstPlaces[] = {
    {"pcMain", {8, 8, 513, 513}},        {"tsImage", {10, 33, 509, 486}},
    {"Label2", {18, 41, 405, 14}},       {"edImageTitle", {18, 58, 405, 22}},
    {"btEditImage", {431, 57, 76, 24}},  {"sgImage", {18, 87, 405, 423}},
    {"Panel1", {431, 87, 76, 44}},       {"ImageImage", {453, 93, 32, 32}},
    {"btUpImage", {431, 139, 76, 26}},   {"btDownImage", {431, 169, 76, 26}},
    {"btRenImage", {431, 424, 76, 26}},  {"btDelImage", {431, 454, 76, 26}},
    {"btAddImage", {431, 484, 76, 26}},  {"Panel5", {528, 8, 161, 52}},
    {"Image4", {536, 18, 32, 32}},       {"Label6", {576, 12, 58, 16}},
    {"Label1", {528, 72, 63, 13}},       {"curDrive", {528, 87, 161, 22}},
    {"btLoadMem", {528, 113, 161, 28}},  {"Label5", {528, 147, 64, 13}},
    {"cgDiskSpace", {528, 162, 161, 14}}, {"stFree", {528, 179, 161, 18}},
    {"btRefreshData", {528, 209, 161, 28}}, {"StaticText1", {528, 249, 161, 161}},
    {"DispPrev", {536, 257, 145, 145}},  {"btStopMelody", {528, 414, 161, 28}},
    // (the backup's row shares its room with "復元" at its right)
    {"btBackUp", {528, 454, 114, 28}},   {"btRestore", {645, 454, 44, 28}},
    {"btHelp", {528, 494, 78, 27}},
    {"btEnd", {611, 494, 78, 27}},       {"Label9", {12, 538, 282, 13}},
    {"StatusBar", {0, 567, 697, 20}},
};

QRect InWindow(QWidget* w) { return QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size()); }

// The window's first size: the fixed places' 697 x 587 and the menu bar.
QSize FirstSize(QWidget* window) {
  return QSize(697, 587 + window->findChild<QWidget*>(QStringLiteral("MainMenu"))->sizeHint().height());
}

// A few pixels either way: labels are as wide as their text, which the
// layout measures where the fixed places were typed in.
constexpr int kTolerance = 3;

TEST_F(Layout, AtTheFirstSizeEveryControlStandsWhereItStood) {
  ShowWindow();
  ASSERT_EQ(window->size(), FirstSize(window.get()));
  const int menu = FirstSize(window.get()).height() - 587;
  for (const Place& p : kFirstPlaces) {
    QWidget* w = Find(p.name);
    ASSERT_NE(w, nullptr);
    const QRect r = InWindow(w);
    // The strip's caption changed its words ("待ち受け"): its place, not its width.
    const int widthTolerance = QByteArray(p.name) == "Label9" ? 20 : kTolerance;
    EXPECT_LE(std::abs(r.x() - p.rect.x()), kTolerance) << p.name;
    EXPECT_LE(std::abs(r.y() - menu - p.rect.y()), kTolerance) << p.name;
    EXPECT_LE(std::abs(r.width() - p.rect.width()), widthTolerance) << p.name;
    EXPECT_LE(std::abs(r.height() - p.rect.height()), kTolerance) << p.name;
  }
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

  // A file holding something else is no place.
  QSettings(file, QSettings::IniFormat).setValue("window/size", "wide");
  EXPECT_FALSE(app::ReadWindowPlace(file).has_value());
}

}  // namespace
}  // namespace fenmora::testcard
