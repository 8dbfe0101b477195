// The uninstall and remove commands without a window: uninstallers run one after the other,
// each to the end of everything it started; entries' keys deleted; failures reported.
#pragma once

#include <string>
#include <vector>

#include "inventory/ErrorList.h"
#include "inventory/UCollection.h"
#include "platform/Platform.h"
#include "platform/ProcessRunner.h"
#include "registry/RegistryStore.h"

namespace pgl {

// The command that uninstalls an entry: UninstallString, else QuietUninstallString, else
// ModifyPath (emptiness judged on the stored text).
const std::string& UninstallCommandOf(const TUninstallInfo& info);
// The command line that is run: UninstallCommandOf, except that a Windows Installer product's
// "MsiExec.exe /I{GUID}" becomes "/X{GUID}". /I on an installed product asks Windows Installer
// for maintenance, which is a silent repair where the package has no maintenance dialog.
std::string UninstallCommandToRun(const TUninstallInfo& info);

// A batch with the uninstallers' own windows (Normal), or unattended (Quiet).
enum class UninstallMode { Normal, Quiet };
// The command that uninstalls an entry without a window: QuietUninstallString, else for a
// Windows Installer product "MsiExec.exe /X{GUID} /qn"; empty when it has neither.
std::string QuietUninstallCommandOf(const TUninstallInfo& info);
std::string UninstallCommandFor(const TUninstallInfo& info, UninstallMode mode);

// What the caller (the window, pgl-cli) hears while a batch runs. Every answer has a default.
class UninstallObserver {
 public:
  virtual ~UninstallObserver() = default;
  // Before an entry's uninstaller starts; `position` counts from 0.
  virtual void UninstallerStarting(const TUninstallInfo&, int /*position*/, int /*count*/) {}
  virtual void UninstallerEnded(const TUninstallInfo&) {}
  // Asked about ten times a second while an uninstaller runs: true stops waiting for it.
  virtual bool StopWaiting() { return false; }
  // Asked while the system saves the uninstallers' registry changes: false stops waiting.
  virtual bool KeepWaitingForRegistry(int /*seconds*/) { return true; }
};

enum class UninstallResult {
  Finished,        // the uninstaller ran to its end (whether it removed the entry is seen later)
  MissingCommand,  // the entry has no command
  NotRunnable,     // the system cannot run the uninstaller's program (a 32-bit one, say)
  StartFailed,     // the system refused to start it
  StoppedWaiting,  // the user stopped waiting for it; it may still run
  RunnerFailed,    // our means of starting programs failed
};

struct UninstallStep {
  std::string displayName;
  std::string registryKey;
  UninstallResult result = UninstallResult::Finished;
  RunOutcome outcome;
};

struct UninstallBatch {
  std::vector<UninstallStep> steps;
  // False when the user stopped waiting for the registry to be saved: what is read then
  // may not show every change yet.
  bool registrySettled = true;
};

class UninstallEngine {
 public:
  UninstallEngine(RegistryStore& registry, const Platform& platform, ProcessRunner& runner,
                  TErrorList& errors)
      : registry_(registry), platform_(platform), runner_(runner), errors_(errors) {}

  // Runs the entries' uninstallers in the given order, each waited for, and adds one error per
  // entry that failed (texts in `lang`) to the error list, which the caller clears once for a
  // batch that may run the engine of several prefixes. Then
  // waits until the registry shows what they changed, and reads it again, so that a prune
  // that follows sees the registry as the uninstallers left it.
  UninstallBatch Run(const std::vector<TUninstallInfo>& entries, Language lang,
                     UninstallObserver& observer, UninstallMode mode = UninstallMode::Normal);

  // Why an entry's uninstaller will not be run (no command, a 32-bit program where none runs,
  // no usable Wine for the prefix), to be said before a batch starts; empty when it will.
  std::string WhyNotRun(const TUninstallInfo& entry, Language lang,
                        UninstallMode mode = UninstallMode::Normal) const;
  // What a run would make of the entry before its uninstaller starts: Finished when it would
  // start, else MissingCommand, NotRunnable or RunnerFailed (no usable Wine), as WhyNotRun says.
  UninstallResult ExpectedResult(const TUninstallInfo& entry,
                                 UninstallMode mode = UninstallMode::Normal) const;

  // The error texts, exposed for the window and the tests.
  static std::string MissingCommandText(const std::string& name, Language lang);
  // Quiet mode: the entry has no command that uninstalls it without a window.
  static std::string NoQuietCommandText(const std::string& name, Language lang);
  static std::string StartFailedText(const std::string& name, const std::string& command,
                                     std::uint32_t code, const std::string& message, Language lang);
  static std::string NotRunnableText(const std::string& name, const std::string& program,
                                     Language lang);
  static std::string StoppedWaitingText(const std::string& name, Language lang);
  // An entry whose key is still there once the batch and Wine's save are over.
  static std::string StillInstalledText(const std::string& name, Language lang);
  static std::string RunnerFailedText(const std::string& name, const std::string& command,
                                      const std::string& why, Language lang);

 private:
  enum class Obstacle { None, NoCommand, NotRunnable, NoWine };
  Obstacle ObstacleOf(const std::string& command, std::string& program) const;

  RegistryStore& registry_;
  const Platform& platform_;
  ProcessRunner& runner_;
  TErrorList& errors_;
};

struct RemoveFailure {
  std::string displayName;
  std::string registryKey;
  std::string reason;
};

// Deletes each entry's Uninstall key and its usage record (ARPCache key) in the entry's own
// place. Answers the entries whose keys are still there afterwards, with the reason; a
// missing usage record is normal and no failure.
std::vector<RemoveFailure> RemoveEntries(RegistryStore& registry,
                                         const std::vector<TUninstallInfo>& entries,
                                         Language lang = Language::English);

// Refreshes every entry's Exists flag and drops the entries whose Uninstall key has gone.
// Answers how many were dropped.
int PruneNonExisting(TUninstallCollection& collection);

}  // namespace pgl
