#include "platform/wine/WineDesktop.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include "platform/wine/WineServer.h"
#include "registry/QV_Registry.h"

extern char** environ;

namespace pgl {

namespace {

// Ends the registry editor we started last, if it still runs, and waits (a few seconds at
// most) until its thread has seen it end.
void CloseEditor(WineDesktop::EditorState& editor) {
  std::unique_lock lock(editor.mutex);
  if (editor.pid <= 0) return;
  ::kill(editor.pid, SIGTERM);
  editor.ended.wait_for(lock, std::chrono::seconds(5), [&] { return editor.pid <= 0; });
}

// Runs the steps one after the other on a thread of their own, each to its end; the caller
// does not wait. Each program gets a session of its own, so a Ctrl+C in our terminal does not
// reach it.
void RunInBackground(const std::string& prefixDir,
                     const std::vector<std::pair<std::string, std::string>>& wineEnvironment,
                     std::vector<WineDesktop::Command> steps,
                     std::shared_ptr<WineDesktop::EditorState> editor) {
  std::thread([prefixDir, wineEnvironment, steps = std::move(steps), editor] {
    for (const auto& step : steps) {
      if (step.closeEditor) {
        CloseEditor(*editor);
        continue;
      }
      std::vector<std::string> env;
      for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (step.inPrefix && (entry.starts_with("WINEPREFIX=") || entry.starts_with("WINEDEBUG=")))
          continue;
        env.push_back(entry);
      }
      if (step.inPrefix) {
        for (const auto& variable : wineEnvironment) {
          const std::string assigned = variable.first + "=";
          std::erase_if(env, [&](const std::string& e) { return e.starts_with(assigned); });
          env.push_back(assigned + variable.second);
        }
        env.push_back("WINEPREFIX=" + prefixDir);
        env.push_back("WINEDEBUG=-all");
      }
      std::vector<char*> argv, envp;
      for (const auto& a : step.argv) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
      envp.push_back(nullptr);
      posix_spawnattr_t attr;
      posix_spawnattr_init(&attr);
      posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
      posix_spawn_file_actions_t files;
      posix_spawn_file_actions_init(&files);
      posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
      posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
      posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
      pid_t pid = -1;
      const int failed = posix_spawnp(&pid, argv[0], &files, &attr, argv.data(), envp.data());
      posix_spawn_file_actions_destroy(&files);
      posix_spawnattr_destroy(&attr);
      if (failed) return;
      if (step.editor) {
        const std::lock_guard lock(editor->mutex);
        editor->pid = pid;
      }
      int status = 0;
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
      if (step.editor) {
        const std::lock_guard lock(editor->mutex);
        if (editor->pid == pid) editor->pid = -1;
        editor->ended.notify_all();
      }
    }
  }).detach();
}

}  // namespace

WineDesktop::WineDesktop(std::string prefixDir, const Platform& platform, RegistryStore& registry,
                         std::string wine)
    : prefixDir_(std::move(prefixDir)),
      platform_(platform),
      registry_(registry),
      wine_(std::move(wine)) {
  run = [this](std::vector<Command> steps) {
    RunInBackground(prefixDir_, WineVariables(), std::move(steps), editor_);
  };
  serverRunning = [this] { return IsWineServerRunning(prefixDir_); };
}

std::string WineDesktop::WineProgram() const {
  if (!wineLookup) return wine_;
  const PrefixWine& wine = wineLookup->Get().wine;
  return wine.known ? wine.program : std::string();
}

const std::vector<std::pair<std::string, std::string>>& WineDesktop::WineVariables() const {
  return wineLookup ? wineLookup->Get().wine.environment : wineEnvironment;
}

bool WineDesktop::OpenAddress(const std::string& url) {
  if (url.empty()) return false;
  run({{{"xdg-open", url}, false}});
  return true;
}

bool WineDesktop::OpenFile(const std::string& windowsPath) {
  const auto local = platform_.LocalPath(windowsPath);
  if (!local) return false;
  run({{{"xdg-open", *local}, false}});
  return true;
}

bool WineDesktop::JumpToRegistryKey(const std::string& keyPath) {
  const std::string wine = WineProgram();
  if (wine.empty()) return false;  // no Wine may run in this prefix
  // One editor of ours at a time: the one still open from an earlier jump is closed first.
  std::vector<Command> steps;
  steps.push_back({{}, false, false, true});
  if (serverRunning()) {
    steps.push_back({{wine, "reg", "add", std::string("HKEY_CURRENT_USER\\") + kRegeditKey, "/v",
                      "LastKey", "/t", "REG_SZ", "/d", keyPath, "/f"},
                     true});
  } else if (!RegWriteString(registry_, kHkeyCurrentUser, kRegeditKey, "LastKey", keyPath)) {
    return false;
  }
  steps.push_back({{wine, "regedit"}, true, true, false});
  run(std::move(steps));
  return true;
}

}  // namespace pgl
