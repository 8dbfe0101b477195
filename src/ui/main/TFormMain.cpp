#include "ui/main/TFormMain.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>

#include "inventory/UninstallEngine.h"
#include "lang/Language.h"
#include "platform/AppFiles.h"
#include "registry/RegExport.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/Startup.h"
#include "ui/windows/ConfirmDialogs.h"
#include "util/CodePage.h"
#include "util/Locale.h"

namespace pgl {

namespace {

// Set while a command works through its selection, and cleared whichever way it ends.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

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

struct ActionText {
  const char* name;
  const char* english;
  const char* polish;
  const char* shortcut;
};

const ActionText kActions[] = {
    {"actRefresh", "Refresh list", "Odśwież listę", "F5"},
    {"actUninstall", "Uninstall selected applications...", "Odinstaluj zaznaczone programy...",
     "Ctrl+U"},
    {"actRemove", "Remove selected applications from list...",
     "Usuń zaznaczone programy z listy...", "Shift+Del"},
    {"actExitApp", "Exit", "Zamknij", ""},
    {"actSystemComponentsVisible", "Show system components", "Pokaż komponenty systemowe", ""},
    {"actInvalidVisible", "Show invalid items", "Pokaż nieprawidłowe elementy", ""},
    {"actShowOnlyInvalid", "Show invalid items only", "Pokaż tylko nieprawidłowe elementy", ""},
    {"actShowHideToolbar", "Show toolbar", "Pokaż pasek narzędziowy", "Ctrl+T"},
    {"actView", "View style", "Styl widoku", ""},
    {"actViewLargeIcons", "Large icons", "Duże ikony", ""},
    {"actViewSmallIcons", "Small icons", "Małe ikony", ""},
    {"actViewList", "List", "Lista", ""},
    {"actViewDetails", "Details", "Szczegóły", ""},
    {"actSetLangEN", "English", "English", ""},
    {"actSetLangPL", "Polski", "Polski", ""},
};

struct MenuText {
  const char* name;
  const char* english;
  const char* polish;
};
const MenuText kMenus[] = {{"mnuFile", "File", "Plik"},
                           {"mnuAction", "Action", "Akcja"},
                           {"mnuList", "List", "Lista"},
                           {"mnuView", "View", "Widok"},
                           {"mnuLanguage", "Language", "Język"}};

// Keeps the window alive while an uninstaller or Wine's save is waited for, shows what it is
// waiting for and lets the user stop waiting.
class WindowObserver : public UninstallObserver {
 public:
  explicit WindowObserver(QWidget* parent, bool polish) : polish_(polish) {
    progress_ = new QProgressDialog(parent);
    progress_->setWindowModality(Qt::NonModal);
    progress_->setRange(0, 0);
    progress_->setMinimumDuration(0);
    progress_->setCancelButtonText(polish ? "Przestań czekać" : "Stop waiting");
    QObject::connect(progress_, &QProgressDialog::canceled, [this] { stop_ = true; });
  }
  ~WindowObserver() override { delete progress_; }

  void UninstallerStarting(const TUninstallInfo& entry, int position, int count) override {
    stop_ = false;
    progress_->setLabelText(
        QString::fromUtf8(polish_ ? "Deinstalacja (%1 z %2): %3" : "Uninstalling (%1 of %2): %3")
            .arg(position + 1)
            .arg(count)
            .arg(QString::fromStdString(entry.DisplayName.str())));
    progress_->show();
    QApplication::processEvents();
  }
  bool StopWaiting() override {
    QApplication::processEvents();
    return stop_;
  }
  bool KeepWaitingForRegistry(int seconds) override {
    if (!waiting_) {
      waiting_ = true;
      stop_ = false;
      progress_->setLabelText(polish_ ? "Czekam, aż Wine zapisze rejestr..."
                                      : "Waiting for Wine to save the registry...");
      progress_->show();
    }
    (void)seconds;
    QApplication::processEvents();
    return !stop_;
  }

 private:
  QProgressDialog* progress_;
  bool polish_;
  bool stop_ = false;
  bool waiting_ = false;
};

}  // namespace

TFormMain::TFormMain(ManagedSystem& system, ProgramFiles files, QWidget* parent)
    : QMainWindow(parent),
      system_(system),
      files_(std::move(files)),
      errors_(files_.errorLogFileName) {
  setObjectName("TFormMain");
  setWindowTitle("Purgelet");
  resize(625, 588);
  setMinimumSize(390, 300);
  SetDefParams(params_);
  model_ = new EntryListModel(system_.platform.get(), this);
  lv_ = new QTableView(this);
  lv_->setObjectName("lv");
  lv_->setModel(model_);
  lv_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_->setShowGrid(true);
  lv_->setWordWrap(false);
  lv_->verticalHeader()->hide();
  lv_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  lv_->horizontalHeader()->setSectionsClickable(true);
  lv_->horizontalHeader()->setHighlightSections(false);
  connect(lv_->horizontalHeader(), &QHeaderView::sectionClicked, this, &TFormMain::lvColumnClick);
  lvIcons_ = new QListView(this);
  lvIcons_->setObjectName("lvIcons");
  lvIcons_->setModel(model_);
  lvIcons_->setSelectionModel(lv_->selectionModel());  // one selection, whatever the style
  lvIcons_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lvIcons_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvIcons_->setResizeMode(QListView::Adjust);
  lvIcons_->setUniformItemSizes(true);
  lvIcons_->setItemDelegate(new ItemColorsDelegate(lvIcons_));
  lvStack_ = new QStackedWidget(this);
  lvStack_->addWidget(lv_);
  lvStack_->addWidget(lvIcons_);
  setCentralWidget(lvStack_);
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    lv_->setColumnWidth(static_cast<int>(c), ListColumns()[c].width);

  CreateActions();
  CreateMenusAndToolbar();
  auto* sb = statusBar();
  sb->setObjectName("sb");
  sbTotal_ = new QLabel(this);
  sbInvalid_ = new QLabel(this);
  sbSystem_ = new QLabel(this);
  sbPrefix_ = new QLabel(QString::fromStdString(system_.description), this);
  sbPrefix_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  for (QLabel* label : {sbTotal_, sbInvalid_, sbSystem_}) sb->addWidget(label);
  sb->addWidget(sbPrefix_, 1);
  formUninstall_ = new TFormUninstall(this);
  formRemove_ = new TFormRemove(this);
  confirm = [](TConfirmDialog& dialog) { return dialog.Confirm(); };
  tellUser = [this](const QString& title, const QString& text) {
    QMessageBox::warning(this, title, text);
  };

  // The program's own records in the managed registry; refused while Wine runs in the
  // prefix, which the user hears of once, without being stopped.
  {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string exe = files_.exePath.empty() ? ExecutableDir() + "/pgl" : files_.exePath;
    const StartupRecords records =
        WriteStartupRecords(*system_.registry, WineZPath(exe),
                            WineZPath(exe.substr(0, exe.rfind('/'))), FormatShortDate(local));
    if (!records.written) startupNote_ = QString::fromStdString(records.refusal);
  }
  collection_ = std::make_unique<TUninstallCollection>(*system_.registry, *system_.platform);
  collection_->SetSystemComponentsVisible(false);
  const bool firstStart =
      files_.settingsFileName.empty() || ::access(files_.settingsFileName.c_str(), F_OK) != 0;
  LoadParamsFromIni();
  if (firstStart) {
    // The first start speaks the user's language and keeps a backup of what it may change.
    languagePL = PolishFromLocale();
    if (!files_.dir.empty()) {
      try {
        ExportRegistryKeys(*system_.registry, BackupKeys(*system_.registry),
                           FirstBackupFileName(files_.dir, LocalNow()), UserAnsiCodePage());
      } catch (const ERegistryExportError&) {
        // The next start tries again while there is no settings file.
      }
    }
  }
  collection_->ReadUninstallEntries();
  collection_->SortByName();
  collection_->SortItems(collection_->CurrentSort);
  SetLang(languagePL);
  DisplayUninstallInfo();
  SetViewStyle(viewStyle_);
  if (!startupNote_.isEmpty())
    statusBar()->showMessage(
        (languagePL ? QString::fromUtf8("Zmiany w rejestrze tego prefiksu są teraz niemożliwe: ")
                    : QString("The registry of this prefix cannot be changed now: ")) +
            startupNote_,
        20000);
  (lvStack_->currentWidget() == lv_ ? static_cast<QWidget*>(lv_) : lvIcons_)->setFocus();
  connect(lv_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { InitActions(); });
}

TFormMain::~TFormMain() = default;

QAction* TFormMain::Action(const QString& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

void TFormMain::CreateActions() {
  for (const ActionText& item : kActions) {
    auto* action = new QAction(this);
    action->setObjectName(item.name);
    if (*item.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
    actions_[item.name] = action;
    addAction(action);
  }
  connect(Action("actRefresh"), &QAction::triggered, this, &TFormMain::actRefreshExecute);
  connect(Action("actUninstall"), &QAction::triggered, this, &TFormMain::actUninstallExecute);
  connect(Action("actRemove"), &QAction::triggered, this, &TFormMain::actRemoveExecute);
  connect(Action("actExitApp"), &QAction::triggered, this, &QWidget::close);
  for (const char* name : {"actSystemComponentsVisible", "actInvalidVisible", "actShowOnlyInvalid",
                           "actShowHideToolbar", "actSetLangEN", "actSetLangPL"})
    Action(name)->setCheckable(true);
  connect(Action("actSystemComponentsVisible"), &QAction::triggered, this, [this](bool on) {
    collection_->SetSystemComponentsVisible(on);
    actRefreshExecute();
  });
  connect(Action("actInvalidVisible"), &QAction::triggered, this, [this](bool on) {
    params_.ShowInvalidItems = on;
    actRefreshExecute();
  });
  connect(Action("actShowOnlyInvalid"), &QAction::triggered, this, [this](bool on) {
    params_.ShowOnlyInvalidItems = on;
    actRefreshExecute();
  });
  connect(Action("actShowHideToolbar"), &QAction::triggered, this,
          [this](bool on) { tbMain_->setVisible(on); });
  // "List" is the platform's small-icon view and "Small icons" its list view.
  const std::pair<const char*, int> styles[] = {{"actViewLargeIcons", 0},
                                                {"actViewList", 1},
                                                {"actViewSmallIcons", 2},
                                                {"actViewDetails", 3}};
  for (const auto& [name, style] : styles) {
    Action(name)->setCheckable(true);
    connect(Action(name), &QAction::triggered, this,
            [this, style = style] { SetViewStyle(style); });
  }
  connect(Action("actView"), &QAction::triggered, this,
          [this] { SetViewStyle(NextViewStyle(viewStyle_)); });
  connect(Action("actSetLangEN"), &QAction::triggered, this, [this] {
    SetLang(false);
    model_->UpdateFrequencyColumn(false);
  });
  connect(Action("actSetLangPL"), &QAction::triggered, this, [this] {
    SetLang(true);
    model_->UpdateFrequencyColumn(true);
  });
}

void TFormMain::CreateMenusAndToolbar() {
  for (const MenuText& item : kMenus) {
    QMenu* menu = menuBar()->addMenu(QString());
    menu->setObjectName(item.name);
    menus_[item.name] = menu;
  }
  menus_["mnuFile"]->addAction(Action("actExitApp"));
  menus_["mnuAction"]->addAction(Action("actUninstall"));
  menus_["mnuAction"]->addAction(Action("actRemove"));
  menus_["mnuList"]->addAction(Action("actRefresh"));
  menus_["mnuList"]->addSeparator();
  for (const char* name :
       {"actViewLargeIcons", "actViewSmallIcons", "actViewList", "actViewDetails"})
    menus_["mnuList"]->addAction(Action(name));
  for (const char* name : {"actSystemComponentsVisible", "actInvalidVisible", "actShowOnlyInvalid"})
    menus_["mnuView"]->addAction(Action(name));
  menus_["mnuView"]->addSeparator();
  menus_["mnuView"]->addAction(Action("actShowHideToolbar"));
  menus_["mnuLanguage"]->addAction(Action("actSetLangEN"));
  menus_["mnuLanguage"]->addAction(Action("actSetLangPL"));
  tbMain_ = addToolBar("tbMain");
  tbMain_->setObjectName("tbMain");
  tbMain_->setMovable(false);
  tbMain_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  tbMain_->addAction(Action("actUninstall"));
  tbMain_->addAction(Action("actRemove"));
  tbMain_->addSeparator();
  tbMain_->addAction(Action("actRefresh"));
  tbMain_->addSeparator();
  tbMain_->addAction(Action("actView"));
}

void TFormMain::SetLang(bool polish) {
  languagePL = polish;
  for (const ActionText& item : kActions) {
    const QString text = QString::fromUtf8(polish ? item.polish : item.english);
    Action(item.name)->setText(text);
    Action(item.name)->setToolTip(text);
  }
  for (const MenuText& item : kMenus)
    menus_[item.name]->setTitle(QString::fromUtf8(polish ? item.polish : item.english));
  // The toolbar shows short captions; their hints are the actions' texts.
  const std::pair<const char*, std::pair<const char*, const char*>> buttons[] = {
      {"actUninstall", {"Uninstall", "Odinstaluj"}},
      {"actRemove", {"Remove", "Usuń"}},
      {"actRefresh", {"Refresh", "Odśwież"}},
      {"actView", {"View", "Widok"}}};
  for (const auto& [name, texts] : buttons)
    Action(name)->setIconText(QString::fromUtf8(polish ? texts.second : texts.first));
  formUninstall_->SetLang(polish);
  formRemove_->SetLang(polish);
  model_->SetPolish(polish);
  InitActions();
  UpdateStatus();
}

void TFormMain::DisplayUninstallInfo() {
  model_->Rebuild(collection_.get(), params_, languagePL);
  SetColumnImages();
  UpdateStatus();
  if (model_->rowCount() > 0) lv_->selectRow(0);
  InitActions();
}

void TFormMain::SetColumnImages() {
  auto* header = lv_->horizontalHeader();
  header->setSortIndicatorShown(false);
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    if (ListColumns()[c].tag == collection_->CurrentSort) {
      header->setSortIndicatorShown(true);
      header->setSortIndicator(static_cast<int>(c), collection_->SortAscending
                                                        ? Qt::AscendingOrder
                                                        : Qt::DescendingOrder);
    }
}

void TFormMain::SetViewStyle(int style) {
  if (style < 0 || style > 3) return;
  viewStyle_ = style;
  if (style == 3) {
    lvStack_->setCurrentWidget(lv_);
  } else {
    // Icons in rows (0 and 1) or in columns (2), large only in the icon view.
    lvIcons_->setViewMode(style == 2 ? QListView::ListMode : QListView::IconMode);
    lvIcons_->setFlow(style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    lvIcons_->setWrapping(true);
    lvIcons_->setIconSize(style == 0 ? QSize(32, 32) : QSize(16, 16));
    lvIcons_->setGridSize(style == 0 ? QSize(96, 64) : QSize());
    lvIcons_->setWordWrap(style == 0);
    lvIcons_->setMovement(QListView::Static);
    lvStack_->setCurrentWidget(lvIcons_);
  }
  InitActions();
}

void TFormMain::lvColumnClick(int column) {
  if (!collection_ || column < 0 || column >= static_cast<int>(kListColumnCount)) return;
  collection_->SortAscending = !collection_->SortAscending;
  collection_->SortItems(ListColumns()[static_cast<std::size_t>(column)].tag);
  DisplayUninstallInfo();
}

void TFormMain::UpdateStatus() {
  if (!collection_) return;
  const auto& c = *collection_;
  sbTotal_->setText(
      (languagePL ? QString::fromUtf8("Wszystkich: %1") : QString("Total: %1")).arg(c.TotalCount));
  sbInvalid_->setText(
      (languagePL ? QString::fromUtf8("Nieprawidłowych: %1") : QString("Invalid: %1"))
          .arg(c.InvalidCount));
  sbSystem_->setText((languagePL ? QString::fromUtf8("Systemowych: %1") : QString("System: %1"))
                         .arg(c.SystemCount));
}

void TFormMain::InitActions() {
  const bool selected = lv_->selectionModel() && lv_->selectionModel()->hasSelection();
  Action("actUninstall")->setEnabled(selected && !commandRunning_);
  Action("actRemove")->setEnabled(selected && !commandRunning_);
  Action("actSystemComponentsVisible")
      ->setChecked(collection_ && collection_->SystemComponentsVisible);
  Action("actInvalidVisible")->setChecked(params_.ShowInvalidItems);
  Action("actShowOnlyInvalid")->setChecked(params_.ShowOnlyInvalidItems);
  Action("actShowHideToolbar")->setChecked(tbMain_->isVisible() || !isVisible());
  Action("actViewLargeIcons")->setChecked(viewStyle_ == 0);
  Action("actViewList")->setChecked(viewStyle_ == 1);
  Action("actViewSmallIcons")->setChecked(viewStyle_ == 2);
  Action("actViewDetails")->setChecked(viewStyle_ == 3);
  Action("actSetLangEN")->setChecked(!languagePL);
  Action("actSetLangPL")->setChecked(languagePL);
}

std::vector<TUninstallInfo> TFormMain::SelectedEntries() const {
  std::vector<TUninstallInfo> entries;
  if (!collection_) return entries;
  for (int row = 0; row < model_->rowCount(); ++row)
    if (lv_->selectionModel()->isRowSelected(row, {}))
      entries.push_back(collection_->GetItem(model_->ItemIndex(row)).UninstallInfo);
  return entries;
}

void TFormMain::actUninstallExecute() {
  if (!collection_ || commandRunning_) return;
  const auto entries = SelectedEntries();
  if (entries.empty()) return;
  {
    const RunningFlag running(commandRunning_);
    if (params_.ConfirmUninstall && !confirm(*formUninstall_)) return;
    UninstallEngine engine(*system_.registry, *system_.platform, *system_.runner, errors_);
    WindowObserver observer(this, languagePL);
    if (params_.HideWhileUninstalling) hide();
    engine.Run(entries, languagePL, observer);
    if (params_.HideWhileUninstalling) show();
  }
  if (errors_.ErrorCount() > 0) ShowErrors();
  RemoveNonExisting();
}

void TFormMain::actRemoveExecute() {
  if (!collection_ || commandRunning_) return;
  const auto entries = SelectedEntries();
  if (entries.empty()) return;
  std::vector<RemoveFailure> failures;
  {
    const RunningFlag running(commandRunning_);
    if (params_.ConfirmRemove && !confirm(*formRemove_)) return;
    failures = RemoveEntries(*system_.registry, entries);
  }
  if (!failures.empty()) {
    QString text = languagePL ? QString::fromUtf8("Nie usunięto z listy:") : "Not removed:";
    for (const auto& f : failures)
      text += QString("\n\n%1 (%2)\n%3")
                  .arg(QString::fromStdString(f.displayName), QString::fromStdString(f.registryKey),
                       QString::fromStdString(f.reason));
    tellUser("Purgelet", text);
  }
  RemoveNonExisting();
}

void TFormMain::actRefreshExecute() {
  if (!collection_) return;
  system_.registry->Refresh();
  collection_->ReadKeyNames();
  collection_->ReadUninstallEntries();
  collection_->SortByName();
  collection_->SortItems(collection_->CurrentSort);
  DisplayUninstallInfo();
}

void TFormMain::RemoveNonExisting() {
  if (!collection_ || commandRunning_) return;
  if (PruneNonExisting(*collection_) > 0) DisplayUninstallInfo();
}

void TFormMain::ShowErrors() {
  tellUser(languagePL ? QString::fromUtf8("Błędy") : "Errors",
           QString::fromStdString(errors_.Text()));
}

void TFormMain::LoadParamsFromIni() {
  IniFile ini;
  std::string error;
  if (files_.settingsFileName.empty() || ::access(files_.settingsFileName.c_str(), F_OK) != 0 ||
      !ini.Load(files_.settingsFileName, error))
    return;
  MainWindowSettings current;
  current.width = width();
  current.height = height();
  current.left = x();
  current.top = y();
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    current.columnWidths.push_back(lv_->columnWidth(static_cast<int>(c)));
  std::vector<int> defaults(kListColumnCount, 0);
  defaults.back() = ListColumns().back().width;  // a file older than the column
  const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->geometry()
                                                     : QRect(0, 0, 1920, 1080);
  const MainWindowSettings s =
      ReadMainSettings(ini, current, {screen.width(), screen.height()}, params_, defaults);
  setGeometry(s.left, s.top, s.width, s.height);
  if (s.maximized) setWindowState(Qt::WindowMaximized);
  languagePL = s.languagePL;
  collection_->SystemComponentsVisible = s.systemComponentsVisible;
  collection_->SortAscending = s.sortAscending;
  collection_->CurrentSort = s.currentSort;
  tbMain_->setVisible(s.toolbarVisible);
  viewStyle_ = s.viewStyle;
  for (std::size_t c = 0; c < s.columnWidths.size(); ++c)
    lv_->setColumnWidth(static_cast<int>(c), s.columnWidths[c]);
}

void TFormMain::SaveParamsToIni() {
  if (!collection_ || files_.settingsFileName.empty()) return;
  IniFile ini;
  std::string error;
  if (::access(files_.settingsFileName.c_str(), F_OK) == 0 &&
      !ini.Load(files_.settingsFileName, error))
    return;
  MainWindowSettings s;
  const QRect normal = normalGeometry();
  s.width = normal.width();
  s.height = normal.height();
  s.left = normal.x();
  s.top = normal.y();
  s.maximized = isMaximized();
  s.languagePL = languagePL;
  s.systemComponentsVisible = collection_->SystemComponentsVisible;
  s.sortAscending = collection_->SortAscending;
  s.currentSort = collection_->CurrentSort;
  s.bottomPanelHeight = 204;
  s.toolbarVisible = tbMain_->isVisible();
  s.viewStyle = viewStyle_;
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    s.columnWidths.push_back(lv_->columnWidth(static_cast<int>(c)));
  WriteMainSettings(ini, s, params_);
  ini.Save(files_.settingsFileName, error);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  SaveParamsToIni();
  event->accept();
}

}  // namespace pgl
