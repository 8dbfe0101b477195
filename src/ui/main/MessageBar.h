// A bar under the list for what the user should read without being stopped (the prefix is
// read-only while Wine runs, a file could not be read or written, what a command did): one
// notice at a time, the newest replacing the last, until closed. It sits below the list, so
// that showing it moves no row under the pointer.
#pragma once

#include <QFrame>
#include <functional>

class QLabel;
class QPushButton;
class QToolButton;

namespace pgl {

class MessageBar : public QFrame {
  Q_OBJECT

 public:
  explicit MessageBar(QWidget* parent = nullptr);
  // Shows the text in place of the notice shown.
  void Show(const QString& text);
  // The same, with a button that does what it says (Undo) and takes the notice away.
  void ShowWithAction(const QString& text, const QString& action, std::function<void()> act);
  QString Text() const;
  // The action button's caption; empty when the notice has none.
  QString ActionText() const;
  // Takes the notice away (it spoke of a prefix no longer shown).
  void Clear();
  // Takes the lines of the notice that begin with `start` away (what they said is over), the
  // notice with the last.
  void Withdraw(const QString& start);
  // What a screen reader calls the close button, in the window's language.
  void SetCloseName(const QString& name);

 private:
  QLabel* label_;
  QPushButton* action_;
  QToolButton* close_;
  std::function<void()> act_;
};

}  // namespace pgl
