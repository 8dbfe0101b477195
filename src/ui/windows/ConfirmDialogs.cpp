#include "ui/windows/ConfirmDialogs.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pgl {

TConfirmDialog::TConfirmDialog(QWidget* parent) : QDialog(parent) {
  setWindowFlag(Qt::WindowStaysOnTopHint);
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  // The panel is the text background of the theme: white in a light one, dark in a dark one.
  panel->setAutoFillBackground(true);
  panel->setBackgroundRole(QPalette::Base);
  panel->setForegroundRole(QPalette::Text);
  lblInfo1_ = new QLabel(panel);
  lblInfo1_->setObjectName("lblInfo1");
  lblInfo2_ = new QLabel(panel);
  lblInfo2_->setObjectName("lblInfo2");
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(24, 18, 24, 18);
  panelLayout->addWidget(lblInfo1_);
  panelLayout->addSpacing(12);
  panelLayout->addWidget(lblInfo2_);
  lblPrograms_ = new QLabel(panel);
  lblPrograms_->setObjectName("lblPrograms");
  lblPrograms_->setTextFormat(Qt::PlainText);
  lblPrograms_->setWordWrap(true);
  lblPrograms_->hide();
  panelLayout->addWidget(lblPrograms_);
  chDoNotShow_ = new QCheckBox(this);
  chDoNotShow_->setObjectName("chDoNotShow");
  chDoNotShow_->setVisible(false);
  btnOk_ = new QPushButton("OK", this);
  btnOk_->setObjectName("btnOk");
  btnOk_->setDefault(true);
  btnCancel_ = new QPushButton(this);
  btnCancel_->setObjectName("btnCancel");
  connect(btnOk_, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(chDoNotShow_);
  buttons->addStretch();
  buttons->addWidget(btnCancel_);
  buttons->addWidget(btnOk_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 6);
  layout->addWidget(panel);
  auto* bottom = new QHBoxLayout;
  bottom->setContentsMargins(8, 0, 4, 0);
  bottom->addLayout(buttons);
  layout->addLayout(bottom);
  resize(349, 116);
}

bool TConfirmDialog::Confirm() {
  chDoNotShow_->setChecked(false);
  return exec() == QDialog::Accepted;
}

void TConfirmDialog::SetPrograms(const QStringList& names, const QStringList& notes) {
  // A long batch names its first programs and how many more there are.
  constexpr int kShown = 12;
  QStringList lines;
  for (int i = 0; i < names.size() && i < kShown; ++i) lines << QStringLiteral("• ") + names[i];
  if (names.size() > kShown) lines << QStringLiteral("… +%1").arg(names.size() - kShown);
  for (const QString& note : notes) lines << QStringLiteral("⚠ ") + note;
  lblPrograms_->setText(lines.join('\n'));
  lblPrograms_->setVisible(!lines.isEmpty());
  adjustSize();
}

QString TConfirmDialog::ProgramsText() const {
  return lblPrograms_->text();
}

void TConfirmDialog::SetTexts(const Texts& texts, Language lang) {
  const auto text = [lang](const Translations& t) { return QString::fromUtf8(t.In(lang)); };
  setWindowTitle(text(texts.caption));
  lblInfo1_->setText(text(texts.info1));
  lblInfo2_->setText(text(texts.info2));
  btnCancel_->setText(text(texts.cancel));
  btnCancel_->setToolTip(text(texts.cancel));
  chDoNotShow_->setText(text(texts.doNotShow));
}

namespace {

constexpr Translations kContinue{"Click OK to continue, Cancel to exit.",
                                 "Kliknij OK by kontynuować, Anuluj by przerwać."};
constexpr Translations kCancel{"Cancel", "Anuluj"};
constexpr Translations kDoNotShow{"Do not show this dialog again", "Nie pokazuj więcej tego okna"};

}  // namespace

TFormUninstall::TFormUninstall(QWidget* parent) : TConfirmDialog(parent) {
  setObjectName("TFormUninstall");
  SetLang(Language::English);
}

void TFormUninstall::SetLang(Language lang) {
  SetTexts({{"Uninstalling", "Deinstalacja"},
            {"Uninstalling selected applications.", "Deinstalacja wybranych programów."},
            kContinue,
            kCancel,
            kDoNotShow},
           lang);
}

TFormRemove::TFormRemove(QWidget* parent) : TConfirmDialog(parent) {
  setObjectName("TFormRemove");
  SetLang(Language::English);
}

void TFormRemove::SetLang(Language lang) {
  SetTexts({{"Removing", "Usuwanie"},
            {"Remove selected applications from list.", "Usuwanie wybranych programów z listy."},
            kContinue,
            kCancel,
            kDoNotShow},
           lang);
}

}  // namespace pgl
