#include "platform/wine/WinePrefixes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>

#include "platform/wine/FrontEndFiles.h"
#include "platform/wine/HomeFolders.h"
#include "platform/wine/SteamGameFiles.h"
#include "util/FileIO.h"
#include "util/QV_Strings.h"

namespace pgl {

namespace {

using namespace homefolders;  // NOLINT(google-build-using-namespace): this file's helpers

constexpr std::size_t kMaxConfigBytes = 4u << 20;

// A text in both languages.
enum class Msg {
  NotInstalled,
  OutsideItsFolders,
  ProtonNoConfig,
  ProtonNoFiles,
  BottleRunnerUnknown,
  BottleRunnerNotAName,
  GameWineNotAName,
  GameWineUnknown,
  HeroicWineUnknown,
  ProgramWineNotAName,
  GamesProton,
  GamesWine,
  BottlesRunner,
  ProgramsWine,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::NotInstalled, {"%1 (%2) is not installed", "%1 (%2) nie jest zainstalowane"}},
    {Msg::OutsideItsFolders,
     {"%1 (%2) lies outside the folders its front end keeps Wine in",
      "%1 (%2) leży poza folderami, w których jego nakładka trzyma Wine"}},
    {Msg::ProtonNoConfig,
     {"the Proton this game uses is not known (no config_info)",
      "nie wiadomo, którego Protona używa ta gra (brak config_info)"}},
    {Msg::ProtonNoFiles,
     {"the Proton this game uses is not known (config_info names no Proton files)",
      "nie wiadomo, którego Protona używa ta gra (config_info nie wskazuje plików Protona)"}},
    {Msg::BottleRunnerUnknown,
     {"the bottle's runner is not known (bottle.yml)",
      "nie wiadomo, jakiego runnera używa butelka (bottle.yml)"}},
    {Msg::BottleRunnerNotAName,
     {"the bottle's runner \"%1\" is not a runner's name (bottle.yml)",
      "runner butelki \"%1\" nie jest nazwą runnera (bottle.yml)"}},
    {Msg::GameWineNotAName,
     {"the game's Wine \"%1\" is not a Wine version's name",
      "Wine gry \"%1\" nie jest nazwą wersji Wine"}},
    {Msg::GameWineUnknown, {"the game's Wine is not known", "nie wiadomo, jakiego Wine używa gra"}},
    {Msg::HeroicWineUnknown,
     {"the game's Wine is not known (no Heroic game names this prefix)",
      "nie wiadomo, jakiego Wine używa gra (żadna gra Heroic nie wskazuje tego prefiksu)"}},
    {Msg::ProgramWineNotAName,
     {"the program's Wine \"%1\" (%2) is not a Wine version's name (playonlinux.cfg)",
      "Wine programu \"%1\" (%2) nie jest nazwą wersji Wine (playonlinux.cfg)"}},
    {Msg::GamesProton, {"the game's Proton", "Proton gry"}},
    {Msg::GamesWine, {"the game's Wine", "Wine gry"}},
    {Msg::BottlesRunner, {"the bottle's runner", "runner butelki"}},
    {Msg::ProgramsWine, {"the program's Wine %1", "Wine programu %1"}},
};
static_assert(IsMessageTable(kMessages));

LocalText Said(Msg id, std::initializer_list<LocalText> args = {}) {
  return FillEach(kMessages[static_cast<std::size_t>(id)].text, args);
}

void Unknown(PrefixWine& wine, Msg id, std::initializer_list<LocalText> args = {}) {
  wine.known = false;
  wine.why = Said(id, args);
}

class Finder {
 public:
  Finder(std::string home, PrefixSearch& out) : home_(std::move(home)), out_(out) {}

  // A small text file; nothing (and a note) when it exists but cannot be read.
  std::optional<std::string> Read(const std::string& path) {
    if (::access(path.c_str(), F_OK) != 0) return std::nullopt;
    std::string bytes, error;
    if (!ReadWholeFile(path, bytes, error, kMaxConfigBytes)) {
      Note(path, error);
      return std::nullopt;
    }
    return bytes;
  }

  void Note(const std::string& path, const std::string& why) {
    out_.notes.push_back(path + ": " + why);
  }

  // A prefix is listed once, at its own folder: whatever link led to it (Steam's ~/.steam/steam,
  // a home reached through a link, ~/.wine-a leading to ~/.wine-b), its path and folder are the
  // resolved ones, so that its saves, size and removal are judged on what it is.
  void Add(FoundPrefix prefix) {
    while (prefix.path.size() > 1 && prefix.path.back() == '/') prefix.path.pop_back();
    if (!IsPrefix(prefix.path)) return;
    prefix.path = Canonical(prefix.path);
    if (!seen_.insert(prefix.path).second) return;
    prefix.arch = PrefixArch(prefix.path);
    prefix.folder = prefix.folder.empty() ? prefix.path : Canonical(prefix.folder);
    out_.prefixes.push_back(std::move(prefix));
  }

  // A path as "~/..." where it lies in the home, reached through a link or not.
  std::string Short(const std::string& path) const {
    const std::string viaLink = ShortPath(path, home_);
    return viaLink != path ? viaLink : ShortPath(path, Canonical(home_));
  }

  std::string Home(const std::string& rest) const { return home_ + rest; }

  // "~/x" and "$HOME/x" as the front ends write them.
  std::string ExpandHome(const std::string& path) const {
    if (path == "~" || path.starts_with("~/")) return home_ + path.substr(1);
    if (path.starts_with("$HOME")) return home_ + path.substr(5);
    return path;
  }

  // A front end's own Wine: known when its program exists inside one of `within` (the front
  // end's runners folders; links resolved), since the name comes from a file that a program in
  // the prefix could write. It runs as its front end runs it: with its own server, loader,
  // DLLs and libraries rather than the system's.
  static PrefixWine OwnWine(const std::string& named, const LocalText& what,
                            const std::vector<std::string>& within) {
    PrefixWine wine;
    wine.program = named;
    if (!IsFile(named)) {
      Unknown(wine, Msg::NotInstalled, {what, named});
      return wine;
    }
    const std::string program = Canonical(named);
    const bool inside = std::any_of(within.begin(), within.end(), [&](const std::string& dir) {
      const std::string root = Canonical(dir);
      return root == "/" || program.starts_with(root + "/");
    });
    if (!inside) {
      Unknown(wine, Msg::OutsideItsFolders, {what, named});
      return wine;
    }
    wine.program = program;
    const std::string bin = program.substr(0, program.rfind('/'));
    const std::string root = bin.substr(0, bin.rfind('/'));
    wine.environment.emplace_back("WINELOADER", program);
    if (IsFile(bin + "/wineserver"))
      wine.environment.emplace_back("WINESERVER", bin + "/wineserver");
    std::string dllPath, libraries;
    for (const char* lib : {"/lib64", "/lib"}) {
      if (IsDir(root + lib + "/wine"))
        dllPath += (dllPath.empty() ? "" : ":") + root + lib + "/wine";
      if (IsDir(root + lib)) libraries += (libraries.empty() ? "" : ":") + root + lib;
    }
    if (!dllPath.empty()) wine.environment.emplace_back("WINEDLLPATH", dllPath);
    if (!libraries.empty()) {
      const char* current = std::getenv("LD_LIBRARY_PATH");
      wine.environment.emplace_back(
          "LD_LIBRARY_PATH", libraries + (current && *current ? ":" + std::string(current) : ""));
    }
    return wine;
  }

  void Plain(const std::string& winePrefix) {
    // Named by the folder each is: ~/.wine-a that links to ~/.wine-b is ~/.wine-b.
    const auto plain = [this](const std::string& path, const char* source) {
      const std::string real = Canonical(path);
      Add({Short(real), real, source, "", {}});
    };
    if (!winePrefix.empty()) plain(winePrefix, "WINEPREFIX");
    plain(Home("/.wine"), "Wine");
    // Prefixes people make beside it by hand: ~/.wine32, ~/.wine-games ...
    for (const std::string& folder : Entries(home_))
      if (folder.starts_with(".wine") && folder != ".wine") plain(Home("/" + folder), "Wine");
  }

  void Steam() {
    const std::pair<std::string, std::string> roots[] = {
        {Home("/.steam/steam"), "Steam"},
        {Home("/.local/share/Steam"), "Steam"},
        {Home("/.var/app/com.valvesoftware.Steam/.local/share/Steam"), "Steam (Flatpak)"},
        {Home("/.var/app/com.valvesoftware.Steam/.steam/steam"), "Steam (Flatpak)"},
    };
    std::set<std::string> doneRoots;
    for (const auto& [root, source] : roots) {
      if (!IsDir(root) || !doneRoots.insert(Canonical(root)).second) continue;
      // Set where a library or a manifest could not be read: a game with no manifest in the
      // others may be installed there, so it is not known to be removed.
      bool incomplete = false;
      std::vector<std::string> libraries = {root};
      for (const char* file : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"}) {
        const auto text = Read(root + file);
        if (!text) continue;
        std::vector<std::string> found;
        const bool ok =
            ReadKeyValues(*text, [&found](const std::vector<std::string>& path,
                                          const std::string& key, const std::string& value) {
              // "libraryfolders" { "1" { "path" "..." } }, or in the older form
              // "libraryfolders" { "1" "..." }.
              const auto numbered = [](const std::string& name) {
                return !name.empty() && std::isdigit(static_cast<unsigned char>(name[0]));
              };
              if ((path.size() == 2 && numbered(path[1]) && key == "path") ||
                  (path.size() == 1 && numbered(key)))
                found.push_back(value);
            });
        if (ok) libraries.insert(libraries.end(), found.begin(), found.end());
        if (!ok) {
          Note(root + file, "not a library list Purgelet can read");
          incomplete = true;
        }
        break;
      }
      // Names of the games from every library's manifests; a game without one is removed.
      std::map<std::string, std::string> names;
      std::set<std::string> installed;
      std::vector<std::string> usable;
      std::set<std::string> doneLibraries;
      for (const std::string& library : libraries) {
        if (!IsDir(library + "/steamapps")) {
          // A library on a disk that is not mounted now: its games are not known to be gone.
          if (library != root) {
            Note(library, "the Steam library folder does not exist");
            incomplete = true;
          }
          continue;
        }
        if (!doneLibraries.insert(Canonical(library)).second) continue;
        usable.push_back(library);
        for (const std::string& entry : Entries(library + "/steamapps")) {
          if (!entry.starts_with("appmanifest_") || !entry.ends_with(".acf")) continue;
          // The manifest's number is in its name: a game whose manifest cannot be read is
          // still installed.
          const std::string number = entry.substr(12, entry.size() - 12 - 4);
          const auto text = Read(library + "/steamapps/" + entry);
          if (!text) {
            installed.insert(number);
            continue;
          }
          std::string id, name;
          const bool ok =
              ReadKeyValues(*text, [&](const std::vector<std::string>& path, const std::string& key,
                                       const std::string& value) {
                if (path.size() != 1 || path[0] != "AppState") return;
                if (key == "appid") id = value;
                if (key == "name") name = value;
              });
          if (!ok || id.empty()) {
            Note(library + "/steamapps/" + entry, "not a manifest Purgelet can read");
            installed.insert(number);
            continue;
          }
          installed.insert(id);
          if (!name.empty()) names[id] = name;
        }
      }
      bool shortcutsIncomplete = false;
      const std::map<std::uint32_t, std::string> shortcuts =
          SteamShortcuts(root, shortcutsIncomplete);
      // Where Steam keeps Protons: each library's common folder, the compatibility tools.
      std::vector<std::string> protonFolders = {root + "/compatibilitytools.d",
                                                "/usr/share/steam/compatibilitytools.d",
                                                "/usr/local/share/steam/compatibilitytools.d"};
      for (const std::string& library : usable)
        protonFolders.push_back(library + "/steamapps/common");
      for (const std::string& library : usable) {
        const std::string compat = library + "/steamapps/compatdata";
        for (const std::string& id : Entries(compat)) {
          const std::string pfx = compat + "/" + id + "/pfx";
          if (!IsPrefix(pfx)) continue;
          // The game's folder and its pfx are Steam's own folders. One that is a link leads to
          // some other folder (another game's, the user's own prefix): it is not this game's,
          // and removing "this game's prefix" must never reach it. What it leads to is found
          // as what it is.
          if (IsLink(compat + "/" + id) || IsLink(pfx)) {
            Note(IsLink(pfx) ? pfx : compat + "/" + id,
                 "a link, not the game's own prefix: left out of the game's prefixes");
            continue;
          }
          const auto name = names.find(id);
          FoundPrefix p{name != names.end() ? name->second : "Steam app " + id, pfx, source, "",
                        ProtonWine(compat + "/" + id, protonFolders)};
          p.folder = compat + "/" + id;
          p.owner = p.name;
          p.shaderCache = ShaderCacheOf(library, id);
          p.cloudSaves = SteamCloudState(root, id);
          p.ownerState = installed.contains(id) ? OwnerState::Present
                         : incomplete           ? OwnerState::Unknown
                                                : OwnerState::Removed;
          if (id == "0") {  // Steam's own prefix (for its shader pre-caching), no game's
            p.name = p.owner = "Steam (shader pre-caching)";
            p.ownerState = OwnerState::Present;
          }
          // A game the user added to Steam has no manifest: its shortcut says it is there.
          const auto number = SteamShortcutId(id);
          if (p.ownerState != OwnerState::Present && number) {
            const auto shortcut = shortcuts.find(*number);
            if (shortcut != shortcuts.end()) {
              p.name = p.owner = shortcut->second;
              p.ownerState = OwnerState::Present;
            } else {
              p.name = p.owner = "Non-Steam shortcut " + id;
              p.ownerState = shortcutsIncomplete ? OwnerState::Unknown : OwnerState::Removed;
            }
          }
          Add(std::move(p));
        }
      }
    }
  }

  // The shortcuts of every Steam user of the installation, by the number that names their
  // compatdata folders.
  // `incomplete` is set where a list is there but could not be read whole.
  std::map<std::uint32_t, std::string> SteamShortcuts(const std::string& root, bool& incomplete) {
    std::map<std::uint32_t, std::string> found;
    for (const std::string& user : Entries(root + "/userdata")) {
      const std::string file = root + "/userdata/" + user + "/config/shortcuts.vdf";
      const auto bytes = Read(file);
      if (!bytes) {
        incomplete = incomplete || ::access(file.c_str(), F_OK) == 0;
        continue;
      }
      const auto shortcuts = ReadSteamShortcuts(*bytes);
      if (!shortcuts) {
        Note(file, "not a shortcut list Purgelet can read");
        incomplete = true;
        continue;
      }
      for (const SteamShortcut& s : *shortcuts)
        found[s.appid] = s.name.empty()
                             ? std::string("Non-Steam shortcut ").append(std::to_string(s.appid))
                             : s.name;
    }
    return found;
  }

  // The Proton that a game's prefix was last run with: its config_info names the version and
  // the folders of that Proton's files.
  PrefixWine ProtonWine(const std::string& compatDir, const std::vector<std::string>& folders) {
    PrefixWine wine;
    Unknown(wine, Msg::ProtonNoConfig);
    const auto text = Read(compatDir + "/config_info");
    if (!text) return wine;
    for (const std::string& line : TextLines(*text)) {
      for (const char* part : {"/files/", "/dist/"}) {
        const auto at = line.find(part);
        if (at == std::string::npos || !line.starts_with("/")) continue;
        return OwnWine(line.substr(0, at + std::string(part).size()) + "bin/wine",
                       Said(Msg::GamesProton), folders);
      }
    }
    Unknown(wine, Msg::ProtonNoFiles);
    return wine;
  }

  void Bottles() {
    const std::pair<std::string, std::string> roots[] = {
        {Home("/.local/share/bottles"), "Bottles"},
        {Home("/.var/app/com.usebottles.bottles/data/bottles"), "Bottles (Flatpak)"},
    };
    for (const auto& [root, source] : roots) {
      // The bottles' folder, and the one the user chose in Bottles' settings.
      std::vector<std::string> folders = {root + "/bottles"};
      if (const auto text = Read(root + "/data.yml")) {
        const auto read = ReadYamlScalars(*text, {{"custom_bottles_path"}});
        if (!read) Note(root + "/data.yml", "not a settings file Purgelet can read");
        if (read && (*read)[0] && !(*read)[0]->empty()) folders.push_back(ExpandHome(*(*read)[0]));
      }
      for (const std::string& bottles : folders)
        for (const std::string& folder : Entries(bottles))
          Bottle(root, source, bottles + "/" + folder);
    }
  }

  // One bottle: its bottle.yml names it, its runner, and where it keeps its prefix when that is
  // a folder of its own ("Custom_Path: true", "Path: /mnt/games/Office").
  void Bottle(const std::string& root, const std::string& source, const std::string& dir) {
    const auto text = Read(dir + "/bottle.yml");
    std::optional<std::vector<std::optional<std::string>>> read;
    if (text) {
      read = ReadYamlScalars(*text, {{"Name"}, {"Runner"}, {"Custom_Path"}, {"Path"}});
      if (!read) Note(dir + "/bottle.yml", "not a bottle's settings Purgelet can read");
    }
    const auto field = [&](std::size_t i) {
      return read && (*read)[i] ? *(*read)[i] : std::string();
    };
    const std::string name = field(0), runner = field(1), path = field(3);
    std::string prefixDir = dir;
    if (field(2) == "true" && path.starts_with("/")) prefixDir = path;
    if (!IsPrefix(prefixDir)) return;
    FoundPrefix p{dir.substr(dir.rfind('/') + 1), prefixDir, source, "", {}};
    if (!name.empty()) p.name = name;
    p.owner = p.name;
    p.ownerState = OwnerState::Present;  // the bottle is the prefix
    if (runner.empty()) {
      if (read) Note(dir + "/bottle.yml", "names no runner");
      Unknown(p.wine, Msg::BottleRunnerUnknown);
    } else if (!IsFolderName(runner)) {
      Unknown(p.wine, Msg::BottleRunnerNotAName, {runner});
    } else if (runner.starts_with("sys-")) {
      p.wine = PrefixWine{};  // the system's Wine
    } else {
      p.wine = OwnWine(root + "/runners/" + runner + "/bin/wine", Said(Msg::BottlesRunner),
                       {root + "/runners"});
    }
    Add(std::move(p));
  }

  void Lutris() {
    const std::pair<std::string, std::string> places[] = {
        {Home("/.config/lutris/games"), "Lutris"},
        {Home("/.local/share/lutris/games"), "Lutris"},
        {Home("/.var/app/net.lutris.Lutris/config/lutris/games"), "Lutris (Flatpak)"},
        {Home("/.var/app/net.lutris.Lutris/data/lutris/games"), "Lutris (Flatpak)"},
    };
    for (const auto& [dir, source] : places) {
      const std::string runners =
          source == "Lutris" ? Home("/.local/share/lutris/runners/wine/")
                             : Home("/.var/app/net.lutris.Lutris/data/lutris/runners/wine/");
      for (const std::string& file : Entries(dir)) {
        if (!file.ends_with(".yml")) continue;
        const auto text = Read(dir + "/" + file);
        if (!text) continue;
        const auto read =
            ReadYamlScalars(*text, {{"game", "prefix"}, {"game", "exe"}, {"wine", "version"}});
        if (!read) {
          Note(dir + "/" + file, "not a game's settings Purgelet can read");
          continue;
        }
        const std::string prefix = (*read)[0].value_or("");
        std::string exe = (*read)[1].value_or("");
        const std::string version = (*read)[2].value_or("");
        if (prefix.empty()) continue;  // not a Wine game
        FoundPrefix p{LutrisGameName(file), ExpandHome(prefix), source, "", {}};
        p.owner = p.name;
        // Lutris keeps a removed game's settings; its program is what is gone. A relative
        // program path is the prefix's.
        exe = ExpandHome(exe);
        if (!exe.empty() && !exe.starts_with("/")) exe = p.path + "/" + exe;
        p.ownerState = exe.empty() || IsFile(exe) ? OwnerState::Present : OwnerState::Removed;
        if (!version.empty() && !IsFolderName(version)) {
          Unknown(p.wine, Msg::GameWineNotAName, {version});
        } else if (!version.empty()) {
          p.wine = OwnWine(runners + version + "/bin/wine", Said(Msg::GamesWine), {runners});
        }
        Add(std::move(p));
      }
    }
  }

  void Heroic() {
    const std::pair<std::string, std::string> places[] = {
        {Home("/.config/heroic/GamesConfig"), "Heroic"},
        {Home("/.var/app/com.heroicgameslauncher.hgl/config/heroic/GamesConfig"),
         "Heroic (Flatpak)"},
    };
    for (const auto& [dir, source] : places) {
      const HeroicGames games = HeroicInstalled(dir.substr(0, dir.rfind('/')));
      for (const std::string& file : Entries(dir)) {
        if (!file.ends_with(".json")) continue;
        const auto text = Read(dir + "/" + file);
        if (!text) continue;
        const auto prefix = JsonStringValue(*text, "winePrefix");
        if (!prefix || prefix->empty()) continue;
        const std::string path = ExpandHome(*prefix);
        FoundPrefix p{path.substr(path.rfind('/') + 1), path, source, "", {}};
        TakeProtonPfx(p);
        const std::string appName = file.substr(0, file.size() - 5);
        const auto title = games.titles.find(appName);
        p.owner = title != games.titles.end() ? title->second : appName;
        // Removed only where Heroic's lists of installed games were read and none holds it.
        if (games.titles.contains(appName))
          p.ownerState = OwnerState::Present;
        else if (games.listsUnread > 0)
          p.ownerState = OwnerState::Unknown;
        else if (games.listsRead > 0)
          p.ownerState = OwnerState::Removed;
        const auto bin = JsonStringValue(*text, "bin");
        const auto type = JsonStringValue(*text, "type");
        if (!bin || bin->empty()) {
          Unknown(p.wine, Msg::GameWineUnknown);
        } else if (type && *type == "proton") {
          const std::string folder = bin->substr(0, bin->rfind('/'));
          // Heroic's own settings (not a file inside the prefix) may name any folder.
          p.wine = OwnWine(folder + "/files/bin/wine", Said(Msg::GamesProton), {"/"});
        } else {
          p.wine = OwnWine(*bin, Said(Msg::GamesWine), {"/"});
        }
        Add(std::move(p));
      }
    }
    // Prefixes Heroic made in its default folder.
    for (const std::string& base :
         {Home("/Games/Heroic/Prefixes"), Home("/Games/Heroic/Prefixes/default")})
      for (const std::string& folder : Entries(base)) {
        FoundPrefix p{folder, base + "/" + folder, "Heroic", "", {}};
        TakeProtonPfx(p);
        Unknown(p.wine, Msg::HeroicWineUnknown);
        Add(std::move(p));
      }
  }

  // The games Heroic has installed, from its stores' lists (Epic, GOG, Amazon, and the games
  // added by hand), by their app names, with their titles where a list gives them.
  struct HeroicGames {
    std::map<std::string, std::string> titles;
    int listsRead = 0;
    int listsUnread = 0;  // there, but not read whole: a game missing from the others may be in it
  };
  HeroicGames HeroicInstalled(const std::string& config) {
    HeroicGames games;
    const struct {
      const char* file;
      const char* idKey;  // the member naming each game
    } lists[] = {{"/legendaryConfig/legendary/installed.json", "app_name"},
                 {"/gog_store/installed.json", "appName"},
                 {"/nile_config/nile/installed.json", "id"},
                 {"/sideload_apps/library.json", "app_name"}};
    for (const auto& list : lists) {
      const auto text = Read(config + list.file);
      if (!text) continue;
      const auto listed = HeroicListedGames(*text, list.idKey);
      if (!listed) {
        Note(config + list.file, "not a list of games Purgelet can read");
        ++games.listsUnread;
        continue;
      }
      ++games.listsRead;
      games.titles.insert(listed->begin(), listed->end());
    }
    return games;
  }

  void PlayOnLinux() {
    const std::string root = Home("/.PlayOnLinux");
    for (const std::string& folder : Entries(root + "/wineprefix")) {
      const std::string dir = root + "/wineprefix/" + folder;
      if (!IsPrefix(dir)) continue;
      FoundPrefix p{folder, dir, "PlayOnLinux", "", {}};
      p.owner = folder;
      p.ownerState = OwnerState::Present;
      std::string version, arch = "x86";
      if (const auto text = Read(dir + "/playonlinux.cfg"))
        for (const std::string& line : TextLines(*text)) {
          if (line.starts_with("VERSION=")) version = Trim(line.substr(8));
          if (line.starts_with("ARCH=")) arch = Trim(line.substr(5));
        }
      if (!version.empty() && (!IsFolderName(version) || !IsFolderName(arch))) {
        Unknown(p.wine, Msg::ProgramWineNotAName, {version, arch});
      } else if (!version.empty()) {
        p.wine = OwnWine(root + "/wine/linux-" + arch + "/" + version + "/bin/wine",
                         Said(Msg::ProgramsWine, {version}), {root + "/wine"});
      }
      Add(std::move(p));
    }
  }

 private:
  std::string home_;
  PrefixSearch& out_;
  std::set<std::string> seen_;
};

}  // namespace

PrefixSearch FindWinePrefixes(const std::string& home, const std::string& winePrefix) {
  PrefixSearch result;
  Finder finder(home, result);
  // The front ends first: a prefix that WINEPREFIX names and a front end keeps is that front
  // end's, and runs with its Wine.
  finder.Steam();
  finder.Bottles();
  finder.Lutris();
  finder.Heroic();
  finder.PlayOnLinux();
  finder.Plain(winePrefix);
  return result;
}

}  // namespace pgl
