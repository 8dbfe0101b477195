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

namespace {

// The window in `window`, made by `make` in `lang` the first time.
template <typename Window, typename Make>
Window* MadeOnce(Window*& window, Language lang, const Make& make) {
  if (!window) {
    window = make();
    window->SetLang(lang);
  }
  return window;
}

}  // namespace

TFormDetails* SecondaryWindows::Details() {
  return MadeOnce(details, lang_, [this] {
    return new TFormDetails(setup_.owner, setup_.registryOf, *setup_.services, setup_.detailsKey);
  });
}

TFormAbout* SecondaryWindows::About() {
  return MadeOnce(about, lang_, [this] { return new TFormAbout(setup_.owner, *setup_.services); });
}

TFormErrors* SecondaryWindows::Errors() {
  return MadeOnce(errors, lang_, [this] {
    auto* made = new TFormErrors(setup_.owner, *setup_.errorList, *setup_.services);
    made->hide();
    return made;
  });
}

TFormSearch* SecondaryWindows::Search() {
  return MadeOnce(search, lang_, [this] {
    auto* made = new TFormSearch(setup_.owner, target_, setup_.historyFile, setup_.searchKey);
    made->saveSearchHistory = setup_.saveSearchHistory;
    return made;
  });
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
