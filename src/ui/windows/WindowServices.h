// What the secondary windows ask of the program around them: the user's desktop, the
// clipboard, file dialogs and messages. The main window provides them; tests answer them.
#pragma once

#include <QString>
#include <functional>

#include "platform/Desktop.h"

namespace pgl {

struct WindowServices {
  Desktop* desktop = nullptr;
  std::function<void(const QString& text)> setClipboard;
  // The file a save dialog returns; empty when cancelled.
  std::function<QString(const QString& title, const QString& suggested, const QString& filter)>
      chooseSaveFile;
  std::function<void(const QString& title, const QString& text)> tellUser;
};

}  // namespace pgl
