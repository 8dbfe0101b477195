#include "ui/windows/ConfirmDialogs.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

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
  lblWhat_ = new QLabel(panel);
  lblWhat_->setObjectName("lblWhat");
  lblWhat_->setWordWrap(true);
  lblWhat_->hide();
  lblInfo2_ = new QLabel(panel);
  lblInfo2_->setObjectName("lblInfo2");
  auto* panelLayout = new QVBoxLayout(panel);
  panelLayout->setContentsMargins(24, 18, 24, 18);
  panelLayout->addWidget(lblInfo1_);
  panelLayout->addWidget(lblWhat_);
  panelLayout->addSpacing(12);
  panelLayout->addWidget(lblInfo2_);
  lblPrograms_ = new QLabel(panel);
  lblPrograms_->setObjectName("lblPrograms");
  lblPrograms_->setTextFormat(Qt::PlainText);
  lblPrograms_->setWordWrap(true);
  programs_ = new QScrollArea(panel);
  programs_->setObjectName("sbPrograms");
  programs_->setFrameShape(QFrame::NoFrame);
  programs_->setWidgetResizable(true);
  programs_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  programs_->viewport()->setAutoFillBackground(false);
  programs_->setWidget(lblPrograms_);
  programs_->hide();
  panelLayout->addWidget(programs_);
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
  programs_->setVisible(!lines.isEmpty());
  // As wide as the longest line and as tall as the list, up to most of the screen; beyond
  // that the list scrolls.
  const QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen();
  const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  int longest = 0;
  for (const QString& line : lines)
    longest = std::max(longest, lblPrograms_->fontMetrics().horizontalAdvance(line));
  const int width = std::min(longest + 8, room.width() * 4 / 5 - 64);
  const int tall = lblPrograms_->heightForWidth(width) + 4;
  const int most = room.height() * 3 / 5;
  // A list that scrolls keeps its lines' width beside the scroll bar.
  const int bar = tall > most ? programs_->verticalScrollBar()->sizeHint().width() : 0;
  programs_->setMinimumSize(std::max(width + bar, 0), std::max(std::min(tall, most), 0));
  adjustSize();
}

QString TConfirmDialog::ProgramsText() const {
  return lblPrograms_->text();
}

void TConfirmDialog::SetTexts(const Texts& texts, Language lang) {
  const auto text = [lang](const Translations& t) { return QString::fromUtf8(t.In(lang)); };
  setWindowTitle(text(texts.caption));
  lblInfo1_->setText(text(texts.info1));
  lblWhat_->setText(text(texts.what));
  lblWhat_->setVisible(!lblWhat_->text().isEmpty());
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
  lang_ = lang;
  Texts texts{{"Uninstalling", "Deinstalacja"},
              {"Uninstalling selected applications.", "Deinstalacja wybranych programów."},
              kContinue,
              kCancel,
              kDoNotShow};
  if (quiet_) {
    texts.info1 = {"Uninstalling selected applications quietly.",
                   "Cicha deinstalacja wybranych programów."};
    texts.what = {"Each runs its quiet uninstall command: no questions, no windows of its own.",
                  "Każdy uruchamia swoje polecenie cichej deinstalacji: bez pytań i bez okien."};
  }
  SetTexts(texts, lang);
}

void TFormUninstall::SetQuiet(bool quiet) {
  quiet_ = quiet;
  SetLang(lang_);
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
            kDoNotShow,
            {"Their registry entries (Uninstall and ARPCache keys) are deleted; no uninstaller "
             "runs and no file is removed. Undo remove (Ctrl+Z) puts them back.",
             "Ich wpisy w rejestrze (klucze Uninstall i ARPCache) zostaną usunięte; żaden "
             "deinstalator nie zostanie uruchomiony i żaden plik nie zostanie usunięty. Cofnij "
             "usunięcie (Ctrl+Z) przywraca je."}},
           lang);
}

}  // namespace pgl
