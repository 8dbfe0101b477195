#include "ui/windows/TFormErrors.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "util/FileIO.h"

namespace pgl {

namespace {
constexpr Translations kSaveLog{"Save log...", "Zapisz log..."};
}  // namespace

TFormErrors::TFormErrors(QWidget* owner, TErrorList& errors, WindowServices& services)
    : TSecondaryWindow("TFormErrors", {"Errors", "Błędy"}, owner),
      errors_(errors),
      services_(services) {
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  resize(503, 266);
  setMinimumSize(440, 240);
  me_ = new QPlainTextEdit(this);
  me_->setObjectName("me");
  me_->setReadOnly(true);
  me_->setLineWrapMode(QPlainTextEdit::NoWrap);
  me_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  actClearErrors_ = new QAction(this);
  actClearErrors_->setObjectName("actClearErrors");
  connect(actClearErrors_, &QAction::triggered, this, &TFormErrors::actClearErrorsExecute);
  btnClearErrors_ = new QPushButton(this);
  btnClearErrors_->setObjectName("btnClearErrors");
  connect(btnClearErrors_, &QPushButton::clicked, actClearErrors_, &QAction::trigger);
  btnSave_ = new QPushButton(this);
  btnSave_->setObjectName("btnSave");
  connect(btnSave_, &QPushButton::clicked, this, &TFormErrors::btnSaveClick);
  CloseOnEsc();
  auto* strip = new QHBoxLayout;
  strip->addWidget(btnClearErrors_);
  strip->addStretch(1);
  strip->addWidget(btnSave_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(me_, 1);
  layout->addLayout(strip);
  SetLang(Language::English);
}

void TFormErrors::SetLang(Language lang) {
  lang_ = lang;
  TSecondaryWindow::SetLang(lang);
  static constexpr Translations kClear{"Clear", "Czyść"}, kSave{"Save...", "Zapisz..."};
  const QString clear = QString::fromUtf8(kClear.In(lang));
  actClearErrors_->setText(clear);
  btnClearErrors_->setText(clear);
  btnSave_->setText(QString::fromUtf8(kSave.In(lang)));
}

void TFormErrors::Refresh() {
  me_->setPlainText(QString::fromStdString(errors_.Text()));
}

void TFormErrors::showEvent(QShowEvent* event) {
  Refresh();
  TSecondaryWindow::showEvent(event);
}

void TFormErrors::closeEvent(QCloseEvent* event) {
  // Closing appends the list to the log (hiding with F11 does not).
  if (errors_.AutoSaveErrorLog) errors_.SaveErrorLog();
  TSecondaryWindow::closeEvent(event);
}

void TFormErrors::actClearErrorsExecute() {
  errors_.ClearErrors();
  Refresh();
}

void TFormErrors::btnSaveClick() {
  const QString file =
      services_.chooseSaveFile(QString::fromUtf8(kSaveLog.In(lang_)),
                               QString::fromStdString(errors_.LogFileName()), "Text files (*.txt)");
  if (file.isEmpty()) return;
  std::string text;
  for (const std::string& line : errors_.Lines()) text += line + "\r\n";
  std::string error;
  if (!WriteFileAtomic(file.toStdString(), text, error))
    services_.tellUser("Purgelet", QString::fromStdString(error));
}

}  // namespace pgl
