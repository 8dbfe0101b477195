#include "ui/windows/TFormSearch.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pgl {

namespace {

struct ControlText {
  const char* name;
  Translations text;
};
const ControlText kTexts[] = {
    {"lblText", {"Text :", "Tekst :"}},
    {"gbColumns", {"Search in columns :", "Szukaj w kolumnach :"}},
    {"chName", {"Name", "Nazwa"}},
    {"chPublisher", {"Publisher", "Producent"}},
    {"chExeFile", {"EXE file", "Plik EXE"}},
    {"chUninstallCommand", {"Uninstall command", "Polecenie deinstalacyjne"}},
    {"gbOptions", {"Search options :", "Opcje wyszukiwania :"}},
    {"chIgnoreCase", {"Ignore case", "Ignoruj wielkość znaków"}},
    {"chSelectAllMatching", {"Select all matching items", "Zaznacz wszystkie pasujące elementy"}},
    {"lblValueMust", {"Search value must :", "Szukana wartość musi :"}},
    {"rbMustContain", {"contain specified text", "zawierać podany tekst"}},
    {"rbMustStart", {"starts with specified text", "rozpoczynać się od podanego tekstu"}},
    {"rbMustEnd", {"ends with specified text", "kończyć się podanym tekstem"}},
    {"btnFind", {"Find", "Znajdź"}},
    {"btnCancel", {"Cancel", "Anuluj"}},
};

}  // namespace

TFormSearch::TFormSearch(QWidget* owner, SearchTarget target, std::string historyFile,
                         const QKeySequence& closeShortcut)
    : TSecondaryWindow("TFormSearch", {"Search", "Szukaj"}, owner),
      target_(std::move(target)),
      historyFile_(std::move(historyFile)) {
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
  const auto add = [this](const char* name, QWidget* widget) {
    widget->setObjectName(name);
    controls_[name] = widget;
    return widget;
  };
  auto* lblText = static_cast<QLabel*>(add("lblText", new QLabel(this)));
  cbText_ = new QComboBox(this);
  cbText_->setObjectName("cbText");
  cbText_->setEditable(true);
  cbText_->setMaxVisibleItems(16);
  cbText_->setInsertPolicy(QComboBox::NoInsert);
  cbText_->setMinimumWidth(240);
  auto* columns = static_cast<QGroupBox*>(add("gbColumns", new QGroupBox(this)));
  auto* columnsLayout = new QVBoxLayout(columns);
  for (const char* name : {"chName", "chPublisher", "chExeFile", "chUninstallCommand"}) {
    auto* box = static_cast<QCheckBox*>(add(name, new QCheckBox(columns)));
    columnsLayout->addWidget(box);
    // At least one column is always searched: unchecking the last one checks it again.
    connect(box, &QCheckBox::clicked, this, [this, box] {
      for (const char* other : {"chName", "chPublisher", "chExeFile", "chUninstallCommand"})
        if (static_cast<QCheckBox*>(controls_[other])->isChecked()) return;
      box->setChecked(true);
    });
  }
  static_cast<QCheckBox*>(controls_["chName"])->setChecked(true);
  auto* options = static_cast<QGroupBox*>(add("gbOptions", new QGroupBox(this)));
  auto* optionsLayout = new QVBoxLayout(options);
  for (const char* name : {"chIgnoreCase", "chSelectAllMatching"}) {
    auto* box = static_cast<QCheckBox*>(add(name, new QCheckBox(options)));
    box->setChecked(true);
    optionsLayout->addWidget(box);
  }
  optionsLayout->addWidget(add("lblValueMust", new QLabel(options)));
  for (const char* name : {"rbMustContain", "rbMustStart", "rbMustEnd"})
    optionsLayout->addWidget(add(name, new QRadioButton(options)));
  static_cast<QRadioButton*>(controls_["rbMustContain"])->setChecked(true);
  auto* find = static_cast<QPushButton*>(add("btnFind", new QPushButton(this)));
  auto* cancel = static_cast<QPushButton*>(add("btnCancel", new QPushButton(this)));
  find->setDefault(true);
  actSearch_ = AddWindowAction("actSearch", QKeySequence());
  actCancel_ = AddWindowAction("actCancel", QKeySequence());
  connect(actSearch_, &QAction::triggered, this, &TFormSearch::actSearchExecute);
  connect(actCancel_, &QAction::triggered, this, &QWidget::close);
  connect(find, &QPushButton::clicked, actSearch_, &QAction::trigger);
  connect(cancel, &QPushButton::clicked, actCancel_, &QAction::trigger);
  connect(cbText_->lineEdit(), &QLineEdit::returnPressed, actSearch_, &QAction::trigger);
  CloseOnEsc();
  connect(AddWindowAction("actClose", closeShortcut), &QAction::triggered, this, &QWidget::close);

  auto* textRow = new QHBoxLayout;
  textRow->addWidget(lblText);
  textRow->addWidget(cbText_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(find);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(textRow);
  layout->addWidget(columns);
  layout->addWidget(options);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  history_.Load(historyFile_);
  FillCombo();
  cbText_->setEditText(QString());
  SetLang(Language::English);
}

QAbstractButton* TFormSearch::Control(const char* name) const {
  const auto it = controls_.find(name);
  return it == controls_.end() ? nullptr : qobject_cast<QAbstractButton*>(it->second);
}

void TFormSearch::SetLang(Language lang) {
  TSecondaryWindow::SetLang(lang);
  for (const ControlText& t : kTexts) {
    const QString text = QString::fromUtf8(t.text.In(lang));
    QWidget* w = controls_[t.name];
    if (auto* label = qobject_cast<QLabel*>(w))
      label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w))
      group->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
      button->setText(text);
  }
  // The text box is named by its label, without the colon.
  cbText_->setAccessibleName(
      controls_["lblText"]->property("text").toString().remove(':').trimmed());
  actSearch_->setText(controls_["btnFind"]->property("text").toString());
  actCancel_->setText(controls_["btnCancel"]->property("text").toString());
}

SearchOptions TFormSearch::Options() const {
  const auto on = [this](const char* name) { return Control(name)->isChecked(); };
  SearchOptions o;
  o.name = on("chName");
  o.publisher = on("chPublisher");
  o.exeFile = on("chExeFile");
  o.uninstallCommand = on("chUninstallCommand");
  o.ignoreCase = on("chIgnoreCase");
  o.selectAllMatching = on("chSelectAllMatching");
  o.mode = on("rbMustStart") ? MatchMode::Start
           : on("rbMustEnd") ? MatchMode::End
                             : MatchMode::Contain;
  return o;
}

void TFormSearch::FillCombo() {
  const QString text = cbText_->currentText();
  cbText_->clear();
  for (const std::string& item : history_.Items()) cbText_->addItem(QString::fromStdString(item));
  cbText_->setEditText(text);
}

void TFormSearch::actSearchExecute() {
  const std::string typed = cbText_->currentText().toStdString();
  if (typed.empty()) return;
  history_.Add(typed);
  FillCombo();
  const SearchOptions options = Options();
  const std::string searchText = PrepareSearchText(typed, options);
  const SearchOutcome outcome = RunSearch(
      target_.rowCount(), target_.firstSelected(), options.selectAllMatching, [&](int row) {
        return MatchesSearch([&](int column) { return target_.cell(row, column); }, searchText,
                             options);
      });
  if (outcome.setsFindNext) findNextEnabled_ = outcome.findNextEnabled;
  if (!outcome.selected.empty() || outcome.setsFindNext)
    target_.select(outcome.selected, outcome.scrollTo);
  // The window closes after every search, which keeps the history; Find next searches with
  // the window hidden, and keeps it too.
  if (isVisible())
    close();
  else
    SaveCbText();
  target_.searched();
}

void TFormSearch::SaveCbText() {
  if (saveSearchHistory && !historyFile_.empty()) history_.Save(historyFile_);
}

void TFormSearch::closeEvent(QCloseEvent* event) {
  SaveCbText();
  TSecondaryWindow::closeEvent(event);
}

}  // namespace pgl
