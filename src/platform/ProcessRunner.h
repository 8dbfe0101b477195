// Starting an uninstaller's command line on the managed system and waiting for it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "lang/Language.h"
#include "platform/IconReader.h"

namespace pgl {

struct RunOutcome {
  enum class Kind {
    Finished,        // the command and every process it started have ended
    StartFailed,     // the system refused to start it: errorCode and message
    StoppedWaiting,  // the caller stopped waiting; the program may still run
    RunnerFailed,    // our own means of starting failed: message says why
  };
  Kind kind = Kind::Finished;
  std::uint32_t errorCode = 0;  // Windows error code for StartFailed
  LocalText message;            // the system's text for errorCode, or what went wrong
  std::uint32_t exitCode = 0;   // of the started process, for Finished
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;

  // Starts the command line exactly as stored (never through a shell) and waits until it
  // and every process it starts in turn have ended. `stopWaiting` is asked about ten times
  // a second; when it answers true the wait ends (the program is left running).
  virtual RunOutcome RunAndWait(const std::string& commandLine,
                                const std::function<bool()>& stopWaiting) = 0;

  // Whether programs of this machine type run here. Asked only for programs about to run.
  virtual bool CanRun(PeMachine machine) = 0;
  // Why nothing at all can be run (a prefix whose own Wine is missing); empty when programs
  // can be run.
  virtual std::string WhyNothingRuns(Language /*lang*/) const { return {}; }

  // After a batch: waits until what the uninstallers changed in the registry can be read
  // (Wine keeps changes in memory until its server saves them), asking `keepWaiting` with
  // the seconds waited about ten times a second. False when the caller stopped waiting.
  virtual bool WaitUntilRegistrySaved(const std::function<bool(int seconds)>& keepWaiting) = 0;
  // Before changing the registry after a batch: waits until nothing the batch started still
  // holds the registry (Wine's server refuses no reads but its files must not be written
  // while it runs), or until waiting longer would not help. False when the caller stopped
  // waiting. The real registry can be changed at any time.
  virtual bool WaitUntilRegistryWritable(const std::function<bool(int seconds)>& /*keepWaiting*/) {
    return true;
  }
};

}  // namespace pgl
