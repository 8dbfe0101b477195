// The main window's settings: read from the settings file at start-up, written back on close.
#include <unistd.h>

#include <QApplication>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <algorithm>

#include "inventory/EntryList.h"
#include "ui/UiText.h"
#include "ui/main/InfoPanel.h"
#include "ui/main/SettingsFile.h"
#include "ui/main/TFormMain.h"
#include "ui/main/WindowActions.h"

namespace pgl {

void TFormMain::LoadParamsFromIni() {
  IniFile ini;
  std::string error;
  if (files_.settingsFileName.empty() || ::access(files_.settingsFileName.c_str(), F_OK) != 0 ||
      !ini.Load(files_.settingsFileName, error))
    return;
  MainWindowSettings current;
  current.width = width();
  current.height = height();
  current.left = x();
  current.top = y();
  current.bottomPanelHeight = 204;
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    current.columnWidths.push_back(List()->columnWidth(static_cast<int>(c)));
  std::vector<int> defaults(kListColumnCount, 0);
  defaults.back() = ListColumns().back().width;  // a file older than the column
  const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->geometry()
                                                     : QRect(0, 0, 1920, 1080);
  const MainWindowSettings s =
      ReadMainSettings(ini, current, {screen.width(), screen.height()}, params_, defaults);
  setGeometry(s.left, s.top, s.width, s.height);
  if (s.maximized) setWindowState(Qt::WindowMaximized);
  language = s.language;
  TUninstallCollection& shown = set_.Shown();
  shown.SystemComponentsVisible = s.systemComponentsVisible;
  shown.SortAscending = s.sortAscending;
  shown.CurrentSort = SortKeyOfTag(s.currentSort);
  actions_->Toolbar()->setVisible(s.toolbarVisible);
  panel_->setVisible(s.bottomPanelVisible);
  lastPanelHeight_ = s.bottomPanelHeight;
  spBottom_->setSizes({std::max(1, s.height - s.bottomPanelHeight), s.bottomPanelHeight});
  toolbarGradient_ = !s.noGradient;
  toolbarList_ = s.toolbarList;
  noAutoCheckReg_ = s.noAutoCheckReg;
  actions_->SetToolbarLook(toolbarGradient_, toolbarList_);
  list_->SetViewStyle(ViewStyleFromNumber(s.viewStyle));
  for (std::size_t c = 0; c < s.columnWidths.size(); ++c)
    List()->setColumnWidth(static_cast<int>(c), s.columnWidths[c]);
}

void TFormMain::SaveParamsToIni() {
  if (set_.Empty() || files_.settingsFileName.empty()) return;
  IniFile ini;
  std::string error;
  if (::access(files_.settingsFileName.c_str(), F_OK) == 0 &&
      !ini.Load(files_.settingsFileName, error))
    return;  // a settings file we cannot read is not overwritten
  MainWindowSettings s;
  const QRect normal = normalGeometry();
  s.width = normal.width();
  s.height = normal.height();
  s.left = normal.x();
  s.top = normal.y();
  s.maximized = isMaximized();
  s.language = language;
  s.systemComponentsVisible = set_.Shown().SystemComponentsVisible;
  s.sortAscending = set_.Shown().SortAscending;
  s.currentSort = TagOf(set_.Shown().CurrentSort);
  s.bottomPanelHeight = panel_->isHidden() ? lastPanelHeight_ : panel_->height();
  s.bottomPanelVisible = !panel_->isHidden();
  s.toolbarVisible = !actions_->Toolbar()->isHidden();
  s.noGradient = !toolbarGradient_;
  s.toolbarList = toolbarList_;
  s.viewStyle = ViewStyleNumber(list_->Style());
  for (std::size_t c = 0; c < kListColumnCount; ++c)
    s.columnWidths.push_back(List()->columnWidth(static_cast<int>(c)));
  WriteMainSettings(ini, s, params_);
  // With every prefix shown the next start shows them all again (unless WINEPREFIX names one),
  // and "Prefix" keeps the one it would show otherwise.
  if (!set_.All() && !set_.Primary().prefixDir.empty())
    ini.Write(kSettingsSection, "Prefix", set_.Primary().prefixDir);
  ini.Write(kSettingsSection, "AllPrefixes", set_.All() ? "1" : "0");
  if (!ini.Save(files_.settingsFileName, error)) services_.tellUser("Purgelet", Utf8(error));
}

void TFormMain::FitToScreen() {
  const QRect wanted = geometry();
  const QScreen* screen = QGuiApplication::screenAt(wanted.center());
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect free = screen->availableGeometry();
  // Room for the frame a window manager adds (its title bar above, borders around).
  const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
  const int border = 8;
  const int w = std::max(minimumWidth(), std::min(wanted.width(), free.width() - 2 * border));
  const int h =
      std::max(minimumHeight(), std::min(wanted.height(), free.height() - title - border));
  const int left = std::clamp(wanted.left(), free.left() + border,
                              std::max(free.left() + border, free.right() - border - w + 1));
  const int top = std::clamp(wanted.top(), free.top() + title,
                             std::max(free.top() + title, free.bottom() - border - h + 1));
  setGeometry(left, top, w, h);
}

}  // namespace pgl
