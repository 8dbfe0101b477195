// The window's side of an uninstall batch: a progress dialog that says what is waited for (an
// uninstaller, Wine's save of the registry) and lets the user stop waiting, while the window
// stays alive.
#pragma once

#include "inventory/UninstallEngine.h"
#include "lang/Language.h"

class QProgressDialog;
class QWidget;

namespace pgl {

class EntryCommands;

class UninstallProgress : public UninstallObserver {
 public:
  UninstallProgress(QWidget* parent, Language lang, EntryCommands& commands);
  ~UninstallProgress() override;
  UninstallProgress(const UninstallProgress&) = delete;
  UninstallProgress& operator=(const UninstallProgress&) = delete;

  // A batch over several prefixes runs as one group per prefix: the next group starts after
  // `before` programs of the batch's `total`, so that the count runs across the whole batch.
  void NextGroup(int before, int total);
  void UninstallerStarting(const TUninstallInfo& entry, int position, int count) override;
  void UninstallerEnded(const TUninstallInfo& entry) override;
  bool StopWaiting() override;
  bool KeepWaitingForRegistry(int seconds) override;

 private:
  QProgressDialog* progress_;
  Language lang_;
  EntryCommands& commands_;
  bool stop_ = false;
  int before_ = 0;
  int total_ = 0;  // 0: the group's own count
  bool waiting_ = false;
};

}  // namespace pgl
