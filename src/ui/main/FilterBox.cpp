#include "ui/main/FilterBox.h"

#include <QKeyEvent>

namespace pgl {

FilterBox::FilterBox(QWidget* parent) : QLineEdit(parent) {
  setObjectName("edFilter");
  setClearButtonEnabled(true);
}

void FilterBox::SetTexts(const QString& hint, const QString& name) {
  setPlaceholderText(hint);
  setToolTip(hint);
  setAccessibleName(name);
}

bool FilterBox::event(QEvent* event) {
  // Esc belongs to the box: the window's Esc (close the program?) must not take it first.
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    event->accept();
    return true;
  }
  return QLineEdit::event(event);
}

void FilterBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
    clear();
    return;
  }
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Down ||
      event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    emit leave();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

}  // namespace pgl
