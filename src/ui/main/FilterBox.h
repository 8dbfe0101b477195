// The box over the list that narrows its rows as the user types (by name, publisher or key).
// Esc clears it, and once empty gives the focus back to the list, as Down does.
#pragma once

#include <QLineEdit>

namespace pgl {

class FilterBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit FilterBox(QWidget* parent = nullptr);
  void SetTexts(const QString& hint, const QString& name);

 signals:
  void leave();  // the focus goes back to the list

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace pgl
