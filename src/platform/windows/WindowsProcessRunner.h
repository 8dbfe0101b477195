// Uninstallers started on the Windows machine we run on.
#pragma once

#include "platform/ProcessRunner.h"

namespace pgl {

// Starts command lines with CreateProcess in a job object and waits until every process of the
// job has ended: uninstallers often start a copy of themselves and exit at once.
class WindowsProcessRunner : public ProcessRunner {
 public:
  RunOutcome RunAndWait(const std::string& commandLine,
                        const std::function<bool()>& stopWaiting) override;
  bool CanRun(PeMachine machine) override;
  // The real registry has every change as soon as it is made.
  bool WaitUntilRegistrySaved(const std::function<bool(int)>&) override { return true; }
};

}  // namespace pgl
