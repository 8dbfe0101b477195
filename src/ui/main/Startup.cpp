#include "ui/main/Startup.h"

#include "registry/QV_Registry.h"

namespace pgl {

StartupRecords WriteStartupRecords(RegistryStore& registry, const std::string& exePath,
                                   const std::string& appDir, const std::string& today) {
  StartupRecords result;
  const auto note = [&](bool ok) {
    if (!ok && result.written) {
      result.written = false;
      result.refusal = registry.LastError();
    }
  };
  const RootKey user = kHkeyCurrentUser;
  bool ok = RegEnsureKey(registry, user, kProgramKey);
  note(ok);
  if (ok) {
    if (!RegValueExists(registry, user, kProgramKey, "FirstRun"))
      note(RegWriteString(registry, user, kProgramKey, "FirstRun", today));
    if (!RegValueExists(registry, user, kProgramKey, "RunCounter"))
      note(RegWriteInteger(registry, user, kProgramKey, "RunCounter", 0));
    note(RegWriteString(registry, user, kProgramKey, "ExePath", exePath));
    note(RegWriteString(registry, user, kProgramKey, "Version", "1.0"));
    // A counter stored as text is left alone (and not counted as a refusal).
    RegIncInteger(registry, user, kProgramKey, "RunCounter", 1);
  }
  ok = RegEnsureKey(registry, kHkeyLocalMachine, kAppPathsKey);
  note(ok);
  if (ok) {
    note(RegWriteString(registry, kHkeyLocalMachine, kAppPathsKey, "", exePath));
    note(RegWriteString(registry, kHkeyLocalMachine, kAppPathsKey, "Path", appDir));
  }
  return result;
}

std::string FirstBackupFileName(const std::string& dir, const DateTime& when) {
  return dir + "/first_registry_backup_" + DateTimeFileName(".reg", when);
}

std::string WineZPath(const std::string& unixPath) {
  std::string out = "Z:" + unixPath;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

}  // namespace pgl
