#include "ui/main/SecondaryWindows.h"

#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {

void SecondaryWindows::Create(const Setup& setup, SearchTarget target, bool polish) {
  details = new TFormDetails(setup.owner, setup.registryOf, *setup.services, setup.detailsKey);
  about = new TFormAbout(setup.owner, *setup.services);
  errors = new TFormErrors(setup.owner, *setup.errorList, *setup.services);
  errors->hide();
  search = new TFormSearch(setup.owner, std::move(target), setup.historyFile, setup.searchKey);
  search->saveSearchHistory = setup.saveSearchHistory;
  uninstall = new TFormUninstall(setup.owner);
  remove = new TFormRemove(setup.owner);
  SetLang(polish);
}

void SecondaryWindows::Destroy() {
  for (QWidget* window :
       std::initializer_list<QWidget*>{details, about, errors, search, uninstall, remove})
    delete window;
  *this = SecondaryWindows{};
}

void SecondaryWindows::SetLang(bool polish) {
  for (TSecondaryWindow* window :
       std::initializer_list<TSecondaryWindow*>{details, about, errors, search})
    if (window) window->SetLang(polish);
  if (uninstall) uninstall->SetLang(polish);
  if (remove) remove->SetLang(polish);
}

void SecondaryWindows::HideTools() {
  for (QWidget* window : std::initializer_list<QWidget*>{details, about, errors})
    if (window) window->hide();
}

}  // namespace pgl
