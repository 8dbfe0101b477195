#include "ui/main/PrefixChooser.h"

#include <QActionGroup>
#include <QComboBox>
#include <QMenu>
#include <QToolBar>

#include "ui/main/MainTexts.h"
#include "ui/main/PrefixRules.h"
#include "ui/windows/WindowServices.h"

namespace pgl {

namespace {

constexpr int kAllRole = Qt::UserRole + 1;  // the item stands for every prefix

}  // namespace

PrefixChooser::PrefixChooser(QToolBar* toolbar, QMenu* menu, WindowServices& services)
    : QObject(toolbar), menu_(menu), services_(services) {
  combo_ = new QComboBox(toolbar);
  combo_->setObjectName("cbPrefix");
  // It takes the toolbar's room that the buttons leave, never the room of their captions.
  combo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo_->setMinimumContentsLength(16);
  combo_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  toolbar->addWidget(combo_);
  connect(combo_, &QComboBox::activated, this, [this](int index) {
    const QString dir = combo_->itemData(index).toString();
    if (combo_->itemData(index, kAllRole).toBool())
      emit allChosen();
    else if (dir.isEmpty())
      ChooseOther();
    else
      emit chosen(dir);
  });
}

void PrefixChooser::ChooseOther() {
  const QString folder =
      services_.chooseFolder
          ? services_.chooseFolder(QString::fromStdString(Text(MainText::OtherFolder, lang_)))
          : QString();
  if (folder.isEmpty())
    emit cancelled();
  else
    emit chosen(folder);
}

void PrefixChooser::Fill(const std::vector<KnownSystem>& known, const std::string& currentName,
                         const std::string& currentDir, bool allShown, Language lang) {
  lang_ = lang;
  combo_->setAccessibleName(QString::fromStdString(Text(MainText::PrefixChooserName, lang)));
  const QSignalBlocker blocker(combo_);
  combo_->clear();
  // The action being triggered may be one of these: they go once its signal is done.
  for (QAction* old : menu_->actions()) {
    menu_->removeAction(old);
    old->deleteLater();
  }
  for (QActionGroup* old : menu_->findChildren<QActionGroup*>()) old->deleteLater();
  auto* group = new QActionGroup(menu_);
  int selected = -1;
  for (const PrefixChoice& choice : PrefixChoices(known, currentName, currentDir, allShown, lang)) {
    const QString label = QString::fromStdString(choice.label);
    const QString path = QString::fromStdString(choice.path);
    combo_->addItem(label, path);
    combo_->setItemData(combo_->count() - 1, path, Qt::ToolTipRole);
    combo_->setItemData(combo_->count() - 1, choice.all, kAllRole);
    QAction* action = menu_->addAction(label);
    action->setCheckable(true);
    action->setActionGroup(group);
    action->setChecked(choice.current);
    if (choice.current) selected = combo_->count() - 1;
    if (choice.all) {
      action->setObjectName("actAllPrefixes");
      connect(action, &QAction::triggered, this, &PrefixChooser::allChosen);
      menu_->addSeparator();
    } else {
      connect(action, &QAction::triggered, this, [this, path] { emit chosen(path); });
    }
  }
  menu_->addSeparator();
  const QString other = QString::fromStdString(Text(MainText::OtherFolder, lang));
  QAction* otherAction = menu_->addAction(other);
  otherAction->setObjectName("actOtherPrefix");
  connect(otherAction, &QAction::triggered, this, &PrefixChooser::ChooseOther);
  QAction* prefixesAction =
      menu_->addAction(QString::fromStdString(Text(MainText::PrefixesWindow, lang)));
  prefixesAction->setObjectName("actPrefixes");
  connect(prefixesAction, &QAction::triggered, this, &PrefixChooser::prefixesWanted);
  combo_->addItem(other, QString());
  combo_->setCurrentIndex(selected);
  combo_->setToolTip(QString::fromStdString(Text(MainText::PrefixChooserHint, lang)));
}

}  // namespace pgl
