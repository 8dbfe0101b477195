// The windows beside the main one (Details, About, Errors, Search) and the two confirmation
// dialogs: made for the system shown, and made again for another one. Details, About, Errors and
// Search are made when first wanted: a start that never shows them does not pay for them.
#pragma once

#include <QKeySequence>
#include <functional>
#include <string>

#include "inventory/ErrorList.h"
#include "inventory/UCollection.h"
#include "registry/RegistryStore.h"
#include "ui/windows/TFormSearch.h"
#include "ui/windows/WindowServices.h"

class QWidget;

namespace pgl {

class TFormAbout;
class TFormDetails;
class TFormErrors;
class TFormRemove;
class TFormUninstall;

struct SecondaryWindows {
  // The windows made so far (null: not yet); the getters below make them.
  TFormDetails* details = nullptr;
  TFormAbout* about = nullptr;
  TFormErrors* errors = nullptr;
  TFormSearch* search = nullptr;
  TFormUninstall* uninstall = nullptr;
  TFormRemove* remove = nullptr;

  struct Setup {
    QWidget* owner = nullptr;
    std::function<RegistryStore&(const TUninstallInfo&)> registryOf;  // where an entry lives
    WindowServices* services = nullptr;
    TErrorList* errorList = nullptr;
    std::string historyFile;
    bool saveSearchHistory = true;
    QKeySequence detailsKey, searchKey;  // the main window's keys that also close them
  };
  // Makes the confirmation dialogs, hidden, in the language given, and keeps what the others
  // are made with.
  void Create(const Setup& setup, SearchTarget target, Language lang);
  void Destroy();
  void SetLang(Language lang);
  // The tool windows (Details, About, Errors) step aside while an uninstaller runs.
  void HideTools();

  // Each window, hidden, made the first time it is asked for.
  TFormDetails* Details();
  TFormAbout* About();
  TFormErrors* Errors();
  TFormSearch* Search();

 private:
  Setup setup_;
  SearchTarget target_;
  Language lang_ = Language::English;
};

}  // namespace pgl
