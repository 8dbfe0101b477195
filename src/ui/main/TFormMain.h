// The main window: the entry list with its toolbar, menus, information panel and status bar.
// It shows the collection and forwards the user's commands to the core (scan, sort, uninstall
// and remove engine, settings file); it holds no rule of its own.
#pragma once

#include <QMainWindow>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "inventory/ErrorList.h"
#include "inventory/UCollection.h"
#include "platform/ManagedSystem.h"
#include "ui/main/SettingsFile.h"
#include "ui/windows/WindowServices.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QListView;
class QSplitter;
class QStackedWidget;
class QTableView;
class QToolBar;
class QTimer;
class QToolButton;

namespace pgl {

class EntryListModel;
class TConfirmDialog;
class TFormAbout;
class TFormDetails;
class TFormErrors;
class TFormRemove;
class TFormSearch;
class TFormUninstall;
class TInfoPanel;

struct ProgramFiles {
  std::string settingsFileName;   // pgl.ini
  std::string errorLogFileName;   // pgl_Errors.log
  std::string dir;                // where the first registry backup goes; the dialogs start here
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

  void SetLang(bool polish);
  // Rebuilds every row from the collection, then selects the first row.
  void DisplayUninstallInfo();
  void lvColumnClick(int column);
  void actUninstallExecute();
  void actRemoveExecute();
  void actRefreshExecute();
  void actSelectAllExecute();
  void actInvertSelectionExecute();
  void actCopySelectedExecute();
  void actEscExecute();
  void actHelpExecute();
  void actShowHideBottomPanelExecute();
  void actGradientExecute();
  void actToolbarListExecute();
  void popSaveIconClick();
  void actSearchExecute();
  void actFindNextExecute();
  void actShowDetailsExecute();
  void actShowErrorsExecute();
  void actAboutExecute();
  void actReportExecute();
  void actRegBackupExecute();
  // The periodic registry check: entries whose keys others removed leave the list.
  void tmCheckRegTimer();
  // Shows another Wine prefix: its registry is read and the list rebuilt. False (and the
  // user told why) when it cannot be opened; the current prefix then stays.
  bool SwitchPrefix(const std::string& dir);
  const ManagedSystem& System() const { return *system_; }
  // The prefixes the chooser offers (found at start-up; tests may set their own).
  void SetPrefixes(std::vector<KnownSystem> prefixes);
  void RemoveNonExisting();
  // 0 large icons, 1 the small-icon view ("List"), 2 the list view ("Small icons"), 3 report.
  void SetViewStyle(int style);
  int ViewStyle() const { return viewStyle_; }
  void UpdateStatus();
  void InitActions();

  EntryListModel* Model() const { return model_; }
  QTableView* List() const { return lv_; }
  TInfoPanel* Panel() const { return panel_; }
  QSplitter* Splitter() const { return spBottom_; }
  TUninstallCollection* Collection() const { return collection_.get(); }
  TErrorList& Errors() { return errors_; }
  QAction* Action(const QString& name) const;
  QMenu* Menu(const QString& name) const;
  QToolButton* Button(const QString& name) const;
  QString StatusPanelText(int panel) const;
  bool ToolbarGradient() const { return toolbarGradient_; }
  bool ToolbarList() const { return toolbarList_; }
  TFormDetails* Details() const { return formDetails_; }
  TFormErrors* ErrorsWindow() const { return formErrors_; }
  TFormSearch* Search() const { return formSearch_; }
  TFormAbout* About() const { return formAbout_; }
  QTimer* CheckTimer() const { return tmCheckReg_; }
  bool languagePL = false;

  // Seams for tests: how a confirmation dialog is answered (default: shown modally), how a
  // message reaches the user (default: a message box), how a yes/no question is answered,
  // which file a save dialog returns (empty: cancelled) and what reaches the clipboard.
  std::function<bool(TConfirmDialog&)> confirm;
  std::function<void(const QString& title, const QString& text)> tellUser;
  std::function<bool(const QString& question)> ask;
  std::function<QString(const QString& title, const QString& suggested, const QString& filter)>
      chooseSaveFile;
  std::function<void(const QString& text)> setClipboard;
  // Which folder "Other folder..." picks (empty: cancelled) and how a prefix is opened.
  std::function<QString()> chooseFolder;
  std::function<std::unique_ptr<ManagedSystem>(const std::string& dir, std::string& error)>
      openPrefix;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateToolbar();
  void CreateStatusBar();
  void CreateSecondaryWindows();
  void ApplyToolbarLook();
  void FillPrefixChooser();
  void UpdateTitle();
  void LoadParamsFromIni();
  void SaveParamsToIni();
  void SetColumnImages();
  void OnSelectionChanged();
  void DisplaySelectedInfo();
  void ClearBottomInfo();
  int SelectedCount() const;
  std::vector<TUninstallInfo> SelectedEntries() const;
  void ShowErrors();
  void OpenWithDesktop(const std::function<bool(Desktop&)>& open);

  ManagedSystem* system_;                       // the prefix shown
  std::unique_ptr<ManagedSystem> ownedSystem_;  // one the user switched to
  std::vector<KnownSystem> prefixes_;           // the user's prefixes, for the chooser
  QComboBox* cbPrefix_ = nullptr;
  ProgramFiles files_;
  TMainParams params_;
  TErrorList errors_;
  std::unique_ptr<TUninstallCollection> collection_;
  EntryListModel* model_ = nullptr;
  QTableView* lv_ = nullptr;      // the report style
  QListView* lvIcons_ = nullptr;  // the icon, small-icon and list styles, on the same rows
  QStackedWidget* lvStack_ = nullptr;
  QSplitter* spBottom_ = nullptr;
  TInfoPanel* panel_ = nullptr;
  int viewStyle_ = 3;
  QToolBar* tbMain_ = nullptr;
  bool toolbarGradient_ = true;
  bool toolbarList_ = false;
  std::map<QString, QAction*> actions_;
  std::map<QString, QMenu*> menus_;
  std::map<QString, QToolButton*> buttons_;
  std::array<QLabel*, 6> sbPanels_{};
  TFormDetails* formDetails_ = nullptr;
  TFormAbout* formAbout_ = nullptr;
  TFormErrors* formErrors_ = nullptr;
  TFormSearch* formSearch_ = nullptr;
  TFormUninstall* formUninstall_ = nullptr;
  TFormRemove* formRemove_ = nullptr;
  WindowServices services_;
  QTimer* tmCheckReg_ = nullptr;
  bool noAutoCheckReg_ = false;
  QString lastReportName_ = "Purgelet Report.html";
  bool commandRunning_ = false;
  bool listUpdating_ = false;  // ListUpdating: the list is being rebuilt or reselected
  bool findNextEnabled_ = false;
  QString startupNote_;
};

}  // namespace pgl
