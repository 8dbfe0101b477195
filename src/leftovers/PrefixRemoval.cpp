#include "leftovers/PrefixRemoval.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "leftovers/Leftovers.h"
#include "leftovers/PlaceGuard.h"
#include "leftovers/RegistrySaves.h"
#include "platform/Trash.h"
#include "util/FileIO.h"

namespace pgl {

namespace fs = std::filesystem;

namespace {

enum class Msg {
  NotAFolder,
  ALink,
  NotAPrefixFolder,
  Protected,
  HoldsAnother,
  ArchiveInside,
  WineRuns,
  WineStarted,
  Changed,
  SteamsOwnCache,
  OtherGamesCache,
  CacheALink,
  CacheOutside,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::NotAFolder, {"%1 is not a folder", "%1 nie jest folderem"}},
    {Msg::ALink,
     {"%1 is a link, not the prefix's folder", "%1 jest dowiązaniem, nie folderem prefiksu"}},
    {Msg::NotAPrefixFolder,
     {"%1 is neither the prefix nor a Proton game's folder holding it",
      "%1 nie jest ani prefiksem, ani folderem gry Protona, który go zawiera"}},
    {Msg::Protected,
     {"%1 is, or holds, the home or one of its desktop folders",
      "%1 jest katalogiem domowym lub jednym z folderów pulpitu albo je zawiera"}},
    {Msg::HoldsAnother, {"%1 holds another prefix, %2", "%1 zawiera inny prefiks, %2"}},
    {Msg::ArchiveInside,
     {"the saves would be written inside a prefix that is removed (%1)",
      "zapisy trafiłyby do wnętrza usuwanego prefiksu (%1)"}},
    {Msg::WineRuns,
     {"Wine runs in this prefix: close its programs (or run wineserver -k) first",
      "W tym prefiksie działa Wine: najpierw zamknij jego programy (lub uruchom wineserver -k)"}},
    {Msg::WineStarted,
     {"Wine started in this prefix while its saves were archived: the prefix stays (its saves "
      "are in %1)",
      "Wine uruchomiło się w tym prefiksie podczas archiwizowania zapisów: prefiks zostaje "
      "(zapisy są w %1)"}},
    {Msg::Changed, {"%1 changed while it was being removed", "%1 zmienił się w trakcie usuwania"}},
    {Msg::SteamsOwnCache,
     {"Steam's own shader cache, no game's", "własna pamięć shaderów Steama, nie gry"}},
    {Msg::OtherGamesCache,
     {"%1 is not the shader cache of this game (%2)",
      "%1 nie jest pamięcią shaderów tej gry (%2)"}},
    {Msg::CacheALink,
     {"%1 is a link, not the game's own shader cache",
      "%1 jest dowiązaniem, nie własną pamięcią shaderów gry"}},
    {Msg::CacheOutside,
     {"%1 lies outside the Steam library that holds the prefix",
      "%1 leży poza biblioteką Steama, która zawiera prefiks"}},
};
static_assert(IsMessageTable(kMessages));

std::string Said(Msg id, Language lang, std::initializer_list<std::string_view> args = {}) {
  return Fill(MessageIn(kMessages, id, lang), args);
}

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The file a place is and every folder holding it, by identity.
void AddWithHolders(const std::string& place, std::set<FileId>& into) {
  if (place.empty()) return;
  std::error_code ec;
  fs::path p = fs::weakly_canonical(place, ec);
  if (ec) return;
  for (;;) {
    if (const auto id = IdentityOf(p.string(), true)) into.insert(*id);
    if (!p.has_relative_path()) break;
    p = p.parent_path();
  }
}

// A path as the file it is (links followed), for comparisons.
std::optional<FileId> Identity(const std::string& path) {
  return path.empty() ? std::nullopt : IdentityOf(path, true);
}

// Whether `inner`, resolved, lies strictly below `outer` (resolved).
bool Below(const std::string& inner, const std::string& outer) {
  std::error_code ec;
  const fs::path in = fs::weakly_canonical(inner, ec);
  if (ec) return false;
  const fs::path out = fs::weakly_canonical(outer, ec);
  if (ec) return false;
  const auto rel = in.lexically_relative(out);
  return !rel.empty() && rel != "." && *rel.begin() != "..";
}

std::string FolderOf(const KnownSystem& prefix) {
  return prefix.folder.empty() ? prefix.path : prefix.folder;
}

}  // namespace

const char* PrefixOutcomeName(PrefixOutcome outcome) {
  switch (outcome) {
    case PrefixOutcome::Removed:
      return "removed";
    case PrefixOutcome::NotFound:
      return "not_found";
    case PrefixOutcome::WineRunning:
      return "wine_running";
    case PrefixOutcome::Refused:
      return "refused";
    case PrefixOutcome::SavesNotKept:
      return "saves_not_kept";
    case PrefixOutcome::NotRemoved:
      return "not_removed";
  }
  return "not_removed";
}

std::vector<PrefixOutcome> AllPrefixOutcomes() {
  return {PrefixOutcome::Removed, PrefixOutcome::NotFound,     PrefixOutcome::WineRunning,
          PrefixOutcome::Refused, PrefixOutcome::SavesNotKept, PrefixOutcome::NotRemoved};
}

const KnownSystem* FindKnownPrefix(const std::vector<KnownSystem>& known, const std::string& path) {
  const auto wanted = Identity(path);
  if (!wanted) return nullptr;
  for (const KnownSystem& s : known)
    if (!s.path.empty() && (Identity(s.path) == wanted || Identity(FolderOf(s)) == wanted))
      return &s;
  return nullptr;
}

std::string FolderRefusal(const KnownSystem& prefix, const std::vector<KnownSystem>& known,
                          const XdgFolders& xdg, Language lang) {
  const std::string folder = HostPlace(FolderOf(prefix));
  std::error_code ec;
  const auto type = fs::symlink_status(folder, ec).type();
  if (type == fs::file_type::symlink) return Said(Msg::ALink, lang, {folder});
  if (type != fs::file_type::directory) return Said(Msg::NotAFolder, lang, {folder});
  // The prefix itself, or compatdata/<appid> with the prefix in its pfx folder.
  const auto folderId = Identity(folder);
  const auto prefixId = Identity(prefix.path);
  const fs::path f(folder);
  const bool own = folderId && folderId == prefixId && fs::is_regular_file(f / "system.reg", ec);
  // Proton keeps the prefix in a pfx folder (no link) beside its own files: in a Steam game's
  // compatdata/<appid>, or in the folder Heroic names for a game it runs with Proton.
  const bool pfxHolds =
      prefixId && fs::symlink_status(f / "pfx", ec).type() == fs::file_type::directory &&
      Identity(folder + "/pfx") == prefixId && fs::is_regular_file(f / "pfx" / "system.reg", ec);
  const bool proton =
      pfxHolds &&
      ((IsDigits(f.filename().string()) && f.parent_path().filename() == "compatdata") ||
       prefix.source.starts_with("Heroic"));
  if (!own && !proton) return Said(Msg::NotAPrefixFolder, lang, {folder});
  // Never the home, a desktop folder, or a folder that holds any of them.
  std::set<FileId> protectedPlaces;
  for (const std::string& place :
       {std::string("/"), xdg.home, xdg.dataHome, xdg.configHome, xdg.desktop, xdg.documents})
    AddWithHolders(place, protectedPlaces);
  if (!folderId || protectedPlaces.contains(*folderId)) return Said(Msg::Protected, lang, {folder});
  for (const KnownSystem& other : known) {
    if (Identity(other.path) == prefixId) continue;
    if (Below(other.path, folder)) return Said(Msg::HoldsAnother, lang, {folder, other.path});
  }
  return "";
}

std::string ShaderCacheRefusal(const std::string& cache, const std::string& compatFolder,
                               Language lang) {
  const std::string appid = fs::path(compatFolder).filename().string();
  if (appid == "0") return Said(Msg::SteamsOwnCache, lang);
  if (!IsDigits(appid) || fs::path(cache).filename().string() != appid)
    return Said(Msg::OtherGamesCache, lang, {cache, appid});
  std::error_code ec;
  const fs::file_type type = fs::symlink_status(cache, ec).type();
  if (type == fs::file_type::symlink) return Said(Msg::CacheALink, lang, {cache});
  if (type != fs::file_type::directory) return Said(Msg::NotAFolder, lang, {cache});
  // Both judged where they are: the cache must be in the shadercache folder of the library
  // that holds the prefix.
  const fs::path steamapps = fs::canonical(fs::path(compatFolder) / ".." / "..", ec);
  if (ec || fs::canonical(cache, ec) != steamapps / "shadercache" / appid || ec)
    return Said(Msg::CacheOutside, lang, {cache});
  return "";
}

std::vector<ArchiveExtra> RegistrySavesOf(const KnownSystem& prefix) {
  const auto registry = OpenKnownRegistry(prefix);
  if (!registry) return {};
  std::vector<std::string> leftOut;
  std::string script = RegistrySavesScript(*registry, leftOut);
  if (script.empty()) return {};
  return {{"registry.reg", std::move(script)}};
}

PrefixRemoval RemovePrefix(const KnownSystem& prefix, const std::vector<KnownSystem>& known,
                           const std::function<bool()>& wineRunning,
                           const PrefixRemovalOptions& options, const XdgFolders& xdg) {
  PrefixRemoval result;
  const Language lang = options.lang;
  result.why = FolderRefusal(prefix, known, xdg, lang);
  if (!result.why.empty()) {
    result.outcome = PrefixOutcome::Refused;
    return result;
  }
  if (wineRunning()) {
    result.outcome = PrefixOutcome::WineRunning;
    result.why = Said(Msg::WineRuns, lang);
    return result;
  }
  // Judged on the folders as they are, whatever path led to them.
  std::error_code ec;
  const std::string folder = fs::canonical(HostPlace(FolderOf(prefix)), ec).string();
  const std::string prefixDir = fs::canonical(prefix.path, ec).string();
  const auto folderId = Identity(folder);
  // The game's shader cache, judged while the prefix that says whose it is is still there.
  if (!prefix.shaderCache.empty())
    result.shaderCacheWhy = ShaderCacheRefusal(prefix.shaderCache, folder, lang);
  const auto cacheId = prefix.shaderCache.empty() || !result.shaderCacheWhy.empty()
                           ? std::nullopt
                           : Identity(prefix.shaderCache);
  // The saves first: a failed archive stops the removal.
  if (options.keepSaves) {
    std::vector<std::string> removed = options.batchFolders;
    removed.push_back(folder);
    for (const std::string& other : removed)
      if (Below(options.savesTo, other) ||
          (Identity(options.savesTo) && Identity(options.savesTo) == Identity(other))) {
        result.outcome = PrefixOutcome::SavesNotKept;
        result.why = Said(Msg::ArchiveInside, lang, {options.savesTo});
        return result;
      }
    const std::string name = prefix.owner.empty() ? prefix.name : prefix.owner;
    if (options.dryRun) {
      result.outcome = PrefixOutcome::Removed;
      result.shaderCacheRemoved = cacheId.has_value();
      return result;
    }
    if (!WriteSavesArchive(prefixDir, name, options.savesTo, result.archive, result.why,
                           RegistrySavesOf(prefix))) {
      result.outcome = PrefixOutcome::SavesNotKept;
      return result;
    }
    // Wine started while the archive was written: the prefix may be changing under us.
    if (wineRunning()) {
      result.outcome = PrefixOutcome::WineRunning;
      result.why = result.archive.file.empty()
                       ? Said(Msg::WineRuns, lang)
                       : Said(Msg::WineStarted, lang, {result.archive.file});
      return result;
    }
  }
  if (options.dryRun) {
    result.outcome = PrefixOutcome::Removed;
    result.shaderCacheRemoved = cacheId.has_value();
    return result;
  }
  // The spellings Wine's menu entries may give the prefix, taken while it is still there.
  std::vector<std::string> spellings = {prefix.path, prefix.path + "/"};
  if (prefixDir != prefix.path) spellings.insert(spellings.end(), {prefixDir, prefixDir + "/"});
  // Only the folder judged above: one swapped in since is not moved.
  if (Identity(folder) != folderId ||
      fs::symlink_status(folder, ec).type() != fs::file_type::directory) {
    result.outcome = PrefixOutcome::NotRemoved;
    result.why = Said(Msg::Changed, lang, {folder});
    return result;
  }
  if (!MoveToTrash(folder, result.why)) {
    result.outcome = PrefixOutcome::NotRemoved;
    return result;
  }
  result.outcome = PrefixOutcome::Removed;
  result.why.clear();
  if (cacheId) {
    // Only the folder judged above: one swapped in since stays.
    if (Identity(prefix.shaderCache) != cacheId ||
        fs::symlink_status(prefix.shaderCache, ec).type() != fs::file_type::directory)
      result.shaderCacheWhy = Said(Msg::Changed, lang, {prefix.shaderCache});
    else
      result.shaderCacheRemoved = MoveToTrash(prefix.shaderCache, result.shaderCacheWhy);
  }
  // Wine's menu entries, icons and file types of the prefix, as for any prefix that is gone.
  LeftoverScope scope;
  scope.xdg = xdg;
  std::vector<std::string> gone;
  const std::vector<Leftover> items = OrphanedDesktopEntries(xdg, gone, spellings);
  if (!items.empty()) {
    const auto failures = RemoveLeftovers(scope, items, "", lang);
    result.desktopItems = items.size() - std::min(items.size(), failures.size());
    for (const LeftoverFailure& f : failures)
      result.itemsNotMoved.push_back(f.item + ": " + f.reason);
    if (result.desktopItems > 0) RefreshDesktopMenus(xdg.dataHome);
  }
  return result;
}

}  // namespace pgl
