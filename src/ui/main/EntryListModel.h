// The entry list as a Qt model over the collection's listed rows: one row per entry that
// passes the filters, in collection order, with the 22 cell texts, alignments and colours.
// No widget or item object per row, so that 25,000 entries stay smooth.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <functional>
#include <memory>
#include <vector>

#include "inventory/EntryList.h"
#include "ui/main/SettingsFile.h"

namespace pgl {

class EntryListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // Icons are read from the entries' files through `platform` when a row is first shown, and
  // kept until the next rebuild.
  explicit EntryListModel(const Platform* platform = nullptr, QObject* parent = nullptr);

  // The whole row's colours for the icon and list styles (the report style's cells use the
  // Background and Foreground roles).
  static constexpr int kItemBackgroundRole = Qt::UserRole + 1;
  static constexpr int kItemForegroundRole = Qt::UserRole + 2;

  // Rebuilds every row from the collection (DisplayUninstallInfo's rows).
  void Rebuild(const TUninstallCollection* collection, const TMainParams& params, Language lang);
  // What the filter box holds: only the entries it matches get rows, from the next Rebuild.
  void SetTextFilter(const std::string& typed) { textFilter_ = TextFilter(typed); }
  // A list of several prefixes has one column more, kPrefixColumn, with each entry's prefix;
  // it takes effect at the next Rebuild.
  static constexpr int kPrefixColumn = static_cast<int>(kListColumnCount);
  void SetPrefixColumn(bool shown) { prefixColumn_ = shown; }
  bool PrefixColumn() const { return prefixColumn_; }
  // The sort key of a column.
  static int ColumnTag(int column);
  void Clear();
  // The frequency words in the other language, in place.
  void UpdateFrequencyColumn(Language lang);
  void SetLanguage(Language lang);
  // The system whose files an entry's icon is read from (each entry's own, in a list of several
  // prefixes).
  void SetPlatformOf(std::function<const Platform*(const TUninstallInfo&)> platformOf) {
    platformOf_ = std::move(platformOf);
  }
  // The header that shows the sort arrow (up for ascending); -1 for none.
  void SetSortArrow(int column, bool up);
  // The entries' files (uninstallers, icons) were looked for since the rows were shown: every
  // icon is read again and every row's colours asked for again (an entry found invalid).
  void FilesFound();
  int SortArrowColumn() const { return arrowColumn_; }
  // The row's icon in both sizes, read when first asked for.
  QIcon RowIcon(int row) const;

  // The collection index of a row's entry.
  int ItemIndex(int row) const { return items_[static_cast<std::size_t>(row)]; }
  // What tells a row's entry apart from every other (its registry key, and in a list of
  // several prefixes its prefix): valid while the collection is as it was at the last rebuild.
  std::string RowKey(int row) const;
  // A row's entry (the same validity), or null for a row out of range.
  const TUninstallInfo* Entry(int row) const;
  const std::string& CellText(int row, int column) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  const TUninstallCollection* collection_ = nullptr;
  TMainParams params_;
  Language lang_ = Language::English;
  using RowCells = std::array<std::string, kListColumnCount>;
  // A row's texts, made when the row is first shown or read and kept until the next rebuild:
  // a list of 25,000 entries holds the texts of the rows seen, not of every row.
  const RowCells& Cells(int row) const;

  std::vector<int> items_;  // by row: the collection index of its entry
  TextFilter textFilter_;
  mutable std::vector<std::unique_ptr<RowCells>> cells_;
  const Platform* platform_;
  std::function<const Platform*(const TUninstallInfo&)> platformOf_;
  mutable std::vector<QIcon> icons_;  // by row; null until first shown
  int arrowColumn_ = -1;
  bool prefixColumn_ = false;
  bool arrowUp_ = true;
};

}  // namespace pgl
