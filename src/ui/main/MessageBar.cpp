#include "ui/main/MessageBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

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
  close_ = new QToolButton(this);
  close_->setObjectName("btnCloseMessage");
  close_->setAutoRaise(true);
  close_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  connect(close_, &QToolButton::clicked, this, &MessageBar::Clear);
  close_->setAccessibleName("Close the notice");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 4, 4, 4);
  layout->addWidget(label_, 1);
  layout->addWidget(close_, 0, Qt::AlignTop);
  hide();
}

void MessageBar::Show(const QString& text) {
  if (text.isEmpty()) return;
  const QString shown = label_->text();
  if (!shown.split('\n').contains(text))
    label_->setText(!isHidden() && !shown.isEmpty() ? shown + '\n' + text : text);
  show();
}

void MessageBar::Clear() {
  label_->clear();
  hide();
}

void MessageBar::Withdraw(const QString& start) {
  QStringList lines = label_->text().split('\n', Qt::SkipEmptyParts);
  lines.removeIf([&start](const QString& line) { return line.startsWith(start); });
  label_->setText(lines.join('\n'));
  if (lines.isEmpty()) hide();
}

QString MessageBar::Text() const {
  return isHidden() ? QString() : label_->text();
}

void MessageBar::SetCloseName(const QString& name) {
  close_->setAccessibleName(name);
  close_->setToolTip(name);
}

}  // namespace pgl
