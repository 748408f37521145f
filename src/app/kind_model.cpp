#include "app/kind_model.h"

#include <QLocale>
#include <QRegularExpression>

#include "app/app_paths.h"
#include "platform/cp932.h"

#include <QIcon>

namespace fenmora::app {

namespace {

// "2004/03/01 18:30" for the table's "2004:03:01 18:30:00"; any other text
// as it is.
QString DateForList(const QString& stamp) {
  static const QRegularExpression form(QStringLiteral("^(\\d{4}):(\\d{2}):(\\d{2}) (\\d{2}:\\d{2}):\\d{2}$"));
  const QRegularExpressionMatch m = form.match(stamp);
  if (!m.hasMatch()) return stamp;
  return m.captured(1) + QLatin1Char('/') + m.captured(2) + QLatin1Char('/') + m.captured(3) + QLatin1Char(' ') +
         m.captured(4);
}

// Whole kilobytes as the free space shows them ("1,234 KB"), rounded up: a
// file of a few bytes is not "0 KB".
QString SizeForList(const QString& bytes) {
  bool number = false;
  const qlonglong size = bytes.toLongLong(&number);
  if (!number || size < 0) return bytes;
  return QLocale(QLocale::Japanese, QLocale::Japan).toString((size + 1023) / 1024) + QStringLiteral(" KB");
}

QString FromCard(const std::string& text) { return QString::fromStdString(Cp932ToUtf8(text)); }

}  // namespace

KindModel::KindModel(MediaKind kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind) {}

KindModel::Row KindModel::ReadRow(int modelRow) const {
  Row row;
  const MediaEntry* entry = catalogue_ ? catalogue_->EntryAtRow(modelRow + 1) : nullptr;
  if (!entry) return row;
  const GridRow cells = RowOf(*entry);
  row.item = true;
  row.cells = {FromCard(cells.cardName), DateForList(FromCard(cells.dateText)), SizeForList(FromCard(cells.size)),
               FromCard(cells.title)};
  row.wholeTitle = FromCard(entry->title);
  if (fileOf_) row.file = fileOf_(*entry);
  return row;
}

void KindModel::Show(const MediaCatalogue& catalogue) {
  catalogue_ = &catalogue;
  const int rows = catalogue.GridRowCount() - 1;  // the header is the view's, not a row
  const int before = static_cast<int>(rows_.size());
  if (rows > before) {
    beginInsertRows(QModelIndex(), before, rows - 1);
    rows_.resize(static_cast<size_t>(rows));
    endInsertRows();
  } else if (rows < before) {
    beginRemoveRows(QModelIndex(), rows, before - 1);
    rows_.resize(static_cast<size_t>(rows));
    endRemoveRows();
  }
  for (int r = 0; r < rows; ++r) rows_[static_cast<size_t>(r)] = ReadRow(r);
  if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, kGridColumns - 1));
}

void KindModel::TitleChanged(int row) {
  if (row < 1 || row > rowCount()) return;
  rows_[static_cast<size_t>(row - 1)] = ReadRow(row - 1);
  const QModelIndex at = index(row - 1, kTitleColumn);
  emit dataChanged(at, at);
}

void KindModel::SetWholeTitles(bool whole) {
  if (whole == wholeTitles_) return;
  wholeTitles_ = whole;
  if (rowCount() > 0) emit dataChanged(index(0, kTitleColumn), index(rowCount() - 1, kTitleColumn), {Qt::DisplayRole});
}

void KindModel::SetPlaying(const QString& file) {
  if (file == playing_) return;
  playing_ = file;
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

bool KindModel::HoldsItem(int modelRow) const {
  return modelRow >= 0 && modelRow < rowCount() && rows_[static_cast<size_t>(modelRow)].item;
}

int KindModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int KindModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kGridColumns; }

QVariant KindModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const Row& row = rows_[static_cast<size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      // At the first width the handset's own cut (21 bytes); a wider column
      // shows the whole title, cut by the view where it still does not fit.
      return column == kTitleColumn && wholeTitles_ ? row.wholeTitle : row.cells[static_cast<size_t>(column)];
    case Qt::DecorationRole:
      if (column == 0 && row.item && !playing_.isEmpty() && row.file == playing_) {
        static const QIcon playing(DataPixmap(QStringLiteral("melody-on.png"), {12, 12}));
        return playing;
      }
      return {};
    case Qt::ToolTipRole:
      if (row.item && column == kTitleColumn) return row.wholeTitle;
      return {};
    case Qt::TextAlignmentRole:
      if (column == 2) return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      return {};
    case kWholeTitleRole:
      return row.wholeTitle;
    case kHoldsItemRole:
      return row.item;
    case kFileRole:
      return row.file;
    default:
      return {};
  }
}

QVariant KindModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  if (orientation == Qt::Horizontal && section >= 0 && section < kGridColumns)
    return QString::fromUtf8(kColumnHeaders[section]);
  return section + 1;
}

}  // namespace fenmora::app
