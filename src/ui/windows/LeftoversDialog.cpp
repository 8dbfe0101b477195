#include "ui/windows/LeftoversDialog.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "ui/UiText.h"

namespace pgl {

namespace {

enum class Msg {
  Title,
  StillInstalledWarning,
  Item,
  Confidence,
  Kind,
  Size,
  Reason,
  StillInstalledMark,
  NothingLeft,
  MoveToTrash,
  Close,
  Found,
  FoundTicked,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::Title, {"Leftovers", "Pozostałości"}},
    {Msg::StillInstalledWarning,
     {"Still installed: %1. Their items are only shown, as what they would leave; uninstall "
      "them first to remove them.",
      "Nadal zainstalowane: %1. Ich elementy są tylko pokazane: to, co zostałoby po nich. Aby je "
      "usunąć, najpierw je odinstaluj."}},
    {Msg::Item, {"Item", "Element"}},
    {Msg::Confidence, {"Confidence", "Pewność"}},
    {Msg::Kind, {"Kind", "Rodzaj"}},
    {Msg::Size, {"Size", "Rozmiar"}},
    {Msg::Reason, {"Reason", "Powód"}},
    {Msg::StillInstalledMark, {" (still installed)", " (nadal zainstalowany)"}},
    {Msg::NothingLeft, {"Nothing was left.", "Nic nie zostało."}},
    {Msg::MoveToTrash, {"&Move to trash", "&Przenieś do kosza"}},
    {Msg::Close, {"Close", "Zamknij"}},
    {Msg::Found, {"Items found: %1.", "Znalezione elementy: %1."}},
    {Msg::FoundTicked,
     {"Items found: %1, ticked: %2. Files go to the trash, from where the file manager restores "
      "them; registry keys are saved to a file first.",
      "Znalezione elementy: %1, zaznaczone: %2. Pliki trafią do kosza, skąd menedżer plików je "
      "przywróci; klucze rejestru zostaną najpierw zapisane do pliku."}},
};
static_assert(IsMessageTable(kMessages));

QString Text(Msg id, Language lang) {
  return UiText(kMessages, id, lang);
}

// The item's place in programs_: the program's index and the item's.
constexpr int kProgramRole = Qt::UserRole;
constexpr int kItemRole = Qt::UserRole + 1;

}  // namespace

LeftoversDialog::LeftoversDialog(QWidget* parent, std::vector<ProgramLeftovers> programs,
                                 Language lang)
    : QDialog(parent), programs_(std::move(programs)), lang_(lang) {
  setObjectName("LeftoversDialog");
  setWindowTitle(Text(Msg::Title, lang_));
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
  warning_->setText(Text(Msg::StillInstalledWarning, lang_).arg(installed.join(", ")));
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
  items_->setHeaderLabels({Text(Msg::Item, lang_), Text(Msg::Confidence, lang_),
                           Text(Msg::Kind, lang_), Text(Msg::Size, lang_),
                           Text(Msg::Reason, lang_)});
  const QLocale locale = LocaleOf(lang);
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    auto* program = new QTreeWidgetItem(
        items_,
        QStringList{Utf8(programs_[p].name) +
                    (programs_[p].installed ? Text(Msg::StillInstalledMark, lang_) : QString())});
    program->setFirstColumnSpanned(true);
    QFont bold = program->font(0);
    bold.setBold(true);
    program->setFont(0, bold);
    if (programs_[p].items.empty())
      new QTreeWidgetItem(program, QStringList{Text(Msg::NothingLeft, lang_)});
    for (std::size_t i = 0; i < programs_[p].items.size(); ++i) {
      const Leftover& item = programs_[p].items[i];
      auto* row = new QTreeWidgetItem(
          program,
          QStringList{Utf8(i < programs_[p].shown.size() ? programs_[p].shown[i] : item.Text()),
                      Utf8(ConfidenceText(item.confidence, lang)), Utf8(KindText(item.kind, lang)),
                      item.IsRegistry() ? QString()
                                        : locale.formattedDataSize(static_cast<qint64>(item.size)),
                      Utf8(item.reason.In(lang))});
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
  trash_ = buttons->addButton(Text(Msg::MoveToTrash, lang_), QDialogButtonBox::AcceptRole);
  trash_->setObjectName("btnMoveToTrash");
  auto* close = buttons->addButton(Text(Msg::Close, lang_), QDialogButtonBox::RejectRole);
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
  auto* copy = new QAction(this);
  copy->setObjectName("actCopy");
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WindowShortcut);
  connect(copy, &QAction::triggered, this,
          [this] { QApplication::clipboard()->setText(CopyText()); });
  addAction(copy);
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

QString LeftoversDialog::CopyText() const {
  QStringList lines;
  const QList<QTreeWidgetItem*> selected = items_->selectedItems();
  for (QTreeWidgetItemIterator it(items_); *it; ++it) {
    if (!selected.isEmpty() && !selected.contains(*it)) continue;
    QStringList cells;
    for (int c = 0; c < items_->columnCount(); ++c)
      if (!(*it)->text(c).isEmpty() || c == 0) cells << (*it)->text(c);
    // An item's whole path or key, not the shortened text it shows.
    if ((*it)->data(0, kItemRole).isValid()) cells[0] = (*it)->toolTip(0);
    lines << cells.join('\t');
  }
  return lines.join('\n');
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
    summary_->setText(Text(Msg::Found, lang_).arg(total));
    return;
  }
  summary_->setText(Text(Msg::FoundTicked, lang_).arg(total).arg(ticked));
}

}  // namespace pgl
