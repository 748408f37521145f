// The main window as it starts, its enabling rules before any load, the
// card-space display and the drive list.
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QWindow>
#include <QtTest/QTest>
#include <climits>

#include "app/drive_list.h"
#include "app/window_fixture.h"

namespace fenmora::testcard {
namespace {

using MainWindowPlace = WindowTest;

using StartState = WindowTest;

const char* const kListButtons[] = {"btUpImage",  "btDownImage",  "btRenImage",  "btDelImage",
                                    "btAddImage", "btUpMelody",   "btDownMelody", "btRenMelody",
                                    "btDelMelody", "btAddMelody", "btUpMovie",    "btDownMovie",
                                    "btRenMovie", "btDelMovie",   "btAddMovie"};

TEST_F(StartState, WindowCalledFenmoraStartsAtItsLeastSizeAndCanGrow) {
  EXPECT_EQ(window->objectName(), "frMain");
  EXPECT_EQ(window->windowTitle(), "Fenmora");
  // The fixed places' 697 x 587 and the menu bar above them.
  const QSize first(697, 587 + Find("MainMenu")->sizeHint().height());
  EXPECT_EQ(window->size(), first);
  EXPECT_GT(window->maximumSize().width(), 2000);
  EXPECT_GT(window->maximumSize().height(), 2000);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window->font().pixelSize(), 12);
  EXPECT_EQ(window->font().family(), "ＭＳ Ｐゴシック");
}

TEST_F(StartState, EveryControlCarriesItsName) {
  for (const char* name :
       {"pcMain", "tsImage", "tsMelody", "tsMovie", "Label2", "Label3", "Label4", "edImageTitle",
        "edMelodyTitle", "edMovieTitle", "btEditImage", "btEditMelody", "btEditMovie", "sgImage",
        "sgMelody", "sgMovie", "Panel1", "Panel2", "Panel3", "ImageImage", "Image1", "Image2",
        "Panel5", "Image4", "Label6", "Label7", "Label8", "Label1", "curDrive", "btLoadMem", "Label5",
        "cgDiskSpace", "stFree", "btRefreshData", "StaticText1", "DispPrev", "btStopMelody",
        "btBackUp", "btHelp", "btEnd", "Label9", "Image3", "StatusBar"}) {
    int inWindow = 0;  // the about box has a Panel1 and a Label1 of its own
    for (QWidget* w : window->findChildren<QWidget*>(QString::fromUtf8(name))) inWindow += w->window() == window.get();
    EXPECT_EQ(inWindow, 1) << name;
  }
  for (const char* name : kListButtons) Find(name);
}

TEST_F(StartState, ThreeTabsWithTheirCaptionsAndTitleLabels) {
  auto* tabs = Find<QTabWidget>("pcMain");
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->size(), QSize(513, 513));
  EXPECT_EQ(tabs->tabText(0), "　待ち受け画像　");
  EXPECT_EQ(tabs->tabText(1), "　着メロ　　　　");
  EXPECT_EQ(tabs->tabText(2), "　ムービー　　　");
  EXPECT_EQ(tabs->widget(0)->objectName(), "tsImage");
  EXPECT_EQ(tabs->widget(2)->objectName(), "tsMovie");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "待ち受け画像タイトル");
  EXPECT_EQ(Find<QLabel>("Label3")->text(), "着メロタイトル");
  EXPECT_EQ(Find<QLabel>("Label4")->text(), "ムービータイトル");
  // Each page holds its own controls.
  EXPECT_EQ(tabs->widget(1)->findChild<QTableView*>()->objectName(), "sgMelody");
  EXPECT_EQ(tabs->widget(2)->findChild<QLineEdit*>()->objectName(), "edMovieTitle");
}

TEST_F(StartState, GridsShow63BlankRowsUnderTheFourHeaders) {
  window->show();
  const char* headers[] = {"ファイル名", "時刻", "サイズ", "タイトル"};
  const int widths[] = {77, 119, 55, 134};
  for (MediaKind k : kListKinds) {
    QTableView* g = Grid(k);
    ASSERT_EQ(g->model()->columnCount(), 4);
    EXPECT_EQ(Rows(k), 63);
    EXPECT_FALSE(g->currentIndex().isValid());  // nothing to choose before a load
    EXPECT_FALSE(g->selectionModel()->hasSelection());
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(g->model()->headerData(c, Qt::Horizontal).toString(), QString::fromUtf8(headers[c]));
      EXPECT_EQ(g->columnWidth(c), widths[c]);
    }
    for (int r = 1; r <= 63; ++r)
      for (int c = 0; c < 4; ++c) EXPECT_TRUE(Cell(k, r, c).isEmpty());
    EXPECT_EQ(g->rowHeight(0), 16);
    EXPECT_EQ(g->rowHeight(62), 16);
    EXPECT_EQ(g->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(g->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(g->wordWrap());
    EXPECT_TRUE(g->showGrid());
    EXPECT_EQ(g->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(g->font().family(), "ＭＳ ゴシック");
    EXPECT_EQ(g->font().pixelSize(), 12);
    // The four columns fit beside the vertical scroll bar: nothing is cut off.
    if (k == MediaKind::Image) {  // the page shown; the others are laid out when shown
      EXPECT_TRUE(g->verticalScrollBar()->isVisible());
      EXPECT_GE(g->viewport()->width(), 77 + 119 + 55 + 134);
    }
  }
}

TEST_F(StartState, OnlyTheAlwaysAvailableControlsAreEnabled) {
  for (const char* name : kListButtons) EXPECT_FALSE(Find(name)->isEnabled()) << name;
  for (const char* name : {"btEditImage", "btEditMelody", "btEditMovie", "btRefreshData", "btBackUp",
                           "cgDiskSpace"})
    EXPECT_FALSE(Find(name)->isEnabled()) << name;
  for (const char* name : {"curDrive", "btLoadMem", "btStopMelody", "btHelp", "btEnd",
                           "edImageTitle", "edMelodyTitle", "edMovieTitle", "Panel5", "Image3"})
    EXPECT_TRUE(Find(name)->isEnabled()) << name;
}

TEST_F(StartState, CaptionsOfTheRightColumn) {
  EXPECT_EQ(Find<QPushButton>("btStopMelody")->text(), "着メロを演奏しない");
  EXPECT_EQ(Find<QPushButton>("btLoadMem")->text(), "メモリカード読込");
  EXPECT_EQ(Find<QPushButton>("btRefreshData")->text(), "メモリカード更新");
  EXPECT_EQ(Find<QPushButton>("btBackUp")->text(), "データバックアップ");
  EXPECT_EQ(Find<QPushButton>("btHelp")->text(), "ヘルプ");
  EXPECT_EQ(Find<QPushButton>("btEnd")->text(), "終了");
  EXPECT_EQ(Find<QLabel>("Label1")->text(), "ドライブ選択");
  EXPECT_EQ(Find<QLabel>("Label5")->text(), "ディスク容量");
  EXPECT_EQ(Find<QLabel>("stFree")->text(), "");  // no card, no space to tell of
  for (const char* name : {"btEditImage", "btEditMelody", "btEditMovie"})
    EXPECT_EQ(Find<QPushButton>(name)->text(), "修正");
  EXPECT_EQ(Find<QPushButton>("btUpMovie")->text(), "上へ");
  EXPECT_EQ(Find<QPushButton>("btDownMovie")->text(), "下へ");
  EXPECT_EQ(Find<QPushButton>("btRenMovie")->text(), "リナンバ");
  EXPECT_EQ(Find<QPushButton>("btDelMovie")->text(), "削除");
  EXPECT_EQ(Find<QPushButton>("btAddMovie")->text(), "追加");
}

TEST_F(StartState, NoControlOfTheRightColumnOverlapsAnother) {
  std::vector<QWidget*> column;
  for (const char* name : {"Panel5", "Label1", "curDrive", "btLoadMem", "Label5", "cgDiskSpace",
                           "stFree", "btRefreshData", "StaticText1", "btStopMelody", "btBackUp",
                           "btRestore", "btHelp", "btEnd"})
    column.push_back(Find(name));
  for (size_t i = 0; i < column.size(); ++i) {
    EXPECT_TRUE(window->rect().contains(column[i]->geometry())) << column[i]->objectName().toStdString();
    EXPECT_GE(column[i]->x(), 528);
    for (size_t j = i + 1; j < column.size(); ++j)
      EXPECT_FALSE(column[i]->geometry().intersects(column[j]->geometry()))
          << column[i]->objectName().toStdString() << " / " << column[j]->objectName().toStdString();
  }
  EXPECT_EQ(Find("DispPrev")->size(), QSize(145, 145));
  EXPECT_EQ(Find("StaticText1")->size(), QSize(161, 161));
}

using TitleEdits = WindowTest;

TEST_F(TitleEdits, TypingBeforeAnyLoadEnablesThatTabsApplyButtonOnly) {
  QTest::keyClicks(Find("edMelodyTitle"), "abc");
  EXPECT_TRUE(Find("btEditMelody")->isEnabled());
  EXPECT_FALSE(Find("btEditImage")->isEnabled());
  EXPECT_FALSE(Find("btEditMovie")->isEnabled());
  EXPECT_FALSE(Find("btRefreshData")->isEnabled());
}

TEST_F(TitleEdits, TextSetByTheProgramCountsAsAChange) {
  Find<QLineEdit>("edMovieTitle")->setText(QStringLiteral("夕焼け"));
  EXPECT_TRUE(Find("btEditMovie")->isEnabled());
}

// Types the characters one key at a time, as a keyboard (or an input
// method committing them) would.
void Type(QWidget* w, const QString& text) {
  for (QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

TEST_F(TitleEdits, AdmitAtMost64BytesOfShiftJis) {
  auto* edit = Find<QLineEdit>("edImageTitle");
  Type(edit, QString(40, QChar(u'あ')));  // two bytes each
  EXPECT_EQ(edit->text(), QString(32, QChar(u'あ')));
  edit->clear();
  Type(edit, QString(70, QLatin1Char('x')));
  EXPECT_EQ(edit->text().size(), 64);
  edit->clear();
  Type(edit, QString(63, QLatin1Char('x')) + QStringLiteral("あ"));  // 65 bytes
  EXPECT_EQ(edit->text(), QString(63, QLatin1Char('x')));
}

using FreeSpace = WindowTest;

QColor TextColour(QWidget* w) { return w->palette().color(QPalette::WindowText); }
QColor BarColour(QWidget* w) { return w->palette().color(QPalette::Disabled, QPalette::Highlight); }

TEST_F(FreeSpace, Under1000KilobytesTheTextAndTheBarTurnRed) {
  auto* text = Find<QLabel>("stFree");
  auto* bar = Find("cgDiskSpace");
  window->ShowFreeSpace(1023999);
  EXPECT_EQ(text->text(), "残り 999 KB ");
  EXPECT_EQ(TextColour(text), QColor(255, 0, 0));
  EXPECT_EQ(BarColour(bar), QColor(255, 0, 0));

  window->ShowFreeSpace(1024000);
  EXPECT_EQ(text->text(), "残り 1,000 KB ");
  EXPECT_EQ(TextColour(text), QColor(0, 0, 0));
  EXPECT_EQ(BarColour(bar), QColor(0, 0, 128));

  window->ShowFreeSpace(1023);
  EXPECT_EQ(text->text(), "残り 0 KB ");
  EXPECT_EQ(TextColour(text), QColor(255, 0, 0));
}

TEST_F(FreeSpace, TheBarStartsNavyAndIsNeverEnabled) {
  EXPECT_EQ(BarColour(Find("cgDiskSpace")), QColor(0, 0, 128));
  window->ShowFreeSpace(10);
  window->ShowFreeSpace(std::int64_t{5} << 30);
  EXPECT_FALSE(Find("cgDiskSpace")->isEnabled());
}

TEST_F(FreeSpace, GaugeOfACardAbove2GiBIsScaledAndTheTextStaysExact) {
  session.space.Init(std::int64_t{8} << 30, std::int64_t{2} << 30);  // 8 GiB card, 2 GiB free
  window->ShowCardSpace();
  auto* bar = Find<QProgressBar>("cgDiskSpace");
  EXPECT_LE(bar->maximum(), INT_MAX);
  EXPECT_GT(bar->maximum(), 1 << 29);  // scaled, not flattened
  EXPECT_DOUBLE_EQ(static_cast<double>(bar->value()) / bar->maximum(), 0.75);
  EXPECT_EQ(Find<QLabel>("stFree")->text(), "残り 2,097,152 KB ");
  EXPECT_EQ(TextColour(Find("stFree")), QColor(0, 0, 0));
}

TEST_F(FreeSpace, GaugeOfASmallCardHoldsExactBytes) {
  session.space.Init(16'000'000, 900'000);
  window->ShowCardSpace();
  auto* bar = Find<QProgressBar>("cgDiskSpace");
  EXPECT_EQ(bar->maximum(), 16'000'000);
  EXPECT_EQ(bar->value(), 15'100'000);
  EXPECT_EQ(Find<QLabel>("stFree")->text(), "残り 878 KB ");
  EXPECT_EQ(BarColour(bar), QColor(255, 0, 0));
}

using DriveList = WindowTest;

TEST_F(DriveList, AFolderIsAddedOnceAndSelected) {
  auto* drives = Find<QComboBox>("curDrive");
  const int before = drives->count();
  Choose(card.path());
  EXPECT_EQ(drives->count(), before + 1);
  EXPECT_EQ(window->CardRoot(), card.path());
  drives->setCurrentIndex(0);
  Choose(card.path() / "." );
  EXPECT_EQ(drives->count(), before + 1);
  EXPECT_EQ(window->CardRoot(), card.path());
}

TEST_F(DriveList, AFolderHoldingACardIsMarkedAndEveryEntryShowsItsWholeTextAsATip) {
  TempDir plain;
  Choose(plain.path());
  auto* drives = Find<QComboBox>("curDrive");
  EXPECT_EQ(drives->toolTip().toStdString(), plain.path().string());
  EXPECT_FALSE(drives->currentData(app::kCardRole).toBool());
  WriteKind(card.path(), MediaKind::Image, {Item("STIL0001.JPG", "一")});
  Choose(card.path());
  const QString whole = QString::fromStdString("［カード］" + card.path().string());
  EXPECT_EQ(drives->toolTip(), whole);
  EXPECT_TRUE(drives->currentData(app::kCardRole).toBool());
  // The box shows both ends of the entry: the mark and the end of the place.
  EXPECT_TRUE(drives->currentText().startsWith(QStringLiteral("［カード］")));
  EXPECT_TRUE(drives->currentText().endsWith(whole.right(4))) << drives->currentText().toStdString();
  EXPECT_LE(drives->fontMetrics().horizontalAdvance(drives->currentText()), drives->width());
  // The mount table read again: the tips stay, on the box and on each entry.
  window->SetMountTable([] { return std::string(); });
  EXPECT_EQ(drives->toolTip(), whole);
  for (int i = 0; i < drives->count(); ++i)
    EXPECT_FALSE(drives->itemData(i, Qt::ToolTipRole).toString().isEmpty());
}

TEST_F(MainWindowPlace, TheFrameNotTheInnerAreaStandsAtTenTen) {
  ShowWindow();
  QCoreApplication::processEvents();
  // The window system's frame (a title bar and a border here) is placed at
  // (10, 10); the inner area lies inside it.
  const QMargins frame = window->windowHandle()->frameMargins();
  EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(10, 10));
  EXPECT_EQ(window->geometry().topLeft(), QPoint(10 + frame.left(), 10 + frame.top()));
}

TEST(DriveOrder, CardsFirstThenRemovableVolumesInTheirMountOrder) {
  std::vector<app::DriveChoice> drives = {{"/", "/", false, false},
                                          {"/media/a", "/media/a", true, false},
                                          {"/home", "/home", false, false},
                                          {"/media/b", "/media/b (CARD)", true, true},
                                          {"/srv/copy", "/srv/copy", false, true}};
  app::OrderDrives(drives);
  ASSERT_EQ(drives.size(), 5u);
  EXPECT_EQ(drives[0].path, "/media/b");
  EXPECT_EQ(drives[1].path, "/srv/copy");
  EXPECT_EQ(drives[2].path, "/media/a");
  EXPECT_EQ(drives[3].path, "/");
  EXPECT_EQ(drives[4].path, "/home");
  EXPECT_EQ(app::DriveText("/media/b", "CARD"), "CARD  /media/b");
  EXPECT_EQ(app::DriveText("/media/b", "CARD", true), "［カード］CARD  /media/b");
  EXPECT_EQ(app::DriveText("/", ""), "/");
}

}  // namespace
}  // namespace fenmora::testcard
