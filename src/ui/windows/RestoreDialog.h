// What a restore from a backup would do, entry by entry, for the user to agree to before
// anything is written.
#pragma once

#include <QDialog>

#include "inventory/Restore.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace pgl {

class RestoreDialog : public QDialog {
  Q_OBJECT

 public:
  RestoreDialog(QWidget* parent, const QString& fileName, const RestorePlan& plan, Language lang);

  // Whether the plan writes anything (the Restore button is offered).
  bool CanRestore() const;
  // The rows as shown: the kind, the program, the key, the details, tab-separated.
  QStringList RowTexts() const;
  QString Summary() const;

 private:
  QLabel* summary_;
  QTreeWidget* items_;
  QPushButton* restore_;
};

}  // namespace pgl
