// The main window: the entry list with its toolbar, menus and status bar. It shows the
// collection and forwards the user's commands to the core (scan, sort, uninstall and remove
// engine, settings file); it holds no rule of its own.
#pragma once

#include <QMainWindow>
#include <functional>
#include <map>
#include <memory>

#include "inventory/ErrorList.h"
#include "inventory/UCollection.h"
#include "platform/ManagedSystem.h"
#include "ui/main/SettingsFile.h"

class QAction;
class QLabel;
class QMenu;
class QListView;
class QStackedWidget;
class QTableView;
class QToolBar;

namespace pgl {

class EntryListModel;
class TConfirmDialog;
class TFormUninstall;
class TFormRemove;

struct ProgramFiles {
  std::string settingsFileName;  // pgl.ini
  std::string errorLogFileName;  // pgl_Errors.log
  std::string dir;               // where the first registry backup goes
  std::string exePath;           // the running program, as a Unix path
};

class TFormMain : public QMainWindow {
  Q_OBJECT

 public:
  TFormMain(ManagedSystem& system, ProgramFiles files, QWidget* parent = nullptr);
  ~TFormMain() override;

  void SetLang(bool polish);
  // Rebuilds every row from the collection, then selects the first row.
  void DisplayUninstallInfo();
  void lvColumnClick(int column);
  void actUninstallExecute();
  void actRemoveExecute();
  void actRefreshExecute();
  void RemoveNonExisting();
  // 0 large icons, 1 the small-icon view ("List"), 2 the list view ("Small icons"), 3 report.
  void SetViewStyle(int style);
  int ViewStyle() const { return viewStyle_; }

  EntryListModel* Model() const { return model_; }
  QTableView* List() const { return lv_; }
  TUninstallCollection* Collection() const { return collection_.get(); }
  const TErrorList& Errors() const { return errors_; }
  QAction* Action(const QString& name) const;
  bool languagePL = false;

  // Seams for tests: how a confirmation dialog is answered (default: shown modally) and how a
  // message reaches the user (default: a message box).
  std::function<bool(TConfirmDialog&)> confirm;
  std::function<void(const QString& title, const QString& text)> tellUser;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateActions();
  void CreateMenusAndToolbar();
  void LoadParamsFromIni();
  void SaveParamsToIni();
  void UpdateStatus();
  void InitActions();
  void SetColumnImages();
  std::vector<TUninstallInfo> SelectedEntries() const;
  void ShowErrors();

  ManagedSystem& system_;
  ProgramFiles files_;
  TMainParams params_;
  TErrorList errors_;
  std::unique_ptr<TUninstallCollection> collection_;
  EntryListModel* model_ = nullptr;
  QTableView* lv_ = nullptr;      // the report style
  QListView* lvIcons_ = nullptr;  // the icon, small-icon and list styles, on the same rows
  QStackedWidget* lvStack_ = nullptr;
  int viewStyle_ = 3;
  QToolBar* tbMain_ = nullptr;
  std::map<QString, QAction*> actions_;
  std::map<QString, QMenu*> menus_;
  QLabel* sbTotal_ = nullptr;
  QLabel* sbInvalid_ = nullptr;
  QLabel* sbSystem_ = nullptr;
  QLabel* sbPrefix_ = nullptr;
  TFormUninstall* formUninstall_ = nullptr;
  TFormRemove* formRemove_ = nullptr;
  bool commandRunning_ = false;
  QString startupNote_;
};

}  // namespace pgl
