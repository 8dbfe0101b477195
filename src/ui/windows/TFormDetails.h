// The Details window: every registry value of the selected entry's Uninstall key and usage
// record key, with the record decoded, following the main list's selection.
#pragma once

#include <functional>

#include <map>

#include "inventory/UCollection.h"
#include "registry/RegistryStore.h"
#include "ui/windows/DetailsRows.h"
#include "ui/windows/SecondaryWindow.h"
#include "ui/windows/WindowServices.h"

class QAction;
class QLabel;
class QMenu;
class QTableWidget;

namespace pgl {

class LinkLabel;

class TFormDetails : public TSecondaryWindow {
  Q_OBJECT

 public:
  // `registryOf` gives the registry an entry lives in.
  using RegistryOf = std::function<RegistryStore&(const TUninstallInfo&)>;
  TFormDetails(QWidget* owner, RegistryOf registryOf, WindowServices& services,
               const QKeySequence& closeShortcut);
  void SetLang(Language lang) override;

  // Fills the window for an entry's key (nothing for an empty name), read from the registry of
  // the entry last shown.
  void DisplayInfo(UninstallView view, const std::string& keyName);
  // The first selected entry of the main list, or none.
  void DisplaySelectedInfo(const TUninstallInfo* entry);
  void actCopySelectedExecute();
  void actSelectAllExecute();
  void actInvertSelectionExecute();
  void actRefreshExecute();

  QTableWidget* List() const { return lv_; }
  const DetailsContent& Content() const { return content_; }
  QLabel* KeyLabel(bool arpCache) const;
  QAction* Action(const QString& name) const;
  QMenu* PopupMenu() const { return popLv_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void popLvPopup();

  RegistryOf registryOf_;
  RegistryStore* registry_ = nullptr;  // the registry of the entry shown
  WindowServices& services_;
  UninstallView detailsView_ = UninstallView::Machine;
  std::string detailsKey_;  // DetailsKey
  DetailsContent content_;
  QTableWidget* lv_;
  LinkLabel* lblUninstallKey_;
  LinkLabel* lblARPCacheKey_;
  QMenu* popLv_;
  std::map<QString, QAction*> actions_;
};

}  // namespace pgl
