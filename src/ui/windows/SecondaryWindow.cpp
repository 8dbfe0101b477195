#include "ui/windows/SecondaryWindow.h"

namespace pgl {

TSecondaryWindow::TSecondaryWindow(const char* name, const char* english, const char* polish,
                                   QWidget* owner)
    : QWidget(owner, Qt::Window), english_(english), polish_(polish) {
  setObjectName(name);
  hide();
}

void TSecondaryWindow::SetLang(bool polish) {
  setWindowTitle(QString::fromUtf8(polish ? polish_ : english_));
}

}  // namespace pgl
