// The main window's commands on the entries: uninstall, remove, refresh, sort, report, backup,
// save icon, and the periodic check that drops the entries others removed. Each forwards to the
// core and tells the window, by signals, when the list is about to change and has changed.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "inventory/ErrorList.h"
#include "inventory/SystemSet.h"
#include "registry/KeySnapshot.h"
#include "ui/main/SettingsFile.h"

class QIcon;
class QTimer;
class QWidget;

namespace pgl {

class EntryListModel;
struct Evidence;
struct Leftover;
struct LeftoverFailure;
class TConfirmDialog;
struct WindowServices;

class EntryCommands : public QObject {
  Q_OBJECT

 public:
  // `window` parents the progress dialog; `params` are the window's and live as long as it.
  EntryCommands(QWidget* window, EntryListModel* model, TErrorList& errors,
                WindowServices& services, const TMainParams& params);

  // The systems the commands act on, each entry in its own; set again after a switch of prefix
  // (the last removal can then no longer be undone).
  void SetSystems(SystemSet* systems);
  void SetLanguage(Language lang) { lang_ = lang; }
  bool Running() const { return running_; }
  QTimer* CheckTimer() const { return timer_; }

  // `quietly`: each entry's quiet command, unattended (an entry without one is not run).
  void Uninstall(const std::vector<TUninstallInfo>& entries, TConfirmDialog* confirmation,
                 bool quietly = false);
  // Removes the entries' keys, keeping them in memory so that UndoRemove can put them back.
  void Remove(const std::vector<TUninstallInfo>& entries, TConfirmDialog* confirmation);
  bool CanUndoRemove() const { return !removed_.empty(); }
  // Puts back the keys the last removal deleted, unless something made them again since.
  void UndoRemove();
  // The program's name as a confirmation and the panel show it: with every prefix shown, the
  // prefix's too ("Alpha (~/.wine-third)"), since two prefixes may hold programs of one name.
  std::string NameInList(const TUninstallInfo& entry) const;
  // What the entries would leave (their leftovers as they are now), offered for the trash.
  void Leftovers(const std::vector<TUninstallInfo>& entries);
  // Wine's menu entries, icons and file types of prefixes that were deleted, offered for the
  // trash.
  void DesktopEntriesOfGonePrefixes();
  // Reads the registry again, in the list's order.
  void Refresh();
  // A header click: the other direction, by that column.
  void SortBy(int column);
  // The listed rows as an HTML report; the file is asked for with `title`.
  void Report(const QString& title);
  void Backup(const QString& title);
  // Puts back the programs a backup holds: the file is asked for with `title`, the plan shown
  // for the user to agree to, then written in one save per registry file.
  void Restore(const QString& title);
  // The entry's own icon as its file holds it, else `shown` as drawn.
  void SaveIcon(const TUninstallInfo& entry, const QIcon& shown);
  // The entries whose keys are gone leave the list.
  void Prune();
  // The periodic check: when Wine saved the registry, the gone entries leave the list.
  void CheckRegistry();

 signals:
  // Before the collection changes (the list remembers its selection) and after (the rows are
  // built again).
  void listAboutToChange();
  void listChanged();
  // A command started or ended: the actions follow.
  void runningChanged();
  // An uninstaller starts (true) or has ended (false).
  void uninstallerRunning(bool running);
  // The batch added errors: the Errors window opens.
  void errorsAdded();
  // What a command did, for the user to read without being stopped.
  void notice(const QString& text);
  // The same, for what Undo remove can take back.
  void undoableNotice(const QString& text);

 private:
  QWidget* window_;
  EntryListModel* model_;
  TErrorList& errors_;
  WindowServices& services_;
  const TMainParams& params_;
  SystemSet* set_ = nullptr;
  QTimer* timer_;
  Language lang_ = Language::English;
  bool running_ = false;
  QString lastReportName_ = "Purgelet Report.html";
  std::vector<std::pair<int, std::vector<SavedKey>>> removed_;  // the last removal's, by system
  std::size_t removedPrograms_ = 0;                             // how many it took out

  // The leftovers of the records' programs (of the set's system `system`), offered for the
  // trash; `sayNothingFound` where the user asked for them.
  void OfferLeftovers(int system, const std::vector<Evidence>& records, bool sayNothingFound);
  // Says what of the chosen leftovers stayed (a message) and what went (a notice).
  void TellRemoved(const std::vector<Leftover>& chosen,
                   const std::vector<LeftoverFailure>& failures, const std::string& exportFile);
};

}  // namespace pgl
