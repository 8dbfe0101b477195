// The two confirmation dialogs of the uninstall and remove commands.
#pragma once

#include <QDialog>
#include <QStringList>

#include "lang/Language.h"

class QLabel;
class QScrollArea;
class QPushButton;
class QCheckBox;

namespace pgl {

// The layout both dialogs share: a white panel with two lines, OK and Cancel.
class TConfirmDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TConfirmDialog(QWidget* parent);
  // Shows the dialog modally; true for OK.
  bool Confirm();
  // The programs the command will act on, a line each under the two lines of text; for those
  // that will not be run, why.
  void SetPrograms(const QStringList& names, const QStringList& notes);
  QString ProgramsText() const;

 protected:
  struct Texts {
    Translations caption, info1, info2, cancel, doNotShow;
    Translations what{"", ""};  // what the command does, under the first line; may be empty
  };
  void SetTexts(const Texts& texts, Language lang);

 private:
  QLabel* lblInfo1_;
  QLabel* lblWhat_;
  QLabel* lblInfo2_;
  QLabel* lblPrograms_;
  QScrollArea* programs_;  // holds lblPrograms_: a long list scrolls
  QPushButton* btnOk_;
  QPushButton* btnCancel_;
  QCheckBox* chDoNotShow_;
};

class TFormUninstall : public TConfirmDialog {
  Q_OBJECT

 public:
  explicit TFormUninstall(QWidget* parent);
  void SetLang(Language lang);
  // The quiet uninstall asks in its own words: no uninstaller will show a window.
  void SetQuiet(bool quiet);

 private:
  Language lang_ = Language::English;
  bool quiet_ = false;
};

class TFormRemove : public TConfirmDialog {
  Q_OBJECT

 public:
  explicit TFormRemove(QWidget* parent);
  void SetLang(Language lang);
};

}  // namespace pgl
