#include "ui/windows/TFormDetails.h"
#include "ui/main/ThemeColors.h"

#include <QAction>
#include <QGridLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/main/CommandImages.h"
#include "ui/main/InfoPanel.h"
#include "ui/main/MainTexts.h"
#include "ui/main/PanelRules.h"

namespace pgl {

namespace {

constexpr int kRowIndexRole = Qt::UserRole + 1;

QColor Rgb(std::uint32_t rgb) {
  return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// A small rounded badge with two letters: the images of number and text values.
QIcon ValueBadge(const QColor& outline, const QColor& fill, const QColor& ink, const char* text) {
  QPixmap p(16, 16);
  p.fill(Qt::transparent);
  QPainter g(&p);
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(outline, 1));
  g.setBrush(fill);
  g.drawRoundedRect(QRectF(1.5, 3.5, 13, 9), 2, 2);
  QFont f("DejaVu Sans");
  f.setPixelSize(7);
  f.setBold(true);
  g.setFont(f);
  g.setPen(ink);
  g.drawText(QRectF(1.5, 3.5, 13, 9), Qt::AlignCenter, text);
  return QIcon(p);
}

// Image 0: numbers and binary data; image 1: texts.
QIcon ValueImage(int image) {
  static const QIcon number =
      ValueBadge(QColor("#1f4f8f"), QColor("#7fb2f0"), QColor("#0b2a55"), "01");
  static const QIcon text =
      ValueBadge(QColor("#8a3b12"), QColor("#f7d68e"), QColor("#5a2408"), "ab");
  return image == 0 ? number : text;
}

// Header rows are bars across the list with their title centred; the Name and Value cells of
// the other rows are shaded, links blue, commands dark red, the program's name bold.
class DetailsDelegate : public QStyledItemDelegate {
 public:
  DetailsDelegate(const DetailsContent& content, QObject* parent)
      : QStyledItemDelegate(parent), content_(content) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const DetailsRow* row = RowOf(index);
    if (row && row->IsHeader()) {
      // The row is one cell across the list (a span); selected or not, it is a bar.
      const QRect bar(option.rect.left(), option.rect.top(), std::max(0, option.rect.width() - 10),
                      option.rect.height());
      painter->save();
      painter->fillRect(option.rect, option.palette.base());
      painter->fillRect(bar, option.palette.button());
      painter->setPen(option.palette.color(QPalette::WindowText));
      painter->drawText(bar, Qt::AlignCenter, HeaderTitle(row->kind));
      painter->restore();
      return;
    }
    QStyledItemDelegate::paint(painter, option, index);
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const DetailsRow* row = RowOf(index);
    if (!row || row->IsHeader() || index.column() == 0) return;
    // The shades and colours fitted to the theme (turned over in a dark one).
    option->backgroundBrush =
        ThemeBackgroundColor(Rgb(index.column() == 1 ? 0xD6D8D1 : 0xDEE0D8), option->palette);
    if (index.column() == 2) {
      const DetailsValueLook look = ValueLook(*row);
      if (look.text)
        option->palette.setColor(QPalette::Text, ThemeTextColor(Rgb(*look.text), option->palette));
      option->font.setBold(look.bold);
    }
  }

 private:
  const DetailsRow* RowOf(const QModelIndex& index) const {
    const QVariant at = index.siblingAtColumn(0).data(kRowIndexRole);
    if (!at.isValid()) return nullptr;
    const int i = at.toInt();
    return i >= 0 && i < static_cast<int>(content_.rows.size()) ? &content_.rows[i] : nullptr;
  }
  const DetailsContent& content_;
};

}  // namespace

TFormDetails::TFormDetails(QWidget* owner, RegistryOf registryOf, WindowServices& services,
                           const QKeySequence& closeShortcut)
    : TSecondaryWindow("TFormDetails", {"Details", "Szczegóły"}, owner),
      registryOf_(std::move(registryOf)),
      services_(services) {
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  resize(612, 423);
  setMinimumSize(300, 200);
  auto* top = new QFrame(this);
  top->setObjectName("pnTop");
  top->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
  auto* grid = new QGridLayout(top);
  grid->setContentsMargins(6, 4, 6, 4);
  const auto caption = [&](const char* name, const char* text, int row) {
    auto* label = new QLabel(text, top);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, 0);
  };
  caption("Label1", "Uninstall Key :", 0);
  caption("Label2", "ARP Cache Key :", 1);
  lblUninstallKey_ = new LinkLabel("lblUninstallKey", QColor("#008000"), top);
  lblARPCacheKey_ = new LinkLabel("lblARPCacheKey", QColor("#008000"), top);
  grid->addWidget(lblUninstallKey_, 0, 1);
  grid->addWidget(lblARPCacheKey_, 1, 1);
  grid->setColumnStretch(1, 1);
  for (LinkLabel* label : {lblUninstallKey_, lblARPCacheKey_}) {
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(label, &LinkLabel::leftReleased, this, [this, label](bool) {
      if (!TrimBlanks(label->text().toStdString()).empty() && services_.desktop)
        services_.desktop->JumpToRegistryKey(label->text().toStdString());
    });
    connect(label, &LinkLabel::rightReleased, this, [this, label] {
      if (services_.setClipboard) services_.setClipboard(label->text());
    });
  }

  lv_ = new QTableWidget(0, 3, this);
  lv_->setObjectName("lv");
  lv_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_->setShowGrid(true);
  lv_->setWordWrap(false);
  lv_->verticalHeader()->hide();
  lv_->horizontalHeader()->setSectionsClickable(false);
  lv_->horizontalHeader()->setStretchLastSection(true);
  lv_->setColumnWidth(0, 50);
  lv_->setColumnWidth(1, 140);
  lv_->setItemDelegate(new DetailsDelegate(content_, lv_));
  lv_->setContextMenuPolicy(Qt::CustomContextMenu);

  const struct {
    const char* name;
    QKeySequence keys;
    void (TFormDetails::*run)();
  } actions[] = {
      {"actSelectAll", QKeySequence("Ctrl+A"), &TFormDetails::actSelectAllExecute},
      {"actInvertSelection", QKeySequence("Ctrl+I"), &TFormDetails::actInvertSelectionExecute},
      {"actCopySelected", QKeySequence("Ctrl+C"), &TFormDetails::actCopySelectedExecute},
      {"actRefresh", QKeySequence("F5"), &TFormDetails::actRefreshExecute},
  };
  for (const auto& a : actions) {
    QAction* action = AddWindowAction(a.name, a.keys);
    connect(action, &QAction::triggered, this, a.run);
    actions_[a.name] = action;
  }
  CloseOnEsc();
  // The main window's Details shortcut hides the window from here too.
  QAction* close = AddWindowAction("actClose", closeShortcut);
  connect(close, &QAction::triggered, this, &QWidget::hide);
  actions_["actClose"] = close;

  popLv_ = new QMenu(this);
  popLv_->setObjectName("popLv");
  popLv_->addAction(actions_["actSelectAll"]);
  popLv_->addAction(actions_["actInvertSelection"]);
  popLv_->addSeparator();
  popLv_->addAction(actions_["actCopySelected"]);
  popLv_->addSeparator();
  popLv_->addAction(actions_["actRefresh"]);
  connect(popLv_, &QMenu::aboutToShow, this, &TFormDetails::popLvPopup);
  connect(lv_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popLv_->popup(lv_->viewport()->mapToGlobal(at)); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(top);
  layout->addWidget(lv_, 1);
  SetLang(Language::English);
}

QLabel* TFormDetails::KeyLabel(bool arpCache) const {
  return arpCache ? lblARPCacheKey_ : lblUninstallKey_;
}

QAction* TFormDetails::Action(const QString& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void TFormDetails::SetLang(Language lang) {
  TSecondaryWindow::SetLang(lang);
  for (LinkLabel* label : {lblUninstallKey_, lblARPCacheKey_})
    label->setToolTip(QString::fromStdString(CopyHint(lang)));
  static constexpr Translations kHeaders[] = {
      {"No", "Nr"}, {"Name", "Nazwa"}, {"Value", "Wartość"}};
  QStringList headers;
  for (const Translations& header : kHeaders) headers << QString::fromUtf8(header.In(lang));
  lv_->setHorizontalHeaderLabels(headers);
  static constexpr std::pair<const char*, Translations> kActions[] = {
      {"actSelectAll", {"Select all", "Zaznacz wszystko"}},
      {"actInvertSelection", {"Invert selection", "Odwróć zaznaczenie"}},
      {"actCopySelected",
       {"Copy selected items to the Clipboard", "Kopiuj zaznaczone elementy do Schowka"}},
      {"actRefresh", {"Refresh", "Odśwież"}}};
  for (const auto& [name, text] : kActions) {
    const QString t = QString::fromUtf8(text.In(lang));
    actions_[name]->setText(t);
    actions_[name]->setToolTip(t);
  }
}

void TFormDetails::DisplayInfo(UninstallView view, const std::string& keyName) {
  detailsView_ = view;
  detailsKey_ = keyName;
  lv_->setUpdatesEnabled(false);
  lv_->clearSpans();
  lv_->setRowCount(0);
  content_ = registry_ ? ReadDetails(*registry_, view, keyName) : DetailsContent{};
  lblUninstallKey_->setText(QString::fromStdString(content_.uninstallKey));
  lblARPCacheKey_->setText(QString::fromStdString(content_.arpCacheKey));
  lv_->setRowCount(static_cast<int>(content_.rows.size()));
  for (int i = 0; i < static_cast<int>(content_.rows.size()); ++i) {
    const DetailsRow& row = content_.rows[static_cast<std::size_t>(i)];
    auto* no = new QTableWidgetItem(QString::fromStdString(row.no));
    no->setData(kRowIndexRole, i);
    lv_->setItem(i, 0, no);
    auto* name = new QTableWidgetItem(QString::fromStdString(row.name));
    if (row.image >= 0) name->setIcon(ValueImage(row.image));
    lv_->setItem(i, 1, name);
    lv_->setItem(i, 2, new QTableWidgetItem(QString::fromStdString(row.value)));
    if (row.IsHeader()) lv_->setSpan(i, 0, 1, 3);
  }
  // A multi-string shows its strings on lines of their own.
  lv_->resizeRowsToContents();
  lv_->setUpdatesEnabled(true);
}

void TFormDetails::DisplaySelectedInfo(const TUninstallInfo* entry) {
  if (!entry) {
    DisplayInfo(UninstallView::Machine, "");
    return;
  }
  registry_ = &registryOf_(*entry);
  DisplayInfo(entry->View, EntrySubkey(*entry));
}

void TFormDetails::popLvPopup() {
  actions_["actCopySelected"]->setEnabled(!lv_->selectionModel()->selectedRows().isEmpty());
  actions_["actSelectAll"]->setEnabled(lv_->rowCount() > 0);
  actions_["actInvertSelection"]->setEnabled(lv_->rowCount() > 0);
  actions_["actRefresh"]->setEnabled(!detailsKey_.empty());
}

void TFormDetails::actSelectAllExecute() {
  lv_->selectAll();
}

void TFormDetails::actInvertSelectionExecute() {
  if (lv_->rowCount() == 0) return;
  lv_->selectionModel()->select(
      QItemSelection(lv_->model()->index(0, 0), lv_->model()->index(lv_->rowCount() - 1, 2)),
      QItemSelectionModel::Toggle);
}

void TFormDetails::actCopySelectedExecute() {
  std::vector<const DetailsRow*> rows;
  for (int i = 0; i < lv_->rowCount(); ++i)
    if (lv_->selectionModel()->isRowSelected(i, {}))
      rows.push_back(&content_.rows[static_cast<std::size_t>(i)]);
  if (services_.setClipboard) services_.setClipboard(QString::fromStdString(DetailsCopyText(rows)));
}

void TFormDetails::actRefreshExecute() {
  DisplayInfo(detailsView_, detailsKey_);
}

void TFormDetails::resizeEvent(QResizeEvent* event) {
  TSecondaryWindow::resizeEvent(event);
  lv_->viewport()->update();  // the header bars follow the width
}

}  // namespace pgl
