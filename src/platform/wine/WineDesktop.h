// The desktop of a Wine user: the desktop's opener (xdg-open) for web addresses and for the
// prefix's files through their Linux paths, and Wine's regedit in the prefix.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/Platform.h"
#include "platform/wine/PrefixLookup.h"
#include "registry/RegistryStore.h"

namespace pgl {

// Where Wine's regedit keeps the key it shows next time it starts.
inline constexpr const char* kRegeditKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";

class WineDesktop : public Desktop {
 public:
  WineDesktop(std::string prefixDir, const Platform& platform, RegistryStore& registry,
              std::string wine = "wine");

  bool OpenAddress(const std::string& url) override;
  bool OpenFile(const std::string& windowsPath) override;
  // Wine's regedit has no way to be told a key; it reopens the one stored as "LastKey". While
  // a wineserver runs in the prefix the value goes through Wine's own reg.exe (the server
  // would overwrite the file); otherwise it is written to the registry file directly. Then
  // "wine regedit" starts in the prefix. Nothing waits for the editor. With no `wine` (the
  // prefix's own Wine is not known), nothing starts.
  bool JumpToRegistryKey(const std::string& keyPath) override;

  // How programs are started: argv, whether it goes through Wine in the prefix, whether it is
  // the registry editor (remembered, so that the next jump closes it first), or, in place of
  // a program, the step that closes the editor started last. Tests replace it to see what
  // would run.
  struct Command {
    std::vector<std::string> argv;
    bool inPrefix = false;
    bool editor = false;
    bool closeEditor = false;
  };
  // The registry editor we started last, while it runs.
  struct EditorState {
    std::mutex mutex;
    std::condition_variable ended;
    pid_t pid = -1;
  };
  pid_t EditorPid() const {
    const std::lock_guard lock(editor_->mutex);
    return editor_->pid;
  }
  std::function<void(std::vector<Command> steps)> run;
  // Whether a wineserver runs in the prefix (replaceable for tests).
  std::function<bool()> serverRunning;
  // Variables the prefix's Wine runs with, besides WINEPREFIX (its front end's).
  std::vector<std::pair<std::string, std::string>> wineEnvironment;
  // Where set, the Wine and its variables come from here when first needed instead (the
  // program given to the constructor and wineEnvironment are not used).
  std::shared_ptr<const PrefixLookup> wineLookup;

 private:
  std::string prefixDir_;
  const Platform& platform_;
  RegistryStore& registry_;
  // The Wine program, empty where none may run in the prefix, and its variables.
  std::string WineProgram() const;
  const std::vector<std::pair<std::string, std::string>>& WineVariables() const;

  std::string wine_;
  std::shared_ptr<EditorState> editor_ = std::make_shared<EditorState>();
};

}  // namespace pgl
