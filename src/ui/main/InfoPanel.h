// The information panel below the entry list (pnBottom): the selected entry's name, version,
// publisher, program file, links, registry keys and uninstall commands, and its large icon.
// It only shows what it is given and reports what the user clicked; the window decides what
// happens.
#pragma once

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <map>

#include "inventory/UCollection.h"
#include "ui/main/PanelRules.h"
#include "ui/windows/WindowServices.h"

class QMenu;

namespace pgl {

// A label that acts on the mouse: hand cursor, underline while the pointer is over it, and
// left (with or without Ctrl) and right button releases reported as signals.
class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  LinkLabel(const QString& name, const QColor& colour, QWidget* parent);

 signals:
  void leftReleased(bool ctrl);
  void rightReleased();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

class TInfoPanel : public QFrame {
  Q_OBJECT

 public:
  explicit TInfoPanel(QWidget* parent = nullptr);

  void SetLang(Language lang);
  // Fills the value labels from the entry, its name as `name` (which may say its prefix); the
  // two keys only as given (those that exist).
  void DisplayBottomInfo(const TUninstallInfo& entry, const std::string& name,
                         const EntryKeyTexts& keys);
  // Empties the eleven value labels; the icon stays.
  void ClearBottomInfo();
  void SetIcon(const QIcon& icon);
  void ClearIcon() { SetIcon(QIcon()); }
  const QIcon& Icon() const { return icon_; }
  void SetDetailsEnabled(bool enabled);
  QLabel* Label(const QString& name) const;
  QMenu* IconMenu() const { return popImgDetails_; }

 signals:
  void openAddress(const QString& url);
  void openFile(const QString& windowsPath);
  void jumpToKey(const QString& keyPath);
  void copyText(const QString& text);
  void showDetails();
  void saveIcon();

 public:
  // Links open through the services' desktop (whichever system is shown when clicked) and
  // copies go to their clipboard.
  void UseServices(WindowServices& services);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* AddCaption(const char* name);
  LinkLabel* AddLink(const char* name, const QColor& colour);
  QLabel* AddValue(const char* name, bool bold);
  void PlaceLabels();

  std::map<QString, QLabel*> labels_;
  Language lang_ = Language::English;
  QLabel* imgIconDetails_ = nullptr;
  LinkLabel* lblDetails_ = nullptr;
  QMenu* popImgDetails_ = nullptr;
  QIcon icon_;
};

}  // namespace pgl
