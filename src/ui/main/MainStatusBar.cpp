#include "ui/main/MainStatusBar.h"

#include <QLabel>

namespace pgl {

MainStatusBar::MainStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("sb");
  setSizeGripEnabled(true);
  for (int i = 0; i < kStatusPanelCount; ++i) {
    auto* label = new QLabel(this);
    label->setObjectName(QString("sbPanel%1").arg(i));
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(StatusPanelWidth(i));
    if (i < kStatusPanelCount - 1) label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panels_[static_cast<std::size_t>(i)] = label;
    addWidget(label, i == kStatusPanelCount - 1 ? 1 : 0);
  }
}

void MainStatusBar::SetCounts(const StatusCounts& counts, bool polish) {
  const int values[] = {counts.visible, counts.selected, counts.all, counts.invalid, counts.system};
  for (int i = 0; i < 5; ++i)
    panels_[static_cast<std::size_t>(i)]->setText(
        QString::fromStdString(StatusText(i, values[i], polish)));
}

void MainStatusBar::SetSystem(const QString& name, const QString& description) {
  panels_.back()->setText(name);
  panels_.back()->setToolTip(description);
}

QString MainStatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < kStatusPanelCount ? panels_[static_cast<std::size_t>(panel)]->text()
                                                 : QString();
}

}  // namespace pgl
