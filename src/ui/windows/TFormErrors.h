// The Errors window: the errors of the last commands, and their log.
#pragma once

#include "ui/windows/SecondaryWindow.h"

namespace pgl {

class TFormErrors : public TSecondaryWindow {
  Q_OBJECT

 public:
  explicit TFormErrors(QWidget* owner)
      : TSecondaryWindow("TFormErrors", "Errors", "Błędy", owner) {}
};

}  // namespace pgl
