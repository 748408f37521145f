#include "app/main_window.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QUndoStack>
#include <QWindow>
#include <climits>

#include "app/about_box.h"
#include "app/app_texts.h"
#include "app/app_paths.h"
#include "app/drive_list.h"
#include "app/kind_page.h"
#include "app/links.h"
#include "app/qt_prompts.h"
#include "app/widgets.h"
#include "platform/drives.h"
#include "preview/jpeg_decoder.h"
#include "preview/melody_player.h"
#include "sync/load.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::app;

namespace {

// Where the window's frame stands on the screen.
constexpr QPoint kFramePosition(10, 10);

// The right-hand column.
constexpr int kColumnX = 528;
constexpr int kColumnWidth = 161;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* glyph,
                        QRect place) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromUtf8(name));
  b->setGeometry(place);
  if (glyph) {
    const QPixmap picture = DataPixmap(QString::fromUtf8(glyph));
    if (!picture.isNull()) {
      b->setIcon(QIcon(picture));
      b->setIconSize(QSize(16, 16));
    }
  }
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption, int x, int y) {
  auto* l = new QLabel(QString::fromUtf8(caption), parent);
  l->setObjectName(QString::fromUtf8(name));
  l->move(x, y);
  l->adjustSize();
  return l;
}

void SetWhite(QWidget* w) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::white);
  w->setPalette(p);
}

// A colour of a widget's palette in every group: the gauge is always
// disabled, and a disabled bar is drawn with the Disabled group.
void SetColour(QWidget* w, QPalette::ColorRole role, QColor colour) {
  QPalette p = w->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) p.setColor(group, role, colour);
  w->setPalette(p);
}

// The partner banner, decoded by the program's own JPEG decoder. A damaged
// file still shows what could be decoded; a missing one shows nothing.
QPixmap LoadBanner(const QString& path) {
  const JpegDecodeResult decoded = DecodeJpegFile(path);
  return decoded.ok ? QPixmap::fromImage(decoded.image) : QPixmap();
}

}  // namespace

TfrMain::TfrMain(CardSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      session_(session) {
  setObjectName(QStringLiteral("frMain"));
  setWindowTitle(QStringLiteral("Fenmora"));
  setWindowIcon(QIcon(DataPixmap(QStringLiteral("fenmora.png"))));
  setFixedSize(697, 587);
  setFont(PixelFont(kProportionalFace, 12));

  pcMain_ = new QTabWidget(this);
  pcMain_->setObjectName(QStringLiteral("pcMain"));
  pcMain_->setGeometry(8, 8, 513, 513);
  for (MediaKind kind : kListKinds) {
    auto* page = new KindPage(kind, pcMain_);
    pages_[static_cast<size_t>(KindIndex(kind))] = page;
    pcMain_->addTab(page, QString::fromUtf8(page->names().tabCaption));
  }

  BuildRightColumn();
  BuildBottomStrip();

  auto* statusBar = new QStatusBar(this);
  statusBar->setObjectName(QStringLiteral("StatusBar"));
  statusBar->setSizeGripEnabled(false);
  statusBar->setGeometry(0, 567, 697, 20);
  statusPanel_ = new QLabel(statusBar);
  statusPanel_->setObjectName(QStringLiteral("StatusPanel0"));
  statusBar->addWidget(statusPanel_, 1);

  messageBoxes_ = std::make_unique<QtPrompts>(this);
  prompts_ = messageBoxes_.get();
  statusProgress_ = std::make_unique<StatusProgress>(this, statusPanel_);

  for (KindPage* page : pages_) WireListPage(page);
  connect(btRefreshData_, &QPushButton::clicked, this, &TfrMain::CommitToCard);
  connect(btBackUp_, &QPushButton::clicked, this, &TfrMain::BackUpCard);
  connect(btStopMelody_, &QPushButton::clicked, this, &TfrMain::TogglePlayback);

  // The real services; tests put their own in place.
  chooseFiles_ = [this](MediaKind, const QString& filter) {
    return QFileDialog::getOpenFileNames(this, QString(), QString(), filter);
  };
  open_ = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  programFolder_ = QCoreApplication::applicationDirPath().toStdString();
  userDataFolder_ =
      QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();

  // Files dropped anywhere on the window arrive here; the drop decides
  // which list, if any, takes them.
  setAcceptDrops(true);

  // Undo and redo of the list edits, from anywhere in the window (a title
  // edit with the focus undoes its own typing first).
  undoStack_ = new QUndoStack(this);
  connect(undoStack_, &QUndoStack::cleanChanged, this, &TfrMain::UpdateCommitButton);
  QAction* undo = undoStack_->createUndoAction(this);
  undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  QAction* redo = undoStack_->createRedoAction(this);
  redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  addAction(undo);
  addAction(redo);

  readMountTable_ = [] { return ReadMountInfo(); };
  RefreshDriveList();
  WatchMountTable();
}

TfrMain::~TfrMain() {
  // The history goes with the window's children and says it is clean on its
  // way out: the buttons it would update may be gone by then.
  undoStack_->disconnect(this);
  if (mountWatch_) mountWatch_->setEnabled(false);
  if (mountTableFd_ >= 0) ::close(mountTableFd_);
  // The controls are destroyed after this part of the window: a selection
  // change they signal on their way out must not reach it.
  for (KindPage* page : pages_) page->disconnect(this);
}

void TfrMain::WireListPage(KindPage* page) {
  const MediaKind kind = page->kind();
  connect(page, &KindPage::rowChosen, this, [this, kind] {
    if (quietSelection_ == 0) ShowChosenRow(kind);
  });
  connect(page, &KindPage::rowDoubleClicked, this, [this, kind] { OpenChosenItem(kind); });
  connect(page, &KindPage::gridKeyPressed, this, [this, kind](int key) { GridKey(kind, key); });
  connect(page, &KindPage::titleTyped, this, [this, kind] { TitleTyped(kind); });
  connect(page, &KindPage::titleKeyPressed, this, [this, kind](int key) { TitleKey(kind, key); });
  connect(page, &KindPage::editClicked, this, [this, kind] { StoreTitle(kind); });
  connect(page, &KindPage::upClicked, this, [this, kind] { MoveItemUp(kind); });
  connect(page, &KindPage::downClicked, this, [this, kind] { MoveItemDown(kind); });
  connect(page, &KindPage::renumberClicked, this, [this, kind] { RenumberList(kind); });
  connect(page, &KindPage::deleteClicked, this, [this, kind] { DeleteItem(kind); });
  connect(page, &KindPage::addClicked, this, [this, kind] { AddFiles(kind); });
}

void TfrMain::SetBackupFolders(std::filesystem::path programFolder,
                               std::filesystem::path userDataFolder) {
  programFolder_ = std::move(programFolder);
  userDataFolder_ = std::move(userDataFolder);
}

void TfrMain::BuildRightColumn() {
  // Branding: the program's icon, name, version and maker; a click opens the
  // about box, except on the version text.
  auto* panel5 = new ClickLabel(this);
  panel5->setObjectName(QStringLiteral("Panel5"));
  panel5->setGeometry(kColumnX, 8, kColumnWidth, 52);
  panel5->setFrameShape(QFrame::StyledPanel);
  panel5->setFrameShadow(QFrame::Sunken);
  panel5->setCursor(Qt::PointingHandCursor);
  SetWhite(panel5);
  connect(panel5, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* image4 = new ClickLabel(panel5);
  image4->setObjectName(QStringLiteral("Image4"));
  image4->setGeometry(8, 10, 32, 32);
  image4->setPixmap(DataPixmap(QStringLiteral("fenmora-32.png"), {32, 32}));
  connect(image4, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* label6 = new ClickLabel(QStringLiteral("Fenmora"), panel5);
  label6->setObjectName(QStringLiteral("Label6"));
  QFont bold = PixelFont(kProportionalFace, 14);
  bold.setBold(true);
  label6->setFont(bold);
  label6->move(48, 4);
  label6->adjustSize();
  connect(label6, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* label7 = new ClickLabel(QStringLiteral("Version ") + QStringLiteral(FENMORA_VERSION) + QStringLiteral(".0"), panel5);
  label7->setObjectName(QStringLiteral("Label7"));  // takes its clicks and does nothing
  label7->move(48, 22);
  label7->adjustSize();

  auto* label8 = new ClickLabel(QStringLiteral("Fenmora 開発チーム"), panel5);
  label8->setObjectName(QStringLiteral("Label8"));
  label8->move(48, 35);
  label8->adjustSize();
  connect(label8, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  MakeBevel(this, kColumnX, 66, kColumnWidth);

  MakeLabel(this, "Label1", "ドライブ選択", kColumnX, 72);
  curDrive_ = new QComboBox(this);
  curDrive_->setObjectName(QStringLiteral("curDrive"));
  curDrive_->setGeometry(kColumnX, 87, kColumnWidth, 22);
  // Shown while nothing is chosen (no card, no removable volume).
  curDrive_->setPlaceholderText(QString::fromUtf8(app::texts::kChooseDrive));
  // The box is narrow: the whole text of the chosen entry shows as its tip.
  connect(curDrive_, &QComboBox::currentTextChanged, curDrive_, &QWidget::setToolTip);

  QPushButton* btLoadMem = MakeButton(this, "btLoadMem", "メモリカード読込", "load.png",
                          {kColumnX, 113, kColumnWidth, 28});
  connect(btLoadMem, &QPushButton::clicked, this, &TfrMain::LoadChosenCard);

  MakeLabel(this, "Label5", "ディスク容量", kColumnX, 147);
  cgDiskSpace_ = new QProgressBar(this);
  cgDiskSpace_->setObjectName(QStringLiteral("cgDiskSpace"));
  cgDiskSpace_->setGeometry(kColumnX, 162, kColumnWidth, 14);
  cgDiskSpace_->setTextVisible(false);
  cgDiskSpace_->setRange(0, 100);
  cgDiskSpace_->setValue(0);
  cgDiskSpace_->setEnabled(false);  // display only
  SetColour(cgDiskSpace_, QPalette::Highlight, QColor(0, 0, 128));

  stFree_ = new QLabel(QString::fromStdString(FreeSpaceText(0)), this);
  stFree_->setObjectName(QStringLiteral("stFree"));
  stFree_->setGeometry(kColumnX, 179, kColumnWidth, 18);
  stFree_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  stFree_->setFrameShape(QFrame::StyledPanel);
  stFree_->setFrameShadow(QFrame::Sunken);

  MakeBevel(this, kColumnX, 203, kColumnWidth);

  btRefreshData_ = MakeButton(this, "btRefreshData", "メモリカード更新", "commit.png",
                              {kColumnX, 209, kColumnWidth, 28});
  btRefreshData_->setEnabled(false);

  MakeBevel(this, kColumnX, 243, kColumnWidth);

  auto* frame = new QFrame(this);
  frame->setObjectName(QStringLiteral("StaticText1"));
  frame->setGeometry(kColumnX, 249, kColumnWidth, kColumnWidth);
  frame->setFrameShape(QFrame::StyledPanel);
  frame->setFrameShadow(QFrame::Sunken);
  SetWhite(frame);
  dispPrev_ = new QLabel(frame);
  dispPrev_->setObjectName(QStringLiteral("DispPrev"));
  dispPrev_->setGeometry(8, 8, 145, 145);
  dispPrev_->setAlignment(Qt::AlignCenter);

  btStopMelody_ = MakeButton(this, "btStopMelody", "着メロを演奏しない", "melody-off.png",
                             {kColumnX, 414, kColumnWidth, 28});

  MakeBevel(this, kColumnX, 448, kColumnWidth);

  btBackUp_ = MakeButton(this, "btBackUp", "データバックアップ", "backup.png",
                         {kColumnX, 454, kColumnWidth, 28});
  btBackUp_->setEnabled(false);
  BuildRestoreButton();

  MakeBevel(this, kColumnX, 488, kColumnWidth);

  QPushButton* btHelp = MakeButton(this, "btHelp", "ヘルプ", "help.png", {kColumnX, 494, 78, 27});
  connect(btHelp, &QPushButton::clicked, this, &TfrMain::OpenReadMe);
  QPushButton* btEnd = MakeButton(this, "btEnd", "終了", nullptr, {kColumnX + kColumnWidth - 78, 494, 78, 27});
  connect(btEnd, &QPushButton::clicked, this, &QWidget::close);
}

void TfrMain::BuildBottomStrip() {
  auto* label9 = MakeLabel(this, "Label9", "待受け画像のダウンロードはこちらのサイトからどうぞ →", 12, 0);
  auto* image3 = new ClickLabel(this);
  image3->setObjectName(QStringLiteral("Image3"));
  image3->setCursor(Qt::PointingHandCursor);
  QPixmap banner = LoadBanner(DataFile(QStringLiteral("banner.jpg")));
  constexpr int kStripTop = 527, kStripHeight = 36;
  if (!banner.isNull() && banner.height() > kStripHeight)
    banner = banner.scaledToHeight(kStripHeight, Qt::SmoothTransformation);
  const QSize size = banner.isNull() ? QSize(120, kStripHeight) : banner.size();
  image3->setPixmap(banner);
  const int x = label9->x() + label9->width() + 8;
  image3->setGeometry(x, kStripTop + (kStripHeight - size.height()) / 2, size.width(), size.height());
  label9->move(label9->x(), kStripTop + (kStripHeight - label9->height()) / 2);
  connect(image3, &ClickLabel::clicked, this, &TfrMain::OpenPartnerSite);
}

void TfrMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // The window's frame (the window manager's title bar and border) goes to
  // left 10, top 10 of the screen, not its inner area: placed by the inner
  // area, the title bar would stand half above the screen. Asked for as the
  // frame's position now; a window manager that places the inner area there
  // all the same is corrected once the frame is known (PlaceFrame).
  placingFrame_ = true;
  if (QWindow* handle = windowHandle()) handle->setFramePosition(kFramePosition);
  else move(kFramePosition);
}

bool TfrMain::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The frame is known once the window manager has put it around the
  // window, at the latest when the window is first painted or moved.
  if (placingFrame_ && (event->type() == QEvent::Paint || event->type() == QEvent::Move ||
                        event->type() == QEvent::WindowActivate))
    PlaceFrame();
  return handled;
}

void TfrMain::PlaceFrame() {
  QWindow* handle = windowHandle();
  if (!handle || handle->frameMargins().isNull()) return;
  placingFrame_ = false;
  if (handle->framePosition() != kFramePosition) handle->setFramePosition(kFramePosition);
}

Progress& TfrMain::progress() { return *statusProgress_; }

KindPage& TfrMain::Page(MediaKind kind) {
  const int i = KindIndex(kind);
  return *pages_[static_cast<size_t>(i >= 0 && i < 3 ? i : 0)];
}

void TfrMain::AddCardFolder(const QString& folder) {
  const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
  int at = curDrive_->findData(path);
  if (at < 0) {
    addedFolders_ << path;
    curDrive_->addItem(QDir::toNativeSeparators(path), path);
    at = curDrive_->count() - 1;
  }
  curDrive_->setCurrentIndex(at);
}

void TfrMain::SetMountTable(MountTableReader reader) {
  readMountTable_ = std::move(reader);
  RefreshDriveList();
}

void TfrMain::WatchMountTable() {
  // The kernel marks the mount table's file as having an exceptional
  // condition (poll's POLLPRI) whenever a file system is mounted or
  // unmounted: no polling with a timer.
  mountTableFd_ = ::open(kMountInfoPath, O_RDONLY | O_CLOEXEC);
  if (mountTableFd_ < 0) return;  // no mount table: the list stays as it is
  mountWatch_ = new QSocketNotifier(mountTableFd_, QSocketNotifier::Exception, this);
  connect(mountWatch_, &QSocketNotifier::activated, this, &TfrMain::ReadMountTableChange);
}

void TfrMain::ReadMountTableChange() {
  // The change stays signalled until the file is read again from its start.
  char buffer[4096];
  ::lseek(mountTableFd_, 0, SEEK_SET);
  while (::read(mountTableFd_, buffer, sizeof buffer) > 0) {
  }
  RefreshDriveList();
}

void TfrMain::RefreshDriveList() {
  const std::vector<DriveChoice> drives = MountedDrives(readMountTable_ ? readMountTable_() : std::string());
  const QString current = curDrive_->currentData().toString();
  QStringList volumes;
  for (const DriveChoice& d : drives) volumes << d.path;

  // A card that arrives while no card is loaded is the one to load.
  QString arrived;
  if (!session_.loaded || cardGone_) {
    for (const DriveChoice& d : drives)
      if (d.card && !listedVolumes_.contains(d.path)) {
        arrived = d.path;
        break;
      }
  }
  {
    const QSignalBlocker quiet(curDrive_);
    curDrive_->clear();
    for (const DriveChoice& d : drives) {
      curDrive_->addItem(d.text, d.path);
      curDrive_->setItemData(curDrive_->count() - 1, d.card, kCardRole);
    }
    for (const QString& folder : addedFolders_)
      if (!volumes.contains(folder)) curDrive_->addItem(QDir::toNativeSeparators(folder), folder);
    int select = curDrive_->findData(arrived.isEmpty() ? current : arrived);
    // Otherwise a card, else a removable volume; never the system's root,
    // which would be loaded with one careless click.
    for (size_t i = 0; select < 0 && i < drives.size(); ++i)
      if (drives[i].card || drives[i].removable) select = static_cast<int>(i);
    curDrive_->setCurrentIndex(select);
  }
  // The open list is as wide as its longest entry: long mount points and
  // the card mark stay readable although the box itself is narrow.
  curDrive_->view()->setMinimumWidth(curDrive_->view()->sizeHintForColumn(0) + 24);
  listedVolumes_ = volumes;

  const bool leftTheTable = loadedFromVolume_ && !volumes.contains(LoadedRootText());
  if (session_.loaded && !cardGone_ && (leftTheTable || !LoadedCardStillThere())) {
    cardGone_ = true;
    statusPanel_->setText(QString::fromUtf8(app::texts::kCardGone));
    UpdateCommitButton();
  }
}

QString TfrMain::LoadedRootText() const {
  return QDir::cleanPath(QFile::decodeName(QByteArray::fromStdString(session_.cardRoot.native())));
}

bool TfrMain::LoadedCardStillThere() const {
  struct stat st;
  return ::stat(session_.cardRoot.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == loadedDevice_;
}

bool TfrMain::HasUncommittedEdits() const {
  return session_.loaded && (commitDue_ || !undoStack_->isClean());
}

void TfrMain::UpdateCommitButton() {
  btRefreshData_->setEnabled(session_.loaded && !cardGone_ && (commitDue_ || !undoStack_->isClean()));
}

bool TfrMain::AskToDropEdits(const char* question) {
  if (!HasUncommittedEdits()) return true;
  return prompts_->Ask(Prompts::Question::DropEdits, Prompts::Icon::Question, Prompts::Buttons::YesNo,
                       question) == Prompts::Answer::Yes;
}

void TfrMain::closeEvent(QCloseEvent* event) {
  if (AskToDropEdits(app::texts::kDropEditsOnClose)) event->accept();
  else event->ignore();
}

std::filesystem::path TfrMain::CardRoot() const {
  const QString path = curDrive_->currentData().toString();
  return std::filesystem::path(path.toStdString());
}

void TfrMain::InitDiskGauge() {
  const DiskGauge& g = session_.gauge;
  std::int64_t maxValue = g.maxValue < 0 ? 0 : g.maxValue;
  std::int64_t value = std::clamp<std::int64_t>(g.progress, 0, maxValue);
  // The bar holds ints: halve both until the card's size fits.
  while (maxValue > INT_MAX) {
    maxValue >>= 1;
    value >>= 1;
  }
  cgDiskSpace_->setRange(0, static_cast<int>(maxValue));
  cgDiskSpace_->setValue(static_cast<int>(value));
  ShowFreeSpace(g.Free());
}

void TfrMain::ShowFreeSpace(std::int64_t freeBytes) {
  stFree_->setText(QString::fromStdString(FreeSpaceText(freeBytes)));
  const bool low = FreeSpaceIsLow(freeBytes);
  SetColour(stFree_, QPalette::WindowText, low ? QColor(255, 0, 0) : QColor(0, 0, 0));
  SetColour(cgDiskSpace_, QPalette::Highlight, low ? QColor(255, 0, 0) : QColor(0, 0, 128));
}

namespace {

// The load sets the card's gauge values just before it turns the hourglass
// on; showing them at that moment lets the window, repainted with every
// status text, show the new card's space while the tables are read.
class LoadProgress : public Progress {
 public:
  LoadProgress(Progress& inner, TfrMain& window) : inner_(inner), window_(window) {}
  void Status(const std::string& text) override { inner_.Status(text); }
  void Busy(bool on) override {
    if (on && !gaugeShown_) {
      window_.InitDiskGauge();
      gaugeShown_ = true;
    }
    inner_.Busy(on);
  }
  bool Step(long done, long total) override { return inner_.Step(done, total); }

 private:
  Progress& inner_;
  TfrMain& window_;
  bool gaugeShown_ = false;
};

}  // namespace

void TfrMain::LoadChosenCard() {
  if (!AskToDropEdits(app::texts::kDropEditsOnLoad)) return;
  if (CardRoot().empty()) {  // nothing chosen in the drive list
    prompts_->Tell(Prompts::Icon::Error, fenmora::texts::kInsertCard);
    return;
  }
  LoadFrom(CardRoot());
}

LoadResult TfrMain::LoadFrom(const std::filesystem::path& root) {
  LoadProgress loadProgress(progress(), *this);
  const LoadResult result = LoadCard(session_, root, *prompts_, loadProgress);
  if (!result.Completed()) return result;  // declined, or no card: nothing changes
  InitDiskGauge();
  struct stat st;
  loadedDevice_ = ::stat(session_.cardRoot.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_dev) : 0;
  cardGone_ = false;
  loadedFromVolume_ = listedVolumes_.contains(LoadedRootText());
  // Each list shows its first item: selected, its title in the edit, an
  // image in the preview (a melody is not played).
  for (MediaKind kind : kListKinds) {
    RefreshGrid(kind);
    SelectRowQuietly(kind, 1);
    ShowSelection(kind, /*playMelody=*/false);
  }
  for (KindPage* page : pages_) page->EnableListButtons();
  btBackUp_->setEnabled(true);
  btRestore_->setEnabled(true);
  undoStack_->clear();
  // The lists come from the journal of a commit that did not finish: the
  // next commit completes it.
  commitDue_ = result.interrupted;
  UpdateCommitButton();
  return result;
}

void TfrMain::OpenReadMe() {
  const QString readMe = ReadMePath();
  if (readMe.isEmpty()) {
    prompts_->Tell(Prompts::Icon::Warning, std::string(app::texts::kFileNotFound) + app::texts::kReadMeName);
    return;
  }
  if (!open_(readMe)) TellCannotOpen(readMe);
}

void TfrMain::TellCannotOpen(const QString& what) {
  prompts_->Tell(Prompts::Icon::Warning,
                 std::string(app::texts::kCannotOpenFile) + QDir::toNativeSeparators(what).toStdString());
}

void TfrMain::ShowAbout() {
  if (!about_) about_ = new TfrAbout(this);
  about_->move(10, 10);
  about_->exec();
}

void TfrMain::OpenPartnerSite() {
  const QUrl url = LinkUrl(links::kPartnerSite);
  if (!QDesktopServices::openUrl(url))
    prompts_->Tell(Prompts::Icon::Warning, app::texts::kCannotOpenAddress + url.toString().toStdString());
}
