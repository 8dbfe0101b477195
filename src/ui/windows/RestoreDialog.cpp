#include "ui/windows/RestoreDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/UiText.h"

namespace pgl {

namespace {

enum class Msg {
  Title,
  WhatHappens,
  Program,
  Key,
  Details,
  MoreKeys,
  Summary,
  NothingToRestore,
  RefusedNotWritten,
  Restore,
  Cancel,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::Title, {"Restore from backup", "Przywracanie z kopii"}},
    {Msg::WhatHappens, {"What happens", "Co się stanie"}},
    {Msg::Program, {"Program", "Program"}},
    {Msg::Key, {"Key", "Klucz"}},
    {Msg::Details, {"Details", "Szczegóły"}},
    {Msg::MoreKeys, {"%1 more keys", "%1 kluczy więcej"}},
    {Msg::Summary,
     {"Added back: %1, replaced: %2, unchanged: %3, refused: %4.",
      "Przywrócone: %1, zastąpione: %2, bez zmian: %3, odrzucone: %4."}},
    {Msg::NothingToRestore, {" Nothing to restore.", " Nie ma nic do przywrócenia."}},
    {Msg::RefusedNotWritten,
     {" The refused keys will not be written.", " Odrzucone klucze nie zostaną zapisane."}},
    {Msg::Restore, {"&Restore", "&Przywróć"}},
    {Msg::Cancel, {"Cancel", "Anuluj"}},
};
static_assert(IsMessageTable(kMessages));

QString Text(Msg id, Language lang) {
  return UiText(kMessages, id, lang);
}

QString DetailsOf(const RestoreItem& item, Language lang) {
  if (item.kind == RestoreKind::Refused) return Utf8(RefusalText(item.reason, lang));
  QStringList parts;
  for (const auto& d : item.differences) parts << Utf8(DifferenceText(d, lang));
  return parts.join("; ");
}

}  // namespace

RestoreDialog::RestoreDialog(QWidget* parent, const QString& fileName, const RestorePlan& plan,
                             Language lang)
    : QDialog(parent) {
  setObjectName("RestoreDialog");
  setWindowTitle(Text(Msg::Title, lang));
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
  items_->setHeaderLabels({Text(Msg::WhatHappens, lang), Text(Msg::Program, lang),
                           Text(Msg::Key, lang), Text(Msg::Details, lang)});
  QList<QTreeWidgetItem*> rows;
  for (const RestoreItem& item : plan.items)
    rows << new QTreeWidgetItem(QStringList{Utf8(RestoreKindText(item.kind, lang)),
                                            Utf8(item.displayName), Utf8(item.key),
                                            DetailsOf(item, lang)});
  if (plan.refusedNotListed > 0)
    rows << new QTreeWidgetItem(QStringList{Utf8(RestoreKindText(RestoreKind::Refused, lang)),
                                            {},
                                            Text(Msg::MoreKeys, lang).arg(plan.refusedNotListed),
                                            {}});
  items_->addTopLevelItems(rows);
  items_->header()->setSectionResizeMode(QHeaderView::Interactive);
  for (int column = 0; column < 3; ++column) items_->resizeColumnToContents(column);
  // Keys are long: the place shows first, the whole key in the tooltip; the details keep room.
  items_->setColumnWidth(2, std::min(items_->columnWidth(2), 340));
  for (QTreeWidgetItem* row : rows) row->setToolTip(2, row->text(2));
  layout->addWidget(items_, 1);
  const auto count = [&plan](RestoreKind kind) { return static_cast<int>(plan.Count(kind)); };
  QString summary = Text(Msg::Summary, lang)
                        .arg(count(RestoreKind::AddBack))
                        .arg(count(RestoreKind::Replace))
                        .arg(count(RestoreKind::Unchanged))
                        .arg(count(RestoreKind::Refused) + static_cast<int>(plan.refusedNotListed));
  if (plan.writes.empty())
    summary += Text(Msg::NothingToRestore, lang);
  else if (plan.AnyRefused())
    summary += Text(Msg::RefusedNotWritten, lang);
  summary_->setText(summary);
  auto* buttons = new QDialogButtonBox(this);
  restore_ = buttons->addButton(Text(Msg::Restore, lang), QDialogButtonBox::AcceptRole);
  restore_->setObjectName("btnRestore");
  restore_->setEnabled(!plan.writes.empty());
  auto* cancel = buttons->addButton(Text(Msg::Cancel, lang), QDialogButtonBox::RejectRole);
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
