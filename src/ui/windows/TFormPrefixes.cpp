#include "ui/windows/TFormPrefixes.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "leftovers/PrefixRemoval.h"
#include "leftovers/RegistrySaves.h"
#include "leftovers/SavesArchive.h"
#include "util/FileIO.h"

namespace pgl {

namespace {

constexpr int kShareRole = Qt::UserRole + 1;
constexpr int kIdRole = Qt::UserRole + 2;
constexpr int kCacheShareRole = Qt::UserRole + 3;

// The size column: a bar as long as the row's share of the largest, behind the number: the
// prefix in the theme's highlight, its shader cache after it in a lighter shade.
class SizeBarDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const double share = index.data(kShareRole).toDouble();
    const double cache = index.data(kCacheShareRole).toDouble();
    const QRect room = option.rect.adjusted(2, 3, -2, -3);
    QColor colour = option.palette.highlight().color();
    int right = room.left();
    if (share > 0) {
      QRect bar = room;
      bar.setWidth(std::max(1, static_cast<int>(room.width() * share)));
      colour.setAlpha(110);
      painter->fillRect(bar, colour);
      right = bar.right() + 1;
    }
    if (cache > 0) {
      const QRect bar(right, room.top(), std::max(1, static_cast<int>(room.width() * cache)),
                      room.height());
      colour.setAlpha(45);
      painter->fillRect(bar, colour);
    }
    QStyledItemDelegate::paint(painter, option, index);
  }
};

std::string FolderOf(const KnownSystem& p) {
  return p.folder.empty() ? p.path : p.folder;
}

}  // namespace

TFormPrefixes::TFormPrefixes(QWidget* owner, WindowServices& services)
    : TSecondaryWindow("TFormPrefixes", {"Prefixes", "Prefiksy"}, owner),
      services_(services),
      stop_(std::make_shared<std::atomic<bool>>(false)) {
  resize(900, 420);
  setMinimumSize(520, 240);
  table_ = new QTableWidget(this);
  table_->setObjectName("lvPrefixes");
  table_->setColumnCount(static_cast<int>(PrefixColumn::Count));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setItemDelegateForColumn(static_cast<int>(PrefixColumn::Size),
                                   new SizeBarDelegate(table_));
  btnRemove_ = new QPushButton(this);
  btnRemove_->setObjectName("btnRemovePrefix");
  connect(btnRemove_, &QPushButton::clicked, this, &TFormPrefixes::RemoveSelected);
  btnSave_ = new QPushButton(this);
  btnSave_->setObjectName("btnSaveSaves");
  connect(btnSave_, &QPushButton::clicked, this, &TFormPrefixes::SaveSelected);
  btnShare_ = new QPushButton(this);
  btnShare_->setObjectName("btnShareFiles");
  connect(btnShare_, &QPushButton::clicked, this, &TFormPrefixes::ShareSelected);
  connect(AddWindowAction("actRemovePrefix", QKeySequence(Qt::Key_Delete)), &QAction::triggered,
          this, &TFormPrefixes::RemoveSelected);
  CloseOnEsc();
  summary_ = new QLabel(this);
  summary_->setObjectName("lblRemovedSummary");
  auto* strip = new QHBoxLayout;
  strip->addWidget(btnRemove_);
  strip->addWidget(btnSave_);
  strip->addWidget(btnShare_);
  strip->addStretch(1);
  strip->addWidget(summary_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(table_, 1);
  layout->addLayout(strip);
  SetLang(Language::English);
}

TFormPrefixes::~TFormPrefixes() {
  StopMeasuring();
  if (sharing_.joinable()) sharing_.join();  // a file is never left half done
}

void TFormPrefixes::SetLang(Language lang) {
  lang_ = lang;
  TSecondaryWindow::SetLang(lang);
  table_->setAccessibleName(QString::fromStdString(Text(PrefixesText::Title, lang)));
  btnRemove_->setText(QString::fromStdString(Text(PrefixesText::RemoveButton, lang)));
  btnSave_->setText(QString::fromStdString(Text(PrefixesText::SaveButton, lang)));
  btnShare_->setText(QString::fromStdString(Text(PrefixesText::ShareButton, lang)));
  QStringList captions;
  for (int c = 0; c < static_cast<int>(PrefixColumn::Count); ++c)
    captions << QString::fromStdString(PrefixCaption(static_cast<PrefixColumn>(c), lang));
  table_->setHorizontalHeaderLabels(captions);
  Fill();
}

void TFormPrefixes::StopMeasuring() {
  stop_->store(true);
  if (measuring_.joinable()) measuring_.join();
  stop_ = std::make_shared<std::atomic<bool>>(false);
}

void TFormPrefixes::ShowPrefixes(std::vector<KnownSystem> known,
                                 const std::vector<std::string>& shown) {
  StopMeasuring();
  known_ = std::move(known);
  rows_.clear();
  for (std::size_t i = 0; i < known_.size(); ++i) {
    PrefixRow row{i, known_[i], std::nullopt, std::nullopt, false};
    const auto id = IdentityOf(row.prefix.path, true);
    for (const std::string& dir : shown)
      row.shown = row.shown || (id && IdentityOf(dir, true) == id);
    rows_.push_back(std::move(row));
  }
  Fill();
  // Measured one after the other, each by several threads; a row fills in as it is done.
  measuring_ = std::thread([this, prefixes = known_, stop = stop_] {
    for (std::size_t i = 0; i < prefixes.size() && !stop->load(); ++i) {
      auto programs = ProgramCount(prefixes[i]);
      PrefixUsage usage = MeasureWithRegistrySaves(prefixes[i]).value_or(PrefixUsage{});
      if (stop->load()) break;
      QMetaObject::invokeMethod(
          this, [this, i, programs, usage = std::move(usage)] { TakeMeasure(i, programs, usage); },
          Qt::QueuedConnection);
    }
  });
}

void TFormPrefixes::TakeMeasure(std::size_t id, std::optional<std::size_t> programs,
                                PrefixUsage usage) {
  for (PrefixRow& row : rows_)
    if (row.id == id) {
      row.programs = programs;
      row.usage = std::move(usage);
    }
  Fill();
}

bool TFormPrefixes::Measured() const {
  return std::all_of(rows_.begin(), rows_.end(), [](const PrefixRow& r) { return r.usage; });
}

void TFormPrefixes::Fill() {
  // The selection is kept by prefix across the new order.
  std::vector<std::size_t> selected;
  for (const std::size_t index : SelectedRows()) selected.push_back(rows_[index].id);
  SortBySize(rows_);
  std::uint64_t largest = 0;
  for (const PrefixRow& row : rows_) largest = std::max(largest, RowBytes(row));
  table_->setRowCount(static_cast<int>(rows_.size()));
  table_->clearSelection();
  for (std::size_t r = 0; r < rows_.size(); ++r) {
    const PrefixRow& row = rows_[r];
    for (int c = 0; c < static_cast<int>(PrefixColumn::Count); ++c) {
      const auto column = static_cast<PrefixColumn>(c);
      auto* item = new QTableWidgetItem(QString::fromStdString(PrefixCell(row, column, lang_)));
      item->setData(kIdRole, static_cast<qulonglong>(row.id));
      if (column == PrefixColumn::Size) {
        const SizeShares shares = SizeShareOf(row, largest);
        item->setData(kShareRole, shares.prefix);
        item->setData(kCacheShareRole, shares.cache);
      }
      if (column == PrefixColumn::Size || column == PrefixColumn::Saves ||
          column == PrefixColumn::Programs || column == PrefixColumn::ShaderCache)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (StandsOut(row)) {
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
      }
      if (column == PrefixColumn::Folder)
        item->setToolTip(QString::fromStdString(FolderOf(row.prefix)));
      table_->setItem(static_cast<int>(r), c, item);
    }
    if (std::find(selected.begin(), selected.end(), row.id) != selected.end())
      table_->selectRow(static_cast<int>(r));
  }
  // The Steam columns only where a Steam game is listed.
  const bool steam = std::any_of(rows_.begin(), rows_.end(), [](const PrefixRow& row) {
    return row.prefix.cloudSaves != CloudSaves::None || !row.prefix.shaderCache.empty();
  });
  table_->setColumnHidden(static_cast<int>(PrefixColumn::ShaderCache), !steam);
  table_->setColumnHidden(static_cast<int>(PrefixColumn::Cloud), !steam);
  table_->resizeColumnsToContents();
  summary_->setText(QString::fromStdString(RemovedSummary(rows_, lang_)));
}

std::vector<std::size_t> TFormPrefixes::SelectedRows() const {
  std::vector<std::size_t> rows;
  if (!table_->selectionModel()) return rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows())
    if (index.row() >= 0 && static_cast<std::size_t>(index.row()) < rows_.size())
      rows.push_back(static_cast<std::size_t>(index.row()));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TFormPrefixes::RemoveSelected() {
  std::vector<const PrefixRow*> chosen;
  QString refused;
  for (const std::size_t index : SelectedRows()) {
    const PrefixRow& row = rows_[index];
    if (const std::string why = WindowRefusal(row, lang_); !why.empty())
      refused += QString::fromStdString("\n" + row.prefix.name + ": " + why);
    else
      chosen.push_back(&row);
  }
  if (!refused.isEmpty())
    services_.tellUser(
        "Purgelet", QString::fromStdString(Text(PrefixesText::NotRemovedTitle, lang_)) + refused);
  if (chosen.empty()) return;
  const XdgFolders xdg = UserXdgFolders();
  PrefixRemovalOptions options{xdg.documents + "/Purgelet saves", true, lang_};
  for (const PrefixRow* row : chosen)
    options.batchFolders.push_back(row->prefix.folder.empty() ? row->prefix.path
                                                              : row->prefix.folder);
  const bool yes =
      services_.ask(QString::fromStdString(RemovalQuestion(chosen, options.savesTo, lang_)));
  // The question was the main window's: this window comes back on top.
  raise();
  activateWindow();
  if (!yes) return;
  StopMeasuring();  // nothing reads a prefix while it goes
  std::vector<std::size_t> gone;
  QString failures;
  std::size_t archives = 0;
  for (const PrefixRow* row : chosen) {
    const KnownSystem& prefix = row->prefix;
    const PrefixRemoval r = RemovePrefix(
        prefix, known_, [&prefix] { return KnownSystemInUse(prefix); }, options, xdg);
    if (!r.archive.file.empty()) ++archives;
    if (r.outcome == PrefixOutcome::Removed)
      gone.push_back(row->id);
    else
      failures += QString::fromStdString("\n" + row->prefix.name + ": " + r.why);
    for (const std::string& item : r.itemsNotMoved) failures += QString::fromStdString("\n" + item);
  }
  // What stays is listed again, measured anew.
  std::vector<KnownSystem> left;
  std::vector<std::string> shown;
  for (const PrefixRow& row : rows_) {
    if (row.shown) shown.push_back(row.prefix.path);
    if (std::find(gone.begin(), gone.end(), row.id) == gone.end()) left.push_back(row.prefix);
  }
  if (!failures.isEmpty())
    services_.tellUser(
        "Purgelet", QString::fromStdString(Text(PrefixesText::NotRemovedTitle, lang_)) + failures);
  if (!gone.empty()) {
    emit notice(QString::fromStdString(
        pgl::Fill(Text(PrefixesText::Removed, lang_), {std::to_string(gone.size())})));
    emit prefixesChanged();
  }
  ShowPrefixes(std::move(left), shown);
}

void TFormPrefixes::SaveSelected() {
  std::vector<const PrefixRow*> chosen;
  for (const std::size_t index : SelectedRows()) {
    const PrefixRow& row = rows_[index];
    const PrefixUsage usage =
        row.usage ? *row.usage : MeasureWithRegistrySaves(row.prefix).value_or(PrefixUsage{});
    if (!usage.saveFolders.empty()) chosen.push_back(&row);
  }
  if (chosen.empty()) {
    if (!SelectedRows().empty())
      services_.tellUser("Purgelet",
                         QString::fromStdString(Text(PrefixesText::NothingToSave, lang_)));
    return;
  }
  const QString folder = services_.chooseFolder ? services_.chooseFolder(QString::fromStdString(
                                                      Text(PrefixesText::SavesFolderTitle, lang_)))
                                                : QString();
  // The question or dialog was the main window's: this window comes back on top.
  raise();
  activateWindow();
  if (folder.isEmpty()) return;
  std::size_t files = 0;
  QString failures;
  for (const PrefixRow* row : chosen) {
    SavesArchive archive;
    std::string error;
    const std::string name = row->prefix.owner.empty() ? row->prefix.name : row->prefix.owner;
    if (WriteSavesArchive(row->prefix.path, name, folder.toStdString(), archive, error,
                          RegistrySavesOf(row->prefix)))
      files += archive.files;
    else
      failures += QString::fromStdString("\n" + row->prefix.name + ": " + error);
  }
  if (!failures.isEmpty()) services_.tellUser("Purgelet", failures.trimmed());
  if (files > 0)
    emit notice(QString::fromStdString(pgl::Fill(Text(PrefixesText::SavesWritten, lang_),
                                                 {std::to_string(files), folder.toStdString()})));
}

}  // namespace pgl
