#include "ui/main/Startup.h"

#include "inventory/UninstallPlaces.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"
#include "registry/TRegistry.h"
#include "ui/main/SettingsFile.h"
#include "util/CodePage.h"
#include "util/Locale.h"

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
  // A value that already holds the text is not written again: on most starts only the
  // counter changes, and each registry file is saved at most once.
  const auto writeText = [&](RootKey root, const char* key, const char* name,
                             const std::string& text) {
    TRegistry reg(registry);
    reg.SetRootKey(root);
    try {
      if (reg.OpenKeyReadOnly(key) && reg.ValueExists(name) &&
          reg.GetDataType(name) == TRegDataType::rdString && reg.ReadString(name) == text)
        return;
    } catch (const std::exception&) {
      // Unreadable: write it.
    }
    note(RegWriteString(registry, root, key, name, text));
  };
  registry.HoldCommits();
  const RootKey user = kHkeyCurrentUser;
  // An existing key is only read: opening it for writing would prepare its file for a save.
  bool ok = RegKeyExists(registry, user, kProgramKey) || RegEnsureKey(registry, user, kProgramKey);
  note(ok);
  if (ok) {
    if (!RegValueExists(registry, user, kProgramKey, "FirstRun"))
      note(RegWriteString(registry, user, kProgramKey, "FirstRun", today));
    if (!RegValueExists(registry, user, kProgramKey, "RunCounter"))
      note(RegWriteInteger(registry, user, kProgramKey, "RunCounter", 0));
    writeText(user, kProgramKey, "ExePath", exePath);
    writeText(user, kProgramKey, "Version", "1.0");
    // A counter stored as text is left alone (and not counted as a refusal); a refused count
    // is the one write of most starts, and is told as any other.
    bool textCounter = false;
    try {
      TRegistry reg(registry);
      reg.SetRootKey(user);
      textCounter = reg.OpenKeyReadOnly(kProgramKey) && reg.ValueExists("RunCounter") &&
                    reg.GetDataType("RunCounter") != TRegDataType::rdInteger;
    } catch (const std::exception&) {
      textCounter = true;  // unreadable: left alone
    }
    if (!textCounter) note(RegIncInteger(registry, user, kProgramKey, "RunCounter", 1));
  }
  ok = RegKeyExists(registry, kHkeyLocalMachine, kAppPathsKey) ||
       RegEnsureKey(registry, kHkeyLocalMachine, kAppPathsKey);
  note(ok);
  if (ok) {
    writeText(kHkeyLocalMachine, kAppPathsKey, "", exePath);
    writeText(kHkeyLocalMachine, kAppPathsKey, "Path", appDir);
  }
  note(registry.CommitHeld());
  return result;
}

std::string LastShownPrefix(const std::string& settingsFile) {
  IniFile ini;
  std::string error;
  if (settingsFile.empty() || !ini.Load(settingsFile, error)) return {};
  return ini.Read(kSettingsSection, "Prefix").value_or("");
}

bool LastShownAll(const std::string& settingsFile) {
  IniFile ini;
  std::string error;
  if (settingsFile.empty() || !ini.Load(settingsFile, error)) return false;
  return ini.ReadBool(kSettingsSection, "AllPrefixes", false);
}

StartupRecords RecordThisStart(RegistryStore& registry, const std::string& exePath) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return WriteStartupRecords(registry, WineZPath(exePath),
                             WineZPath(exePath.substr(0, exePath.rfind('/'))),
                             FormatShortDate(local));
}

bool WriteFirstBackup(RegistryStore& registry, const std::string& dir) {
  try {
    ExportRegistryKeys(registry, BackupKeys(registry), FirstBackupFileName(dir, LocalNow()),
                       UserAnsiCodePage());
    return true;
  } catch (const ERegistryExportError&) {
    return false;
  }
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
