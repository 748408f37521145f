#include "app/kind_page.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "app/app_paths.h"
#include "app/widgets.h"
#include "catalogue/table.h"
#include "platform/cp932.h"

namespace fenmora::app {

namespace {

const KindPageNames kNames[3] = {
    {"tsImage", "　待受け画像　", "Label2", "待受け画像タイトル", "edImageTitle", "btEditImage",
     "sgImage", "Panel1", "ImageImage", "icon-image.png", "btUpImage", "btDownImage", "btRenImage",
     "btDelImage", "btAddImage"},
    {"tsMelody", "　着メロ　　　", "Label3", "着メロタイトル", "edMelodyTitle", "btEditMelody",
     "sgMelody", "Panel2", "Image1", "icon-melody.png", "btUpMelody", "btDownMelody",
     "btRenMelody", "btDelMelody", "btAddMelody"},
    {"tsMovie", "　ムービー　　", "Label4", "ムービータイトル", "edMovieTitle", "btEditMovie",
     "sgMovie", "Panel3", "Image2", "icon-movie.png", "btUpMovie", "btDownMovie", "btRenMovie",
     "btDelMovie", "btAddMovie"},
};

// Layout of a page, in the page's own coordinates: the grid on the left, the
// button column on its right.
constexpr int kLeft = 8;
constexpr int kGridTop = 54;
constexpr int kGridWidth = 405;
constexpr int kGridHeight = 423;
constexpr int kColumnX = kLeft + kGridWidth + 8;
constexpr int kColumnWidth = 76;
constexpr int kButtonHeight = 26;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int y) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromUtf8(name));
  b->setGeometry(kColumnX, y, kColumnWidth, kButtonHeight);
  b->setEnabled(false);
  return b;
}

}  // namespace

const KindPageNames& NamesOf(MediaKind kind) {
  const int i = KindIndex(kind);
  return kNames[i >= 0 && i < 3 ? i : 0];
}

KindPage::KindPage(MediaKind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  const KindPageNames& n = names();
  setObjectName(QString::fromUtf8(n.tab));

  titleLabel = new QLabel(QString::fromUtf8(n.labelCaption), this);
  titleLabel->setObjectName(QString::fromUtf8(n.label));
  titleLabel->setGeometry(kLeft, 8, kGridWidth, 14);

  titleEdit = new QLineEdit(this);
  titleEdit->setObjectName(QString::fromUtf8(n.edit));
  titleEdit->setGeometry(kLeft, 25, kGridWidth, 22);
  titleEdit->setMaxLength(static_cast<int>(kTitleFieldBytes));
  titleEdit->setValidator(new Cp932LengthValidator(kTitleFieldBytes, titleEdit));

  editButton = new QPushButton(QStringLiteral("修正"), this);
  editButton->setObjectName(QString::fromUtf8(n.editButton));
  editButton->setGeometry(kColumnX, 24, kColumnWidth, 24);
  editButton->setEnabled(false);
  // Files dropped on the edit go to the window, which ignores them there,
  // instead of being pasted into the title as text.
  titleEdit->setAcceptDrops(false);

  // Its rows are added once their header is hidden: a visible row header
  // measures the number of every row (in bold, a face of its own to load)
  // each time the grid's geometry changes.
  grid = new QTableWidget(0, kGridColumns, this);
  grid->setObjectName(QString::fromUtf8(n.grid));
  grid->setGeometry(kLeft, kGridTop, kGridWidth, kGridHeight);
  grid->setFont(PixelFont(kFixedFace, 12));
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setShowGrid(true);
  grid->setWordWrap(false);
  grid->setTextElideMode(Qt::ElideNone);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  grid->setCornerButtonEnabled(false);
  QHeaderView* rows = grid->verticalHeader();
  rows->hide();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setMinimumSectionSize(kRowHeight);
  rows->setDefaultSectionSize(kRowHeight);
  QHeaderView* header = grid->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Fixed);
  header->setStretchLastSection(false);
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setMinimumSectionSize(1);
  header->setFixedHeight(kRowHeight + 2);
  for (int c = 0; c < kGridColumns; ++c) {
    grid->setColumnWidth(c, kColumnWidths[c]);
    grid->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(kColumnHeaders[c])));
  }
  grid->setRowCount(kInitialDataRows);
  for (int r = 1; r <= kInitialDataRows; ++r) SetCells(r, GridRow{});
  grid->setCurrentCell(0, 0);

  iconPanel = new QFrame(this);
  iconPanel->setObjectName(QString::fromUtf8(n.iconPanel));
  iconPanel->setGeometry(kColumnX, kGridTop, kColumnWidth, 44);
  iconPanel->setFrameShape(QFrame::StyledPanel);
  iconPanel->setFrameShadow(QFrame::Sunken);
  iconPanel->setAutoFillBackground(true);
  QPalette white = iconPanel->palette();
  white.setColor(QPalette::Window, Qt::white);
  iconPanel->setPalette(white);
  icon = new QLabel(iconPanel);
  icon->setObjectName(QString::fromUtf8(n.icon));
  icon->setGeometry((kColumnWidth - 32) / 2, 6, 32, 32);
  icon->setAlignment(Qt::AlignCenter);
  icon->setPixmap(DataPixmap(QString::fromUtf8(n.iconFile)));

  upButton = MakeButton(this, n.up, "上へ", kGridTop + 52);
  downButton = MakeButton(this, n.down, "下へ", kGridTop + 52 + kButtonHeight + 4);
  const int bottom = kGridTop + kGridHeight;
  addButton = MakeButton(this, n.add, "追加", bottom - kButtonHeight);
  deleteButton = MakeButton(this, n.remove, "削除", bottom - 2 * kButtonHeight - 4);
  renumberButton = MakeButton(this, n.renumber, "リナンバ", bottom - 3 * kButtonHeight - 8);
}

void KindPage::SetCells(int row, const GridRow& cells) {
  const std::string* texts[kGridColumns] = {&cells.cardName, &cells.dateText, &cells.size,
                                            &cells.title};
  for (int c = 0; c < kGridColumns; ++c) {
    const QString text = QString::fromStdString(Cp932ToUtf8(*texts[c]));
    QTableWidgetItem* item = grid->item(row - 1, c);
    if (!item) {
      item = new QTableWidgetItem(text);
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      grid->setItem(row - 1, c, item);
    } else if (item->text() != text) {
      item->setText(text);
    }
  }
}

void KindPage::WriteRow(int row, const MediaEntry& entry) {
  if (row < 1 || row > grid->rowCount()) return;
  SetCells(row, RowOf(entry));
}

void KindPage::WriteTitle(int row, const MediaEntry& entry) {
  if (row < 1 || row > grid->rowCount()) return;
  const QString text = QString::fromStdString(Cp932ToUtf8(RowOf(entry).title));
  if (QTableWidgetItem* item = grid->item(row - 1, 3)) item->setText(text);
}

void KindPage::RefreshRows(const MediaCatalogue& catalogue) {
  const int rows = catalogue.GridRowCount() - 1;  // the header is Qt's, not a row
  const bool updates = grid->updatesEnabled();
  grid->setUpdatesEnabled(false);
  grid->setRowCount(rows);
  for (int r = 1; r <= rows; ++r) {
    const MediaEntry* e = catalogue.EntryAtRow(r);
    SetCells(r, e ? RowOf(*e) : GridRow{});
  }
  if (grid->currentRow() < 0) grid->setCurrentCell(0, 0);
  grid->setUpdatesEnabled(updates);
}

void KindPage::EnableListButtons() {
  for (QPushButton* b : {upButton, downButton, renumberButton, deleteButton, addButton})
    b->setEnabled(true);
}

}  // namespace fenmora::app
