#include "ui/main/SecondaryWindows.h"

#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {

void SecondaryWindows::Create(const Setup& setup, SearchTarget target, Language lang) {
  details = new TFormDetails(setup.owner, setup.registryOf, *setup.services, setup.detailsKey);
  about = new TFormAbout(setup.owner, *setup.services);
  errors = new TFormErrors(setup.owner, *setup.errorList, *setup.services);
  errors->hide();
  search = new TFormSearch(setup.owner, std::move(target), setup.historyFile, setup.searchKey);
  search->saveSearchHistory = setup.saveSearchHistory;
  uninstall = new TFormUninstall(setup.owner);
  remove = new TFormRemove(setup.owner);
  SetLang(lang);
}

void SecondaryWindows::Destroy() {
  for (QWidget* window :
       std::initializer_list<QWidget*>{details, about, errors, search, uninstall, remove})
    delete window;
  *this = SecondaryWindows{};
}

void SecondaryWindows::SetLang(Language lang) {
  for (TSecondaryWindow* window :
       std::initializer_list<TSecondaryWindow*>{details, about, errors, search})
    if (window) window->SetLang(lang);
  if (uninstall) uninstall->SetLang(lang);
  if (remove) remove->SetLang(lang);
}

void SecondaryWindows::HideTools() {
  for (QWidget* window : std::initializer_list<QWidget*>{details, about, errors})
    if (window) window->hide();
}

}  // namespace pgl
