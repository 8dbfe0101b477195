// What the windows ask of the program around them: the user's desktop, the clipboard, file and
// folder dialogs, confirmations, questions and messages, and opening another prefix. The main
// window provides them; tests answer them in this one place.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "platform/Desktop.h"
#include "platform/ManagedSystem.h"

class QWidget;

namespace pgl {

class LeftoversDialog;
class RestoreDialog;
class TConfirmDialog;

struct WindowServices {
  Desktop* desktop = nullptr;
  std::function<void(const QString& text)> setClipboard;
  // The file a save dialog returns; empty when cancelled.
  std::function<QString(const QString& title, const QString& suggested, const QString& filter)>
      chooseSaveFile;
  // The file an open dialog returns; empty when cancelled.
  std::function<QString(const QString& title, const QString& filter)> chooseOpenFile;
  std::function<void(const QString& title, const QString& text)> tellUser;
  // How a confirmation dialog is answered (shown modally).
  std::function<bool(TConfirmDialog&)> confirm;
  // Whether the user agrees to a restore's plan (shown modally).
  std::function<bool(RestoreDialog&)> confirmRestore;
  // Whether the user moves the ticked leftovers to the trash (shown modally).
  std::function<bool(LeftoversDialog&)> confirmLeftovers;
  // Opens a file of this machine (the help page) with the desktop's opener.
  std::function<bool(const std::string& file)> openLocalPage;
  // A yes/no question.
  std::function<bool(const QString& question)> ask;
  // A folder the user picks in a dialog of that title; empty when cancelled.
  std::function<QString(const QString& title)> chooseFolder;
  std::function<std::unique_ptr<ManagedSystem>(const std::string& dir, std::string& error)>
      openPrefix;
};

// The real dialogs, owned by `parent`: message boxes, file dialogs that start in `startDir`, the
// confirmation dialogs shown modally, the system clipboard. The desktop and openPrefix are left
// to the caller.
WindowServices DialogServices(QWidget* parent, const std::string& startDir);

}  // namespace pgl
