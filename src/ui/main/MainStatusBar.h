// The main window's status bar: the counts of visible, selected, all, invalid and system
// entries, and a last panel whose hint names the system shown.
#pragma once

#include <QStatusBar>
#include <array>

#include "ui/main/MainTexts.h"

class QLabel;

namespace pgl {

struct StatusCounts {
  int visible = 0, selected = 0, all = 0, invalid = 0, system = 0;
};

class MainStatusBar : public QStatusBar {
  Q_OBJECT

 public:
  explicit MainStatusBar(QWidget* parent = nullptr);
  void SetCounts(const StatusCounts& counts, Language lang);
  // The last panel stays empty; its hint describes the system shown (the title and the prefix
  // chooser name it).
  void SetSystem(const QString& description);
  QString PanelText(int panel) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FitStrip();

  QWidget* view_ = nullptr;
  QWidget* strip_ = nullptr;
  std::array<QLabel*, kStatusPanelCount> panels_{};
};

}  // namespace pgl
