// The About window: the program's name, version and makers.
#pragma once

#include "ui/windows/SecondaryWindow.h"

namespace pgl {

class TFormAbout : public TSecondaryWindow {
  Q_OBJECT

 public:
  explicit TFormAbout(QWidget* owner)
      : TSecondaryWindow("TFormAbout", "About", "O programie", owner) {}
};

}  // namespace pgl
