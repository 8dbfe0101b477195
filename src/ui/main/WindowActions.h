// The main window's commands as the user reaches them: the actions with their shortcuts, the
// menu bar, the context menus and the toolbar, built from the window's text tables and given
// their texts for a language and their state from ActionRules.
#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <map>

#include "ui/main/ActionRules.h"
#include "ui/main/MainTexts.h"

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QToolButton;

namespace pgl {

class WindowActions : public QObject {
  Q_OBJECT

 public:
  // Creates every action (added to `window`, so that shortcuts work with the menu bar
  // hidden), the menu bar's menus, the context menus and the toolbar with its buttons.
  explicit WindowActions(QMainWindow* window);

  QAction* Get(ActionId id) const { return actions_[static_cast<std::size_t>(id)]; }
  // By object name ("actRefresh"), for tests; null for none.
  QAction* Find(const QString& name) const;
  QMenu* Menu(const QString& name) const;
  QToolButton* Button(const QString& name) const;
  QToolBar* Toolbar() const { return toolbar_; }

  void SetLang(Language lang);
  void Apply(const ActionState& state);
  // The toolbar's background (a gradient or the palette's) and its captions (beside or below
  // the images).
  void SetToolbarLook(bool gradient, bool captionsBeside);

 private:
  void KeepCaptionsWhole();
  void CreateMenus(QMainWindow* window);
  void CreateToolbar(QMainWindow* window);

  std::array<QAction*, kActionCount> actions_{};
  std::map<QString, QMenu*> menus_;
  std::map<QString, QToolButton*> buttons_;
  QToolBar* toolbar_ = nullptr;
};

}  // namespace pgl
