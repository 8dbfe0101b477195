#include "ui/main/WindowActions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <optional>

#include "ui/main/CommandImages.h"
#include "ui/main/ThemeColors.h"

namespace pgl {

WindowActions::WindowActions(QMainWindow* window) : QObject(window) {
  for (const ActionInfo& item : MainActions()) {
    auto* action = new QAction(window);
    action->setObjectName(item.name);
    if (*item.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
    if (item.image >= 0) action->setIcon(CommandIcon(item.image));
    action->setCheckable(item.checkable);
    // The keys work while the focus is in this window (its list, panel, toolbar, menus), not
    // from a window of its own like Details or Search, whose keys would clash with them.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    action->setText(QString::fromUtf8(item.Text(Language::English)));
    actions_[static_cast<std::size_t>(item.id)] = action;
    window->addAction(action);  // shortcuts work with the menu bar hidden too
  }
  Get(ActionId::Configure)->setVisible(false);  // there is nothing to configure
  CreateMenus(window);
  CreateToolbar(window);
  SetToolbarLook(true, false);
}

QAction* WindowActions::Find(const QString& name) const {
  for (QAction* action : actions_)
    if (action->objectName() == name) return action;
  return nullptr;
}

QMenu* WindowActions::Menu(const QString& name) const {
  const auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

QToolButton* WindowActions::Button(const QString& name) const {
  const auto it = buttons_.find(name);
  return it == buttons_.end() ? nullptr : it->second;
}

void WindowActions::CreateMenus(QMainWindow* window) {
  using A = ActionId;
  const auto menu = [this, window](const char* name, QMenu* parent = nullptr) {
    QMenu* m = parent ? parent->addMenu(QString()) : window->menuBar()->addMenu(QString());
    m->setObjectName(name);
    menus_[name] = m;
    return m;
  };
  // A null entry is a separator.
  const auto fill = [this](QMenu* m, std::initializer_list<std::optional<ActionId>> ids) {
    for (const auto& id : ids) {
      if (id)
        m->addAction(Get(*id));
      else
        m->addSeparator();
    }
  };
  const std::nullopt_t sep = std::nullopt;
  fill(menu("mnuFile"), {A::RegBackup, A::Restore, A::Report, sep, A::ExitApp});
  fill(menu("mnuAction"), {A::Uninstall, A::UninstallQuietly, A::Remove, A::Leftovers, sep,
                           A::UndoRemove, sep, A::DesktopEntries});
  fill(menu("mnuSearch"), {A::Search, A::FindNext});
  QMenu* list = menu("mnuList");
  fill(list, {A::SelectAll, A::InvertSelection, A::CopySelected, sep, A::Refresh, sep});
  const std::initializer_list<std::optional<ActionId>> views = {
      A::ViewLargeIcons, A::ViewSmallIcons, A::ViewList, A::ViewDetails};
  QMenu* viewStyle = menu("mnuViewStyle", list);
  viewStyle->setIcon(CommandIcon(kImgViewStyle));
  fill(viewStyle, views);
  fill(menu("mnuView"),
       {A::ShowDetails, sep, A::SystemComponentsVisible, A::InvalidVisible, A::ShowOnlyInvalid, sep,
        A::ShowHideBottomPanel, A::ShowHideToolbar, sep, A::ShowErrors});
  menu("mnuPrefix");  // the prefix chooser fills it
  fill(menu("mnuLanguage"), {A::SetLangEN, A::SetLangPL});
  fill(menu("mnuHelp"), {A::Help, A::About});

  // The context menus: the list's, the view button's drop-down and the toolbar's.
  const auto popup = [this, window](const char* name) {
    auto* m = new QMenu(window);
    m->setObjectName(name);
    menus_[name] = m;
    return m;
  };
  QMenu* popLv = popup("popLv");
  fill(popLv, {A::Uninstall, A::Remove, sep, A::ShowDetails, sep, A::SelectAll, A::InvertSelection,
               A::CopySelected, sep});
  QMenu* popViewStyle = menu("popViewStyle", popLv);
  popViewStyle->setIcon(CommandIcon(kImgViewStyle));
  fill(popViewStyle, views);
  fill(popup("popView"), views);
  fill(popup("popToolbar"), {A::Gradient, A::ToolbarList});
}

void WindowActions::CreateToolbar(QMainWindow* window) {
  toolbar_ = new QToolBar(window);
  toolbar_->setObjectName("tbMain");
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setIconSize(QSize(24, 24));
  toolbar_->setContextMenuPolicy(Qt::CustomContextMenu);
  window->addToolBar(Qt::TopToolBarArea, toolbar_);
  connect(toolbar_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { menus_["popToolbar"]->popup(toolbar_->mapToGlobal(at)); });
  // The buttons are not bound to the actions: a click runs the action, and the button takes
  // its hint and enabled state from it (SetLang, Apply).
  for (const TextPair& item : ToolbarButtons()) {
    auto* button = new QToolButton(toolbar_);
    button->setObjectName(item.name);
    button->setAutoRaise(true);
    button->setMinimumSize(48, 36);
    QAction* action = Get(ToolbarButtonAction(item.name));
    button->setIcon(action->icon());
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
    buttons_[item.name] = button;
    toolbar_->addWidget(button);
    // Uninstall and Remove are one group; a separator follows each group.
    if (std::string(item.name) != "btnUninstall") toolbar_->addSeparator();
    if (std::string(item.name) == "btnViewStyle") {
      button->setMenu(menus_["popView"]);
      button->setPopupMode(QToolButton::MenuButtonPopup);
    }
  }
}

void WindowActions::SetLang(Language lang) {
  for (const ActionInfo& item : MainActions()) {
    if (!item.hint && !*item.Text(Language::English)) continue;
    QAction* action = Get(item.id);
    action->setText(QString::fromUtf8(item.Text(lang)));
    action->setToolTip(item.hint ? QString::fromUtf8(item.Text(lang)) : QString());
  }
  for (const TextPair& item : MainMenus())
    menus_[item.name]->setTitle(QString::fromUtf8(item.Text(lang)));
  for (const TextPair& item : ToolbarButtons()) {
    QToolButton* button = buttons_[item.name];
    button->setText(QString::fromUtf8(item.Text(lang)));
    button->setToolTip(Get(ToolbarButtonAction(item.name))->toolTip());
  }
  KeepCaptionsWhole();
  // Qt's own button for the buttons a narrow window cannot show (a check box to a screen
  // reader) has no name of its own.
  if (auto* more = toolbar_->findChild<QToolButton*>("qt_toolbar_ext_button")) {
    const QString name = QString::fromStdString(Text(MainText::MoreToolbarButtons, lang));
    more->setAccessibleName(name);
    more->setToolTip(name);
  }
}

void WindowActions::Apply(const ActionState& state) {
  for (const ActionInfo& item : MainActions()) {
    QAction* action = Get(item.id);
    action->setEnabled(state[item.id].enabled);
    if (item.checkable) action->setChecked(state[item.id].checked);
  }
  for (const TextPair& item : ToolbarButtons())
    buttons_[item.name]->setEnabled(Get(ToolbarButtonAction(item.name))->isEnabled());
}

void WindowActions::KeepCaptionsWhole() {
  // A button is never narrower than its caption: where the window is too narrow for them all,
  // the last ones go to the toolbar's overflow menu rather than show cut captions.
  for (auto& [name, button] : buttons_) {
    button->setMinimumSize(48, 36);
    button->setMinimumSize(button->sizeHint().expandedTo(QSize(48, 36)));
  }
}

void WindowActions::SetToolbarLook(bool gradient, bool captionsBeside) {
  for (auto& [name, button] : buttons_)
    button->setToolButtonStyle(captionsBeside ? Qt::ToolButtonTextBesideIcon
                                              : Qt::ToolButtonTextUnderIcon);
  KeepCaptionsWhole();
  // The gradient runs from a lighter to a darker shade of the theme's buttons, so that their
  // captions stay readable in a dark theme too.
  const QPalette palette = toolbar_->palette();
  const QColor button = palette.color(QPalette::Button);
  const bool dark = IsDarkTheme(palette);
  const QColor top = dark ? button.lighter(125) : QColor("#fbfcfd");
  const QColor bottom = dark ? button.darker(115) : QColor("#dce2ea");
  const QString frame = "QToolBar#tbMain { border: none; border-top: 1px solid palette(mid); %1}";
  toolbar_->setStyleSheet(frame.arg(gradient ? QString("background: qlineargradient(x1:0, y1:0, "
                                                       "x2:0, y2:1, stop:0 %1, stop:1 %2); ")
                                                   .arg(top.name(), bottom.name())
                                             : QString()));
}

}  // namespace pgl
