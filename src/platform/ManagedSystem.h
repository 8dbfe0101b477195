// The system whose programs we manage: its registry and its platform services. Which
// implementation is built is chosen here, once.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/OwnerState.h"
#include "platform/Platform.h"
#include "platform/ProcessRunner.h"
#include "platform/SystemUsage.h"
#include "registry/RegistryStore.h"

namespace pgl {

struct ManagedSystem {
  std::unique_ptr<RegistryStore> registry;
  std::unique_ptr<Platform> platform;
  std::unique_ptr<ProcessRunner> runner;  // starts uninstallers
  std::unique_ptr<Desktop> desktop;       // opens addresses, files and the registry editor
  std::string description;                // e.g. "Wine prefix /home/ann/.wine"
  std::string prefixDir;                  // the prefix's folder
  std::string name;                       // as a person knows it ("Half-Life 2", "~/.wine")
  std::vector<std::string> problems;      // what could not be read, for the user
};

// On Linux: the Wine prefix named by WINEPREFIX, else ~/.wine. A missing prefix gives null
// and a message in `error`; a prefix is never created here.
std::unique_ptr<ManagedSystem> OpenManagedSystem(std::string& error);
// The prefix at `prefixDir`, run with the Wine of the front end that keeps it (found among the
// user's prefixes; the system's Wine for one no front end keeps).
std::unique_ptr<ManagedSystem> OpenManagedSystemAt(std::string prefixDir, std::string& error);

// Where the program keeps the record of its own starts (first run, run counter, path, version,
// its App Paths entry): on Windows the registry, as Windows programs do; on Linux a registry of
// its own in `dir` (the program's settings folder), in Wine's file form, never a prefix it
// manages, so that viewing a prefix changes nothing in it. Null where it cannot be made.
std::unique_ptr<RegistryStore> OpenProgramRecord(const std::string& dir);

// For the window and the commands that list: the systems opened from now on read at first only
// what the program list needs of their registry; a write to a file, or a reader of other keys
// (RegistryStore::ReadEverything), reads it whole first. With `filesAtOnce` (the commands) a
// large prefix's two registry files are read at the same time: sooner, for about 2 MB more
// memory at 25,000 programs, which the window, near its memory budget there, does not spend.
void OpenSystemsForListing(bool filesAtOnce = false);

// A large registry (tens of megabytes: tens of thousands of programs) is read a third faster
// with the memory in large pages, which the C library on Linux takes only when a program
// starts: the program then starts once more, with `argv`, and the restarted program gives the
// programs it runs the environment the first had. Nothing happens for a small registry, where
// no restart or platform (Windows) gains anything, or where the restart cannot be made.
void RestartForLargeRegistry(const std::string& prefixDir, char** argv);

// Where OpenManagedSystem looks, for help texts: "in a Wine prefix (WINEPREFIX when set, else
// ~/.wine)", "on this computer".
std::string ManagedSystemSummary();

// A system the program can manage, as a person knows it: on Linux each Wine prefix found in
// the home (its name, folder, front end and architecture), on Windows this computer.
struct KnownSystem {
  std::string name, path, source, arch;
  // What removing the prefix would move: its folder, or for a Proton prefix the game's whole
  // compatdata/<appid> folder.
  std::string folder = {};
  // The game, bottle or program set that uses it; empty for a plain prefix of the user's.
  std::string owner = {};
  OwnerState ownerState = OwnerState::None;
  // A Steam game's shader cache in the same library (empty when none), and whether its saves
  // are in Steam's cloud.
  std::string shaderCache = {};
  CloudSaves cloudSaves = CloudSaves::None;
};
std::vector<KnownSystem> KnownSystems(std::vector<std::string>& notes);
// The registry of a known system, read to count its programs; null where it cannot be read.
std::unique_ptr<RegistryStore> OpenKnownRegistry(const KnownSystem& system);
// Whether programs run in a known system now (its Wine server runs); always on Windows.
bool KnownSystemInUse(const KnownSystem& system);
// What a known system's folder takes on disk, its saves and its last use; nothing where the
// system is not a folder of its own (Windows).
std::optional<PrefixUsage> MeasureKnownSystem(const KnownSystem& system);

// The prefix Wine itself would use.
std::string DefaultWinePrefix();
// The prefix the window opens: WINEPREFIX when set; else `lastShown` while it is still a
// prefix; else ~/.wine. Empty where the system is not a prefix (Windows).
std::string PrefixToOpen(const std::string& lastShown, const std::string& winePrefix,
                         const std::string& home);

}  // namespace pgl
