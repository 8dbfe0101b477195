// The entry list as a Qt model over the collection's listed rows: one row per entry that
// passes the filters, in collection order, with the 22 cell texts, alignments and colours.
// No widget or item object per row, so that 25,000 entries stay smooth.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "inventory/EntryList.h"
#include "ui/main/SettingsFile.h"

namespace pgl {

class EntryListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit EntryListModel(QObject* parent = nullptr);

  // Rebuilds every row from the collection (DisplayUninstallInfo's rows).
  void Rebuild(const TUninstallCollection* collection, const TMainParams& params, bool polish);
  void Clear();
  // The frequency words in the other language, in place.
  void UpdateFrequencyColumn(bool polish);
  void SetPolish(bool polish);

  // The collection index of a row's entry.
  int ItemIndex(int row) const { return rows_[static_cast<std::size_t>(row)].itemIndex; }
  const std::string& CellText(int row, int column) const {
    return rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
  }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const TUninstallCollection* collection_ = nullptr;
  TMainParams params_;
  bool polish_ = false;
  std::vector<ListRow> rows_;
};

}  // namespace pgl
