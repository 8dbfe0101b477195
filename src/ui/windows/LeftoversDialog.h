// What programs left behind, per program: each item with a checkbox (the sure ones ticked),
// its confidence, kind, path or key, size and reason; "Move to trash" takes the ticked ones. The
// items of a program that is still installed are a preview: shown without a checkbox, under a
// warning, with Close as the default button.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "leftovers/Leftovers.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace pgl {

struct ProgramLeftovers {
  std::string name;  // as the list shows the program
  std::vector<Leftover> items;
  std::vector<std::string> shown;  // each item as people read it (DisplayText)
  bool installed = false;          // still listed: what it would leave, nothing to remove
};

class LeftoversDialog : public QDialog {
  Q_OBJECT

 public:
  LeftoversDialog(QWidget* parent, std::vector<ProgramLeftovers> programs, Language lang);

  // The ticked items, in the order shown.
  std::vector<Leftover> Chosen() const;
  // Ticks every item (or only the sure ones), as the user would one by one.
  void TickAll(bool allConfidences);
  // The rows as shown, a program's name alone on its row: "[x] confidence, kind, item".
  QStringList RowTexts() const;
  // The selected rows (every row when none is) as lines of tab-separated cells, as Ctrl+C puts
  // them on the clipboard.
  QString CopyText() const;

 private:
  void Update();

  std::vector<ProgramLeftovers> programs_;
  Language lang_;
  QLabel* summary_;
  QLabel* warning_;
  QTreeWidget* items_;
  QPushButton* trash_;
  bool previewOnly_ = false;  // every program is still installed: nothing may be ticked
};

}  // namespace pgl
