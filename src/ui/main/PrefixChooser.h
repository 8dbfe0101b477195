// The prefix chooser: a list at the end of the toolbar and the Prefix menu, both offering the
// user's prefixes and "Other folder...". It tells the window which folder the user picked.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "platform/ManagedSystem.h"

class QComboBox;
class QMenu;
class QToolBar;

namespace pgl {

struct WindowServices;

class PrefixChooser : public QObject {
  Q_OBJECT

 public:
  PrefixChooser(QToolBar* toolbar, QMenu* menu, WindowServices& services);

  // Offers "All prefixes" and `known`, and marks what is shown; the texts in the language given.
  void Fill(const std::vector<KnownSystem>& known, const std::string& currentName,
            const std::string& currentDir, bool allShown, Language lang);
  QComboBox* Combo() const { return combo_; }

 signals:
  // The user picked a folder (a listed prefix, or one from "Other folder..."). The window
  // switches to it and fills the chooser again, whatever happened.
  void chosen(const QString& dir);
  // The user picked "All prefixes".
  void allChosen();
  void cancelled();
  // The user asked for the Prefixes window.
  void prefixesWanted();

 private:
  void ChooseOther();

  QComboBox* combo_;
  QMenu* menu_;
  WindowServices& services_;
  Language lang_ = Language::English;
};

}  // namespace pgl
