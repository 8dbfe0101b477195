#include "ui/main/EntryListView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "inventory/EntryList.h"
#include "ui/main/EntryListModel.h"

namespace pgl {

namespace {

// The icon and list styles colour whole rows (invalid entries), not the report's columns.
class ItemColorsDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->backgroundBrush = index.data(EntryListModel::kItemBackgroundRole).value<QBrush>();
    const QVariant text = index.data(EntryListModel::kItemForegroundRole);
    if (text.isValid()) option->palette.setBrush(QPalette::Text, text.value<QBrush>());
  }
};

}  // namespace

EntryListView::EntryListView(EntryListModel* model, QWidget* parent)
    : QWidget(parent), model_(model) {
  table_ = new QTableView(this);
  table_->setObjectName("lv");
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setShowGrid(true);
  table_->setWordWrap(false);
  table_->setIconSize(QSize(16, 16));
  // Tab moves on to the next control, not from cell to cell through 22 columns.
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
  table_->horizontalHeader()->setSectionsClickable(true);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setMinimumSectionSize(20);     // the narrowest a stored width gets
  table_->horizontalHeader()->setSortIndicatorShown(false);  // our own arrows
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  // The default widths suit the design font (about five pixels a character); a larger font
  // widens them alike, and no caption is cut in either language (with room for the sort
  // arrow). Stored widths are used as stored.
  const double widthScale = std::max(1.0, fontMetrics().averageCharWidth() / 5.0);
  const QFontMetrics header = table_->horizontalHeader()->fontMetrics();
  for (std::size_t c = 0; c < kListColumnCount; ++c) {
    int width = static_cast<int>(ListColumns()[c].width * widthScale);
    for (const Language lang : kLanguages)
      width = std::max(width, header.horizontalAdvance(
                                  QString::fromStdString(ColumnCaption(ListColumns()[c], lang))) +
                                  28);
    table_->setColumnWidth(static_cast<int>(c), width);
  }
  connect(table_->horizontalHeader(), &QHeaderView::sectionClicked, this,
          &EntryListView::columnClicked);
  icons_ = new QListView(this);
  icons_->setObjectName("lvIcons");
  icons_->setModel(model_);
  icons_->setSelectionModel(table_->selectionModel());  // one selection, whatever the style
  icons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  icons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  icons_->setTabKeyNavigation(false);
  icons_->setResizeMode(QListView::Adjust);
  icons_->setUniformItemSizes(true);
  icons_->setItemDelegate(new ItemColorsDelegate(icons_));
  icons_->setContextMenuPolicy(Qt::CustomContextMenu);
  stack_ = new QStackedWidget(this);
  stack_->addWidget(table_);
  stack_->addWidget(icons_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(stack_);
  setFocusProxy(table_);
  connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &EntryListView::selectionChanged);
  for (QAbstractItemView* view :
       {static_cast<QAbstractItemView*>(table_), static_cast<QAbstractItemView*>(icons_)}) {
    connect(view, &QAbstractItemView::doubleClicked, this, &EntryListView::activated);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
      emit contextMenuRequested(view->viewport()->mapToGlobal(at));
    });
    view->installEventFilter(this);
  }
}

QWidget* EntryListView::CurrentView() const {
  return stack_->currentWidget();
}

void EntryListView::SetAccessibleName(const QString& name) {
  table_->setAccessibleName(name);
  icons_->setAccessibleName(name);
}

void EntryListView::SetViewStyle(ViewStyle style) {
  style_ = style;
  if (style == ViewStyle::Details) {
    stack_->setCurrentWidget(table_);
  } else {
    // Icons in rows (large icons, small icons) or in columns (the list), large only in the
    // icon view.
    const bool large = style == ViewStyle::LargeIcons;
    icons_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
    icons_->setFlow(style == ViewStyle::List ? QListView::TopToBottom : QListView::LeftToRight);
    icons_->setWrapping(true);
    icons_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
    const int line = fontMetrics().height();
    icons_->setGridSize(large                            ? QSize(100, 40 + 2 * line)
                        : style == ViewStyle::SmallIcons ? QSize(190, std::max(20, line + 6))
                                                         : QSize());
    icons_->setWordWrap(large);
    icons_->setTextElideMode(Qt::ElideRight);
    icons_->setMovement(QListView::Static);
    stack_->setCurrentWidget(icons_);
  }
  setFocusProxy(stack_->currentWidget());
  const QModelIndex current = table_->selectionModel()->currentIndex();
  if (current.isValid())
    static_cast<QAbstractItemView*>(stack_->currentWidget())->scrollTo(current);
}

std::vector<int> EntryListView::SelectedRows() const {
  // From the selection's ranges: asking row by row (selectedRows) costs every range for every
  // row, seconds for a few hundred rows picked one by one.
  std::vector<int> rows;
  for (const QItemSelectionRange& range : table_->selectionModel()->selection())
    if (range.isValid() && range.left() == 0)
      for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

int EntryListView::FirstSelectedRow() const {
  int first = -1;
  for (const QItemSelectionRange& range : table_->selectionModel()->selection())
    if (range.isValid() && range.left() == 0 && (first < 0 || range.top() < first))
      first = range.top();
  return first;
}

std::vector<TUninstallInfo> EntryListView::SelectedEntries() const {
  std::vector<TUninstallInfo> entries;
  for (const int row : SelectedRows())
    if (const TUninstallInfo* entry = model_->Entry(row)) entries.push_back(*entry);
  return entries;
}

const TUninstallInfo* EntryListView::FirstSelectedEntry() const {
  return model_->Entry(FirstSelectedRow());
}

void EntryListView::SelectAll() {
  table_->selectAll();
}

void EntryListView::InvertSelection() {
  if (model_->rowCount() == 0) return;
  const QItemSelection all(model_->index(0, 0),
                           model_->index(model_->rowCount() - 1, model_->columnCount() - 1));
  table_->selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void EntryListView::SelectRows(const std::vector<int>& rows, int scrollTo) {
  QItemSelection selection;
  for (const int row : rows)
    selection.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
  table_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  if (scrollTo >= 0 && scrollTo < model_->rowCount()) {
    table_->selectionModel()->setCurrentIndex(model_->index(scrollTo, 0),
                                              QItemSelectionModel::NoUpdate);
    table_->scrollTo(model_->index(scrollTo, 0));
    icons_->scrollTo(model_->index(scrollTo, 0));
  }
}

void EntryListView::FitCaptions(Language lang) {
  const QFontMetrics header = table_->horizontalHeader()->fontMetrics();
  for (std::size_t c = 0; c < kListColumnCount; ++c) {
    const int needed =
        header.horizontalAdvance(QString::fromStdString(ColumnCaption(ListColumns()[c], lang))) +
        28;
    if (table_->columnWidth(static_cast<int>(c)) < needed)
      table_->setColumnWidth(static_cast<int>(c), needed);
  }
}

void EntryListView::PlacePrefixColumn() {
  // Next to the name: two prefixes may hold programs of one name, and the prefix tells them
  // apart at a glance.
  constexpr int prefix = EntryListModel::kPrefixColumn, name = 0;
  if (model_->columnCount() <= prefix) return;
  QHeaderView* header = table_->horizontalHeader();
  if (header->visualIndex(prefix) != header->visualIndex(name) + 1)
    header->moveSection(header->visualIndex(prefix), header->visualIndex(name) + 1);
  if (table_->columnWidth(prefix) == header->defaultSectionSize())
    table_->setColumnWidth(
        prefix,
        std::max(160, header->fontMetrics().horizontalAdvance(QString::fromUtf8("Prefiks")) + 28));
}

QString EntryListView::CopiedText() const {
  QString text;
  for (const int row : SelectedRows()) {
    for (int column = 0; column < model_->columnCount(); ++column) {
      if (column > 0) text += '\t';
      text += QString::fromStdString(model_->CellText(row, column));
    }
    text += "\r\n";
  }
  return text;
}

EntryListView::Memo EntryListView::Remember() const {
  Memo memo;
  memo.initial = false;
  const std::vector<int> rows = SelectedRows();
  for (const int row : rows) memo.selectedKeys.insert(model_->RowKey(row));
  memo.firstSelectedRow = rows.empty() ? -1 : rows.front();
  const QModelIndex current = table_->selectionModel()->currentIndex();
  if (current.isValid() && table_->selectionModel()->isRowSelected(current.row(), {}))
    memo.currentKey = model_->RowKey(current.row());
  else if (!rows.empty())
    memo.currentKey = model_->RowKey(rows.front());
  const auto* view = static_cast<const QAbstractItemView*>(stack_->currentWidget());
  memo.scroll =
      view == table_ ? table_->verticalScrollBar()->value() : icons_->verticalScrollBar()->value();
  return memo;
}

void EntryListView::Restore(const Memo& memo) {
  const int count = model_->rowCount();
  std::vector<int> rows;
  int current = -1;
  if (memo.initial) {
    if (count > 0) rows.push_back(current = 0);
  } else if (!memo.selectedKeys.empty()) {
    for (int row = 0; row < count; ++row) {
      const std::string& key = model_->RowKey(row);
      if (!memo.selectedKeys.count(key)) continue;
      rows.push_back(row);
      if (key == memo.currentKey || current < 0) current = row;
    }
    // Every selected entry went: the row that took the first one's place.
    if (rows.empty() && count > 0)
      rows.push_back(current = std::min(memo.firstSelectedRow, count - 1));
  }
  table_->selectionModel()->clearSelection();
  if (memo.initial) {
    table_->scrollToTop();
    icons_->scrollToTop();
  } else {
    table_->verticalScrollBar()->setValue(memo.scroll);
    icons_->verticalScrollBar()->setValue(memo.scroll);
  }
  SelectRows(rows, current);
}

bool EntryListView::eventFilter(QObject* watched, QEvent* event) {
  // Enter on the list opens the details, as a double click does.
  if ((watched == table_ || watched == icons_) && event->type() == QEvent::KeyPress) {
    const auto* press = static_cast<QKeyEvent*>(event);
    const int key = press->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      emit activated();
      return true;
    }
    // The Menu key and Shift+F10 open the context menu at the current row, as a right click
    // does at the mouse.
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && press->modifiers() == Qt::ShiftModifier)) {
      auto* view = static_cast<QAbstractItemView*>(watched);
      const QRect row = view->visualRect(view->currentIndex());
      const QPoint at = row.isValid() ? row.center() : QPoint(8, 8);
      emit contextMenuRequested(view->viewport()->mapToGlobal(at));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace pgl
