// The Details window: the values of the selected entry's registry keys.
#pragma once

#include "ui/windows/SecondaryWindow.h"

namespace pgl {

class TFormDetails : public TSecondaryWindow {
  Q_OBJECT

 public:
  explicit TFormDetails(QWidget* owner)
      : TSecondaryWindow("TFormDetails", "Details", "Szczegóły", owner) {}
};

}  // namespace pgl
