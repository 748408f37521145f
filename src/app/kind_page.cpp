#include "app/kind_page.h"

#include <QApplication>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <algorithm>

#include <QBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QItemSelectionModel>
#include <QListView>
#include <QStackedWidget>
#include <QTableView>

#include "app/app_paths.h"
#include "app/app_texts.h"
#include "app/thumbnails.h"
#include "app/widgets.h"
#include "catalogue/table.h"
#include "platform/cp932.h"

namespace fenmora::app {

namespace {

const KindPageNames kNames[3] = {
    {"tsImage", Say("　待ち受け画像　", "Standby Images"), "Label2", Say("待ち受け画像タイトル", "Standby image title"), "edImageTitle", "btEditImage",
     "sgImage", "Panel1", "ImageImage", "icon-image.png", "btUpImage", "btDownImage", "btRenImage",
     "btDelImage", "btAddImage"},
    {"tsMelody", Say("　着メロ　　　　", "Ring Melodies"), "Label3", Say("着メロタイトル", "Ring melody title"), "edMelodyTitle", "btEditMelody",
     "sgMelody", "Panel2", "Image1", "icon-melody.png", "btUpMelody", "btDownMelody",
     "btRenMelody", "btDelMelody", "btAddMelody"},
    {"tsMovie", Say("　ムービー　　　", "Movies"), "Label4", Say("ムービータイトル", "Movie title"), "edMovieTitle", "btEditMovie",
     "sgMovie", "Panel3", "Image2", "icon-movie.png", "btUpMovie", "btDownMovie", "btRenMovie",
     "btDelMovie", "btAddMovie"},
};

// Layout of a page at the window's least size, in the page's own
// coordinates: the title and the grid on the left, the button column on their
// right. A larger page gives its extra room to the grid; the buttons keep
// their size, "上へ" and "下へ" at the top, the others at the grid's foot.
constexpr int kLeft = 8;
constexpr int kTop = 8;
constexpr int kGridTop = 54;
constexpr int kGridWidth = 405;
constexpr int kGridHeight = 423;
constexpr int kColumnWidth = 76;
constexpr int kButtonHeight = 26;
// What lies right of and below the page's controls: the page of a 513 x 513
// tab control is 509 x 486 in the window's style.
constexpr int kRightMargin = 12;
constexpr int kBottomMargin = 9;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromUtf8(name));
  b->setFixedSize(kColumnWidth, kButtonHeight);
  b->setEnabled(false);
  return b;
}

}  // namespace

const KindPageNames& NamesOf(MediaKind kind) {
  const int i = KindIndex(kind);
  return kNames[i >= 0 && i < 3 ? i : 0];
}

namespace {

// The title column cuts a title that does not fit with "…" (the other
// columns hold short texts of a known width).
class TitleDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideRight;
  }
};

}  // namespace

KindPage::KindPage(MediaKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  const KindPageNames& n = names();
  setObjectName(QString::fromUtf8(n.tab));

  auto* titleLabel = new QLabel(QString::fromUtf8(n.labelCaption), this);
  titleLabel->setObjectName(QString::fromUtf8(n.label));
  titleLabel->setFixedHeight(14);

  titleEdit_ = new QLineEdit(this);
  titleLabel->setBuddy(titleEdit_);
  titleEdit_->setAccessibleName(titleLabel->text());
  titleEdit_->setObjectName(QString::fromUtf8(n.edit));
  titleEdit_->setFixedHeight(22);
  titleEdit_->setMaxLength(static_cast<int>(kTitleFieldBytes));
  titleEdit_->setValidator(new Cp932LengthValidator(kTitleFieldBytes, titleEdit_));

  editButton_ = new QPushButton(QString::fromUtf8(texts::kApply), this);
  editButton_->setObjectName(QString::fromUtf8(n.editButton));
  editButton_->setFixedSize(kColumnWidth, 24);
  editButton_->setEnabled(false);
  // Files dropped on the edit go to the window, which ignores them there,
  // instead of being pasted into the title as text.
  titleEdit_->setAcceptDrops(false);

  // Its rows are added once their header is hidden: a visible row header
  // measures the number of every row (in bold, a face of its own to load)
  // each time the grid_'s geometry changes.
  model_ = new KindModel(kind, this);
  grid_ = new QTableView(this);
  grid_->setObjectName(QString::fromUtf8(n.grid));
  // "待ち受け画像の一覧": the tab's caption without its padding.
  grid_->setAccessibleName(QString::fromStdString(Fill(texts::kListOf, {QString::fromUtf8(n.tabCaption).trimmed().toStdString()})));
  // At first this high; in a low window it keeps a few rows.
  grid_->setMinimumSize(kGridWidth, kGridHeight / 4);
  grid_->setFont(PixelFont(kFixedFace, 12));
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setShowGrid(true);
  grid_->setWordWrap(false);
  // Tab leaves the list for the next control; the arrows walk the rows.
  grid_->setTabKeyNavigation(false);
  grid_->setTextElideMode(Qt::ElideNone);
  grid_->setItemDelegateForColumn(kGridColumns - 1, new TitleDelegate(grid_));
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  grid_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  grid_->setCornerButtonEnabled(false);
  QHeaderView* rows = grid_->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(kRowHeight);
  rows->setDefaultSectionSize(kRowHeight);
  // The columns keep their first widths and can be widened by hand.
  QHeaderView* header = grid_->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Interactive);
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setMinimumSectionSize(1);
  connect(header, &QHeaderView::sectionResized, this, [this](int column) {
    // At the first width the handset's own cut (21 bytes); a wider column
    // shows the whole title, cut by the view where it still does not fit.
    if (column == kTitleColumn) model_->SetWholeTitles(grid_->columnWidth(kTitleColumn) > kColumnWidths[kTitleColumn]);
  });
  header->setFixedHeight(kRowHeight + 2);
  // Blank rows before any load, none of them chosen: there is nothing to
  // choose yet.
  grid_->setModel(model_);
  for (int c = 0; c < kGridColumns; ++c) grid_->setColumnWidth(c, kColumnWidths[c]);

  auto* iconPanel = new QFrame(this);
  iconPanel->setObjectName(QString::fromUtf8(n.iconPanel));
  iconPanel->setFixedSize(kColumnWidth, 44);
  iconPanel->setFrameShape(QFrame::StyledPanel);
  iconPanel->setFrameShadow(QFrame::Sunken);
  iconPanel->setAutoFillBackground(true);
  QPalette white = iconPanel->palette();
  white.setColor(QPalette::Window, Qt::white);
  iconPanel->setPalette(white);
  auto* icon = new QLabel(iconPanel);
  icon->setObjectName(QString::fromUtf8(n.icon));
  icon->setGeometry((kColumnWidth - 32) / 2, 6, 32, 32);
  icon->setAlignment(Qt::AlignCenter);
  icon->setPixmap(DataPixmap(QString::fromUtf8(n.iconFile)));

  QPushButton* up = MakeButton(this, n.up, texts::kUp);
  QPushButton* down = MakeButton(this, n.down, texts::kDown);
  QPushButton* renumber = MakeButton(this, n.renumber, texts::kRenumber);
  deleteButton_ = MakeButton(this, n.remove, texts::kDelete);
  QPushButton* add = MakeButton(this, n.add, texts::kAdd);
  listButtons_ = {up, down, renumber, deleteButton_, add};

  auto* left = new QVBoxLayout;
  left->setSpacing(0);
  left->addWidget(titleLabel);
  left->addSpacing(25 - kTop - 14);
  left->addWidget(titleEdit_);
  left->addSpacing(kGridTop - 25 - 22);
  // The grid, and for images and movies the same rows as thumbnails.
  views_ = new QStackedWidget(this);
  views_->addWidget(grid_);
  if (kind != MediaKind::Melody) {
    thumbnails_ = new Thumbnails(kind, this);
    thumbs_ = new QListView(views_);
    thumbs_->setObjectName(QString::fromUtf8(n.grid).replace(0, 2, QStringLiteral("tv")));  // "tvImage"
    thumbs_->setAccessibleName(grid_->accessibleName());
    thumbs_->setViewMode(QListView::IconMode);
    thumbs_->setMovement(QListView::Static);
    thumbs_->setResizeMode(QListView::Adjust);
    thumbs_->setWrapping(true);
    thumbs_->setUniformItemSizes(true);
    thumbs_->setSpacing(4);
    thumbs_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    thumbs_->setSelectionMode(QAbstractItemView::SingleSelection);
    thumbs_->setItemDelegate(new ThumbnailDelegate(*thumbnails_, thumbs_));
    thumbs_->setModel(model_);
    // One selection for both views: the row chosen in one is chosen in the other.
    QItemSelectionModel* own = thumbs_->selectionModel();
    thumbs_->setSelectionModel(grid_->selectionModel());
    delete own;
    views_->addWidget(thumbs_);
    connect(thumbnails_, &Thumbnails::decoded, thumbs_->viewport(), qOverload<>(&QWidget::update));
    connect(model_, &QAbstractItemModel::rowsInserted, this, &KindPage::HideBlankThumbnails);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, &KindPage::HideBlankThumbnails);
    connect(model_, &QAbstractItemModel::dataChanged, this, &KindPage::HideBlankThumbnails);
    HideBlankThumbnails();
    connect(thumbs_, &QAbstractItemView::pressed, this, [this](const QModelIndex& at) {
      if (at.row() == rowBeforePress_) emit rowChosen();
    });
    connect(thumbs_, &QAbstractItemView::doubleClicked, this, [this] { emit rowDoubleClicked(); });
    thumbs_->installEventFilter(this);
    thumbs_->viewport()->installEventFilter(this);
  }
  left->addWidget(views_, 1);
  auto* right = new QVBoxLayout;
  right->setSpacing(0);
  right->addSpacing(24 - kTop);
  right->addWidget(editButton_);
  right->addSpacing(kGridTop - 24 - 24);
  right->addWidget(iconPanel);
  right->addSpacing(8);
  right->addWidget(up);
  right->addSpacing(4);
  right->addWidget(down);
  right->addStretch(1);
  right->addWidget(renumber);
  right->addSpacing(4);
  right->addWidget(deleteButton_);
  right->addSpacing(4);
  right->addWidget(add);
  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(kLeft, kTop, kRightMargin, kBottomMargin);
  page->setSpacing(8);
  page->addLayout(left, 1);
  page->addLayout(right);

  connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& row, const QModelIndex& previous) {
            if (row.row() != previous.row()) emit rowChosen();
          });
  connect(grid_, &QAbstractItemView::pressed, this, [this](const QModelIndex& at) {
    if (at.row() == rowBeforePress_) emit rowChosen();
  });
  connect(grid_, &QAbstractItemView::doubleClicked, this, [this] { emit rowDoubleClicked(); });
  grid_->installEventFilter(this);
  grid_->viewport()->installEventFilter(this);
  connect(titleEdit_, &QLineEdit::textChanged, this, &KindPage::titleTyped);
  titleEdit_->installEventFilter(this);
  connect(editButton_, &QPushButton::clicked, this, &KindPage::editClicked);
  connect(up, &QPushButton::clicked, this, &KindPage::upClicked);
  connect(down, &QPushButton::clicked, this, &KindPage::downClicked);
  connect(renumber, &QPushButton::clicked, this, &KindPage::renumberClicked);
  connect(deleteButton_, &QPushButton::clicked, this, &KindPage::deleteClicked);
  connect(add, &QPushButton::clicked, this, &KindPage::addClicked);
}

void KindPage::WriteTitle(int row) { model_->TitleChanged(row); }

void KindPage::RefreshRows(const MediaCatalogue& catalogue) {
  model_->Show(catalogue);
  if (!grid_->currentIndex().isValid() && model_->rowCount() > 0) grid_->setCurrentIndex(model_->index(0, 0));
}

void KindPage::EnableListButtons() {
  for (QPushButton* b : listButtons_) b->setEnabled(true);
}

int KindPage::CurrentRow() const {
  const QModelIndex current = grid_->currentIndex();
  return current.isValid() ? current.row() + 1 : 0;
}
int KindPage::RowCount() const { return model_->rowCount(); }

void KindPage::SetCurrentRow(int row) {
  if (row < 1 || row > RowCount()) return;
  grid_->setCurrentIndex(model_->index(row - 1, std::max(0, grid_->currentIndex().column())));
}

bool KindPage::HoldsItem(int viewRow) const { return model_->HoldsItem(viewRow); }

void KindPage::FocusGrid() { views_->currentWidget()->setFocus(); }

bool KindPage::GridHolds(const QWidget* widget) const {
  return widget && (widget == views_ || views_->isAncestorOf(widget));
}

void KindPage::ShowThumbnails(bool on) {
  if (!thumbs_) return;
  const bool focused = views_->currentWidget()->hasFocus();
  views_->setCurrentWidget(on ? static_cast<QWidget*>(thumbs_) : grid_);
  if (on && grid_->currentIndex().isValid()) thumbs_->scrollTo(grid_->currentIndex());
  if (!on && grid_->currentIndex().isValid()) grid_->scrollTo(grid_->currentIndex());
  if (focused) views_->currentWidget()->setFocus();
}

void KindPage::ForgetThumbnails() {
  if (thumbnails_) thumbnails_->Clear();
}

bool KindPage::ThumbnailsShown() const { return thumbs_ && views_->currentWidget() == thumbs_; }

void KindPage::HideBlankThumbnails() {
  for (int r = 0; r < model_->rowCount(); ++r) thumbs_->setRowHidden(r, !model_->HoldsItem(r));
}

QString KindPage::TypedTitle() const { return titleEdit_->text(); }

void KindPage::ShowTitle(const QString& title) {
  if (title.isNull()) titleEdit_->clear();
  else titleEdit_->setText(title);
  editButton_->setEnabled(false);
}

void KindPage::SetEditEnabled(bool on) { editButton_->setEnabled(on); }
bool KindPage::TitlePending() const { return editButton_->isEnabled(); }
void KindPage::FocusTitle() { titleEdit_->setFocus(); }
bool KindPage::DeleteEnabled() const { return deleteButton_->isEnabled(); }

bool KindPage::DragRow(QAbstractItemView* view, QEvent* event) {
  const auto* mouse = dynamic_cast<QMouseEvent*>(event);
  if (!mouse) return false;
  const QPoint at = mouse->position().toPoint();
  // The row under the pointer: by its height in the grid, by the item under
  // it among the thumbnails.
  const auto rowAt = [&](QPoint point) {
    return view == grid_ ? grid_->rowAt(point.y()) : view->indexAt(point).row();
  };
  switch (event->type()) {
    case QEvent::MouseButtonPress:
      dragging_ = false;
      dragFrom_ = mouse->button() == Qt::LeftButton && HoldsItem(rowAt(at)) ? rowAt(at) : -1;
      dragStart_ = at;
      return false;
    case QEvent::MouseMove:
      if (dragFrom_ < 0 || !(mouse->buttons() & Qt::LeftButton)) return false;
      if (!dragging_ && (at - dragStart_).manhattanLength() >= QApplication::startDragDistance()) {
        dragging_ = true;
        view->viewport()->setCursor(Qt::DragMoveCursor);
      }
      // While dragging, the selection stays on the row taken (no melody of
      // every row passed over).
      return dragging_;
    case QEvent::MouseButtonRelease: {
      if (!dragging_) {
        dragFrom_ = -1;
        return false;
      }
      dragging_ = false;
      view->viewport()->unsetCursor();
      const int rows = RowCount();
      int to = rowAt(at);
      if (to < 0) to = at.y() < 0 ? 0 : rows - 1;  // above or below the rows (after the last thumbnail)
      while (to > 0 && !HoldsItem(to)) --to;  // blank rows
      const int from = dragFrom_;
      dragFrom_ = -1;
      if (to != from) emit rowDragged(from + 1, to + 1);
      return true;
    }
    default:
      return false;
  }
}

bool KindPage::eventFilter(QObject* watched, QEvent* event) {
  // The title column takes the room a grid wider than at first gives.
  if (event->type() == QEvent::Resize && watched == grid_)
    grid_->setColumnWidth(kGridColumns - 1,
                          kColumnWidths[kGridColumns - 1] + std::max(0, grid_->width() - kGridWidth));
  if (watched == grid_->viewport() && DragRow(grid_, event)) return true;
  if (thumbs_ && watched == thumbs_->viewport() && DragRow(thumbs_, event)) return true;
  // The keys go on to the control: the signals only add to what it does.
  const bool view = watched == grid_ || (thumbs_ && watched == thumbs_);
  const bool viewport = watched == grid_->viewport() || (thumbs_ && watched == thumbs_->viewport());
  if (event->type() == QEvent::MouseButtonPress && viewport)
    rowBeforePress_ = grid_->currentIndex().isValid() ? grid_->currentIndex().row() : -1;
  else if (event->type() == QEvent::KeyPress && view)
    emit gridKeyPressed(static_cast<QKeyEvent*>(event)->key());
  else if (event->type() == QEvent::KeyPress && watched == titleEdit_)
    emit titleKeyPressed(static_cast<QKeyEvent*>(event)->key());
  return QWidget::eventFilter(watched, event);
}

}  // namespace fenmora::app
