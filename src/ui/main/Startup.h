// What the window's start-up leaves behind, without Qt: the program's own registry key and
// its four values, the App Paths registration, and the first registry backup.
#pragma once

#include <ctime>
#include <string>

#include "registry/RegistryStore.h"
#include "util/QV_Conversion.h"

namespace pgl {

inline constexpr const char* kProgramKey = "Software\\Tervask\\Purgelet";
inline constexpr const char* kAppPathsKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\pgl.exe";

struct StartupRecords {
  // False when a write was refused: the registry may not be changed now (Wine runs in the
  // prefix, say); `refusal` says why. The window tells the user once, without blocking.
  bool written = true;
  std::string refusal;
};

// The program's key under HKEY_CURRENT_USER ("FirstRun" once with `today`, "RunCounter"
// created as 0 and counted up, "ExePath", "Version" "1.0"), then App Paths under
// HKEY_LOCAL_MACHINE (the default value and "Path"). Paths are as the managed system sees
// them. Failed writes are skipped, as every start-up write is.
StartupRecords WriteStartupRecords(RegistryStore& registry, const std::string& exePath,
                                   const std::string& appDir, const std::string& today);

// The records of this start, for the program at the Unix path `exePath`, dated today.
StartupRecords RecordThisStart(RegistryStore& registry, const std::string& exePath);

// "first_registry_backup_" + the date stamp + ".reg", in `dir`.
std::string FirstBackupFileName(const std::string& dir, const DateTime& when);
// Saves every Uninstall key to FirstBackupFileName(dir, now). False when it could not be
// written (the next start tries again while there is no settings file).
bool WriteFirstBackup(RegistryStore& registry, const std::string& dir);

// The prefix the settings file names as the one shown last ("Prefix"); empty when none.
std::string LastShownPrefix(const std::string& settingsFile);
// Whether every prefix was shown in one list when the program last ended.
bool LastShownAll(const std::string& settingsFile);

// The Unix path of a file as Wine sees it through drive Z: ("Z:\home\ann\pgl").
std::string WineZPath(const std::string& unixPath);

}  // namespace pgl
