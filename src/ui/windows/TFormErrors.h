// The Errors window: the run's error list, which the user can read, clear and save; closing
// it or clearing the list appends the list to the error log.
#pragma once

#include "inventory/ErrorList.h"
#include "ui/windows/SecondaryWindow.h"
#include "ui/windows/WindowServices.h"

class QAction;
class QPlainTextEdit;
class QPushButton;

namespace pgl {

class TFormErrors : public TSecondaryWindow {
  Q_OBJECT

 public:
  TFormErrors(QWidget* owner, TErrorList& errors, WindowServices& services);
  void SetLang(Language lang) override;
  // Shows the list as it is now.
  void Refresh();
  void actClearErrorsExecute();
  void btnSaveClick();
  QPlainTextEdit* Memo() const { return me_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  TErrorList& errors_;
  WindowServices& services_;
  QPlainTextEdit* me_;
  QAction* actClearErrors_;
  QPushButton* btnClearErrors_;
  QPushButton* btnSave_;
  Language lang_ = Language::English;
};

}  // namespace pgl
