#include "app/main_window.h"
#include "app/movie_side.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QSettings>
#include <QBoxLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QSignalBlocker>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTabWidget>
#include <QUndoStack>
#include <QWindow>
#include <climits>

#include "app/about_box.h"
#include "app/app_texts.h"
#include "app/app_paths.h"
#include "app/card_control.h"
#include "app/card_work.h"
#include "app/drive_box.h"
#include "app/help_view.h"
#include "app/kind_page.h"
#include "app/list_editor.h"
#include "app/links.h"
#include "app/off_thread.h"
#include "app/preview_side.h"
#include "platform/language.h"
#include "platform/cardpath.h"
#include "app/qt_prompts.h"
#include "app/widgets.h"
#include "app/window_place.h"
#include "editing/editing.h"
#include "platform/drives.h"
#include "preview/jpeg_decoder.h"
#include "preview/melody_player.h"
#include "sync/load.h"
#include "sync/texts.h"

using namespace fenmora;
using namespace fenmora::app;

namespace {

// Where the window's frame stands on the screen at the first run, and the
// window's least (and first) size.
constexpr QPoint kFramePosition(10, 10);
constexpr QSize kLeastSize(697, 587);

// The right-hand column: its width, its top (level with the tab control) and
// the room around the sunken line between two groups of its controls.
constexpr int kColumnWidth = 161;
constexpr int kColumnTop = 8;
constexpr int kGroupGap = 6;

// Where the settings file keeps whether the lists show thumbnails.
const QString kThumbnailsKey = QStringLiteral("window/thumbnails");

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, const char* glyph,
                        QSize size) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromUtf8(name));
  b->setFixedSize(size);
  if (glyph) {
    const QPixmap picture = DataPixmap(QString::fromUtf8(glyph));
    if (!picture.isNull()) {
      b->setIcon(QIcon(picture));
      b->setIconSize(QSize(16, 16));
    }
  }
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption) {
  auto* l = new QLabel(QString::fromUtf8(caption), parent);
  l->setObjectName(QString::fromUtf8(name));
  return l;
}

void SetWhite(QWidget* w) {
  w->setAutoFillBackground(true);
  QPalette p = w->palette();
  p.setColor(QPalette::Window, Qt::white);
  w->setPalette(p);
}

// A colour of a widget's palette in every group: the space bar is always
// disabled, and a disabled bar is drawn with the Disabled group.
void SetColour(QWidget* w, QPalette::ColorRole role, QColor colour) {
  QPalette p = w->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) p.setColor(group, role, colour);
  w->setPalette(p);
}

// The window's first size: the 697 x 587 of the form and the menu bar above.
// (The least size is what the layouts need, which fits 800 x 600.)
QSize FirstSize(const QWidget& window) {
  const auto* menu = window.findChild<const QMenuBar*>();
  return kLeastSize + QSize(0, menu ? menu->sizeHint().height() : 0);
}

QStringList LocalFiles(const QMimeData* data) {
  QStringList paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  return paths;
}

// Files are always copied from where they are dropped, never moved: a file
// manager that was told "moved" would delete its file.
template <class Event>
void AcceptAsCopy(Event* event) {
  if (!(event->possibleActions() & Qt::CopyAction)) return event->ignore();
  event->setDropAction(Qt::CopyAction);
  event->accept();
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
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      session_(session) {
  setObjectName(QStringLiteral("frMain"));
  setWindowTitle(QStringLiteral("Fenmora"));
  setWindowIcon(QIcon(DataPixmap(QStringLiteral("fenmora.png"))));
  resize(kLeastSize);
  framePosition_ = kFramePosition;
  setFont(PixelFont(kProportionalFace, 12));

  kindTabs_ = new QTabWidget(this);
  kindTabs_->setObjectName(QStringLiteral("pcMain"));
  // As wide as at first; lower in a small window (800 x 600, or a large
  // screen at scale 2), the lists giving up rows first.
  kindTabs_->setMinimumWidth(513);
  kindTabs_->setAccessibleName(QString::fromUtf8(app::texts::kKindTabsName));
  kindTabs_->tabBar()->setAccessibleName(QString::fromUtf8(app::texts::kKindTabsName));
  for (MediaKind kind : kListKinds) {
    auto* page = new KindPage(kind, kindTabs_);
    page->SetFileOf([this](const MediaEntry& entry) {
      const auto path = ItemPath(entry);
      return path ? QFile::decodeName(QByteArray::fromStdString(path->native())) : QString();
    });
    pages_[static_cast<size_t>(KindIndex(kind))] = page;
    kindTabs_->addTab(page, QString::fromUtf8(page->names().tabCaption));
  }
  connect(kindTabs_, &QTabWidget::currentChanged, this, &TfrMain::ShowTab);

  // The tab control and the right-hand column side by side, the partner strip
  // under them, the status bar at the foot. The tab control takes every
  // pixel a larger window gives.
  auto* top = new QHBoxLayout;
  top->setContentsMargins(8, kColumnTop, 8, 0);
  top->setSpacing(7);
  top->addWidget(kindTabs_, 1);
  top->addLayout(BuildRightColumn());
  auto* window = new QVBoxLayout(this);
  window->setContentsMargins(0, 0, 0, 0);
  window->setSpacing(0);
  window->addLayout(top, 1);
  window->addSpacing(6);
  window->addLayout(BuildBottomStrip());
  window->addSpacing(4);

  auto* statusBar = new QStatusBar(this);
  statusBar->setObjectName(QStringLiteral("StatusBar"));
  statusBar->setSizeGripEnabled(false);
  statusBar->setFixedHeight(20);
  window->addWidget(statusBar);
  statusPanel_ = new QLabel(statusBar);
  statusPanel_->setObjectName(QStringLiteral("StatusPanel0"));
  statusBar->addWidget(statusPanel_, 1);

  messageBoxes_ = std::make_unique<QtPrompts>(this);
  prompts_ = messageBoxes_.get();
  statusProgress_ = std::make_unique<StatusProgress>(this, statusPanel_);

  preview_->SetStatus(progress(), statusPanel_, statusBar);
  preview_->SetPrompts(*prompts_);
  // The melody playing is marked in its row while it plays.
  connect(preview_, &PreviewSide::melodyPlaying, this,
          [this](const QString& file) { editor_->Page(MediaKind::Melody).model()->SetPlaying(file); });
  // The switch turned on: the selected melody starts at once, whichever tab
  // shows.

  // The real services; tests put their own in place.
  open_ = [](const QString& path) { return QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
  openUrl_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

  // Files dropped anywhere on the window arrive here; the drop decides
  // which list, if any, takes them.
  setAcceptDrops(true);

  // Undo and redo of the list edits, from anywhere in the window (a title
  // edit with the focus undoes its own typing first).
  // The card's work: the window shows what it reports.
  card_ = new CardControl(session_, *drives_, this, *statusProgress_);
  card_->SetPrompts(*prompts_);
  work_ = &card_->work();
  connect(work_, &CardWork::stateChanged, this, &TfrMain::FollowCardWork);
  connect(card_, &CardControl::spaceKnown, this, &TfrMain::ShowCardSpace);
  connect(card_, &CardControl::cardLoaded, this, &TfrMain::ShowLoadedCard);
  connect(commitButton_, &QPushButton::clicked, card_, &CardControl::Commit);
  connect(backupButton_, &QPushButton::clicked, card_, &CardControl::BackUp);
  connect(restoreButton_, &QPushButton::clicked, card_, &CardControl::Restore);
  undoStack_ = new QUndoStack(this);
  // The list editing: the window shows what follows an edit.
  editor_ = new ListEditor(session_, pages_, *undoStack_, this, *statusProgress_);
  editor_->SetPrompts(*prompts_);
  editor_->SetFileOps(card_->fileOps());
  connect(editor_, &ListEditor::spaceChanged, this, &TfrMain::ShowCardSpace);
  connect(editor_, &ListEditor::edited, this, &TfrMain::FollowCardWork);
  connect(editor_, &ListEditor::selectionShown, this, &TfrMain::ShowPreviewOf);
  connect(editor_, &ListEditor::openRequested, this, &TfrMain::OpenChosenItem);
  connect(editor_, &ListEditor::pageWanted, this,
          [this](MediaKind kind) { kindTabs_->setCurrentWidget(&editor_->Page(kind)); });
  // The switch turned on: the selected melody starts at once, whichever tab
  // shows.
  connect(preview_, &PreviewSide::playbackSwitchedOn, editor_, [this] { editor_->ShowChosenRow(MediaKind::Melody); });
  connect(undoStack_, &QUndoStack::cleanChanged, work_, [this](bool clean) { work_->EditsChanged(!clean); });
  undoAction_ = undoStack_->createUndoAction(this);
  undoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
  redoAction_ = undoStack_->createRedoAction(this);
  redoAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  addAction(undoAction_);
  addAction(redoAction_);
  connect(card_, &CardControl::historyEnded, this, [this] {
    undoStack_->clear();
    FollowCardWork();
  });

  chooseCardFolder_ = [this](const QString& start) {
    return ChooseFolder(this, QString::fromUtf8(app::texts::kChooseCardFolder), start);
  };
  // The menu bar above everything: the window grows by its height, the
  // controls below keep their places.
  QMenuBar* menu = BuildMenuBar();
  window->setMenuBar(menu);
  resize(FirstSize(*this));

  connect(drives_, &DriveBox::volumesChanged, card_, &CardControl::FollowVolumes);
  drives_->WatchSystemTable();
  // Every control at its place before the window is first shown.
  layout()->activate();
}

TfrMain::~TfrMain() {
  // The history goes with the window's children and says it is clean on its
  // way out: the buttons it would update may be gone by then.
  undoStack_->disconnect(this);
  undoStack_->disconnect(work_);
  drives_->disconnect(card_);
  // The controls are destroyed after this part of the window: a selection
  // change they signal on their way out must not reach it, nor the parts
  // that answer it.
  for (KindPage* page : pages_) page->disconnect(editor_);
  editor_->disconnect(this);
  card_->disconnect(this);
  preview_->disconnect(this);
  work_->disconnect(this);
}

QMenuBar* TfrMain::BuildMenuBar() {
  auto* bar = new QMenuBar(this);
  bar->setObjectName(QStringLiteral("MainMenu"));
  bar->setAccessibleName(QString::fromUtf8(app::texts::kMenuBarName));
  // A command presses its button, so that it runs exactly when the button
  // could be pressed (never while a worker holds the card).
  const auto press = [](QPushButton* button) {
    return [button] {
      if (button->isEnabled() && button->isVisibleTo(button->window())) button->click();
    };
  };
  // The list command of the list in front (its page's button).
  const auto pageButton = [this](const char* KindPageNames::*name) {
    return [this, name] {
      const auto* page = qobject_cast<const KindPage*>(kindTabs_->currentWidget());
      if (!page || !kindTabs_->isEnabled()) return;
      if (auto* b = page->findChild<QPushButton*>(QString::fromUtf8(page->names().*name)); b && b->isEnabled())
        b->click();
    };
  };
  const auto command = [this](QMenu* menu, const char* name, const char* caption, const QKeySequence& key,
                              const std::function<void()>& run) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, run);
    addAction(action);  // the shortcut works with the menu closed
    return action;
  };
  const auto button = [this](const char* name) { return findChild<QPushButton*>(QString::fromUtf8(name)); };

  QMenu* file = bar->addMenu(QString::fromUtf8(app::texts::kMenuFile));
  command(file, "acOpenFolder", app::texts::kOpenFolderAsCard, QKeySequence(Qt::CTRL | Qt::Key_O),
          [this] { OpenFolderAsCard(); });
  file->addSeparator();
  command(file, "acQuit", app::texts::kQuit, QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });

  QMenu* edit = bar->addMenu(QString::fromUtf8(app::texts::kMenuEdit));
  undoAction_->setText(QString::fromUtf8(app::texts::kUndo));
  redoAction_->setText(QString::fromUtf8(app::texts::kRedo));
  edit->addAction(undoAction_);
  edit->addAction(redoAction_);
  edit->addSeparator();
  command(edit, "acUp", app::texts::kMenuUp, QKeySequence(), pageButton(&KindPageNames::up));
  command(edit, "acDown", app::texts::kMenuDown, QKeySequence(), pageButton(&KindPageNames::down));
  command(edit, "acRenumber", app::texts::kMenuRenumber, QKeySequence(), pageButton(&KindPageNames::renumber));
  // Delete acts on the list only while the focus is in the list's page (a
  // title edit keeps the key for its own text).
  command(edit, "acDelete", app::texts::kMenuDelete, QKeySequence(Qt::Key_Delete), [this, pageButton] {
    if (kindTabs_->isAncestorOf(QApplication::focusWidget())) pageButton (&KindPageNames::remove)();
  });
  command(edit, "acAdd", app::texts::kMenuAdd, QKeySequence(), pageButton(&KindPageNames::add));

  // The lists as a grid or as thumbnails, kept for the next run.
  QMenu* view = bar->addMenu(QString::fromUtf8(app::texts::kMenuView));
  auto* views = new QActionGroup(this);
  viewList_ = command(view, "acViewList", app::texts::kViewList, QKeySequence(), [this] { ShowThumbnails(false); });
  viewThumbnails_ =
      command(view, "acViewThumbnails", app::texts::kViewThumbnails, QKeySequence(), [this] { ShowThumbnails(true); });
  for (QAction* a : {viewList_, viewThumbnails_}) {
    a->setCheckable(true);
    views->addAction(a);
  }
  viewList_->setChecked(true);

  QMenu* card = bar->addMenu(QString::fromUtf8(app::texts::kMenuCard));
  command(card, "acLoad", app::texts::kMenuLoad, QKeySequence(Qt::Key_F5), press(button("btLoadMem")));
  command(card, "acCommit", app::texts::kMenuCommit, QKeySequence(Qt::CTRL | Qt::Key_S), press(commitButton_));
  card->addSeparator();
  command(card, "acBackup", app::texts::kMenuBackup, QKeySequence(Qt::CTRL | Qt::Key_B), press(backupButton_));
  command(card, "acRestore", app::texts::kMenuRestore, QKeySequence(), press(restoreButton_));

  QMenu* help = bar->addMenu(QString::fromUtf8(app::texts::kMenuHelp));
  command(help, "acHelp", app::texts::kMenuHelpCommand, QKeySequence(Qt::Key_F1), press(button("btHelp")));
  command(help, "acAbout", app::texts::kMenuAbout, QKeySequence(), [this] { ShowAbout(); });
  // The window's language: named in both languages, so that a reader of
  // either finds it; kept for the next start.
  help->addSeparator();
  QMenu* language = help->addMenu(QString::fromUtf8(app::texts::kMenuLanguage));
  language->setObjectName(QStringLiteral("mnLanguage"));
  auto* languages = new QActionGroup(this);
  const std::optional<Language> chosen = LanguageSetting();
  struct Choice {
    const char* name;
    const char* caption;
    std::optional<Language> language;
  };
  for (const Choice& c : {Choice{"acLanguageSystem", app::texts::kLanguageSystem, std::nullopt},
                          Choice{"acLanguageJapanese", app::texts::kLanguageJapanese, Language::Japanese},
                          Choice{"acLanguageEnglish", app::texts::kLanguageEnglish, Language::English}}) {
    QAction* a = language->addAction(QString::fromUtf8(c.caption));
    a->setObjectName(QString::fromUtf8(c.name));
    a->setCheckable(true);
    a->setChecked(chosen == c.language);
    languages->addAction(a);
    connect(a, &QAction::triggered, this, [this, choice = c.language] {
      if (SaveLanguageSetting(choice)) prompts_->Tell(Prompts::Icon::Information, app::texts::kLanguageNextStart);
      else prompts_->Tell(Prompts::Icon::Warning, app::texts::kLanguageNotSaved);
    });
  }

  // Each menu shows which of its commands can run now.
  for (QMenu* menu : {file, edit, view, card, help})
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
      const auto* page = qobject_cast<const KindPage*>(kindTabs_->currentWidget());
      for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        QPushButton* b = name == QLatin1String("acLoad")     ? findChild<QPushButton*>(QStringLiteral("btLoadMem"))
                         : name == QLatin1String("acCommit") ? commitButton_
                         : name == QLatin1String("acBackup") ? backupButton_
                         : name == QLatin1String("acRestore") ? restoreButton_
                                                              : nullptr;
        const char* KindPageNames::*listCommand =
            name == QLatin1String("acUp")         ? &KindPageNames::up
            : name == QLatin1String("acDown")     ? &KindPageNames::down
            : name == QLatin1String("acRenumber") ? &KindPageNames::renumber
            : name == QLatin1String("acDelete")   ? &KindPageNames::remove
            : name == QLatin1String("acAdd")      ? &KindPageNames::add
                                                  : nullptr;
        if (listCommand && page)
          b = page->findChild<QPushButton*>(QString::fromUtf8(page->names().*listCommand));
        if (b) action->setEnabled(b->isEnabled() && kindTabs_->isEnabled());
      }
    });
  return bar;
}

void TfrMain::OpenFolderAsCard() {
  if (work_->Busy()) return;
  const QString folder = chooseCardFolder_(QDir::homePath());
  if (folder.isEmpty()) return;
  AddCardFolder(folder);
  card_->LoadChosen();
}

void TfrMain::SetBackupFolders(std::filesystem::path programFolder,
                               std::filesystem::path userDataFolder) {
  card_->SetBackupFolders(std::move(programFolder), std::move(userDataFolder));
}

void TfrMain::SetPrompts(Prompts& prompts) {
  prompts_ = &prompts;
  card_->SetPrompts(prompts);
  preview_->SetPrompts(prompts);
  editor_->SetPrompts(prompts);
}

MelodyPlayer* TfrMain::melodyPlayer() const { return preview_->player(); }

std::optional<std::filesystem::path> TfrMain::ItemPath(const MediaEntry& entry) const {
  if (entry.queued) return std::filesystem::path(entry.sourceFolder) / entry.sourceName;
  if (!session_.loaded) return std::nullopt;
  return ResolveCardPath(session_.cardRoot, entry.sourceFolder, entry.sourceName);
}

void TfrMain::ShowTab(int index) {
  const auto* page = qobject_cast<const KindPage*>(kindTabs_->widget(index));
  if (!page || !banner_) return;
  banner_->setText(QString::fromUtf8(fenmora::texts::Of(app::texts::kBanner, page->kind())));
  // The pane belongs to the images: on the other tabs it is empty, and the
  // selected image comes back with its tab.
  if (page->kind() != MediaKind::Image) return preview_->Clear();
  preview_->ShowImage(session_.Catalogue(MediaKind::Image).EntryAtRow(SelectedRow(MediaKind::Image)));
}

void TfrMain::OpenChosenItem(MediaKind kind) {
  if (kind == MediaKind::Melody) {
    // The desktop's player gets the melody without competition, and further
    // selections stay silent until playback is switched on again.
    preview_->StopMelody();
    preview_->SetPlayback(false);
  }
  const MediaEntry* entry = session_.Catalogue(kind).EntryAtRow(SelectedRow(kind));
  if (!entry) return;
  if (const auto path = ItemPath(*entry)) {
    const QString file = QFile::decodeName(QByteArray::fromStdString(path->native()));
    if (!open_(file)) TellCannotOpen(file);
  }
}

void TfrMain::SetFileOps(FileOps& ops) {
  card_->SetFileOps(ops);
  editor_->SetFileOps(ops);
}
void TfrMain::SetFileChooser(FileChooser chooser) { editor_->SetFileChooser(std::move(chooser)); }
int TfrMain::SelectedRow(MediaKind kind) const { return editor_->SelectedRow(kind); }
void TfrMain::SetBackupChooser(FolderChooser chooser) { card_->SetBackupChooser(std::move(chooser)); }
void TfrMain::SetProgressDelay(int milliseconds) { card_->SetProgressDelay(milliseconds); }
CardWork& TfrMain::cardWork() const { return *work_; }

QVBoxLayout* TfrMain::BuildRightColumn() {
  // The column: groups of controls one under the other, a sunken line
  // between groups; a taller window lengthens it in the middle.
  auto* column = new QVBoxLayout;
  column->setSpacing(0);
  const auto gap = [column](int pixels) { column->addSpacing(pixels); };
  const auto add = [column](QWidget* widget) {
    // A caption is as wide as its text; everything else fills the column.
    column->addWidget(widget, 0, qobject_cast<ClickLabel*>(widget) || !qobject_cast<QLabel*>(widget)
                                     ? Qt::Alignment()
                                     : Qt::AlignLeft);
  };
  const auto line = [this, column, gap] {
    gap(kGroupGap);
    column->addWidget(MakeBevel(this));
    gap(kGroupGap - 2);
  };
  const QSize button(kColumnWidth, 28);

  // Branding: the program's icon, name, version and maker; a click opens the
  // about box, except on the version text.
  auto* branding = new ClickLabel(this);
  branding->setObjectName(QStringLiteral("Panel5"));
  branding->setFixedSize(kColumnWidth, 52);
  branding->setFrameShape(QFrame::StyledPanel);
  branding->setFrameShadow(QFrame::Sunken);
  branding->setCursor(Qt::PointingHandCursor);
  SetWhite(branding);
  connect(branding, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* brandIcon = new ClickLabel(branding);
  brandIcon->setObjectName(QStringLiteral("Image4"));
  brandIcon->setFixedSize(32, 32);
  brandIcon->setPixmap(DataPixmap(QStringLiteral("fenmora-32.png"), {32, 32}));
  connect(brandIcon, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* brandName = new ClickLabel(QStringLiteral("Fenmora"), branding);
  brandName->setObjectName(QStringLiteral("Label6"));
  QFont bold = PixelFont(kProportionalFace, 14);
  bold.setBold(true);
  brandName->setFont(bold);
  connect(brandName, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* versionText = new ClickLabel(QString::fromUtf8(app::texts::kVersionPrefix) + QStringLiteral(FENMORA_VERSION) + QStringLiteral(".0"), branding);
  versionText->setObjectName(QStringLiteral("Label7"));  // takes its clicks and does nothing

  auto* makerName = new ClickLabel(QString::fromUtf8(app::texts::kMakerName), branding);
  makerName->setObjectName(QStringLiteral("Label8"));
  connect(makerName, &ClickLabel::clicked, this, &TfrMain::ShowAbout);

  auto* brandTexts = new QVBoxLayout;
  brandTexts->setSpacing(0);
  brandTexts->addWidget(brandName);
  brandTexts->addWidget(versionText);
  brandTexts->addWidget(makerName);
  auto* brandRow = new QHBoxLayout(branding);
  brandRow->setContentsMargins(6, 2, 2, 2);
  brandRow->setSpacing(6);
  brandRow->addWidget(brandIcon, 0, Qt::AlignVCenter);
  brandRow->addLayout(brandTexts, 1);
  add(branding);
  line();

  QLabel* driveLabel = MakeLabel(this, "Label1", app::texts::kDriveLabel);
  add(driveLabel);
  drives_ = new DriveBox(this, [this](const QString& folder) {
    return HoldsCardLayout(std::filesystem::path(QFile::encodeName(folder).toStdString()), card_->fileOps());
  });
  driveList_ = drives_->box();
  driveLabel->setBuddy(driveList_);
  driveList_->setAccessibleName(driveLabel->text());
  driveList_->setFixedWidth(kColumnWidth);
  add(driveList_);
  gap(4);
  QPushButton* btLoadMem = MakeButton(this, "btLoadMem", app::texts::kLoadButton, "load.png", button);
  connect(btLoadMem, &QPushButton::clicked, this, [this] { card_->LoadChosen(); });
  add(btLoadMem);
  gap(kGroupGap);

  QLabel* spaceLabel = MakeLabel(this, "Label5", app::texts::kDiskSpaceLabel);
  add(spaceLabel);
  spaceBar_ = new QProgressBar(this);
  spaceLabel->setBuddy(spaceBar_);
  spaceBar_->setAccessibleName(spaceLabel->text());
  spaceBar_->setObjectName(QStringLiteral("cgDiskSpace"));
  spaceBar_->setFixedSize(kColumnWidth, 14);
  spaceBar_->setTextVisible(false);
  spaceBar_->setRange(0, 100);
  spaceBar_->setValue(0);
  spaceBar_->setEnabled(false);  // display only
  SetColour(spaceBar_, QPalette::Highlight, QColor(0, 0, 128));
  add(spaceBar_);
  gap(3);
  // Empty until a card is loaded: there is no space to tell of yet.
  freeSpace_ = new QLabel(this);
  freeSpace_->setObjectName(QStringLiteral("stFree"));
  freeSpace_->setAccessibleName(QString::fromUtf8(app::texts::kFreeSpaceName));
  freeSpace_->setFixedWidth(kColumnWidth);
  freeSpace_->setMinimumHeight(18);
  freeSpace_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  freeSpace_->setFrameShape(QFrame::StyledPanel);
  freeSpace_->setFrameShadow(QFrame::Sunken);
  column->addWidget(freeSpace_);
  line();

  commitButton_ = MakeButton(this, "btRefreshData", app::texts::kCommitButton, "commit.png", button);
  commitButton_->setEnabled(false);
  add(commitButton_);
  line();

  // The preview, and under it the playback switch. (The pane alone gives up
  // height when the window is low.)
  preview_ = new PreviewSide(this, kColumnWidth, [this](const MediaEntry& entry) { return ItemPath(entry); });
  add(preview_->frame());
  gap(4);
  preview_->playbackSwitch()->setFixedSize(button);
  add(preview_->playbackSwitch());

  // A taller window lengthens the column here: the card's work stays at the
  // top, backup, help and exit at the foot, level with the lists' foot.
  column->addStretch(1);
  line();

  // The backup's row: room for more buttons about backups beside it.
  backupButton_ = MakeButton(this, "btBackUp", app::texts::kBackupButton, "backup.png", button);
  backupButton_->setEnabled(false);
  backupButton_->setMinimumWidth(0);
  backupButton_->setMaximumWidth(QWIDGETSIZE_MAX);
  // "復元" gives the right part of the backup's row. (Its caption may be
  // cut rather than widen the column.)
  restoreButton_ = new QPushButton(QString::fromUtf8(fenmora::texts::kRestoreButton), this);
  restoreButton_->setObjectName(QStringLiteral("btRestore"));
  restoreButton_->setFixedSize(44, 28);
  restoreButton_->setToolTip(QString::fromUtf8(fenmora::texts::kChooseBackup));
  restoreButton_->setEnabled(false);
  backupButton_->setSizePolicy(QSizePolicy::Ignored, backupButton_->sizePolicy().verticalPolicy());
  auto* backupRow = new QHBoxLayout;
  backupRow->setObjectName(QStringLiteral("BackupRow"));
  backupRow->setSpacing(3);
  backupRow->addWidget(backupButton_);
  backupRow->addWidget(restoreButton_);
  column->addLayout(backupRow);
  line();

  QPushButton* btHelp = MakeButton(this, "btHelp", app::texts::kHelpButton, "help.png", {78, 27});
  connect(btHelp, &QPushButton::clicked, this, &TfrMain::OpenReadMe);
  QPushButton* btEnd = MakeButton(this, "btEnd", app::texts::kExitButton, nullptr, {78, 27});
  connect(btEnd, &QPushButton::clicked, this, &QWidget::close);
  auto* endRow = new QHBoxLayout;
  endRow->setSpacing(0);
  endRow->addWidget(btHelp);
  endRow->addStretch(1);
  endRow->addWidget(btEnd);
  column->addLayout(endRow);
  return column;
}

QHBoxLayout* TfrMain::BuildBottomStrip() {
  constexpr int kStripHeight = 36;
  banner_ = MakeLabel(this, "Label9", fenmora::texts::Of(app::texts::kBanner, MediaKind::Image));
  auto* partnerLogo = new ClickLabel(this);
  partnerLogo->setObjectName(QStringLiteral("Image3"));
  partnerLogo->setCursor(Qt::PointingHandCursor);
  QPixmap banner = LoadBanner(DataFile(QStringLiteral("banner.jpg")));
  if (!banner.isNull() && banner.height() > kStripHeight)
    banner = banner.scaledToHeight(kStripHeight, Qt::SmoothTransformation);
  partnerLogo->setPixmap(banner);
  partnerLogo->setFixedSize(banner.isNull() ? QSize(120, kStripHeight) : banner.size());
  connect(partnerLogo, &ClickLabel::clicked, this, &TfrMain::OpenPartnerSite);
  auto* strip = new QHBoxLayout;
  strip->setContentsMargins(12, 0, 0, 0);
  strip->setSpacing(8);
  strip->addWidget(banner_, 0, Qt::AlignVCenter);
  strip->addWidget(partnerLogo, 0, Qt::AlignVCenter);
  strip->addStretch(1);
  // The strip's height, whatever the banner's.
  strip->addStrut(kStripHeight);
  return strip;
}

void TfrMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // Its geometry kept from the last run: Qt has put it in place.
  if (placeRestored_) return;
  // The window's frame (the window manager's title bar and border) goes to
  // left 10, top 10 of the screen, not its inner area: placed by the inner
  // area, the title bar would stand half above the screen. Asked for as the
  // frame's position now; a window manager that places the inner area there
  // all the same is corrected once the frame is known (PlaceFrame).
  placingFrame_ = true;
  if (QWindow* handle = windowHandle()) handle->setFramePosition(framePosition_);
  else move(framePosition_);
  if (startMaximized_) setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrMain::RememberPlaceIn(const QString& settingsFile) {
  placeSettings_ = settingsFile;
  ShowThumbnails(QSettings(settingsFile, QSettings::IniFormat).value(kThumbnailsKey, false).toBool());
  // The geometry of the last run, as Qt kept it; otherwise the place kept
  // by earlier versions, or the first-run place.
  placeRestored_ = RestoreWindowGeometry(*this, settingsFile);
  if (placeRestored_) return;
  const WindowPlace place = PlaceOnScreens(ReadWindowPlace(settingsFile), AvailableScreenAreas(),
                                           kFramePosition, FirstSize(*this), QSize());
  framePosition_ = place.framePosition;
  startMaximized_ = place.maximized;
  resize(place.size);
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
  if (handle->framePosition() != framePosition_) handle->setFramePosition(framePosition_);
}

Progress& TfrMain::progress() { return *statusProgress_; }

void TfrMain::ShowPreviewOf(MediaKind kind, const MediaEntry* entry, bool playMelody) {
  // The pane shows the selected image or nothing, never an item that is
  // no longer in the list; the images' only while their page is in front.
  if (kind == MediaKind::Image)
    preview_->ShowImage(kindTabs_->currentWidget() == &editor_->Page(MediaKind::Image) ? entry : nullptr);
  if (!entry) return;
  if (kind == MediaKind::Melody && playMelody) preview_->PlayMelody(*entry);
  else if (kind == MediaKind::Movie) preview_->ShowMovie(*entry);
}

void TfrMain::AddCardFolder(const QString& folder) { drives_->AddFolder(folder); }

void TfrMain::SetMountTable(MountTableReader reader) { drives_->SetMountTable(std::move(reader)); }

bool TfrMain::LoadedCardGone() const { return work_->state() == CardWork::State::Pulled; }

bool TfrMain::HasUncommittedEdits() const { return work_->HoldsEdits(); }

void TfrMain::FollowCardWork() {
  const bool busy = work_->Busy();
  commitButton_->setEnabled(work_->CommitDue());
  backupButton_->setEnabled(work_->CardThere());
  restoreButton_->setEnabled(work_->CardThere());
  // While a worker holds the card and the lists, nothing else starts.
  kindTabs_->setEnabled(!busy);
  driveList_->setEnabled(!busy);
  drives_->SetLoaded(work_->state() != CardWork::State::NoCard ? card_->LoadedRootText() : QString());
  if (auto* load = findChild<QPushButton*>(QStringLiteral("btLoadMem"))) load->setEnabled(!busy);
  undoAction_->setEnabled(!busy && undoStack_->canUndo());
  redoAction_->setEnabled(!busy && undoStack_->canRedo());
}

void TfrMain::closeEvent(QCloseEvent* event) {
  // A worker is writing the card: the window stays until it is done.
  if (work_->Busy()) return event->ignore();
  if (!card_->AskToDropEdits(app::texts::kDropEditsOnClose)) return event->ignore();
  event->accept();
  // The size and place of the window as it would stand unmaximized.
  WindowPlace place;
  const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  place.framePosition = normal.topLeft() - QPoint(frame.left(), frame.top());
  place.size = normal.size();
  place.maximized = isMaximized();
  WriteWindowPlace(placeSettings_, place);
  SaveWindowGeometry(*this, placeSettings_);
}

std::filesystem::path TfrMain::CardRoot() const {
  return std::filesystem::path(drives_->Chosen().toStdString());
}

void TfrMain::ShowCardSpace() {
  const CardSpace& space = session_.space;
  std::int64_t capacity = space.capacity < 0 ? 0 : space.capacity;
  std::int64_t used = std::clamp<std::int64_t>(space.used, 0, capacity);
  // The bar holds ints: halve both until the card's size fits.
  while (capacity > INT_MAX) {
    capacity >>= 1;
    used >>= 1;
  }
  spaceBar_->setRange(0, static_cast<int>(capacity));
  spaceBar_->setValue(static_cast<int>(used));
  ShowFreeSpace(space.Free());
}

void TfrMain::ShowFreeSpace(std::int64_t freeBytes) {
  freeSpace_->setText(QString::fromStdString(FreeSpaceText(freeBytes)));
  const bool low = FreeSpaceIsLow(freeBytes);
  SetColour(freeSpace_, QPalette::WindowText, low ? QColor(255, 0, 0) : QColor(0, 0, 0));
  SetColour(spaceBar_, QPalette::Highlight, low ? QColor(255, 0, 0) : QColor(0, 0, 128));
}

void TfrMain::ShowThumbnails(bool on) {
  for (KindPage* page : pages_) page->ShowThumbnails(on);
  (on ? viewThumbnails_ : viewList_)->setChecked(true);
  if (!placeSettings_.isEmpty()) QSettings(placeSettings_, QSettings::IniFormat).setValue(kThumbnailsKey, on);
}

void TfrMain::ShowLoadedCard() {
  // Each list shows its first item: selected, its title in the edit, an
  // image in the preview (a melody is not played). The pane shows the first
  // item of the list in front (another list's movie picture, coming later
  // from its worker, would take its place).
  editor_->ShowLoadedLists();
  if (const auto* front = qobject_cast<const KindPage*>(kindTabs_->currentWidget()))
    editor_->ShowSelection(front->kind(), /*playMelody=*/false);
}

void TfrMain::OpenReadMe() {
  const QString readMe = ReadMePath();
  if (readMe.isEmpty()) {
    prompts_->Tell(Prompts::Icon::Warning, std::string(app::texts::kFileNotFound) + app::texts::kReadMeName);
    return;
  }
  // A desktop with no application for text files: the window shows it.
  if (!open_(readMe)) ShowReadMeHere(readMe);
}

void TfrMain::ShowReadMeHere(const QString& path) {
  if (!help_) help_ = new HelpView(this);
  if (!help_->Open(path)) {
    TellCannotOpen(path);
    return;
  }
  if (!help_->isVisible()) help_->move(CentredOn(*this, help_->size()));
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void TfrMain::TellCannotOpen(const QString& what) {
  prompts_->Tell(Prompts::Icon::Warning,
                 std::string(app::texts::kCannotOpenFile) + QDir::toNativeSeparators(what).toStdString());
}

void TfrMain::ShowAbout() {
  if (!about_) about_ = new TfrAbout(this);
  about_->SetLinkService(openUrl_, prompts_);
  about_->move(CentredOn(*this, about_->size()));
  about_->exec();
}

void TfrMain::OpenPartnerSite() {
  const QUrl url = LinkUrl(links::kPartnerSite);
  if (!openUrl_(url))
    prompts_->Tell(Prompts::Icon::Warning, app::texts::kCannotOpenAddress + url.toString().toStdString());
}

// Files dropped anywhere on the window arrive here; the list they are dropped
// on, if any, takes them.
void TfrMain::dragEnterEvent(QDragEnterEvent* event) {
  // Before a card is loaded there is no list to drop on.
  if (session_.loaded && !LocalFiles(event->mimeData()).isEmpty()) AcceptAsCopy(event);
  else event->ignore();
}

void TfrMain::dragMoveEvent(QDragMoveEvent* event) {
  // Only the three lists take files; elsewhere the pointer says so.
  if (session_.loaded && editor_->ListKindOf(childAt(event->position().toPoint()))) AcceptAsCopy(event);
  else event->ignore();
}

void TfrMain::dropEvent(QDropEvent* event) {
  const std::optional<MediaKind> kind =
      session_.loaded ? editor_->ListKindOf(childAt(event->position().toPoint())) : std::nullopt;
  if (!kind) {
    event->ignore();  // anywhere else: nothing, and no message
    return;
  }
  const QStringList paths = LocalFiles(event->mimeData());
  AcceptAsCopy(event);
  if (!isActiveWindow()) {  // the files came from another application
    raise();
    activateWindow();
  }
  editor_->QueueFiles(*kind, paths, /*refuseOtherTypes=*/true);
}
