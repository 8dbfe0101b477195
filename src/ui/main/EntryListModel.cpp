#include "ui/main/EntryListModel.h"

#include <QApplication>
#include <QBrush>
#include <QColor>

#include "ui/main/CommandImages.h"
#include "ui/main/EntryIcons.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/ThemeColors.h"

namespace pgl {

namespace {

QColor ToQColor(std::uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A cell's colour as the theme shows it; none where the theme's own is used.
QVariant ThemeBrush(const std::optional<std::uint32_t>& color, bool background) {
  if (!color) return {};
  const QPalette palette = QApplication::palette();
  return QBrush(background ? ThemeBackgroundColor(ToQColor(*color), palette)
                           : ThemeTextColor(ToQColor(*color), palette));
}

}  // namespace

EntryListModel::EntryListModel(const Platform* platform, QObject* parent)
    : QAbstractTableModel(parent), platform_(platform) {}

void EntryListModel::Rebuild(const TUninstallCollection* collection, const TMainParams& params,
                             Language lang) {
  beginResetModel();
  collection_ = collection;
  params_ = params;
  lang_ = lang;
  items_.clear();
  cells_.clear();
  if (collection) {
    ListFilter filter;
    filter.showInvalid = params.ShowInvalidItems;
    filter.showOnlyInvalid = params.ShowOnlyInvalidItems;
    for (int i = 0; i < collection->Count(); ++i)
      if (const TUninstallInfo& info = collection->GetItem(i).UninstallInfo;
          IsListed(info, collection->SystemComponentsVisible, filter) && textFilter_.Matches(info))
        items_.push_back(i);
  }
  cells_.resize(items_.size());
  icons_.assign(items_.size(), QIcon());
  endResetModel();
}

void EntryListModel::FilesFound() {
  icons_.assign(items_.size(), QIcon());
  if (!items_.empty())
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                     {Qt::DecorationRole, Qt::BackgroundRole, Qt::ForegroundRole});
}

std::string EntryListModel::RowKey(int row) const {
  const TUninstallInfo& info = collection_->GetItem(ItemIndex(row)).UninstallInfo;
  return prefixColumn_ ? std::to_string(info.SystemIndex) + "\n" + RegistryKeyOf(info)
                       : RegistryKeyOf(info);
}

int EntryListModel::ColumnTag(int column) {
  return column >= 0 && column < kPrefixColumn ? ListColumns()[static_cast<std::size_t>(column)].tag
                                               : TagOf(SortKey::Prefix);
}

const std::string& EntryListModel::CellText(int row, int column) const {
  if (column == kPrefixColumn) {
    static const std::string none;
    const TUninstallInfo* entry = Entry(row);
    return entry ? entry->PrefixName.str() : none;
  }
  return Cells(row)[static_cast<std::size_t>(column)];
}

const TUninstallInfo* EntryListModel::Entry(int row) const {
  if (!collection_ || row < 0 || row >= rowCount()) return nullptr;
  const int item = ItemIndex(row);
  return item >= 0 && item < collection_->Count() ? &collection_->GetItem(item).UninstallInfo
                                                  : nullptr;
}

void EntryListModel::Clear() {
  Rebuild(nullptr, params_, lang_);
}

void EntryListModel::UpdateFrequencyColumn(Language lang) {
  lang_ = lang;
  // Rows already shown are translated in place; the others are made in the new language.
  for (auto& cells : cells_)
    if (cells) (*cells)[4] = TranslateFrequencyCell((*cells)[4], lang);
  if (!items_.empty()) emit dataChanged(index(0, 4), index(rowCount() - 1, 4), {Qt::DisplayRole});
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void EntryListModel::SetLanguage(Language lang) {
  lang_ = lang;
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(items_.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kListColumnCount) + (prefixColumn_ ? 1 : 0);
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const int itemIndex = ItemIndex(index.row());
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return QString::fromStdString(CellText(index.row(), column));
    case Qt::DecorationRole:
      if (column != 0) return {};
      return RowIcon(index.row());
    case Qt::TextAlignmentRole: {
      const auto alignment = column == kPrefixColumn
                                 ? ColumnAlignment::Left
                                 : ListColumns()[static_cast<std::size_t>(column)].alignment;
      const Qt::Alignment h = alignment == ColumnAlignment::Right    ? Qt::AlignRight
                              : alignment == ColumnAlignment::Center ? Qt::AlignHCenter
                                                                     : Qt::AlignLeft;
      return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case kItemBackgroundRole:
    case kItemForegroundRole: {
      if (!collection_ || itemIndex >= collection_->Count()) return {};
      const CellColors colors = ItemColors(collection_->GetItem(itemIndex).UninstallInfo, params_);
      const bool background = role == kItemBackgroundRole;
      return ThemeBrush(background ? colors.background : colors.text, background);
    }
    case Qt::BackgroundRole:
    case Qt::ForegroundRole: {
      if (!collection_ || itemIndex >= collection_->Count()) return {};
      const TUninstallInfo& info = collection_->GetItem(itemIndex).UninstallInfo;
      const CellColors colors = SubItemColors(info, column, CellText(index.row(), column), params_);
      const bool background = role == Qt::BackgroundRole;
      return ThemeBrush(background ? colors.background : colors.text, background);
    }
    default:
      return {};
  }
}

const EntryListModel::RowCells& EntryListModel::Cells(int row) const {
  auto& cells = cells_[static_cast<std::size_t>(row)];
  if (!cells) {
    const int item = ItemIndex(row);
    cells =
        std::make_unique<RowCells>(collection_ && item < collection_->Count()
                                       ? RowTexts(collection_->GetItem(item).UninstallInfo, lang_)
                                       : RowCells{});
  }
  return *cells;
}

QIcon EntryListModel::RowIcon(int rowIndex) const {
  if (rowIndex < 0 || rowIndex >= rowCount() || !collection_) return {};
  const int itemIndex = ItemIndex(rowIndex);
  if (itemIndex >= collection_->Count()) return {};
  QIcon& icon = icons_[static_cast<std::size_t>(rowIndex)];
  if (icon.isNull()) {
    const TUninstallInfo& info = collection_->GetItem(itemIndex).UninstallInfo;
    const Platform* platform = platformOf_ ? platformOf_(info) : platform_;
    icon = platform ? EntryIcons::ForEntry(*platform, info)
                    : (info.Valid ? EntryIcons::DefaultIcon() : EntryIcons::InvalidIcon());
  }
  return icon;
}

void EntryListModel::SetSortArrow(int column, bool up) {
  arrowColumn_ = column;
  arrowUp_ = up;
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  static constexpr Translations kPrefixCaption{"Prefix", "Prefiks"};
  if (role == Qt::DisplayRole)
    return QString::fromUtf8(
        section == kPrefixColumn
            ? kPrefixCaption.In(lang_)
            : ColumnCaption(ListColumns()[static_cast<std::size_t>(section)], lang_));
  if (role == Qt::DecorationRole && section == arrowColumn_) return SortArrow(arrowUp_);
  return {};
}

}  // namespace pgl
