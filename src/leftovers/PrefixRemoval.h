// Removing a whole prefix that a removed game or program left: its saves first written to an
// archive and read back, then its folder (for a Proton prefix the game's whole compatdata
// folder) moved to the trash, and with it Wine's menu entries, icons and file types of that
// prefix. Nothing is removed that was not found as a prefix, while Wine runs in it, or where
// its folder is the home, a desktop folder or holds one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lang/Language.h"
#include "leftovers/DesktopEntries.h"
#include "leftovers/SavesArchive.h"
#include "platform/ManagedSystem.h"

namespace pgl {

enum class PrefixOutcome {
  Removed,       // moved to the trash, its saves kept first
  NotFound,      // not a prefix `prefixes` finds
  WineRunning,   // its Wine server runs
  Refused,       // its folder is not one that may be removed (the reason says why)
  SavesNotKept,  // the saves' archive could not be written or read back: nothing removed
  NotRemoved,    // the folder could not be moved to the trash
};
// "removed", "not_found", "wine_running", "refused", "saves_not_kept", "not_removed"
const char* PrefixOutcomeName(PrefixOutcome outcome);
std::vector<PrefixOutcome> AllPrefixOutcomes();

struct PrefixRemoval {
  PrefixOutcome outcome = PrefixOutcome::NotFound;
  std::string why;                         // for any other outcome than Removed
  SavesArchive archive;                    // the saves written, when there were any
  std::size_t desktopItems = 0;            // menu entries, icons and types moved with it
  std::vector<std::string> itemsNotMoved;  // those that stayed, with their reasons
  // A Steam game's shader cache: moved to the trash with the prefix, or why it stayed.
  bool shaderCacheRemoved = false;
  std::string shaderCacheWhy;
};

struct PrefixRemovalOptions {
  std::string savesTo;    // the folder the archive goes in
  bool keepSaves = true;  // false: the saves go with the prefix
  Language lang = Language::English;
  // The folders of every prefix removed with this one: the archive may lie in none of them.
  std::vector<std::string> batchFolders = {};
  // Judge everything and say what would happen (outcome Removed: it would go), but write no
  // archive and move nothing.
  bool dryRun = false;
};

// The known prefix that `path` names: its own folder or its removal folder, compared by the
// file they are (links and spelling resolved). Null when none.
const KnownSystem* FindKnownPrefix(const std::vector<KnownSystem>& known, const std::string& path);

// Why the prefix's folder may not be removed; empty when it may. The folder, resolved, must be
// a folder (not a link) that is the prefix itself or a Proton game's compatdata/<appid> holding
// it in a pfx folder that is no link, and neither the file system's root, the home, one of its
// desktop folders nor a folder holding any of them, nor hold another of the `known` prefixes.
std::string FolderRefusal(const KnownSystem& prefix, const std::vector<KnownSystem>& known,
                          const XdgFolders& xdg, Language lang);

// Why a Steam game's shader cache may not be moved with the prefix whose compatdata folder is
// `compatFolder` (library/steamapps/compatdata/<appid>); empty when it may. It must be a folder,
// not a link, named by that appid, directly in the shadercache folder of the same library, all
// judged on the resolved paths; Steam's own appid 0 is no game's.
std::string ShaderCacheRefusal(const std::string& cache, const std::string& compatFolder,
                               Language lang);

// What the saves' archive holds beside the files: registry.reg, the prefix's own keys under
// HKCU\Software (RegistrySavesScript); nothing when it has none or its registry cannot be read.
std::vector<ArchiveExtra> RegistrySavesOf(const KnownSystem& prefix);

// Removes the prefix as described above, and a Steam game's shader cache with it (where
// ShaderCacheRefusal allows; a cache that stays does not keep the prefix). The saves are counted
// and archived as they are when this runs (not as they were when the user was asked); `wineRunning`
// is asked before the archive is written and again right before the folder moves, so that a Wine
// started meanwhile stops the removal.
PrefixRemoval RemovePrefix(const KnownSystem& prefix, const std::vector<KnownSystem>& known,
                           const std::function<bool()>& wineRunning,
                           const PrefixRemovalOptions& options, const XdgFolders& xdg);

}  // namespace pgl
