// The entry list as the user sees it: the report table and the icon and list views over the
// same rows with one shared selection, switched by view style. It keeps the selection and the
// scroll position across rebuilds of the rows, and tells the window what the user does.
#pragma once

#include <QWidget>
#include <set>
#include <string>
#include <vector>

#include "inventory/UCollection.h"
#include "ui/main/ListPresentation.h"

class QListView;
class QMenu;
class QStackedWidget;
class QTableView;

namespace pgl {

class EntryListModel;

class EntryListView : public QWidget {
  Q_OBJECT

 public:
  EntryListView(EntryListModel* model, QWidget* parent = nullptr);

  QTableView* Table() const { return table_; }
  QListView* Icons() const { return icons_; }
  // The view the current style shows (the table or the icon view).
  QWidget* CurrentView() const;

  void SetViewStyle(ViewStyle style);
  // What a screen reader calls the list, in each of its views.
  void SetAccessibleName(const QString& name);
  ViewStyle Style() const { return style_; }

  // The selected rows, in row order.
  std::vector<int> SelectedRows() const;
  // The first selected row, or -1.
  int FirstSelectedRow() const;
  // The selected rows' entries, in row order; the first of them, or null.
  std::vector<TUninstallInfo> SelectedEntries() const;
  const TUninstallInfo* FirstSelectedEntry() const;
  void SelectAll();
  void InvertSelection();
  // Selects exactly `rows`; `scrollTo` (when not -1) becomes the current row and is shown.
  void SelectRows(const std::vector<int>& rows, int scrollTo);
  // The selected rows' cells, tab-separated, a line (CR LF) each: what Copy puts on the
  // clipboard.
  QString CopiedText() const;
  // The model's prefix column, where it has one, stands next to the name.
  void PlacePrefixColumn();
  // Widens each column whose caption in `lang` (with room for the sort arrow) would be cut, a
  // stored width too.
  void FitCaptions(Language lang);

  // What is selected and where the list is scrolled, by entry, to be given back after the
  // rows are rebuilt. Taken while the collection is still as the rows show it.
  struct Memo {
    std::set<std::string> selectedKeys;
    std::string currentKey;
    int firstSelectedRow = -1;
    int scroll = 0;
    bool initial = true;  // nothing was shown yet: the first row is selected
  };
  Memo Remember() const;
  // After a rebuild: the remembered entries that are still listed are selected again, the
  // current one shown; when none of them is left, the row that took the first one's place is
  // selected; a list that had no selection keeps none.
  void Restore(const Memo& memo);

 signals:
  void selectionChanged();
  void columnClicked(int column);
  // Enter or a double click on a row.
  void activated();
  void contextMenuRequested(const QPoint& globalPosition);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  EntryListModel* model_;
  QTableView* table_;
  QListView* icons_;
  QStackedWidget* stack_;
  ViewStyle style_ = ViewStyle::Details;
};

}  // namespace pgl
