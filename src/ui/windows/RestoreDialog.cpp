#include "ui/windows/RestoreDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace pgl {

namespace {

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString DetailsOf(const RestoreItem& item, bool polish) {
  if (item.kind == RestoreKind::Refused) return Utf8(RefusalText(item.reason, polish));
  QStringList parts;
  for (const auto& d : item.differences) parts << Utf8(DifferenceText(d, polish));
  return parts.join("; ");
}

}  // namespace

RestoreDialog::RestoreDialog(QWidget* parent, const QString& fileName, const RestorePlan& plan,
                             bool polish)
    : QDialog(parent) {
  setObjectName("RestoreDialog");
  setWindowTitle(polish ? QString::fromUtf8("Przywracanie z kopii") : "Restore from backup");
  auto* layout = new QVBoxLayout(this);
  auto* file = new QLabel(fileName, this);
  file->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(file);
  summary_ = new QLabel(this);
  summary_->setObjectName("lblSummary");
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  items_ = new QTreeWidget(this);
  items_->setObjectName("lvPlan");
  items_->setRootIsDecorated(false);
  items_->setUniformRowHeights(true);
  items_->setAlternatingRowColors(true);
  items_->setTextElideMode(Qt::ElideMiddle);  // the key name stays in view
  items_->setHeaderLabels(polish ? QStringList{QString::fromUtf8("Co się stanie"), "Program",
                                               "Klucz", QString::fromUtf8("Szczegóły")}
                                 : QStringList{"What happens", "Program", "Key", "Details"});
  QList<QTreeWidgetItem*> rows;
  for (const RestoreItem& item : plan.items)
    rows << new QTreeWidgetItem(QStringList{Utf8(RestoreKindText(item.kind, polish)),
                                            Utf8(item.displayName), Utf8(item.key),
                                            DetailsOf(item, polish)});
  if (plan.refusedNotListed > 0)
    rows << new QTreeWidgetItem(
        QStringList{Utf8(RestoreKindText(RestoreKind::Refused, polish)),
                    {},
                    (polish ? QString::fromUtf8("%1 kluczy więcej") : QString("%1 more keys"))
                        .arg(plan.refusedNotListed),
                    {}});
  items_->addTopLevelItems(rows);
  items_->header()->setSectionResizeMode(QHeaderView::Interactive);
  for (int column = 0; column < 3; ++column) items_->resizeColumnToContents(column);
  // Keys are long: the place shows first, the whole key in the tooltip; the details keep room.
  items_->setColumnWidth(2, std::min(items_->columnWidth(2), 340));
  for (QTreeWidgetItem* row : rows) row->setToolTip(2, row->text(2));
  layout->addWidget(items_, 1);
  const auto count = [&plan](RestoreKind kind) { return static_cast<int>(plan.Count(kind)); };
  QString summary =
      (polish ? QString::fromUtf8("Przywrócone: %1, zastąpione: %2, bez zmian: %3, odrzucone: %4.")
              : QString("Added back: %1, replaced: %2, unchanged: %3, refused: %4."))
          .arg(count(RestoreKind::AddBack))
          .arg(count(RestoreKind::Replace))
          .arg(count(RestoreKind::Unchanged))
          .arg(count(RestoreKind::Refused) + static_cast<int>(plan.refusedNotListed));
  if (plan.writes.empty())
    summary += polish ? QString::fromUtf8(" Nie ma nic do przywrócenia.") : " Nothing to restore.";
  else if (plan.AnyRefused())
    summary += polish ? QString::fromUtf8(" Odrzucone klucze nie zostaną zapisane.")
                      : " The refused keys will not be written.";
  summary_->setText(summary);
  auto* buttons = new QDialogButtonBox(this);
  restore_ = buttons->addButton(polish ? QString::fromUtf8("&Przywróć") : "&Restore",
                                QDialogButtonBox::AcceptRole);
  restore_->setObjectName("btnRestore");
  restore_->setEnabled(!plan.writes.empty());
  auto* cancel = buttons->addButton(polish ? "Anuluj" : "Cancel", QDialogButtonBox::RejectRole);
  cancel->setObjectName("btnCancel");
  (plan.writes.empty() ? cancel : restore_)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(900, 460);
}

bool RestoreDialog::CanRestore() const {
  return restore_->isEnabled();
}

QStringList RestoreDialog::RowTexts() const {
  QStringList rows;
  for (int i = 0; i < items_->topLevelItemCount(); ++i) {
    QStringList cells;
    for (int column = 0; column < items_->columnCount(); ++column)
      cells << items_->topLevelItem(i)->text(column);
    rows << cells.join('\t');
  }
  return rows;
}

QString RestoreDialog::Summary() const {
  return summary_->text();
}

}  // namespace pgl
