// The About window: the program's name, version, release date and maker, and a link to its
// home page.
#pragma once

#include "ui/windows/SecondaryWindow.h"
#include "ui/windows/WindowServices.h"

class QLabel;

namespace pgl {

class LinkLabel;

class TFormAbout : public TSecondaryWindow {
  Q_OBJECT

 public:
  TFormAbout(QWidget* owner, WindowServices& services);
  void SetLang(Language lang) override;
  QLabel* Label(const char* name) const;

 private:
  WindowServices& services_;
};

}  // namespace pgl
