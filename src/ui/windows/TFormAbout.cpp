#include "ui/windows/TFormAbout.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/main/CommandImages.h"
#include "ui/main/InfoPanel.h"
#include "util/BuildInfo.h"
#include "util/ProjectLinks.h"

namespace pgl {

namespace {

// The release this build is, in each language.
constexpr Translations kReleaseDate{"December 8, 2026", "8 grudnia 2026"};
constexpr Translations kFreeToUse{"- free to use and share", "- do darmowego użytku"};

QLabel* Centred(QWidget* parent, const char* name, const QString& text, int points = 0) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignHCenter);
  if (points > 0) {
    QFont f = label->font();
    f.setPointSize(points);
    f.setBold(points > 12);
    label->setFont(f);
  }
  return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* owner, WindowServices& services)
    : TSecondaryWindow("TFormAbout", {"About", "O programie"}, owner), services_(services) {
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
  auto* image = new QLabel(this);
  image->setObjectName("Image1");
  image->setPixmap(AppIcon().pixmap(41, 41));
  image->setAlignment(Qt::AlignTop);
  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Plain);
  panel->setAutoFillBackground(true);
  panel->setBackgroundRole(QPalette::Base);
  auto* column = new QVBoxLayout(panel);
  column->addWidget(Centred(panel, "Label1", "Purgelet", 16));
  column->addWidget(Centred(panel, "Label2", QString::fromStdString(VersionText()), 11));
  column->addWidget(Centred(panel, "lblDate", ""));
  column->addWidget(Centred(panel, "Label3", "Tervask"));
  auto* link = new LinkLabel("lblWWW", QColor("#0000FF"), panel);
  link->setText(kHomePage);
  link->setAlignment(Qt::AlignHCenter);
  connect(link, &LinkLabel::leftReleased, this, [this, link](bool) {
    if (services_.desktop) services_.desktop->OpenAddress(link->text().toStdString());
  });
  column->addWidget(link);
  auto* free = new QHBoxLayout;
  free->addStretch(1);
  free->addWidget(new QLabel("Freeware", panel));
  auto* freeDesc = new QLabel(panel);
  freeDesc->setObjectName("lblFreeDesc");
  free->addWidget(freeDesc);
  free->addStretch(1);
  free->itemAt(1)->widget()->setObjectName("Label5");
  column->addLayout(free);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(image, 0, Qt::AlignTop);
  layout->addWidget(panel, 1);
  setFixedWidth(311 + 60);
  CloseOnEsc();
  SetLang(Language::English);
}

QLabel* TFormAbout::Label(const char* name) const {
  return findChild<QLabel*>(name);
}

void TFormAbout::SetLang(Language lang) {
  TSecondaryWindow::SetLang(lang);
  Label("lblDate")->setText(QString::fromUtf8(kReleaseDate.In(lang)));
  Label("lblFreeDesc")->setText(QString::fromUtf8(kFreeToUse.In(lang)));
}

}  // namespace pgl
