#include "platform/windows/WindowsProcessRunner.h"

#include <windows.h>

#include "util/WindowsText.h"

namespace pgl {

namespace {

// The system's text for a start error, as the Wine launcher reports it: one line, without the
// closing point (the caller's sentence goes on after it).
std::string StartErrorText(DWORD code) {
  std::string text = SystemErrorText(code);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32) c = ' ';
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  return text;
}

struct Handle {
  HANDLE h = nullptr;
  ~Handle() {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

}  // namespace

RunOutcome WindowsProcessRunner::RunAndWait(const std::string& commandLine,
                                            const std::function<bool()>& stopWaiting) {
  RunOutcome outcome;
  // CreateProcessW may write into the command line it is given.
  std::wstring line = WideText(commandLine);
  line.push_back(L'\0');
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                      NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)) {
    const DWORD code = GetLastError();
    outcome.kind = RunOutcome::Kind::StartFailed;
    outcome.errorCode = code;
    outcome.message = StartErrorText(code);
    return outcome;
  }
  Handle process{pi.hProcess}, thread{pi.hThread};
  Handle job{CreateJobObjectW(nullptr, nullptr)};
  Handle port{job.h ? CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1) : nullptr};
  bool inJob = false;
  if (job.h && port.h) {
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT link{};
    link.CompletionKey = job.h;
    link.CompletionPort = port.h;
    inJob = SetInformationJobObject(job.h, JobObjectAssociateCompletionPortInformation, &link,
                                    sizeof link) &&
            AssignProcessToJobObject(job.h, pi.hProcess);
  }
  ResumeThread(pi.hThread);
  // Every process the command starts is in the job too, unless it breaks away; without a job
  // (a nested job refused) only the started process can be waited for.
  bool ended = !inJob;
  while (!ended) {
    DWORD event = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED overlapped = nullptr;
    if (GetQueuedCompletionStatus(port.h, &event, &key, &overlapped, 100)) {
      if (key == reinterpret_cast<ULONG_PTR>(job.h) && event == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO)
        ended = true;
    } else if (GetLastError() != WAIT_TIMEOUT) {
      break;  // the port failed: fall back to the started process
    }
    if (!ended && stopWaiting && stopWaiting()) {
      outcome.kind = RunOutcome::Kind::StoppedWaiting;
      return outcome;
    }
  }
  for (;;) {
    if (WaitForSingleObject(pi.hProcess, 100) != WAIT_TIMEOUT) break;
    if (stopWaiting && stopWaiting()) {
      outcome.kind = RunOutcome::Kind::StoppedWaiting;
      return outcome;
    }
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  outcome.kind = RunOutcome::Kind::Finished;
  outcome.exitCode = exitCode;
  return outcome;
}

bool WindowsProcessRunner::CanRun(PeMachine machine) {
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  switch (machine) {
    case PeMachine::X86:
      // 32-bit programs run everywhere but on systems without WOW64 (some ARM64 and server
      // installations); CreateProcess reports those.
      return true;
    case PeMachine::X64:
      return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
             info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
    case PeMachine::Arm64:
      return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
    default:
      return true;  // not a program we can judge: CreateProcess will say
  }
}

}  // namespace pgl
