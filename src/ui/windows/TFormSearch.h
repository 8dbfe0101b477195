// The Search window: finding entries by name, publisher, program file or command.
#pragma once

#include "ui/windows/SecondaryWindow.h"

namespace pgl {

class TFormSearch : public TSecondaryWindow {
  Q_OBJECT

 public:
  explicit TFormSearch(QWidget* owner)
      : TSecondaryWindow("TFormSearch", "Search", "Szukaj", owner) {}
};

}  // namespace pgl
