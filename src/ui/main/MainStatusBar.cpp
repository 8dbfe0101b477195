#include "ui/main/MainStatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

namespace pgl {

MainStatusBar::MainStatusBar(QWidget* parent) : QStatusBar(parent) {
  setObjectName("sb");
  setSizeGripEnabled(true);
  // The panels sit side by side, each as wide as its text needs (at least its own width),
  // and a window too narrow for them all cuts the last ones off at its edge: no panel is
  // ever drawn over another.
  view_ = new QWidget(this);
  view_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  strip_ = new QWidget(view_);  // not laid out in the view: as wide as it needs, clipped by it
  auto* layout = new QHBoxLayout(strip_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (int i = 0; i < kStatusPanelCount; ++i) {
    auto* label = new QLabel(strip_);
    label->setObjectName(QString("sbPanel%1").arg(i));
    label->setAlignment(Qt::AlignCenter);
    if (i < kStatusPanelCount - 1) {
      label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
      label->setFixedWidth(StatusPanelWidth(i));
    }
    panels_[static_cast<std::size_t>(i)] = label;
    layout->addWidget(label, i == kStatusPanelCount - 1 ? 1 : 0);
  }
  view_->setMinimumHeight(strip_->sizeHint().height());
  addWidget(view_, 1);
  FitStrip();
}

void MainStatusBar::FitStrip() {
  strip_->adjustSize();
  strip_->resize(std::max(strip_->width(), view_->width()), view_->height());
}

void MainStatusBar::resizeEvent(QResizeEvent* event) {
  QStatusBar::resizeEvent(event);
  FitStrip();
}

void MainStatusBar::SetCounts(const StatusCounts& counts, Language lang) {
  const int values[] = {counts.visible, counts.selected, counts.all, counts.invalid, counts.system};
  for (int i = 0; i < 5; ++i) {
    QLabel* label = panels_[static_cast<std::size_t>(i)];
    label->setText(QString::fromStdString(StatusText(i, values[i], lang)));
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 16;
    label->setFixedWidth(std::max(StatusPanelWidth(i), needed));
  }
  FitStrip();
}

void MainStatusBar::SetSystem(const QString& description) {
  panels_.back()->setToolTip(description);
}

QString MainStatusBar::PanelText(int panel) const {
  return panel >= 0 && panel < kStatusPanelCount ? panels_[static_cast<std::size_t>(panel)]->text()
                                                 : QString();
}

}  // namespace pgl
