#include "ui/main/TFormMain.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "inventory/CommandAnalysis.h"
#include "inventory/EntryList.h"
#include "inventory/Report.h"
#include "inventory/UninstallEngine.h"
#include "inventory/UninstallPlaces.h"
#include "lang/Language.h"
#include "platform/AppFiles.h"
#include "platform/IconReader.h"
#include "registry/RegExport.h"
#include "ui/main/CommandImages.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/InfoPanel.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/MainTexts.h"
#include "ui/main/PanelRules.h"
#include "ui/main/Startup.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"
#include "ui/windows/TFormSearch.h"
#include "util/CodePage.h"
#include "util/FileIO.h"
#include "util/Locale.h"
#include "util/ProjectLinks.h"

namespace pgl {

namespace {

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

// Set while a command or a rebuild runs, and cleared whichever way it ends.
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

// Keeps the window alive while an uninstaller or Wine's save is waited for, shows what it is
// waiting for and lets the user stop waiting.
class WindowObserver : public UninstallObserver {
 public:
  explicit WindowObserver(QWidget* parent, bool polish) : polish_(polish) {
    progress_ = new QProgressDialog(parent);
    progress_->setWindowModality(Qt::NonModal);
    progress_->setRange(0, 0);
    progress_->setMinimumDuration(0);
    progress_->setCancelButtonText(Utf8(StopWaitingText(polish)));
    QObject::connect(progress_, &QProgressDialog::canceled, [this] { stop_ = true; });
  }
  ~WindowObserver() override { delete progress_; }

  void UninstallerStarting(const TUninstallInfo& entry, int position, int count) override {
    stop_ = false;
    progress_->setLabelText(Utf8(UninstallProgress(polish_))
                                .arg(position + 1)
                                .arg(count)
                                .arg(Utf8(entry.DisplayName.str())));
    progress_->show();
    QApplication::processEvents();
  }
  bool StopWaiting() override {
    QApplication::processEvents();
    return stop_;
  }
  bool KeepWaitingForRegistry(int) override {
    if (!waiting_) {
      waiting_ = true;
      stop_ = false;
      progress_->setLabelText(Utf8(WaitingForWine(polish_)));
      progress_->show();
    }
    QApplication::processEvents();
    return !stop_;
  }

 private:
  QProgressDialog* progress_;
  bool polish_;
  bool stop_ = false;
  bool waiting_ = false;
};

// A file name made from a program's name: no folder separators or control characters.
QString FileNameFrom(const std::string& name) {
  QString text = Utf8(name).trimmed();
  for (QChar& c : text)
    if (c == '/' || c == '\\' || c.unicode() < 32 || c == ':') c = '_';
  if (text.isEmpty() || text == "." || text == "..") text = "icon";
  return text;
}

}  // namespace

TFormMain::TFormMain(ManagedSystem& system, ProgramFiles files, QWidget* parent)
    : QMainWindow(parent),
      system_(&system),
      files_(std::move(files)),
      errors_(files_.errorLogFileName) {
  setObjectName("TFormMain");
  resize(625, 588);
  SetDefParams(params_);
  model_ = new EntryListModel(system_->platform.get(), this);
  lv_ = new QTableView(this);
  lv_->setObjectName("lv");
  lv_->setModel(model_);
  lv_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lv_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lv_->setShowGrid(true);
  lv_->setWordWrap(false);
  lv_->setIconSize(QSize(16, 16));
  lv_->verticalHeader()->hide();
  lv_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  lv_->verticalHeader()->setDefaultSectionSize(std::max(18, fontMetrics().height() + 4));
  lv_->horizontalHeader()->setSectionsClickable(true);
  lv_->horizontalHeader()->setHighlightSections(false);
  lv_->horizontalHeader()->setSortIndicatorShown(false);  // our own arrows
  lv_->setContextMenuPolicy(Qt::CustomContextMenu);
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
  lvIcons_->setContextMenuPolicy(Qt::CustomContextMenu);
  lvStack_ = new QStackedWidget(this);
  lvStack_->addWidget(lv_);
  lvStack_->addWidget(lvIcons_);
  // The default widths suit the design font (about five pixels a character); a larger font
  // widens them alike. Stored widths are used as stored.
  const double widthScale = std::max(1.0, fontMetrics().averageCharWidth() / 5.0);
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    lv_->setColumnWidth(static_cast<int>(c), static_cast<int>(ListColumns()[c].width * widthScale));

  panel_ = new TInfoPanel(this);
  spBottom_ = new QSplitter(Qt::Vertical, this);
  spBottom_->setObjectName("spBottom");
  spBottom_->setHandleWidth(3);
  spBottom_->setOpaqueResize(true);
  spBottom_->setChildrenCollapsible(false);  // a panel of one pixel or less is refused
  spBottom_->addWidget(lvStack_);
  spBottom_->addWidget(panel_);
  spBottom_->setStretchFactor(0, 1);
  spBottom_->setStretchFactor(1, 0);
  spBottom_->setSizes({588 - 204, 204});
  setCentralWidget(spBottom_);

  CreateActions();
  CreateMenus();
  CreateToolbar();
  CreateStatusBar();
  confirm = [](TConfirmDialog& dialog) { return dialog.Confirm(); };
  tellUser = [this](const QString& title, const QString& text) {
    QMessageBox::warning(this, title, text);
  };
  ask = [this](const QString& question) {
    return QMessageBox::question(this, "Purgelet", question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  chooseSaveFile = [this](const QString& title, const QString& suggested, const QString& filter) {
    QFileDialog dialog(this, title, Utf8(files_.dir), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.selectFile(suggested);
    dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
               ? dialog.selectedFiles().front()
               : QString();
  };
  setClipboard = [](const QString& text) { QApplication::clipboard()->setText(text); };
  chooseFolder = [this] {
    return QFileDialog::getExistingDirectory(this, Utf8(OtherFolderText(languagePL)),
                                             QDir::homePath());
  };
  openPrefix = [](const std::string& dir, std::string& error) {
    return OpenManagedSystemAt(dir, error);
  };
  // The secondary windows reach the seams through the window, so that a replaced seam is
  // the one they use.
  services_.desktop = system_->desktop.get();
  services_.setClipboard = [this](const QString& text) { setClipboard(text); };
  services_.chooseSaveFile = [this](const QString& title, const QString& name,
                                    const QString& filter) {
    return chooseSaveFile(title, name, filter);
  };
  services_.tellUser = [this](const QString& title, const QString& text) { tellUser(title, text); };
  connect(panel_, &TInfoPanel::openAddress, this, [this](const QString& url) {
    OpenWithDesktop([&](Desktop& d) { return d.OpenAddress(url.toStdString()); });
  });
  connect(panel_, &TInfoPanel::openFile, this, [this](const QString& path) {
    OpenWithDesktop([&](Desktop& d) { return d.OpenFile(path.toStdString()); });
  });
  connect(panel_, &TInfoPanel::jumpToKey, this, [this](const QString& key) {
    OpenWithDesktop([&](Desktop& d) { return d.JumpToRegistryKey(key.toStdString()); });
  });
  connect(panel_, &TInfoPanel::copyText, this, [this](const QString& text) { setClipboard(text); });
  connect(panel_, &TInfoPanel::showDetails, this, [this] { Action("actShowDetails")->trigger(); });
  connect(panel_, &TInfoPanel::saveIcon, this, &TFormMain::popSaveIconClick);

  // Start-up, in order. The program's own records in the managed registry are refused while
  // Wine runs in the prefix; the user hears of it once, without being stopped.
  {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string exe = files_.exePath.empty() ? ExecutableDir() + "/pgl" : files_.exePath;
    const StartupRecords records =
        WriteStartupRecords(*system_->registry, WineZPath(exe),
                            WineZPath(exe.substr(0, exe.rfind('/'))), FormatShortDate(local));
    if (!records.written) startupNote_ = Utf8(records.refusal);
  }
  setWindowTitle("Purgelet");
  QApplication::setApplicationDisplayName("Purgelet");
  setMinimumSize(390, 300);
  ClearBottomInfo();
  collection_ = std::make_unique<TUninstallCollection>(*system_->registry, *system_->platform);
  collection_->SetSystemComponentsVisible(false);
  const bool firstStart =
      files_.settingsFileName.empty() || ::access(files_.settingsFileName.c_str(), F_OK) != 0;
  LoadParamsFromIni();
  if (firstStart) {
    // The first start speaks the user's language and keeps a backup of what it may change.
    languagePL = PolishFromLocale();
    if (!files_.dir.empty()) {
      try {
        ExportRegistryKeys(*system_->registry, BackupKeys(*system_->registry),
                           FirstBackupFileName(files_.dir, LocalNow()), UserAnsiCodePage());
      } catch (const ERegistryExportError&) {
        // The next start tries again while there is no settings file.
      }
    }
  }
  SetLang(languagePL);
  collection_->ReadUninstallEntries();
  collection_->SortByName();
  collection_->SortItems(collection_->CurrentSort);
  connect(lv_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFormMain::OnSelectionChanged);
  SetViewStyle(viewStyle_);
  DisplayUninstallInfo();
  InitActions();
  UpdateStatus();
  if (!startupNote_.isEmpty())
    statusBar()->showMessage(Utf8(RegistryReadOnlyNote(languagePL)) + startupNote_, 20000);
  (lvStack_->currentWidget() == lv_ ? static_cast<QWidget*>(lv_) : lvIcons_)->setFocus();
  connect(lv_, &QAbstractItemView::doubleClicked, this,
          [this] { Action("actShowDetails")->trigger(); });
  connect(lvIcons_, &QAbstractItemView::doubleClicked, this,
          [this] { Action("actShowDetails")->trigger(); });
  lv_->installEventFilter(this);
  lvIcons_->installEventFilter(this);
  CreateSecondaryWindows();
  // The user's other prefixes, for the chooser.
  std::vector<std::string> notes;  // front-end files that could not be read: nothing to show
  prefixes_ = KnownSystems(notes);
  FillPrefixChooser();
  UpdateTitle();
}

TFormMain::~TFormMain() = default;

void TFormMain::CreateSecondaryWindows() {
  formDetails_ =
      new TFormDetails(this, *system_->registry, services_, Action("actShowDetails")->shortcut());
  formAbout_ = new TFormAbout(this, services_);
  formErrors_ = new TFormErrors(this, errors_, services_);
  formErrors_->hide();
  errors_.OnLogFailed = [this](const std::string& error) {
    statusBar()->showMessage(
        QString::fromUtf8(languagePL ? "Nie można zapisać logu błędów: "
                                     : "The error log could not be written: ") +
            Utf8(error),
        20000);
  };
  SearchTarget target;
  target.rowCount = [this] { return model_->rowCount(); };
  target.cell = [this](int row, int column) { return model_->CellText(row, column); };
  target.firstSelected = [this] {
    const auto rows = lv_->selectionModel()->selectedRows();
    int first = -1;
    for (const QModelIndex& index : rows)
      if (first < 0 || index.row() < first) first = index.row();
    return first;
  };
  target.select = [this](const std::vector<int>& rows, int scrollTo) {
    QItemSelection selection;
    for (const int row : rows)
      selection.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
    lv_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (scrollTo >= 0) {
      lv_->selectionModel()->setCurrentIndex(model_->index(scrollTo, 0),
                                             QItemSelectionModel::NoUpdate);
      lv_->scrollTo(model_->index(scrollTo, 0));
      lvIcons_->scrollTo(model_->index(scrollTo, 0));
    }
  };
  target.searched = [this] {
    InitActions();
    UpdateStatus();
    activateWindow();
    (lvStack_->currentWidget() == lv_ ? static_cast<QWidget*>(lv_) : lvIcons_)->setFocus();
  };
  formSearch_ = new TFormSearch(this, std::move(target), files_.searchLogFileName,
                                Action("actSearch")->shortcut());
  formSearch_->saveSearchHistory = params_.SaveSearchHistory;
  formUninstall_ = new TFormUninstall(this);
  formRemove_ = new TFormRemove(this);
  for (TSecondaryWindow* window :
       std::initializer_list<TSecondaryWindow*>{formDetails_, formAbout_, formErrors_, formSearch_})
    window->SetLang(languagePL);
  formUninstall_->SetLang(languagePL);
  formRemove_->SetLang(languagePL);
  // Entries that others remove leave the list within one period.
  if (!tmCheckReg_) {
    tmCheckReg_ = new QTimer(this);
    tmCheckReg_->setObjectName("tmCheckReg");
    tmCheckReg_->setInterval(30000);
    connect(tmCheckReg_, &QTimer::timeout, this, &TFormMain::tmCheckRegTimer);
  }
  if (!noAutoCheckReg_) tmCheckReg_->start();
  InitActions();
  OnSelectionChanged();
}

QAction* TFormMain::Action(const QString& name) const {
  const auto it = actions_.find(name);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* TFormMain::Menu(const QString& name) const {
  const auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

QToolButton* TFormMain::Button(const QString& name) const {
  const auto it = buttons_.find(name);
  return it == buttons_.end() ? nullptr : it->second;
}

QString TFormMain::StatusPanelText(int panel) const {
  return panel >= 0 && panel < kStatusPanelCount
             ? sbPanels_[static_cast<std::size_t>(panel)]->text()
             : QString();
}

void TFormMain::CreateActions() {
  for (const ActionInfo& item : MainActions()) {
    auto* action = new QAction(this);
    action->setObjectName(item.name);
    if (*item.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
    if (item.image >= 0) action->setIcon(CommandIcon(item.image));
    action->setCheckable(item.checkable);
    action->setText(QString::fromUtf8(item.english));
    actions_[item.name] = action;
    addAction(action);  // shortcuts work with the menu bar hidden too
  }
  const auto on = [this](const char* name, auto handler) {
    connect(Action(name), &QAction::triggered, this, handler);
  };
  on("actRefresh", &TFormMain::actRefreshExecute);
  on("actUninstall", &TFormMain::actUninstallExecute);
  on("actRemove", &TFormMain::actRemoveExecute);
  on("actExitApp", &QWidget::close);
  on("actEsc", &TFormMain::actEscExecute);
  on("actHelp", &TFormMain::actHelpExecute);
  on("actSelectAll", &TFormMain::actSelectAllExecute);
  on("actInvertSelection", &TFormMain::actInvertSelectionExecute);
  on("actCopySelected", &TFormMain::actCopySelectedExecute);
  on("actShowErrors", &TFormMain::actShowErrorsExecute);
  on("actSearch", &TFormMain::actSearchExecute);
  on("actFindNext", &TFormMain::actFindNextExecute);
  on("actShowDetails", &TFormMain::actShowDetailsExecute);
  on("actAbout", &TFormMain::actAboutExecute);
  on("actReport", &TFormMain::actReportExecute);
  on("actRegBackup", &TFormMain::actRegBackupExecute);
  on("actShowHideBottomPanel", &TFormMain::actShowHideBottomPanelExecute);
  on("actGradient", &TFormMain::actGradientExecute);
  on("actToolbarList", &TFormMain::actToolbarListExecute);
  Action("actConfigure")->setVisible(false);  // there is nothing to configure
  // Each filter change rescans the registry.
  on("actSystemComponentsVisible", [this] {
    collection_->SetSystemComponentsVisible(!collection_->SystemComponentsVisible);
    Action("actRefresh")->trigger();
  });
  on("actInvalidVisible", [this] {
    params_.ShowInvalidItems = !params_.ShowInvalidItems;
    Action("actRefresh")->trigger();
  });
  on("actShowOnlyInvalid", [this] {
    params_.ShowOnlyInvalidItems = !params_.ShowOnlyInvalidItems;
    Action("actRefresh")->trigger();
  });
  on("actShowHideToolbar", [this] {
    tbMain_->setVisible(!tbMain_->isVisible());
    InitActions();
  });
  // "List" is the platform's small-icon view and "Small icons" its list view.
  const std::pair<const char*, int> styles[] = {{"actViewLargeIcons", 0},
                                                {"actViewList", 1},
                                                {"actViewSmallIcons", 2},
                                                {"actViewDetails", 3}};
  for (const auto& [name, style] : styles) on(name, [this, style = style] { SetViewStyle(style); });
  on("actView", [this] { SetViewStyle(NextViewStyle(viewStyle_)); });
  for (const bool polish : {false, true})
    on(polish ? "actSetLangPL" : "actSetLangEN", [this, polish] {
      languagePL = polish;
      SetLang(polish);
      for (TSecondaryWindow* window : std::initializer_list<TSecondaryWindow*>{
               formErrors_, formSearch_, formAbout_, formDetails_})
        if (window) window->SetLang(polish);
      if (formUninstall_) formUninstall_->SetLang(polish);
      if (formRemove_) formRemove_->SetLang(polish);
      model_->UpdateFrequencyColumn(polish);
      UpdateStatus();
      InitActions();
    });
}

void TFormMain::CreateMenus() {
  const auto menu = [this](const char* name, QMenu* parent = nullptr) {
    QMenu* m = parent ? parent->addMenu(QString()) : menuBar()->addMenu(QString());
    m->setObjectName(name);
    menus_[name] = m;
    return m;
  };
  const auto fill = [this](QMenu* m, std::initializer_list<const char*> names) {
    for (const char* name : names) {
      if (*name == '-')
        m->addSeparator();
      else
        m->addAction(Action(name));
    }
  };
  fill(menu("mnuFile"), {"actRegBackup", "actReport", "-", "actExitApp"});
  fill(menu("mnuAction"), {"actUninstall", "actRemove"});
  fill(menu("mnuSearch"), {"actSearch", "actFindNext"});
  QMenu* list = menu("mnuList");
  fill(list, {"actSelectAll", "actInvertSelection", "actCopySelected", "-", "actRefresh", "-"});
  const std::initializer_list<const char*> views = {"actViewLargeIcons", "actViewSmallIcons",
                                                    "actViewList", "actViewDetails"};
  QMenu* viewStyle = menu("mnuViewStyle", list);
  viewStyle->setIcon(CommandIcon(kImgViewStyle));
  fill(viewStyle, views);
  fill(menu("mnuView"), {"actShowDetails", "-", "actSystemComponentsVisible", "actInvalidVisible",
                         "actShowOnlyInvalid", "-", "actShowHideBottomPanel", "actShowHideToolbar",
                         "-", "actShowErrors"});
  menu("mnuPrefix");  // filled with the prefixes found (FillPrefixChooser)
  fill(menu("mnuLanguage"), {"actSetLangEN", "actSetLangPL"});
  fill(menu("mnuHelp"), {"actHelp", "actAbout"});

  // The context menus: the list's, the view button's drop-down and the toolbar's.
  const auto popup = [this](const char* name) {
    auto* m = new QMenu(this);
    m->setObjectName(name);
    menus_[name] = m;
    return m;
  };
  QMenu* popLv = popup("popLv");
  fill(popLv, {"actUninstall", "actRemove", "-", "actShowDetails", "-", "actSelectAll",
               "actInvertSelection", "actCopySelected", "-"});
  QMenu* popViewStyle = menu("popViewStyle", popLv);
  popViewStyle->setIcon(CommandIcon(kImgViewStyle));
  fill(popViewStyle, views);
  fill(popup("popView"), views);
  fill(popup("popToolbar"), {"actGradient", "actToolbarList"});
  for (QAbstractItemView* view :
       {static_cast<QAbstractItemView*>(lv_), static_cast<QAbstractItemView*>(lvIcons_)})
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
      menus_["popLv"]->popup(view->viewport()->mapToGlobal(at));
    });
}

void TFormMain::CreateToolbar() {
  tbMain_ = new QToolBar(this);
  tbMain_->setObjectName("tbMain");
  tbMain_->setMovable(false);
  tbMain_->setFloatable(false);
  tbMain_->setIconSize(QSize(24, 24));
  tbMain_->setContextMenuPolicy(Qt::CustomContextMenu);
  addToolBar(Qt::TopToolBarArea, tbMain_);
  connect(tbMain_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { menus_["popToolbar"]->popup(tbMain_->mapToGlobal(at)); });
  // The buttons are not bound to the actions: a click runs the action, and the button takes
  // its hint and enabled state from it (SetLang, InitActions).
  for (const TextPair& item : ToolbarButtons()) {
    auto* button = new QToolButton(tbMain_);
    button->setObjectName(item.name);
    button->setAutoRaise(true);
    button->setMinimumSize(48, 36);
    QAction* action = Action(ToolbarButtonAction(item.name));
    button->setIcon(action->icon());
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    buttons_[item.name] = button;
    tbMain_->addWidget(button);
    tbMain_->addSeparator();
    if (std::string(item.name) == "btnViewStyle") {
      button->setMenu(menus_["popView"]);
      button->setPopupMode(QToolButton::MenuButtonPopup);
    }
  }
  cbPrefix_ = new QComboBox(tbMain_);
  cbPrefix_->setObjectName("cbPrefix");
  cbPrefix_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  cbPrefix_->setMinimumContentsLength(16);
  tbMain_->addWidget(cbPrefix_);
  connect(cbPrefix_, &QComboBox::activated, this, [this](int index) {
    const QString dir = cbPrefix_->itemData(index).toString();
    if (dir.isEmpty()) {  // "Other folder..."
      const QString chosen = chooseFolder();
      if (!chosen.isEmpty()) SwitchPrefix(chosen.toStdString());
    } else {
      SwitchPrefix(dir.toStdString());
    }
    FillPrefixChooser();  // shows the prefix in use, whatever happened
  });
  ApplyToolbarLook();
}

namespace {

// The folder with its links resolved, to tell two names of one prefix apart; as given where it
// cannot be resolved.
std::string CanonicalPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(path, error);
  return error ? path : resolved.string();
}

}  // namespace

void TFormMain::SetPrefixes(std::vector<KnownSystem> prefixes) {
  prefixes_ = std::move(prefixes);
  FillPrefixChooser();
}

void TFormMain::FillPrefixChooser() {
  const QSignalBlocker blocker(cbPrefix_);
  cbPrefix_->clear();
  QMenu* menu = menus_["mnuPrefix"];
  // The action being triggered may be one of these: they go once its signal is done.
  for (QAction* old : menu->actions()) {
    menu->removeAction(old);
    old->deleteLater();
  }
  for (QActionGroup* old : menu->findChildren<QActionGroup*>()) old->deleteLater();
  auto* group = new QActionGroup(menu);
  const std::string here = CanonicalPath(system_->prefixDir);
  std::vector<KnownSystem> shown = prefixes_;
  // A prefix that no front end keeps (a folder the user chose) is offered too.
  if (!system_->prefixDir.empty() &&
      std::none_of(shown.begin(), shown.end(),
                   [&](const KnownSystem& p) { return CanonicalPath(p.path) == here; }))
    shown.insert(shown.begin(), KnownSystem{system_->name, system_->prefixDir, "", ""});
  int selected = -1;
  for (const KnownSystem& p : shown) {
    const QString label = Utf8(p.source.empty() ? p.name : p.name + " (" + p.source + ")");
    cbPrefix_->addItem(label, Utf8(p.path));
    cbPrefix_->setItemData(cbPrefix_->count() - 1, Utf8(p.path), Qt::ToolTipRole);
    QAction* action = menu->addAction(label);
    action->setCheckable(true);
    action->setActionGroup(group);
    const bool isCurrent = CanonicalPath(p.path) == here;
    action->setChecked(isCurrent);
    if (isCurrent) selected = cbPrefix_->count() - 1;
    const std::string path = p.path;
    connect(action, &QAction::triggered, this, [this, path] {
      SwitchPrefix(path);
      FillPrefixChooser();
    });
  }
  menu->addSeparator();
  QAction* other = menu->addAction(Utf8(OtherFolderText(languagePL)));
  other->setObjectName("actOtherPrefix");
  connect(other, &QAction::triggered, this, [this] {
    const QString chosen = chooseFolder();
    if (!chosen.isEmpty()) SwitchPrefix(chosen.toStdString());
    FillPrefixChooser();
  });
  cbPrefix_->addItem(Utf8(OtherFolderText(languagePL)), QString());
  cbPrefix_->setCurrentIndex(selected);
  cbPrefix_->setToolTip(Utf8(PrefixChooserHint(languagePL)));
}

void TFormMain::UpdateTitle() {
  const std::string name = system_->name.empty() ? system_->prefixDir : system_->name;
  setWindowTitle(name.empty() ? QString("Purgelet") : "Purgelet — " + Utf8(name));
  sbPanels_.back()->setText(Utf8(name));
  sbPanels_.back()->setToolTip(Utf8(system_->description));
}

bool TFormMain::SwitchPrefix(const std::string& dir) {
  if (commandRunning_ || !collection_) return false;
  std::string error;
  std::unique_ptr<ManagedSystem> next = openPrefix(dir, error);
  if (!next) {
    tellUser("Purgelet", Utf8(error));
    return false;
  }
  tmCheckReg_->stop();
  if (formSearch_ && params_.SaveSearchHistory) formSearch_->SaveCbText();
  // The secondary windows show the old prefix: they are made again for the new one.
  for (QWidget* window : std::initializer_list<QWidget*>{formDetails_, formAbout_, formErrors_,
                                                         formSearch_, formUninstall_, formRemove_})
    delete window;
  formDetails_ = nullptr;
  formAbout_ = nullptr;
  formErrors_ = nullptr;
  formSearch_ = nullptr;
  formUninstall_ = nullptr;
  formRemove_ = nullptr;
  auto collection = std::make_unique<TUninstallCollection>(*next->registry, *next->platform);
  collection->SystemComponentsVisible = collection_->SystemComponentsVisible;
  collection->SortAscending = collection_->SortAscending;
  collection->CurrentSort = collection_->CurrentSort;
  {
    const RunningFlag updating(listUpdating_);
    model_->Rebuild(nullptr, params_, languagePL);  // no row may point into the old collection
  }
  collection_ = std::move(collection);
  ownedSystem_ = std::move(next);  // the old prefix goes only after nothing refers to it
  system_ = ownedSystem_.get();
  const std::string here = CanonicalPath(system_->prefixDir);
  for (const KnownSystem& p : prefixes_)
    if (CanonicalPath(p.path) == here) system_->name = p.name;
  model_->SetPlatform(system_->platform.get());
  services_.desktop = system_->desktop.get();
  for (const auto& problem : system_->problems) statusBar()->showMessage(Utf8(problem), 10000);
  collection_->ReadUninstallEntries();
  collection_->SortByName();
  collection_->SortItems(collection_->CurrentSort);
  CreateSecondaryWindows();
  DisplayUninstallInfo();
  UpdateTitle();
  return true;
}

void TFormMain::ApplyToolbarLook() {
  for (auto& [name, button] : buttons_)
    button->setToolButtonStyle(toolbarList_ ? Qt::ToolButtonTextBesideIcon
                                            : Qt::ToolButtonTextUnderIcon);
  tbMain_->setStyleSheet(
      toolbarGradient_
          ? "QToolBar#tbMain { border: none; border-top: 1px solid palette(mid); background: "
            "qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfcfd, stop:1 #dce2ea); }"
          : "QToolBar#tbMain { border: none; border-top: 1px solid palette(mid); }");
}

void TFormMain::CreateStatusBar() {
  QStatusBar* sb = statusBar();
  sb->setObjectName("sb");
  sb->setSizeGripEnabled(true);
  for (int i = 0; i < kStatusPanelCount; ++i) {
    auto* label = new QLabel(sb);
    label->setObjectName(QString("sbPanel%1").arg(i));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(StatusPanelWidth(i));
    if (i < kStatusPanelCount - 1) label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    sbPanels_[static_cast<std::size_t>(i)] = label;
    sb->addWidget(label, i == kStatusPanelCount - 1 ? 1 : 0);
  }
  // The last panel stays empty; its hint names the prefix the window works on.
  sbPanels_.back()->setToolTip(Utf8(system_->description));
}

void TFormMain::SetLang(bool polish) {
  for (const ActionInfo& item : MainActions()) {
    if (!item.hint && !*item.english) continue;
    QAction* action = Action(item.name);
    action->setText(QString::fromUtf8(item.Text(polish)));
    action->setToolTip(item.hint ? QString::fromUtf8(item.Text(polish)) : QString());
  }
  for (const TextPair& item : MainMenus())
    menus_[item.name]->setTitle(QString::fromUtf8(item.Text(polish)));
  for (const TextPair& item : ToolbarButtons()) {
    QToolButton* button = buttons_[item.name];
    button->setText(QString::fromUtf8(item.Text(polish)));
    button->setToolTip(Action(ToolbarButtonAction(item.name))->toolTip());
  }
  panel_->SetLang(polish);
  model_->SetPolish(polish);
  if (cbPrefix_ && system_) FillPrefixChooser();
  InitActions();
  UpdateStatus();
}

void TFormMain::DisplayUninstallInfo() {
  {
    const RunningFlag updating(listUpdating_);
    model_->Rebuild(collection_.get(), params_, languagePL);
    UpdateStatus();
  }
  SetColumnImages();
  if (model_->rowCount() > 0) {
    lv_->selectRow(0);
    lv_->scrollToTop();
    lvIcons_->scrollToTop();
  }
  InitActions();
}

void TFormMain::SetColumnImages() {
  int arrow = -1;
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    if (ListColumns()[c].tag == collection_->CurrentSort) arrow = static_cast<int>(c);
  model_->SetSortArrow(arrow, collection_->SortAscending);
}

void TFormMain::SetViewStyle(int style) {
  if (style < 0 || style > 3) return;
  viewStyle_ = style;
  if (style == 3) {
    lvStack_->setCurrentWidget(lv_);
  } else {
    // Icons in rows (0 and 1) or in columns (2), large only in the icon view.
    lvIcons_->setViewMode(style == 0 ? QListView::IconMode : QListView::ListMode);
    lvIcons_->setFlow(style == 2 ? QListView::TopToBottom : QListView::LeftToRight);
    lvIcons_->setWrapping(true);
    lvIcons_->setIconSize(style == 0 ? QSize(32, 32) : QSize(16, 16));
    const int line = fontMetrics().height();
    lvIcons_->setGridSize(style == 0   ? QSize(100, 40 + 2 * line)
                          : style == 1 ? QSize(190, std::max(20, line + 6))
                                       : QSize());
    lvIcons_->setWordWrap(style == 0);
    lvIcons_->setTextElideMode(Qt::ElideRight);
    lvIcons_->setMovement(QListView::Static);
    lvStack_->setCurrentWidget(lvIcons_);
  }
  const QModelIndex current = lv_->selectionModel()->currentIndex();
  if (current.isValid()) lvIcons_->scrollTo(current);
  InitActions();
}

void TFormMain::lvColumnClick(int column) {
  if (!collection_ || column < 0 || column >= static_cast<int>(kListColumnCount)) return;
  collection_->SortAscending = !collection_->SortAscending;
  collection_->SortItems(ListColumns()[static_cast<std::size_t>(column)].tag);
  SetColumnImages();
  DisplayUninstallInfo();
}

int TFormMain::SelectedCount() const {
  return lv_->selectionModel() ? static_cast<int>(lv_->selectionModel()->selectedRows().size()) : 0;
}

void TFormMain::UpdateStatus() {
  if (!collection_) return;
  const auto& c = *collection_;
  const int counts[] = {model_->rowCount(), SelectedCount(), c.TotalCount, c.InvalidCount,
                        c.SystemCount};
  for (int i = 0; i < 5; ++i)
    sbPanels_[static_cast<std::size_t>(i)]->setText(Utf8(StatusText(i, counts[i], languagePL)));
}

void TFormMain::InitActions() {
  const int selected = SelectedCount();
  const bool idle = !commandRunning_;
  Action("actUninstall")->setEnabled(selected > 0 && idle);
  Action("actRemove")->setEnabled(selected > 0 && idle);
  Action("actCopySelected")->setEnabled(selected > 0);
  Action("actSearch")->setEnabled(model_->rowCount() > 0);
  Action("actShowDetails")->setEnabled(selected > 0);
  panel_->SetDetailsEnabled(selected > 0);
  Action("actFindNext")->setEnabled(formSearch_ && formSearch_->FindNextEnabled());
  Action("actViewLargeIcons")->setChecked(viewStyle_ == 0);
  Action("actViewList")->setChecked(viewStyle_ == 1);
  Action("actViewSmallIcons")->setChecked(viewStyle_ == 2);
  Action("actViewDetails")->setChecked(viewStyle_ == 3);
  Action("actSystemComponentsVisible")
      ->setChecked(collection_ && collection_->SystemComponentsVisible);
  Action("actShowOnlyInvalid")->setChecked(params_.ShowOnlyInvalidItems);
  Action("actInvalidVisible")->setEnabled(!params_.ShowOnlyInvalidItems);
  if (!params_.ShowOnlyInvalidItems)
    Action("actInvalidVisible")->setChecked(params_.ShowInvalidItems);
  Action("actSetLangEN")->setChecked(!languagePL);
  Action("actSetLangPL")->setChecked(languagePL);
  Action("actShowHideToolbar")->setChecked(!tbMain_->isHidden());
  Action("actShowHideBottomPanel")->setChecked(!panel_->isHidden());
  Action("actGradient")->setChecked(toolbarGradient_);
  Action("actToolbarList")->setChecked(toolbarList_);
  for (const TextPair& item : ToolbarButtons())
    buttons_[item.name]->setEnabled(Action(ToolbarButtonAction(item.name))->isEnabled());
}

void TFormMain::OnSelectionChanged() {
  InitActions();
  DisplaySelectedInfo();
  if (formDetails_ && !listUpdating_) {
    // The details follow the first selected entry; a failure there leaves the list alone.
    try {
      const auto rows = lv_->selectionModel()->selectedRows();
      int first = -1;
      for (const QModelIndex& index : rows)
        if (first < 0 || index.row() < first) first = index.row();
      const int item = first >= 0 ? model_->ItemIndex(first) : -1;
      formDetails_->DisplaySelectedInfo(item >= 0 && item < collection_->Count()
                                            ? &collection_->GetItem(item).UninstallInfo
                                            : nullptr);
    } catch (const std::exception&) {
    }
  }
  UpdateStatus();
}

void TFormMain::DisplaySelectedInfo() {
  panel_->ClearIcon();
  if (!collection_ || listUpdating_) return;
  const auto rows = lv_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  int first = rows.front().row();
  for (const QModelIndex& index : rows) first = std::min(first, index.row());
  const int item = model_->ItemIndex(first);
  if (item < 0 || item >= collection_->Count()) return;
  panel_->SetIcon(model_->RowIcon(first));
  const TUninstallInfo entry = collection_->GetItem(item).UninstallInfo;
  panel_->DisplayBottomInfo(entry, ExistingEntryKeys(*system_->registry, entry));
}

void TFormMain::ClearBottomInfo() {
  if (!listUpdating_) panel_->ClearBottomInfo();
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
    InitActions();
    UninstallEngine engine(*system_->registry, *system_->platform, *system_->runner, errors_);
    WindowObserver observer(this, languagePL);
    const bool hideWindows = params_.HideWhileUninstalling && isVisible();
    if (hideWindows) {
      hide();
      formDetails_->hide();
      formAbout_->hide();
      formErrors_->hide();
    }
    engine.Run(entries, languagePL, observer);
    if (hideWindows) show();
  }
  InitActions();
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
    failures = RemoveEntries(*system_->registry, entries);
  }
  if (!failures.empty()) {
    QString text = Utf8(NotRemovedTitle(languagePL));
    for (const auto& f : failures)
      text +=
          QString("\n\n%1 (%2)\n%3").arg(Utf8(f.displayName), Utf8(f.registryKey), Utf8(f.reason));
    tellUser("Purgelet", text);
  }
  RemoveNonExisting();
}

void TFormMain::actRefreshExecute() {
  if (!collection_) return;
  Action("actRefresh")->setEnabled(false);
  struct Enable {
    QAction* action;
    ~Enable() { action->setEnabled(true); }
  } enable{Action("actRefresh")};
  system_->registry->Refresh();
  collection_->ReadKeyNames();
  collection_->ReadUninstallEntries();
  collection_->SortByName();
  collection_->SortItems(collection_->CurrentSort);
  DisplayUninstallInfo();
}

void TFormMain::RemoveNonExisting() {
  if (!collection_ || commandRunning_ || listUpdating_) return;
  if (PruneNonExisting(*collection_) > 0) {
    ClearBottomInfo();
    DisplayUninstallInfo();
  }
}

void TFormMain::ShowErrors() {
  formErrors_->Refresh();
  formErrors_->show();
  formErrors_->raise();
}

void TFormMain::actShowErrorsExecute() {
  // Hiding this way keeps the list and does not append it to the log.
  if (formErrors_->isVisible())
    formErrors_->hide();
  else
    ShowErrors();
}

void TFormMain::actSearchExecute() {
  formSearch_->show();
  formSearch_->raise();
  formSearch_->activateWindow();
  formSearch_->Text()->setFocus();
}

void TFormMain::actFindNextExecute() {
  formSearch_->actSearchExecute();
}

void TFormMain::actShowDetailsExecute() {
  if (formDetails_->isVisible()) {
    formDetails_->hide();
    return;
  }
  formDetails_->show();
  OnSelectionChanged();
}

void TFormMain::actAboutExecute() {
  formAbout_->show();
  formAbout_->raise();
}

void TFormMain::actReportExecute() {
  if (!collection_) return;
  const QString file =
      chooseSaveFile(Action("actReport")->text(), lastReportName_, "HTML documents (*.html *.htm)");
  if (file.isEmpty()) return;
  lastReportName_ = file;  // offered again next time
  std::vector<std::string> captions;
  for (const auto& column : ListColumns()) captions.push_back(ColumnCaption(column, languagePL));
  std::vector<std::vector<std::string>> rows;
  rows.reserve(static_cast<std::size_t>(model_->rowCount()));
  for (int row = 0; row < model_->rowCount(); ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < model_->columnCount(); ++column)
      cells.push_back(model_->CellText(row, column));
    rows.push_back(std::move(cells));
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string error;
  if (!WriteFileAtomic(file.toStdString(), BuildReport(captions, rows, languagePL, local), error))
    tellUser("Purgelet", Utf8(error));
}

void TFormMain::actRegBackupExecute() {
  const QString file =
      chooseSaveFile(Action("actRegBackup")->text(),
                     Utf8("registry_backup_" + DateTimeFileName(".reg", LocalNow())),
                     "Registry Script Files (*.reg)");
  if (file.isEmpty()) return;
  // Every place's Uninstall key, in one script that gives back what it holds exactly.
  try {
    const RegExportResult result = ExportRegistryKeys(
        *system_->registry, BackupKeys(*system_->registry), file.toStdString(), UserAnsiCodePage());
    if (!result.leftOut.empty()) {
      QString text = languagePL ? QString::fromUtf8("Pominięto w kopii (nazwy nie do zapisania):")
                                : QString("Left out of the backup (names no script can hold):");
      for (const auto& key : result.leftOut) text += "\n" + Utf8(key);
      tellUser("Purgelet", text);
    }
  } catch (const std::exception& e) {
    tellUser("Purgelet", Utf8(e.what()));
  }
}

void TFormMain::tmCheckRegTimer() {
  if (!collection_ || listUpdating_ || commandRunning_) return;
  // Nothing changed on disk, nothing to test: the check then costs two file stamps. When Wine
  // saved a file, it is read again before the keys are tested.
  if (system_->registry->Refresh()) RemoveNonExisting();
}

void TFormMain::actSelectAllExecute() {
  {
    const RunningFlag updating(listUpdating_);
    lv_->selectAll();
  }
  InitActions();
  UpdateStatus();
}

void TFormMain::actInvertSelectionExecute() {
  if (model_->rowCount() == 0) return;
  {
    const RunningFlag updating(listUpdating_);
    const QItemSelection all(model_->index(0, 0),
                             model_->index(model_->rowCount() - 1, model_->columnCount() - 1));
    lv_->selectionModel()->select(all, QItemSelectionModel::Toggle);
  }
  InitActions();
  UpdateStatus();
}

void TFormMain::actCopySelectedExecute() {
  QString text;
  for (int row = 0; row < model_->rowCount(); ++row) {
    if (!lv_->selectionModel()->isRowSelected(row, {})) continue;
    for (int column = 0; column < model_->columnCount(); ++column) {
      if (column > 0) text += '\t';
      text += Utf8(model_->CellText(row, column));
    }
    text += "\r\n";
  }
  setClipboard(text);
}

void TFormMain::actEscExecute() {
  if (ask(Utf8(CloseQuestion(languagePL)))) Action("actExitApp")->trigger();
}

void TFormMain::actHelpExecute() {
  const std::string page = languagePL ? kHelpPagePolish : kHelpPageEnglish;
  OpenWithDesktop([&](Desktop& d) { return d.OpenAddress(page); });
}

void TFormMain::OpenWithDesktop(const std::function<bool(Desktop&)>& open) {
  if (system_->desktop) open(*system_->desktop);
}

void TFormMain::actShowHideBottomPanelExecute() {
  panel_->setVisible(panel_->isHidden());
  InitActions();
}

void TFormMain::actGradientExecute() {
  toolbarGradient_ = !toolbarGradient_;
  ApplyToolbarLook();
  InitActions();
}

void TFormMain::actToolbarListExecute() {
  toolbarList_ = !toolbarList_;
  ApplyToolbarLook();
  InitActions();
}

void TFormMain::popSaveIconClick() {
  if (!collection_) return;
  const auto rows = lv_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  int first = rows.front().row();
  for (const QModelIndex& index : rows) first = std::min(first, index.row());
  const TUninstallInfo& info = collection_->GetItem(model_->ItemIndex(first)).UninstallInfo;
  const QString file =
      chooseSaveFile(QString::fromUtf8(kSaveIconText),
                     FileNameFrom(info.DisplayName.str()) + ".ico", "Icon (*.ico)");
  if (file.isEmpty()) return;
  // The entry's own icon is saved as its file holds it; our fallback icons as drawn.
  std::string bytes;
  if (IconSourceOf(info) == IconSource::Own)
    if (const auto image =
            ExtractIconHandle(*system_->platform, info.IconFile, info.IconIndex, false))
      bytes = image->ico;
  if (bytes.empty()) {
    const QImage image =
        panel_->Icon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) argb.push_back(image.pixel(x, y));
    bytes = EncodeIco32(image.width(), image.height(), argb);
  }
  std::string error;
  if (bytes.empty() || !WriteFileAtomic(file.toStdString(), bytes, error))
    tellUser("Purgelet", Utf8(error.empty() ? "The icon could not be read." : error));
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
  current.bottomPanelHeight = 204;
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
  panel_->setVisible(s.bottomPanelVisible);
  spBottom_->setSizes({std::max(1, s.height - s.bottomPanelHeight), s.bottomPanelHeight});
  toolbarGradient_ = !s.noGradient;
  toolbarList_ = s.toolbarList;
  noAutoCheckReg_ = s.noAutoCheckReg;
  ApplyToolbarLook();
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
    return;  // a settings file we cannot read is not overwritten
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
  s.bottomPanelHeight = panel_->isHidden() ? 204 : panel_->height();
  s.bottomPanelVisible = !panel_->isHidden();
  s.toolbarVisible = !tbMain_->isHidden();
  s.noGradient = !toolbarGradient_;
  s.toolbarList = toolbarList_;
  s.viewStyle = viewStyle_;
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    s.columnWidths.push_back(lv_->columnWidth(static_cast<int>(c)));
  WriteMainSettings(ini, s, params_);
  if (!system_->prefixDir.empty()) ini.Write(kSettingsSection, "Prefix", system_->prefixDir);
  if (!ini.Save(files_.settingsFileName, error)) tellUser("Purgelet", Utf8(error));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  // Enter on the list opens the details, as a double click does.
  if ((watched == lv_ || watched == lvIcons_) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Action("actShowDetails")->trigger();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // Not while uninstallers run or entries are removed: the command finishes first.
  if (commandRunning_) {
    event->ignore();
    return;
  }
  SaveParamsToIni();
  tmCheckReg_->stop();  // no check may reach the collection while the program ends
  if (formSearch_ && params_.SaveSearchHistory) formSearch_->SaveCbText();
  event->accept();
}

}  // namespace pgl
