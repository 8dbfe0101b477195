#include "ui/windows/LeftoversDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pgl {

namespace {

QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The item's place in programs_: the program's index and the item's.
constexpr int kProgramRole = Qt::UserRole;
constexpr int kItemRole = Qt::UserRole + 1;

}  // namespace

LeftoversDialog::LeftoversDialog(QWidget* parent, std::vector<ProgramLeftovers> programs,
                                 bool polish)
    : QDialog(parent), programs_(std::move(programs)), polish_(polish) {
  setObjectName("LeftoversDialog");
  setWindowTitle(polish ? QString::fromUtf8("Pozostałości") : "Leftovers");
  auto* layout = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  layout->addWidget(summary_);
  warning_ = new QLabel(this);
  warning_->setObjectName("lblStillInstalled");
  warning_->setWordWrap(true);
  QStringList installed;
  for (const auto& p : programs_)
    if (p.installed) installed << Utf8(p.name);
  warning_->setText(
      polish ? QString::fromUtf8("Nadal zainstalowane: %1. Ich elementy są tylko pokazane: to, co "
                                 "zostałoby po nich. Aby je usunąć, najpierw je odinstaluj.")
                   .arg(installed.join(", "))
             : QString("Still installed: %1. Their items are only shown, as what they would "
                       "leave; uninstall them first to remove them.")
                   .arg(installed.join(", ")));
  QFont strong = warning_->font();
  strong.setBold(true);
  warning_->setFont(strong);
  warning_->setVisible(!installed.isEmpty());
  layout->addWidget(warning_);
  items_ = new QTreeWidget(this);
  items_->setObjectName("lvLeftovers");
  items_->setUniformRowHeights(true);
  items_->setAlternatingRowColors(true);
  items_->setTextElideMode(Qt::ElideMiddle);
  items_->setHeaderLabels(
      polish ? QStringList{QString::fromUtf8("Element"), "Pewność", "Rodzaj", "Rozmiar", "Powód"}
             : QStringList{"Item", "Confidence", "Kind", "Size", "Reason"});
  const QLocale locale = polish ? QLocale(QLocale::Polish) : QLocale(QLocale::English);
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    auto* program = new QTreeWidgetItem(
        items_, QStringList{Utf8(programs_[p].name) +
                            (!programs_[p].installed ? QString()
                             : polish                ? QString::fromUtf8(" (nadal zainstalowany)")
                                                     : QString(" (still installed)"))});
    program->setFirstColumnSpanned(true);
    QFont bold = program->font(0);
    bold.setBold(true);
    program->setFont(0, bold);
    if (programs_[p].items.empty())
      new QTreeWidgetItem(program, QStringList{polish ? QString::fromUtf8("Nic nie zostało.")
                                                      : QString("Nothing was left.")});
    for (std::size_t i = 0; i < programs_[p].items.size(); ++i) {
      const Leftover& item = programs_[p].items[i];
      auto* row = new QTreeWidgetItem(
          program,
          QStringList{Utf8(i < programs_[p].shown.size() ? programs_[p].shown[i] : item.Text()),
                      Utf8(ConfidenceText(item.confidence, polish)),
                      Utf8(KindText(item.kind, polish)),
                      item.IsRegistry() ? QString()
                                        : locale.formattedDataSize(static_cast<qint64>(item.size)),
                      Utf8(polish ? item.reasonPolish : item.reason)});
      row->setToolTip(0, Utf8(item.Text()));
      row->setData(0, kProgramRole, static_cast<int>(p));
      row->setData(0, kItemRole, static_cast<int>(i));
      if (!programs_[p].installed)
        row->setCheckState(0, item.confidence == Confidence::Sure ? Qt::Checked : Qt::Unchecked);
    }
  }
  items_->expandAll();
  items_->header()->setSectionResizeMode(QHeaderView::Interactive);
  items_->setColumnWidth(0, 420);
  for (int column = 1; column < 4; ++column) items_->resizeColumnToContents(column);
  layout->addWidget(items_, 1);
  auto* buttons = new QDialogButtonBox(this);
  trash_ = buttons->addButton(polish ? QString::fromUtf8("&Przenieś do kosza") : "&Move to trash",
                              QDialogButtonBox::AcceptRole);
  trash_->setObjectName("btnMoveToTrash");
  auto* close = buttons->addButton(polish ? "Zamknij" : "Close", QDialogButtonBox::RejectRole);
  close->setObjectName("btnClose");
  // Enter closes a preview; it moves nothing.
  trash_->setAutoDefault(installed.isEmpty());
  close->setAutoDefault(!installed.isEmpty());
  (installed.isEmpty() ? trash_ : close)->setDefault(true);
  previewOnly_ =
      static_cast<qsizetype>(installed.size()) == static_cast<qsizetype>(programs_.size());
  trash_->setVisible(!previewOnly_);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(items_, &QTreeWidget::itemChanged, this, [this] { Update(); });
  layout->addWidget(buttons);
  resize(980, 480);
  Update();
}

std::vector<Leftover> LeftoversDialog::Chosen() const {
  std::vector<Leftover> chosen;
  for (int p = 0; p < items_->topLevelItemCount(); ++p) {
    const QTreeWidgetItem* program = items_->topLevelItem(p);
    for (int i = 0; i < program->childCount(); ++i) {
      const QTreeWidgetItem* row = program->child(i);
      if (!row->data(0, kItemRole).isValid() || row->checkState(0) != Qt::Checked) continue;
      const ProgramLeftovers& owner =
          programs_[static_cast<std::size_t>(row->data(0, kProgramRole).toInt())];
      if (!owner.installed)
        chosen.push_back(owner.items[static_cast<std::size_t>(row->data(0, kItemRole).toInt())]);
    }
  }
  return chosen;
}

void LeftoversDialog::TickAll(bool allConfidences) {
  for (int p = 0; p < items_->topLevelItemCount(); ++p) {
    QTreeWidgetItem* program = items_->topLevelItem(p);
    for (int i = 0; i < program->childCount(); ++i) {
      QTreeWidgetItem* row = program->child(i);
      if (!row->data(0, kItemRole).isValid()) continue;
      const ProgramLeftovers& owner =
          programs_[static_cast<std::size_t>(row->data(0, kProgramRole).toInt())];
      if (owner.installed) continue;
      const Leftover& item = owner.items[static_cast<std::size_t>(row->data(0, kItemRole).toInt())];
      row->setCheckState(
          0, allConfidences || item.confidence == Confidence::Sure ? Qt::Checked : Qt::Unchecked);
    }
  }
}

QStringList LeftoversDialog::RowTexts() const {
  QStringList rows;
  for (int p = 0; p < items_->topLevelItemCount(); ++p) {
    const QTreeWidgetItem* program = items_->topLevelItem(p);
    rows << program->text(0);
    for (int i = 0; i < program->childCount(); ++i) {
      const QTreeWidgetItem* row = program->child(i);
      const bool item = row->data(0, kItemRole).isValid();
      rows << QString("%1%2, %3, %4")
                  .arg(item ? (row->checkState(0) == Qt::Checked ? "[x] " : "[ ] ") : "",
                       row->text(1), row->text(2), row->text(0));
    }
  }
  return rows;
}

void LeftoversDialog::Update() {
  std::size_t total = 0;
  for (const auto& p : programs_) total += p.items.size();
  const std::size_t ticked = Chosen().size();
  trash_->setEnabled(ticked > 0);
  if (previewOnly_) {
    summary_->setText(polish_ ? QString::fromUtf8("Znalezione elementy: %1.").arg(total)
                              : QString("Items found: %1.").arg(total));
    return;
  }
  summary_->setText(
      polish_ ? QString::fromUtf8("Znalezione elementy: %1, zaznaczone: %2. Pliki trafią do kosza, "
                                  "skąd menedżer plików je przywróci; klucze rejestru zostaną "
                                  "najpierw zapisane do pliku.")
                    .arg(total)
                    .arg(ticked)
              : QString("Items found: %1, ticked: %2. Files go to the trash, from where the file "
                        "manager restores them; registry keys are saved to a file first.")
                    .arg(total)
                    .arg(ticked));
}

}  // namespace pgl
