#include "ui/main/SecondaryWindows.h"

#include "ui/windows/ConfirmDialogs.h"
#include "ui/windows/TFormAbout.h"
#include "ui/windows/TFormDetails.h"
#include "ui/windows/TFormErrors.h"

namespace pgl {

void SecondaryWindows::Create(const Setup& setup, SearchTarget target, Language lang) {
  setup_ = setup;
  target_ = std::move(target);
  lang_ = lang;
  uninstall = new TFormUninstall(setup.owner);
  remove = new TFormRemove(setup.owner);
  SetLang(lang);
}

TFormDetails* SecondaryWindows::Details() {
  if (!details) {
    details =
        new TFormDetails(setup_.owner, setup_.registryOf, *setup_.services, setup_.detailsKey);
    details->SetLang(lang_);
  }
  return details;
}

TFormAbout* SecondaryWindows::About() {
  if (!about) {
    about = new TFormAbout(setup_.owner, *setup_.services);
    about->SetLang(lang_);
  }
  return about;
}

TFormErrors* SecondaryWindows::Errors() {
  if (!errors) {
    errors = new TFormErrors(setup_.owner, *setup_.errorList, *setup_.services);
    errors->hide();
    errors->SetLang(lang_);
  }
  return errors;
}

TFormSearch* SecondaryWindows::Search() {
  if (!search) {
    search = new TFormSearch(setup_.owner, target_, setup_.historyFile, setup_.searchKey);
    search->saveSearchHistory = setup_.saveSearchHistory;
    search->SetLang(lang_);
  }
  return search;
}

void SecondaryWindows::Destroy() {
  for (QWidget* window :
       std::initializer_list<QWidget*>{details, about, errors, search, uninstall, remove})
    delete window;
  *this = SecondaryWindows{};
}

void SecondaryWindows::SetLang(Language lang) {
  lang_ = lang;
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
