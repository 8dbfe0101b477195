/* pgl-launcher.exe: starts one Windows command line inside a Wine prefix exactly as stored
 * and waits until it and every process it started have ended.
 *
 * `wine prog args` rebuilds the command line from Unix arguments, so the command line comes
 * from standard input instead (UTF-8), untouched. A first line says that the launcher runs
 * (so that a caller who sees none knows that Wine started nothing); the outcome goes to
 * standard output as one more line, read by the caller once this process has ended:
 *   PGL-LAUNCHER begin
 *   PGL-LAUNCHER done <exit code of the started process>
 *   PGL-LAUNCHER error <Windows error code> <system message>   (CreateProcess failed)
 *   PGL-LAUNCHER fault <text>                                    (this launcher failed)
 *
 * Uninstallers often copy themselves elsewhere, start the copy and exit at once; waiting for
 * the started process alone would miss the real work. The process is started suspended and
 * put in a job object whose completion port reports when the job has no process left. */
#define WIN32_LEAN_AND_MEAN
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void WriteOut(const char* text) {
  DWORD written = 0;
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  WriteFile(out, text, (DWORD)strlen(text), &written, NULL);
}

static void Fault(const char* text) {
  WriteOut("PGL-LAUNCHER fault ");
  WriteOut(text);
  WriteOut("\n");
  ExitProcess(3);
}

/* The whole of standard input. */
static char* ReadAllInput(DWORD* size) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD capacity = 4096, used = 0, got = 0;
  char* data = (char*)malloc(capacity + 1);
  if (!data) Fault("out of memory");
  for (;;) {
    if (used == capacity) {
      char* bigger;
      if (capacity > (1u << 26)) Fault("command line too long");
      capacity *= 2;
      bigger = (char*)realloc(data, capacity + 1);
      if (!bigger) Fault("out of memory");
      data = bigger;
    }
    if (!ReadFile(in, data + used, capacity - used, &got, NULL) || got == 0) break;
    used += got;
  }
  data[used] = 0;
  *size = used;
  return data;
}

/* The system's text for an error code: trailing blanks, control characters and points
 * removed. */
static void ReportStartError(DWORD code) {
  WCHAR message[512];
  char utf8[2048], line[2200];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code,
                           0, message, 256, NULL);
  int i;
  if (n > 256) n = 256;
  message[n] = 0;
  while (n > 0 && (message[n - 1] <= 32 || message[n - 1] == L'.')) message[--n] = 0;
  for (i = 0; message[i]; ++i)
    if (message[i] < 32) message[i] = L' ';
  if (!WideCharToMultiByte(CP_UTF8, 0, message, -1, utf8, sizeof utf8, NULL, NULL)) utf8[0] = 0;
  snprintf(line, sizeof line, "PGL-LAUNCHER error %lu %s\n", (unsigned long)code, utf8);
  WriteOut(line);
  ExitProcess(2);
}

int main(void) {
  DWORD size = 0, exitCode = 0, event = 0;
  char* utf8;
  int wideLength;
  WCHAR* commandLine;
  STARTUPINFOW si;
  PROCESS_INFORMATION pi;
  HANDLE job, port;
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT link;
  ULONG_PTR key = 0;
  LPOVERLAPPED overlapped = NULL;
  BOOL inJob = FALSE;
  char line[64];
  int attempt;

  WriteOut("PGL-LAUNCHER begin\n");
  utf8 = ReadAllInput(&size);
  wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8, (int)size, NULL, 0);
  commandLine = (WCHAR*)calloc((size_t)wideLength + 1, sizeof(WCHAR));
  if (!commandLine) Fault("out of memory");
  if (size > 0 && wideLength == 0) Fault("the command line is not UTF-8");
  MultiByteToWideChar(CP_UTF8, 0, utf8, (int)size, commandLine, wideLength);
  commandLine[wideLength] = 0;

  ZeroMemory(&si, sizeof si);
  si.cb = sizeof si;
  ZeroMemory(&pi, sizeof pi);
  /* Wine answers "internal error" when the new process ended before it had started, now and
   * then on a busy machine: nothing of the command ran, so it is started again. */
  for (attempt = 0;; ++attempt) {
    DWORD error;
    if (CreateProcessW(NULL, commandLine, NULL, NULL, FALSE,
                       NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, NULL, NULL, &si, &pi))
      break;
    error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt >= 2) ReportStartError(error);
    Sleep(250);
  }

  job = CreateJobObjectW(NULL, NULL);
  port = job ? CreateIoCompletionPort(INVALID_HANDLE_VALUE, NULL, 0, 1) : NULL;
  if (job && port) {
    link.CompletionKey = job;
    link.CompletionPort = port;
    inJob = SetInformationJobObject(job, JobObjectAssociateCompletionPortInformation, &link,
                                    sizeof link) &&
            AssignProcessToJobObject(job, pi.hProcess);
  }
  ResumeThread(pi.hThread);
  CloseHandle(pi.hThread);
  if (inJob) {
    /* Every process the command starts is in the job too, unless it breaks away. */
    while (GetQueuedCompletionStatus(port, &event, &key, &overlapped, INFINITE))
      if (key == (ULONG_PTR)job && event == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) break;
  }
  /* Without a job (nested jobs refused), only the started process can be waited for. */
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &exitCode);
  CloseHandle(pi.hProcess);
  snprintf(line, sizeof line, "PGL-LAUNCHER done %lu\n", (unsigned long)exitCode);
  WriteOut(line);
  return 0;
}
