#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/Console.h"
#include "platform/ManagedSystem.h"
#include "platform/wine/PrefixLookup.h"
#include "platform/wine/PrefixUsage.h"
#include "platform/wine/WineDesktop.h"
#include "platform/wine/WinePlatform.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "platform/wine/WinePrefixes.h"
#include "platform/wine/WineProcessRunner.h"
#include "platform/wine/WineServer.h"
#include "util/FileIO.h"

namespace pgl {

namespace {
// How the registries of the systems opened are read.
WinePrefixRegistry::Read gRead = WinePrefixRegistry::Read::Whole;
}  // namespace

std::string DefaultWinePrefix() {
  if (const char* p = std::getenv("WINEPREFIX"); p && *p) return p;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "") + "/.wine";
}

std::string PrefixToOpen(const std::string& lastShown, const std::string& winePrefix,
                         const std::string& home) {
  if (!winePrefix.empty()) return winePrefix;
  struct stat st {};
  if (!lastShown.empty() && ::stat((lastShown + "/system.reg").c_str(), &st) == 0 &&
      S_ISREG(st.st_mode))
    return lastShown;
  return home + "/.wine";
}

std::string ManagedSystemSummary() {
  return "in a Wine prefix (WINEPREFIX when set, else ~/.wine)";
}

std::unique_ptr<ManagedSystem> OpenManagedSystem(std::string& error) {
  auto system = OpenManagedSystemAt(DefaultWinePrefix(), error);
  if (!system && error.starts_with("There is no Wine prefix at "))
    error += " Set WINEPREFIX to the prefix to work on.";
  return system;
}

std::unique_ptr<ManagedSystem> OpenManagedSystemAt(std::string prefix, std::string& error) {
  while (prefix.size() > 1 && prefix.back() == '/') prefix.pop_back();
  struct stat st {};
  if (::stat(prefix.c_str(), &st) != 0 && errno != ENOENT) {
    error = "Cannot open the Wine prefix \"" + prefix + "\": " + std::strerror(errno) + ".";
    return nullptr;
  }
  if (::stat(prefix.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = "There is no Wine prefix at \"" + prefix + "\".";
    return nullptr;
  }
  if (::stat((prefix + "/system.reg").c_str(), &st) != 0) {
    error = errno == ENOENT
                ? "\"" + prefix + "\" is not a Wine prefix: it has no system.reg."
                : "Cannot open \"" + prefix + "/system.reg\": " + std::strerror(errno) + ".";
    return nullptr;
  }
  auto system = std::make_unique<ManagedSystem>();
  auto registry = std::make_unique<WinePrefixRegistry>(prefix, gRead);
  // Without its machine registry a prefix shows nothing true: an empty list or an empty
  // backup would pass for one.
  if (const std::string why = registry->SystemFileUnusable(); !why.empty()) {
    error = why;
    return nullptr;
  }
  system->problems = registry->LoadProblems();
  system->platform = std::make_unique<WinePlatform>(prefix, *registry);
  system->registry = std::move(registry);
  // The Wine that the prefix's front end runs it with, and the name it gives it, found in the
  // home when first needed: a list needs neither, and the window names the prefix once its own
  // search of the home is done.
  const char* home = std::getenv("HOME");
  const char* winePrefix = std::getenv("WINEPREFIX");
  const auto lookup =
      std::make_shared<PrefixLookup>(prefix, home ? home : "", winePrefix ? winePrefix : "");
  system->name = gRead != WinePrefixRegistry::Read::Whole ? ShortPath(prefix, home ? home : "")
                                                          : lookup->Get().name;
  system->prefixDir = prefix;
  system->runner = std::make_unique<WineProcessRunner>(prefix, lookup);
  auto desktop = std::make_unique<WineDesktop>(prefix, *system->platform, *system->registry);
  desktop->wineLookup = lookup;
  system->desktop = std::move(desktop);
  system->description = "Wine prefix " + prefix;
  return system;
}

std::unique_ptr<RegistryStore> OpenProgramRecord(const std::string& dir) {
  const std::string folder = dir + "/start-record";
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return nullptr;
  // Two empty registry files the first time, in the form Wine gives a new prefix's.
  const std::pair<const char*, const char*> files[] = {
      {"/system.reg",
       "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"},
      {"/user.reg",
       "WINE REGISTRY Version 2\n;; All keys relative to "
       "\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n"}};
  for (const auto& [name, header] : files) {
    struct stat st {};
    std::string error;
    if (::lstat((folder + name).c_str(), &st) != 0 &&
        !WriteFileAtomic(folder + name, header, error))
      return nullptr;
  }
  WinePrefixRegistry::Seams seams;
  seams.serverRunning = [](const std::string&) { return false; };  // no Wine ever runs there
  return std::make_unique<WinePrefixRegistry>(folder, seams);
}

void OpenSystemsForListing(bool filesAtOnce) {
  gRead = filesAtOnce ? WinePrefixRegistry::Read::WhatListsNeedAtOnce
                      : WinePrefixRegistry::Read::WhatListsNeed;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrepareConsoleOutput() {}

bool InputIsTerminal() {
  return ::isatty(STDIN_FILENO) != 0;
}

std::vector<KnownSystem> KnownSystems(std::vector<std::string>& notes) {
  const char* home = std::getenv("HOME");
  const char* winePrefix = std::getenv("WINEPREFIX");
  PrefixSearch found = FindWinePrefixes(home ? home : "", winePrefix ? winePrefix : "");
  notes = std::move(found.notes);
  std::vector<KnownSystem> systems;
  for (FoundPrefix& p : found.prefixes)
    systems.push_back({std::move(p.name), std::move(p.path), std::move(p.source), std::move(p.arch),
                       std::move(p.folder), std::move(p.owner), p.ownerState,
                       std::move(p.shaderCache), p.cloudSaves});
  return systems;
}

bool KnownSystemInUse(const KnownSystem& system) {
  return IsWineServerRunning(system.path);
}

std::optional<PrefixUsage> MeasureKnownSystem(const KnownSystem& system) {
  PrefixUsage usage =
      MeasurePrefix(system.folder.empty() ? system.path : system.folder, system.path);
  if (!system.shaderCache.empty())
    usage.shaderCacheBytes = FolderDiskBytes(system.shaderCache, usage.unreadable);
  return usage;
}

std::unique_ptr<RegistryStore> OpenKnownRegistry(const KnownSystem& system) {
  auto registry = std::make_unique<WinePrefixRegistry>(system.path, gRead);
  if (!registry->SystemFileUnusable().empty()) return nullptr;
  return registry;
}

}  // namespace pgl
