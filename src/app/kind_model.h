// A kind's list as the window shows it: a table model over the kind's
// catalogue. The catalogue is the truth; the model only shows it, one row per
// grid row as the handset counts them (row 1 = model row 0), and is told when
// the catalogue changed. It reads the catalogue only then, on the window's
// thread: a worker that holds the session meanwhile (a load, a commit) is
// never raced by a repaint.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <vector>

#include "catalogue/catalogue.h"
#include "platform/language.h"

namespace fenmora::app {

// The grid's columns: file name, time, size, title.
inline constexpr int kGridColumns = 4;
inline constexpr int kTitleColumn = kGridColumns - 1;
inline constexpr int kColumnWidths[kGridColumns] = {77, 119, 55, 134};
inline const char* const kColumnHeaders[kGridColumns] = {Say("ファイル名", "File"), Say("時刻", "Time"),
                                                         Say("サイズ", "Size"), Say("タイトル", "Title")};
// Data rows of a grid before any load (the header row comes on top).
inline constexpr int kInitialDataRows = 63;
inline constexpr int kRowHeight = 16;

class KindModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // The whole title of a row's item (the title column shows the handset's
  // cut unless whole titles are asked for).
  static constexpr int kWholeTitleRole = Qt::UserRole + 1;
  // Whether the row holds an item (bool).
  static constexpr int kHoldsItemRole = Qt::UserRole + 2;
  // The file of the row's item as it lies now (empty: none to read).
  static constexpr int kFileRole = Qt::UserRole + 3;

  KindModel(MediaKind kind, QObject* parent);

  // Where an item's file lies now (on the card, or where it was picked from).
  using FileOf = std::function<QString(const MediaEntry&)>;
  void SetFileOf(FileOf fileOf) { fileOf_ = std::move(fileOf); }

  MediaKind kind() const { return kind_; }
  // The rows follow the catalogue: a row per live entry in list order, one
  // blank row when the list is empty. Rows that stay keep their selection.
  void Show(const MediaCatalogue& catalogue);
  // Only the title of a row changed (1 = first item).
  void TitleChanged(int row);
  // The title column shows whole titles (a column wider than at first) or
  // the handset's 21-byte cut.
  void SetWholeTitles(bool whole);
  // The item whose file is this one is playing (empty: none): its row is
  // marked with the playing glyph in its first column.
  void SetPlaying(const QString& file);
  // Whether a model row holds an item (a blank row does not).
  bool HoldsItem(int modelRow) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  MediaKind kind_;
  // What a row shows, read from its entry when the catalogue was shown.
  struct Row {
    bool item = false;
    std::array<QString, kGridColumns> cells;  // the title: the handset's cut
    QString wholeTitle;
    QString file;
  };
  Row ReadRow(int modelRow) const;
  FileOf fileOf_;
  const MediaCatalogue* catalogue_ = nullptr;
  std::vector<Row> rows_ = std::vector<Row>(kInitialDataRows);
  bool wholeTitles_ = false;
  QString playing_;
};

}  // namespace fenmora::app
