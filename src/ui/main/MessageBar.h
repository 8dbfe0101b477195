// A bar above the list for what the user should read without being stopped (the prefix is
// read-only while Wine runs, a file could not be read or written): it stays until closed,
// and covers nothing.
#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace pgl {

class MessageBar : public QFrame {
  Q_OBJECT

 public:
  explicit MessageBar(QWidget* parent = nullptr);
  // Shows the text; a second one while the bar is shown goes on a line of its own.
  void Show(const QString& text);
  QString Text() const;
  // Takes every notice away (they spoke of a prefix no longer shown).
  void Clear();
  // Takes away the notices that begin with `start` (what they said is over); the bar goes when
  // none is left.
  void Withdraw(const QString& start);
  // What a screen reader calls the close button, in the window's language.
  void SetCloseName(const QString& name);

 private:
  QLabel* label_;
  QToolButton* close_;
};

}  // namespace pgl
