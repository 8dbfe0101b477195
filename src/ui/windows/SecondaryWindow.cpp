#include "ui/windows/SecondaryWindow.h"

#include <QAction>
#include <QShowEvent>

namespace pgl {

TSecondaryWindow::TSecondaryWindow(const char* name, Translations title, QWidget* owner)
    : QWidget(owner, Qt::Window), title_(title) {
  setObjectName(name);
  hide();
}

void TSecondaryWindow::showEvent(QShowEvent* event) {
  if (QWidget* owner = parentWidget(); owner && owner->isVisible()) {
    const QRect frame = owner->frameGeometry();
    move(frame.center() - QPoint(width() / 2, height() / 2));
  }
  QWidget::showEvent(event);
}

QAction* TSecondaryWindow::AddWindowAction(const char* name, const QKeySequence& keys) {
  auto* action = new QAction(this);
  action->setObjectName(name);
  action->setShortcut(keys);
  // The window's own: it works while the window is active, whatever has the focus in it, even
  // nothing (About has no control that takes the focus).
  action->setShortcutContext(Qt::WindowShortcut);
  addAction(action);
  return action;
}

void TSecondaryWindow::CloseOnEsc() {
  connect(AddWindowAction("actEsc", QKeySequence(Qt::Key_Escape)), &QAction::triggered, this,
          &QWidget::close);
}

void TSecondaryWindow::ShowActive() {
  show();
  raise();
  activateWindow();
}

void TSecondaryWindow::SetLang(Language lang) {
  setWindowTitle(QString::fromUtf8(title_.In(lang)));
}

}  // namespace pgl
