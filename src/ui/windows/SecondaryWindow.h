// What the secondary windows share: a tool window of the main window that starts hidden,
// closes by hiding, and puts its caption in the chosen language.
#pragma once

#include <QKeySequence>
#include <QWidget>

#include "lang/Language.h"

class QAction;

namespace pgl {

class TSecondaryWindow : public QWidget {
  Q_OBJECT

 public:
  TSecondaryWindow(const char* name, Translations title, QWidget* owner);
  virtual void SetLang(Language lang);

  // An action of this window: its shortcut works while the window is the active one.
  QAction* AddWindowAction(const char* name, const QKeySequence& keys);
  // Esc closes the window.
  void CloseOnEsc();
  // Shows the window in front with the keyboard focus, as a window opened by a key must be
  // (a window manager gives none to a utility window by itself).
  void ShowActive();

 protected:
  // Each showing puts the window in the middle of its owner.
  void showEvent(QShowEvent* event) override;

 private:
  Translations title_;
};

}  // namespace pgl
