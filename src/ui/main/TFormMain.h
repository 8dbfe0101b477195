// The main window: the entry list with its toolbar, menus, information panel and status bar.
// It wires its parts together (the list, the actions, the commands, the prefix chooser, the
// status bar, the secondary windows) and forwards the user's commands; it holds no rule.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "inventory/ErrorList.h"
#include "inventory/SystemSet.h"
#include "ui/main/EntryListView.h"
#include "ui/main/ListPresentation.h"
#include "ui/main/MainTexts.h"
#include "ui/main/QtTexts.h"
#include "ui/main/SecondaryWindows.h"
#include "ui/main/SettingsFile.h"
#include "ui/main/ShownSystems.h"
#include "ui/windows/WindowServices.h"

class QAction;
class QMenu;
class QSplitter;
class QTableView;
class QTimer;
class QToolButton;

namespace pgl {

class EntryCommands;
class EntryListModel;
class MainStatusBar;
class FilterBox;
class MessageBar;
class TConfirmDialog;
class TFormAbout;
class TFormDetails;
class TFormErrors;
class TFormPrefixes;
class TFormRemove;
class TFormSearch;
class TFormUninstall;
class TInfoPanel;
class WindowActions;

struct ProgramFiles {
  std::string settingsFileName;   // pgl.ini
  std::string errorLogFileName;   // pgl_Errors.log
  std::string dir;                // where the first registry backup and the start record go
  std::string exePath;            // the running program, as a Unix path
  std::string searchLogFileName;  // pgl_Search.log
};

class TFormMain : public QMainWindow {
  Q_OBJECT

 public:
  // Runs the whole start-up: records, settings, scan, sort, list; then creates the secondary
  // windows, hidden.
  TFormMain(ManagedSystem& system, ProgramFiles files, QWidget* parent = nullptr);
  ~TFormMain() override;

  void SetLang(Language lang);
  // Rebuilds every row from the collection, keeping the selection where its entries remain.
  void DisplayUninstallInfo();
  void lvColumnClick(int column);
  void actUninstallExecute();
  void actRemoveExecute();
  void popSaveIconClick();
  // The periodic registry check: entries whose keys others removed leave the list.
  void tmCheckRegTimer();
  // Shows another Wine prefix: its registry is read and the list rebuilt. False (and the
  // user told why) when it cannot be opened; the current prefix then stays.
  bool SwitchPrefix(const std::string& dir) { return shown_->SwitchTo(dir); }
  // Shows the programs of every prefix the chooser offers in one list, each entry acted on in
  // its own prefix. A prefix that cannot be read is named in the message bar; false (and the
  // user told why) when none can be.
  bool ShowAllPrefixes() { return shown_->ShowAll(); }
  const ManagedSystem& System() const { return set_.Primary(); }
  const SystemSet& Systems() const { return set_; }
  // The prefixes the chooser offers (found at start-up; tests may set their own).
  void SetPrefixes(std::vector<KnownSystem> prefixes) { shown_->SetPrefixes(std::move(prefixes)); }
  void SetPrefixFinder(std::function<std::vector<KnownSystem>()> find) {
    shown_->SetFinder(std::move(find));
  }
  void SetViewStyle(ViewStyle style);
  ViewStyle CurrentViewStyle() const;
  void UpdateStatus();
  void InitActions();

  EntryListModel* Model() const { return model_; }
  EntryListView* ListView() const { return list_; }
  QTableView* List() const;
  TInfoPanel* Panel() const { return panel_; }
  QSplitter* Splitter() const { return spBottom_; }
  TUninstallCollection* Collection() const { return set_.Empty() ? nullptr : &set_.Shown(); }
  TErrorList& Errors() { return errors_; }
  QAction* Action(ActionId id) const;
  // By object name, for tests ("actRefresh").
  QAction* Action(const QString& name) const;
  QMenu* Menu(const QString& name) const;
  QToolButton* Button(const QString& name) const;
  QString StatusPanelText(int panel) const;
  bool ToolbarGradient() const { return toolbarGradient_; }
  bool ToolbarList() const { return toolbarList_; }
  // Each made when first asked for.
  TFormDetails* Details();
  TFormErrors* ErrorsWindow() { return windows_.Errors(); }
  TFormSearch* Search() { return windows_.Search(); }
  TFormAbout* About() { return windows_.About(); }
  QTimer* CheckTimer() const;
  MessageBar* Messages() const { return messageBar_; }
  FilterBox* Filter() const { return filter_; }
  TFormPrefixes* PrefixesWindow() const { return prefixesWindow_; }
  // Whether this start's records were written (or refused) yet.
  bool StartRecorded() const { return !startPending_; }
  // The dialogs, messages, clipboard and desktop the window and its secondary windows use;
  // tests answer them here.
  WindowServices& Services() { return services_; }
  Language language = Language::English;
  Language Lang() const { return language; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void WireActions();
  void CreateSecondaryWindows();
  void ScanAndShow();
  void UpdateTitle();
  void LoadParamsFromIni();
  // Puts the whole window, title and status bar included, on the free area of the screen it
  // opens on (a size saved at another scale or on a larger screen is made smaller).
  void FitToScreen();
  void SaveParamsToIni();
  void SetColumnImages();
  void OnSelectionChanged();
  // Shows the first selected entry in the Details window, where it has been made.
  void ShowSelectedInDetails();
  void DisplaySelectedInfo();
  void ShowErrors();
  void HideForUninstaller(bool running);
  // The records of this start, in the registry the window was opened on.
  void RecordStart();
  // Before another prefix (or all) is shown: nothing may refer to the old ones.
  void LeaveSystems();
  // The set's systems are shown: scanned, listed, with `problems` in the message bar.
  // One notice of a line each; with `readOnlyNote`, whether the prefix's registry can be
  // changed now.
  void ShowProblems(const std::vector<std::string>& problems, bool readOnlyNote = false);
  QString ReadOnlyNote();
  void ShowSystems(const std::vector<std::string>& problems);

  SystemSet set_;  // the prefix shown, or every prefix
  ProgramFiles files_;
  TMainParams params_;
  TErrorList errors_;
  WindowServices services_;
  EntryListModel* model_ = nullptr;
  EntryListView* list_ = nullptr;
  EntryListView::Memo listMemo_;
  QSplitter* spBottom_ = nullptr;
  TInfoPanel* panel_ = nullptr;
  WindowActions* actions_ = nullptr;
  EntryCommands* commands_ = nullptr;
  ShownSystems* shown_ = nullptr;
  MainStatusBar* statusBar_ = nullptr;
  FilterBox* filter_ = nullptr;
  MessageBar* messageBar_ = nullptr;
  TFormPrefixes* prefixesWindow_ = nullptr;
  QtTexts qtTexts_;
  bool toolbarGradient_ = true;
  bool toolbarList_ = false;
  SecondaryWindows windows_;
  bool noAutoCheckReg_ = false;
  bool hiddenForUninstaller_ = false;
  QByteArray geometryBeforeUninstaller_;  // given back when the window shows again
  int lastPanelHeight_ = 204;             // the panel's height when it was last shown
  bool listUpdating_ = false;             // the rows are being rebuilt or reselected
  // The program's own record of its starts (never the prefix shown), until the start is
  // recorded.
  std::unique_ptr<RegistryStore> startRecord_;
  bool startPending_ = false;
  std::string readOnlyPrefix_;  // the prefix whose registry Wine's running keeps unchanged
  bool startRecordPosted_ = false;
  bool filesPending_ = false;  // the first scan left icon files (and uninstallers) out
};

}  // namespace pgl
