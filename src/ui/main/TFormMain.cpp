#include "ui/main/TFormMain.h"

#include <unistd.h>

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "inventory/EntryList.h"
#include "lang/Language.h"
#include "leftovers/DesktopEntries.h"
#include "platform/AppFiles.h"
#include "ui/UiText.h"
#include "ui/main/EntryCommands.h"
#include "ui/main/EntryListModel.h"
#include "ui/main/FilterBox.h"
#include "ui/main/InfoPanel.h"
#include "ui/main/MainStatusBar.h"
#include "ui/main/MessageBar.h"
#include "ui/main/PanelRules.h"
#include "ui/main/PrefixChooser.h"
#include "ui/main/PrefixRules.h"
#include "ui/main/SecondaryWindows.h"
#include "ui/main/ShownSystems.h"
#include "ui/main/Startup.h"
#include "ui/main/WindowActions.h"
#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"
#include "ui/windows/TFormPrefixes.h"
#include "ui/windows/TFormSearch.h"
#include "util/ScopedFlag.h"

namespace pgl {

TFormMain::TFormMain(ManagedSystem& system, ProgramFiles files, QWidget* parent)
    : QMainWindow(parent), files_(std::move(files)), errors_(files_.errorLogFileName) {
  setObjectName("TFormMain");
  resize(625, 588);
  SetDefParams(params_);
  set_.ShowOne(system);
  model_ = new EntryListModel(system.platform.get(), this);
  model_->SetPlatformOf(
      [this](const TUninstallInfo& entry) { return set_.SystemOf(entry).platform.get(); });
  list_ = new EntryListView(model_, this);
  panel_ = new TInfoPanel(this);
  spBottom_ = new QSplitter(Qt::Vertical, this);
  spBottom_->setObjectName("spBottom");
  spBottom_->setHandleWidth(3);
  spBottom_->setOpaqueResize(true);
  spBottom_->setChildrenCollapsible(false);  // a panel of one pixel or less is refused
  spBottom_->addWidget(list_);
  spBottom_->addWidget(panel_);
  spBottom_->setStretchFactor(0, 1);
  spBottom_->setStretchFactor(1, 0);
  spBottom_->setSizes({588 - 204, 204});
  messageBar_ = new MessageBar(this);
  auto* central = new QWidget(this);
  auto* centralLayout = new QVBoxLayout(central);
  centralLayout->setContentsMargins(0, 0, 0, 0);
  centralLayout->setSpacing(0);
  filter_ = new FilterBox(this);
  centralLayout->addWidget(filter_);
  centralLayout->addWidget(spBottom_, 1);
  centralLayout->addWidget(messageBar_);
  setCentralWidget(central);
  statusBar_ = new MainStatusBar(this);
  setStatusBar(statusBar_);

  // Reports and backups are the user's documents: their dialogs start in that folder.
  services_ = DialogServices(this, UserXdgFolders().documents);
  services_.desktop = system.desktop.get();
  services_.openPrefix = [](const std::string& dir, std::string& error) {
    return OpenManagedSystemAt(dir, error);
  };

  actions_ = new WindowActions(this);
  commands_ = new EntryCommands(this, model_, errors_, services_, params_);
  auto* chooser = new PrefixChooser(actions_->Toolbar(), Menu("mnuPrefix"), services_);
  shown_ = new ShownSystems(set_, chooser, services_, this);
  prefixesWindow_ = new TFormPrefixes(this, services_);
  connect(chooser, &PrefixChooser::prefixesWanted, this, [this] {
    prefixesWindow_->ShowPrefixes(shown_->AllKnown(), shown_->ShownDirs());
    prefixesWindow_->ShowActive();
  });
  // Prefixes removed there leave the chooser.
  connect(prefixesWindow_, &TFormPrefixes::prefixesChanged, shown_, &ShownSystems::Rescan);
  shown_->busy = [this] { return commands_->Running(); };
  WireActions();

  // Start-up, in order. The title names the program once: no application display name for Qt to
  // append.
  setWindowTitle("Purgelet");
  setMinimumSize(390, 300);
  panel_->ClearBottomInfo();
  commands_->SetSystems(&set_);
  const bool firstStart =
      files_.settingsFileName.empty() || ::access(files_.settingsFileName.c_str(), F_OK) != 0;
  LoadParamsFromIni();
  FitToScreen();
  if (firstStart) {
    // The first start speaks the user's language and keeps a backup of what it may change.
    language = LanguageFromLocale();
    if (!files_.dir.empty()) WriteFirstBackup(*system.registry, files_.dir);
  }
  SetLang(Lang());
  // The list is painted first; its entries' icon files and uninstallers are looked for once it
  // is on screen (the uninstallers sooner where the list is filtered by them).
  set_.Scan(false, false, false);
  filesPending_ = true;
  DisplayUninstallInfo();
  InitActions();
  UpdateStatus();
  ShowProblems(system.problems);
  list_->CurrentView()->setFocus();
  CreateSecondaryWindows();
  UpdateTitle();
  // The program's records of this start are written once the list is on screen, or after two
  // seconds if it never shows: into its own record, never into the prefix it shows.
  startRecord_ = OpenProgramRecord(files_.dir);
  startPending_ = true;
  QWidget* view = list_->CurrentView();
  if (auto* area = qobject_cast<QAbstractScrollArea*>(view)) view = area->viewport();
  view->installEventFilter(this);
  QTimer::singleShot(2000, this, [this] { RecordStart(); });
}

TFormMain::~TFormMain() = default;

void TFormMain::WireActions() {
  using A = ActionId;
  const auto on = [this](ActionId id, auto handler) {
    connect(Action(id), &QAction::triggered, this, handler);
  };
  on(A::Refresh, [this] {
    commands_->Refresh();
    shown_->Rescan();  // prefixes made since, and with every prefix shown, their programs
  });
  on(A::Uninstall, &TFormMain::actUninstallExecute);
  on(A::UninstallQuietly, [this] {
    windows_.uninstall->SetQuiet(true);
    commands_->Uninstall(list_->SelectedEntries(), windows_.uninstall, true);
  });
  on(A::Remove, &TFormMain::actRemoveExecute);
  on(A::UndoRemove, [this] { commands_->UndoRemove(); });
  on(A::Leftovers, [this] { commands_->Leftovers(list_->SelectedEntries()); });
  on(A::DesktopEntries, [this] { commands_->DesktopEntriesOfGonePrefixes(); });
  on(A::ExitApp, &QWidget::close);
  on(A::Esc, [this] {
    if (services_.ask(Utf8(Text(MainText::CloseQuestion, Lang())))) close();
  });
  on(A::Help, [this] {
    // The page installed with the program, in the window's language.
    const std::string exeDir = files_.exePath.empty()
                                   ? ExecutableDir()
                                   : files_.exePath.substr(0, files_.exePath.rfind('/'));
    const std::string page = HelpPageFile(exeDir, Lang());
    if (page.empty())
      services_.tellUser("Purgelet", Utf8(Fill(Text(MainText::NoHelpPage, Lang()),
                                               {exeDir + "/help/index.html"})));
    else if (services_.openLocalPage && !services_.openLocalPage(page))
      services_.tellUser("Purgelet", Utf8(Fill(Text(MainText::HelpNotOpened, Lang()), {page})));
  });
  const auto reselected = [this](const std::function<void()>& change) {
    {
      const ScopedFlag updating(listUpdating_);
      change();
    }
    OnSelectionChanged();
  };
  on(A::SelectAll, [this, reselected] { reselected([this] { list_->SelectAll(); }); });
  on(A::InvertSelection, [this, reselected] { reselected([this] { list_->InvertSelection(); }); });
  on(A::CopySelected, [this] { services_.setClipboard(list_->CopiedText()); });
  on(A::ShowErrors, [this] {
    // Hiding this way keeps the list and does not append it to the log.
    if (windows_.errors && windows_.errors->isVisible())
      windows_.errors->hide();
    else
      ShowErrors();
  });
  on(A::Search, [this] {
    TFormSearch* search = windows_.Search();
    search->ShowActive();
    search->Text()->setFocus();
  });
  on(A::FindNext, [this] { windows_.Search()->actSearchExecute(); });
  on(A::ShowDetails, [this] {
    if (windows_.details && !windows_.details->isHidden()) {
      windows_.details->hide();
      return;
    }
    Details()->ShowActive();
    OnSelectionChanged();
  });
  on(A::About, [this] { windows_.About()->ShowActive(); });
  on(A::Report, [this] { commands_->Report(Action(A::Report)->text()); });
  on(A::RegBackup, [this] { commands_->Backup(Action(A::RegBackup)->text()); });
  on(A::Restore, [this] { commands_->Restore(Action(A::Restore)->text()); });
  on(A::ShowHideBottomPanel, [this] {
    if (!panel_->isHidden()) {
      lastPanelHeight_ = panel_->height();  // given back when it is shown, in this run or the next
      panel_->hide();
    } else {
      panel_->show();
      const int total = spBottom_->sizes()[0] + spBottom_->sizes()[1];
      spBottom_->setSizes({std::max(1, total - lastPanelHeight_), lastPanelHeight_});
    }
    InitActions();
  });
  on(A::Gradient, [this] {
    toolbarGradient_ = !toolbarGradient_;
    actions_->SetToolbarLook(toolbarGradient_, toolbarList_);
    InitActions();
  });
  on(A::ToolbarList, [this] {
    toolbarList_ = !toolbarList_;
    actions_->SetToolbarLook(toolbarGradient_, toolbarList_);
    InitActions();
  });
  // Each filter change rescans the registry.
  on(A::SystemComponentsVisible, [this] {
    set_.Shown().SetSystemComponentsVisible(!set_.Shown().SystemComponentsVisible);
    commands_->Refresh();
  });
  on(A::InvalidVisible, [this] {
    params_.ShowInvalidItems = !params_.ShowInvalidItems;
    commands_->Refresh();
  });
  on(A::ShowOnlyInvalid, [this] {
    params_.ShowOnlyInvalidItems = !params_.ShowOnlyInvalidItems;
    commands_->Refresh();
  });
  on(A::ShowHideToolbar, [this] {
    actions_->Toolbar()->setVisible(actions_->Toolbar()->isHidden());
    InitActions();
  });
  const std::pair<ActionId, ViewStyle> styles[] = {{A::ViewLargeIcons, ViewStyle::LargeIcons},
                                                   {A::ViewList, ViewStyle::SmallIcons},
                                                   {A::ViewSmallIcons, ViewStyle::List},
                                                   {A::ViewDetails, ViewStyle::Details}};
  for (const auto& [id, style] : styles) on(id, [this, style = style] { SetViewStyle(style); });
  on(A::View, [this] { SetViewStyle(NextViewStyle(list_->Style())); });
  for (const auto& [id, lang] :
       {std::pair{A::SetLangEN, Language::English}, std::pair{A::SetLangPL, Language::Polish}})
    on(id, [this, lang = lang] {
      language = lang;
      SetLang(lang);
      // Widths stored or set in the other language may cut this one's captions (a width the
      // user chose stays, at the next start too, until the language changes).
      list_->FitCaptions(lang);
      windows_.SetLang(lang);
      model_->UpdateFrequencyColumn(lang);
      UpdateStatus();
      InitActions();
    });

  connect(list_, &EntryListView::selectionChanged, this, [this] {
    if (!listUpdating_) OnSelectionChanged();
  });
  connect(list_, &EntryListView::columnClicked, this, &TFormMain::lvColumnClick);
  connect(list_, &EntryListView::activated, this, [this] { Action(A::ShowDetails)->trigger(); });
  connect(list_, &EntryListView::contextMenuRequested, this,
          [this](const QPoint& at) { Menu("popLv")->popup(at); });
  connect(commands_, &EntryCommands::listAboutToChange, this,
          [this] { listMemo_ = list_->Remember(); });
  connect(commands_, &EntryCommands::listChanged, this, &TFormMain::DisplayUninstallInfo);
  connect(commands_, &EntryCommands::runningChanged, this, &TFormMain::InitActions);
  connect(commands_, &EntryCommands::errorsAdded, this, &TFormMain::ShowErrors);
  connect(commands_, &EntryCommands::notice, messageBar_, &MessageBar::Show);
  connect(filter_, &FilterBox::textChanged, this, [this](const QString& typed) {
    listMemo_ = list_->Remember();
    model_->SetTextFilter(typed.toStdString());
    DisplayUninstallInfo();
    UpdateStatus();
    InitActions();
  });
  connect(filter_, &FilterBox::leave, this, [this] { list_->CurrentView()->setFocus(); });
  auto* toFilter = new QAction(this);
  toFilter->setObjectName("actFilter");
  toFilter->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
  addAction(toFilter);
  connect(toFilter, &QAction::triggered, filter_, [this] {
    filter_->setFocus(Qt::ShortcutFocusReason);
    filter_->selectAll();
  });
  connect(commands_, &EntryCommands::undoableNotice, this, [this](const QString& text) {
    messageBar_->ShowWithAction(text, Utf8(Text(MainText::Undo, Lang())),
                                [this] { commands_->UndoRemove(); });
  });
  connect(prefixesWindow_, &TFormPrefixes::notice, messageBar_, &MessageBar::Show);
  connect(commands_, &EntryCommands::uninstallerRunning, this, &TFormMain::HideForUninstaller);
  connect(shown_, &ShownSystems::leaving, this, &TFormMain::LeaveSystems);
  connect(shown_, &ShownSystems::shown, this, &TFormMain::ShowSystems);
  connect(shown_, &ShownSystems::renamed, this, &TFormMain::UpdateTitle);

  panel_->UseServices(services_);
  connect(panel_, &TInfoPanel::showDetails, this, [this] { Action(A::ShowDetails)->trigger(); });
  connect(panel_, &TInfoPanel::saveIcon, this, &TFormMain::popSaveIconClick);
}

void TFormMain::CreateSecondaryWindows() {
  SearchTarget target;
  target.rowCount = [this] { return model_->rowCount(); };
  target.cell = [this](int row, int column) { return model_->CellText(row, column); };
  target.firstSelected = [this] { return list_->FirstSelectedRow(); };
  target.select = [this](const std::vector<int>& rows, int scrollTo) {
    list_->SelectRows(rows, scrollTo);
  };
  target.searched = [this] {
    InitActions();
    UpdateStatus();
    activateWindow();
    list_->CurrentView()->setFocus();
  };
  windows_.Create(
      {this,
       [this](const TUninstallInfo& e) -> RegistryStore& { return *set_.SystemOf(e).registry; },
       &services_, &errors_, files_.searchLogFileName, params_.SaveSearchHistory,
       Action(ActionId::ShowDetails)->shortcut(), Action(ActionId::Search)->shortcut()},
      std::move(target), Lang());
  errors_.OnLogFailed = [this](const std::string& error) {
    messageBar_->Show(Utf8(Text(MainText::ErrorLogFailed, Lang()) + error));
  };
  if (!noAutoCheckReg_) commands_->CheckTimer()->start();
  InitActions();
  OnSelectionChanged();
}

QAction* TFormMain::Action(ActionId id) const {
  return actions_->Get(id);
}

QAction* TFormMain::Action(const QString& name) const {
  return actions_->Find(name);
}

QMenu* TFormMain::Menu(const QString& name) const {
  return actions_->Menu(name);
}

QToolButton* TFormMain::Button(const QString& name) const {
  return actions_->Button(name);
}

QTableView* TFormMain::List() const {
  return list_->Table();
}

QTimer* TFormMain::CheckTimer() const {
  return commands_->CheckTimer();
}

QString TFormMain::StatusPanelText(int panel) const {
  return statusBar_->PanelText(panel);
}

void TFormMain::UpdateTitle() {
  const std::string name = shown_->Title();
  setWindowTitle(name.empty() ? QString("Purgelet") : "Purgelet — " + Utf8(name));
  statusBar_->SetSystem(Utf8(shown_->Description()));
}

void TFormMain::LeaveSystems() {
  commands_->CheckTimer()->stop();
  if (windows_.search && params_.SaveSearchHistory) windows_.search->SaveCbText();
  // The secondary windows show the old prefix: they are made again for the new one.
  windows_.Destroy();
  const ScopedFlag updating(listUpdating_);
  model_->Rebuild(nullptr, params_, Lang());  // no row may point into the old collections
}

void TFormMain::ShowSystems(const std::vector<std::string>& problems) {
  services_.desktop = set_.Primary().desktop.get();
  commands_->SetSystems(&set_);
  model_->SetPrefixColumn(set_.All());
  messageBar_->Clear();  // the notices spoke of the prefix shown before
  readOnlyPrefix_.clear();
  ShowProblems(problems, true);
  set_.Scan(false);
  listMemo_ = EntryListView::Memo{};  // another list: the first row, from the top
  CreateSecondaryWindows();
  DisplayUninstallInfo();
  UpdateTitle();
}

void TFormMain::SetLang(Language lang) {
  qtTexts_.Use(lang);
  list_->SetAccessibleName(Utf8(Text(MainText::ProgramList, lang)));
  filter_->SetTexts(Utf8(Text(MainText::FilterHint, lang)), Utf8(Text(MainText::FilterName, lang)));
  messageBar_->SetCloseName(Utf8(Text(MainText::CloseNotice, lang)));
  actions_->SetLang(lang);
  panel_->SetLang(lang);
  model_->SetLanguage(lang);
  commands_->SetLanguage(lang);
  shown_->SetLanguage(lang);
  prefixesWindow_->SetLang(lang);
  UpdateTitle();
  InitActions();
  UpdateStatus();
}

void TFormMain::DisplayUninstallInfo() {
  // A filter by validity needs each entry's: the uninstallers a scan left out are looked for.
  if (!params_.ShowInvalidItems || params_.ShowOnlyInvalidItems) set_.FindUninstallers();
  {
    const ScopedFlag updating(listUpdating_);
    model_->Rebuild(&set_.Shown(), params_, Lang());
    list_->PlacePrefixColumn();
    SetColumnImages();
    list_->Restore(listMemo_);
  }
  listMemo_ = list_->Remember();
  OnSelectionChanged();
}

void TFormMain::SetColumnImages() {
  int arrow = -1;
  for (int c = 0; c < model_->columnCount(); ++c)
    if (SortKeyOfTag(EntryListModel::ColumnTag(c)) == set_.Shown().CurrentSort) arrow = c;
  model_->SetSortArrow(arrow, set_.Shown().SortAscending);
}

void TFormMain::SetViewStyle(ViewStyle style) {
  list_->SetViewStyle(style);
  InitActions();
}

ViewStyle TFormMain::CurrentViewStyle() const {
  return list_->Style();
}

void TFormMain::lvColumnClick(int column) {
  commands_->SortBy(column);
}

void TFormMain::UpdateStatus() {
  if (set_.Empty()) return;
  const auto& c = set_.Shown();
  statusBar_->SetCounts({model_->rowCount(), static_cast<int>(list_->SelectedRows().size()),
                         c.TotalCount, c.InvalidCount, c.SystemCount},
                        language);
}

void TFormMain::InitActions() {
  ActionInputs in;
  in.selectedRows = static_cast<int>(list_->SelectedRows().size());
  in.rows = model_->rowCount();
  in.idle = !commands_->Running();
  in.viewStyle = list_->Style();
  in.systemComponentsVisible = !set_.Empty() && set_.Shown().SystemComponentsVisible;
  in.severalSystems = set_.All();
  in.showInvalid = params_.ShowInvalidItems;
  in.showOnlyInvalid = params_.ShowOnlyInvalidItems;
  in.lang = language;
  in.toolbarVisible = !actions_->Toolbar()->isHidden();
  in.panelVisible = !panel_->isHidden();
  in.toolbarGradient = toolbarGradient_;
  in.toolbarList = toolbarList_;
  in.findNextEnabled = windows_.search && windows_.search->FindNextEnabled();
  in.canUndoRemove = commands_->CanUndoRemove();
  const ActionState state = ComputeActionState(in);
  actions_->Apply(state);
  panel_->SetDetailsEnabled(state[ActionId::ShowDetails].enabled);
}

TFormDetails* TFormMain::Details() {
  if (!windows_.details) {
    windows_.Details();
    ShowSelectedInDetails();
  }
  return windows_.details;
}

void TFormMain::ShowSelectedInDetails() {
  if (!windows_.details) return;
  // The details follow the first selected entry; a failure there leaves the list alone.
  try {
    windows_.details->DisplaySelectedInfo(list_->FirstSelectedEntry());
  } catch (const std::exception&) {
  }
}

void TFormMain::OnSelectionChanged() {
  InitActions();
  DisplaySelectedInfo();
  ShowSelectedInDetails();
  UpdateStatus();
}

void TFormMain::DisplaySelectedInfo() {
  // Nothing selected, nothing shown: the panel never keeps an entry that is not selected.
  panel_->ClearBottomInfo();
  panel_->ClearIcon();
  const TUninstallInfo* entry = list_->FirstSelectedEntry();
  // Links, files and keys open in the prefix of the entry shown.
  services_.desktop = (entry ? set_.SystemOf(*entry) : set_.Primary()).desktop.get();
  if (!entry) return;
  panel_->SetIcon(model_->RowIcon(list_->FirstSelectedRow()));
  panel_->DisplayBottomInfo(*entry, commands_->NameInList(*entry),
                            ExistingEntryKeys(*set_.SystemOf(*entry).registry, *entry));
}

void TFormMain::actUninstallExecute() {
  windows_.uninstall->SetQuiet(false);
  commands_->Uninstall(list_->SelectedEntries(), windows_.uninstall);
}

void TFormMain::actRemoveExecute() {
  commands_->Remove(list_->SelectedEntries(), windows_.remove);
}

void TFormMain::popSaveIconClick() {
  if (const TUninstallInfo* entry = list_->FirstSelectedEntry())
    commands_->SaveIcon(*entry, panel_->Icon());
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && startPending_ && !startRecordPosted_) {
    startRecordPosted_ = true;
    QTimer::singleShot(0, this, [this] { RecordStart(); });
  }
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::HideForUninstaller(bool running) {
  // The windows step aside only while an uninstaller runs; the list comes back after each.
  if (running && params_.HideWhileUninstalling && isVisible()) {
    hiddenForUninstaller_ = true;
    geometryBeforeUninstaller_ = saveGeometry();
    hide();
    windows_.HideTools();
  } else if (!running && hiddenForUninstaller_) {
    hiddenForUninstaller_ = false;
    show();
    // A window manager may place a window shown again anew: it stays where the user had it.
    restoreGeometry(geometryBeforeUninstaller_);
  }
}

void TFormMain::ShowErrors() {
  TFormErrors* errors = windows_.Errors();
  errors->Refresh();
  errors->ShowActive();
}

void TFormMain::closeEvent(QCloseEvent* event) {
  // Not while uninstallers run or entries are removed: the command finishes first.
  if (commands_->Running()) {
    event->ignore();
    return;
  }
  SaveParamsToIni();
  // Qt closes the other visible windows as the program ends; the Errors window's close appends
  // its list to the log, which only the user's own close should do.
  if (windows_.errors) windows_.errors->hide();
  commands_->CheckTimer()->stop();  // no check may reach the collection while the program ends
  if (windows_.search && params_.SaveSearchHistory) windows_.search->SaveCbText();
  event->accept();
}

}  // namespace pgl
