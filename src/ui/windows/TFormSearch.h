// The Search window: finds rows of the entry list by the text of four of its columns, all at
// once or one after the other (Find next), and keeps a history of searched texts.
#pragma once

#include <functional>
#include <map>

#include "ui/windows/SearchRules.h"
#include "ui/windows/SecondaryWindow.h"

class QAbstractButton;
class QAction;
class QComboBox;

namespace pgl {

// The list the window searches, as the main window lends it.
struct SearchTarget {
  std::function<int()> rowCount;
  std::function<std::string(int row, int column)> cell;
  std::function<int()> firstSelected;  // -1 when no row is selected
  // Selects exactly these rows and scrolls the list to `scrollTo` (when not -1).
  std::function<void(const std::vector<int>& rows, int scrollTo)> select;
  // After each search: the main window refreshes its actions and status, and takes the focus.
  std::function<void()> searched;
};

class TFormSearch : public TSecondaryWindow {
  Q_OBJECT

 public:
  TFormSearch(QWidget* owner, SearchTarget target, std::string historyFile,
              const QKeySequence& closeShortcut);
  void SetLang(Language lang) override;

  void actSearchExecute();
  // Writes the history (when it is to be kept).
  void SaveCbText();
  bool FindNextEnabled() const { return findNextEnabled_; }
  const SearchHistory& History() const { return history_; }
  QComboBox* Text() const { return cbText_; }
  QAbstractButton* Control(const char* name) const;
  SearchOptions Options() const;
  bool saveSearchHistory = true;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FillCombo();

  SearchTarget target_;
  std::string historyFile_;
  SearchHistory history_;
  bool findNextEnabled_ = false;
  QComboBox* cbText_;
  std::map<std::string, QWidget*> controls_;
  QAction* actSearch_;
  QAction* actCancel_;
};

}  // namespace pgl
