#include "ui/main/MessageBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <utility>

namespace pgl {

MessageBar::MessageBar(QWidget* parent) : QFrame(parent) {
  setObjectName("messageBar");
  setFrameShape(QFrame::StyledPanel);
  // The theme's tool-tip colours: a note, readable in light and dark themes alike.
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  label_ = new QLabel(this);
  label_->setObjectName("lblMessage");
  label_->setTextFormat(Qt::PlainText);
  label_->setWordWrap(true);
  label_->setForegroundRole(QPalette::ToolTipText);
  action_ = new QPushButton(this);
  action_->setObjectName("btnMessageAction");
  action_->hide();
  connect(action_, &QPushButton::clicked, this, [this] {
    // The notice goes first: what the action does may show the next one.
    const std::function<void()> act = std::exchange(act_, nullptr);
    Clear();
    if (act) act();
  });
  close_ = new QToolButton(this);
  close_->setObjectName("btnCloseMessage");
  close_->setAutoRaise(true);
  close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  connect(close_, &QToolButton::clicked, this, &MessageBar::Clear);
  close_->setAccessibleName("Close the notice");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 4, 4, 4);
  layout->addWidget(label_, 1);
  layout->addWidget(action_, 0, Qt::AlignTop);
  layout->addWidget(close_, 0, Qt::AlignTop);
  hide();
}

void MessageBar::Show(const QString& text) {
  if (text.isEmpty()) return;
  act_ = nullptr;
  action_->hide();
  label_->setText(text);
  show();
}

void MessageBar::ShowWithAction(const QString& text, const QString& action,
                                std::function<void()> act) {
  Show(text);
  act_ = std::move(act);
  action_->setText(action);
  action_->show();
}

void MessageBar::Clear() {
  label_->clear();
  act_ = nullptr;
  action_->hide();
  hide();
}

void MessageBar::Withdraw(const QString& start) {
  QStringList lines = label_->text().split('\n', Qt::SkipEmptyParts);
  if (lines.removeIf([&start](const QString& line) { return line.startsWith(start); }) == 0) return;
  if (lines.isEmpty())
    Clear();
  else
    label_->setText(lines.join('\n'));
}

QString MessageBar::Text() const {
  return isHidden() ? QString() : label_->text();
}

QString MessageBar::ActionText() const {
  return isHidden() || action_->isHidden() ? QString() : action_->text();
}

void MessageBar::SetCloseName(const QString& name) {
  close_->setAccessibleName(name);
  close_->setToolTip(name);
}

}  // namespace pgl
