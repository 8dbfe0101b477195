// Starting command lines inside a Wine prefix through our launcher (pgl-launcher.exe), which
// runs them with CreateProcess as stored and waits for the whole process tree.
#pragma once

#include <memory>
#include <string>

#include "platform/ProcessRunner.h"
#include "platform/wine/PrefixLookup.h"
#include "platform/wine/WinePrefixes.h"

namespace pgl {

class WineProcessRunner : public ProcessRunner {
 public:
  // `wine` is the Wine program to run (searched on PATH when it has no slash); the launcher
  // and the 32-bit probe are looked for beside this program (see HelperPath).
  WineProcessRunner(std::string prefixDir, std::string wine = "wine");
  // With the Wine that the prefix's front end runs it with. Where that Wine is not known,
  // nothing is started: another Wine could upgrade or break the prefix.
  WineProcessRunner(std::string prefixDir, PrefixWine wine);
  // The same, that Wine looked for when first needed.
  WineProcessRunner(std::string prefixDir, std::shared_ptr<const PrefixLookup> lookup);

  RunOutcome RunAndWait(const std::string& commandLine,
                        const std::function<bool()>& stopWaiting) override;
  bool CanRun(PeMachine machine) override;
  std::string WhyNothingRuns(Language lang) const override {
    return Wine().known ? std::string() : Wine().why.In(lang);
  }
  bool WaitUntilRegistrySaved(const std::function<bool(int seconds)>& keepWaiting) override;
  bool WaitUntilRegistryWritable(const std::function<bool(int seconds)>& keepWaiting) override;

  // Seconds that a server kept alive by other programs gets to save before we read anyway.
  int saveGraceSeconds = 35;

 private:
  // One run of the launcher: what it wrote, Wine's exit code, and whether the wait was stopped.
  struct LauncherRun {
    std::string report;
    int exitCode = 0;
    bool stopped = false;
  };
  // Polls `done` ten times a second until it holds (true) or saveGraceSeconds have passed
  // (true), asking `keepWaiting` with the seconds waited; false when that stopped the wait.
  bool WaitFor(const std::function<bool()>& done,
               const std::function<bool(int seconds)>& keepWaiting) const;
  // Runs the launcher once; false, with `message`, when it could not be started.
  bool RunLauncher(const std::string& launcher, const std::string& commandLine,
                   const std::function<bool()>& stopWaiting, LauncherRun& run,
                   std::string& message);

  const PrefixWine& Wine() const { return lookup_ ? lookup_->Get().wine : prefixWine_; }

  std::string prefixDir_;
  std::string wine_;
  PrefixWine prefixWine_;
  std::shared_ptr<const PrefixLookup> lookup_;  // where set, the Wine comes from it
  int wine32_ = -1;                             // unknown, no, yes
};

// Where one of our helper programs is: beside the running program, in ../lib/purgelet, or
// where the build put it. Empty when none is found.
std::string HelperPath(const std::string& fileName);

// Parses the launcher's report (the last "PGL-LAUNCHER" line of its output).
RunOutcome ParseLauncherReport(const std::string& output, int launcherExitCode);

}  // namespace pgl
