// What ties a program to its files, registry and menu entries, recorded while it is installed.
#include <algorithm>
#include <array>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "leftovers/DesktopItems.h"
#include "leftovers/LeftoverPaths.h"
#include "leftovers/Leftovers.h"
#include "leftovers/ProgramFolders.h"
#include "leftovers/ShellLink.h"
#include "leftovers/StockPrefix.h"
#include "util/FileIO.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {

using namespace leftovers;

namespace {

constexpr std::size_t kMaxRecordedFiles = 10000;
constexpr std::size_t kMaxWalk = 200000;

void ScanRegistry(const LeftoverScope& scope, const std::string& folder, Evidence& ev) {
  RegistryStore& reg = *scope.registry;
  const auto place = [](RootKey root) { return root == kHkeyCurrentUser ? "HKCU" : "HKLM"; };
  // App Paths: the program's own keys.
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser})
    for (const char* path :
         {"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
          "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths"}) {
      const RegKey* key = FindRegKey(reg.Hive(root), path);
      if (!key) continue;
      for (const auto& sub : key->SubKeys())
        if (PointsInto(scope, ValueText(sub.get(), u""), folder) ||
            PointsInto(scope, ValueText(sub.get(), u"Path"), folder))
          ev.registry.push_back({root, std::string(path) + "\\" + Utf16ToUtf8(sub->Name()), "",
                                 true, WhyText(LeftoverWhy::AppPaths)});
    }
  // Programs started with Windows.
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser})
    for (const char* path : {"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                             "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
                             "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"}) {
      const RegKey* key = FindRegKey(reg.Hive(root), path);
      if (!key) continue;
      for (const RegValue& v : key->Values())
        if (PointsInto(scope, Utf16ToUtf8(v.Text()), folder))
          ev.registry.push_back(
              {root, path, Utf16ToUtf8(v.Name()), false,
               WhyText(LeftoverWhy::StartedWithWindows, {LocalText(place(root))})});
    }
  // File types it opens. A ProgID is its own when Wine does not ship it and each of its verbs
  // runs something in its folder: then the ProgID goes whole, with the extensions naming it. Of
  // any other ProgID (Wine's txtfile, one another program's verb uses) only the commands that
  // run something in its folder are its own.
  for (const RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    const RegKey* classes = FindRegKey(reg.Hive(root), "Software\\Classes");
    if (!classes) continue;
    std::vector<std::u16string> progIds;
    for (const auto& sub : classes->SubKeys()) {
      if (!sub->Name().empty() && sub->Name()[0] == u'.') continue;
      const RegKey* shell = sub->FindSubKey(u"shell");
      if (!shell) continue;
      std::vector<std::string> ourVerbs;
      bool every = true;
      for (const auto& verb : shell->SubKeys()) {
        const bool ours = PointsInto(scope, ValueText(verb->FindSubKey(u"command"), u""), folder);
        if (ours) ourVerbs.push_back(Utf16ToUtf8(verb->Name()));
        every = every && ours;
      }
      if (ourVerbs.empty()) continue;
      const std::string keyPath = "Software\\Classes\\" + Utf16ToUtf8(sub->Name());
      if (every && !IsStockKey(kHkeyLocalMachine, keyPath) &&
          !IsStockKey(kHkeyCurrentUser, keyPath)) {
        progIds.push_back(FoldRegName(sub->Name()));
        ev.registry.push_back({root, keyPath, "", true, WhyText(LeftoverWhy::FileTypeItOpens)});
        continue;
      }
      for (const auto& verb : ourVerbs)
        ev.registry.push_back({root, keyPath + "\\shell\\" + verb + "\\command", "", false,
                               WhyText(LeftoverWhy::SharedTypeCommand)});
    }
    if (progIds.empty()) continue;
    for (const auto& sub : classes->SubKeys()) {
      if (sub->Name().empty() || sub->Name()[0] != u'.') continue;
      const std::u16string named = FoldRegName(Utf8ToUtf16(ValueText(sub.get(), u"")));
      if (std::find(progIds.begin(), progIds.end(), named) == progIds.end()) continue;
      const bool alone = sub->SubKeys().empty() && sub->Values().size() == 1 &&
                         !IsStockKey(root, "Software\\Classes\\" + Utf16ToUtf8(sub->Name()));
      ev.registry.push_back({root, "Software\\Classes\\" + Utf16ToUtf8(sub->Name()), "", alone,
                             WhyText(LeftoverWhy::ExtensionGiven)});
    }
  }
  // Shared files counted for it.
  const char* shared = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
  if (const RegKey* key = FindRegKey(reg.Hive(kHkeyLocalMachine), shared))
    for (const RegValue& v : key->Values())
      if (PointsInto(scope, Utf16ToUtf8(v.Name()), folder))
        ev.registry.push_back({kHkeyLocalMachine, shared, Utf16ToUtf8(v.Name()), false,
                               WhyText(LeftoverWhy::SharedFile)});
}

}  // namespace

Evidence CollectEvidence(const LeftoverScope& scope, const TUninstallInfo& entry) {
  Evidence ev;
  ev.prefix = scope.prefixDir;
  ev.entryKey = RegistryKeyOf(entry);
  ev.displayName = entry.DisplayName.str();
  ev.publisher = entry.Publisher.str();
  char now[32];
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  std::strftime(now, sizeof now, "%Y-%m-%dT%H:%M:%SZ", &utc);
  ev.recorded = now;
  const PlaceGuard guard(scope);
  ev.installFolderWindows = InstallFolderOf(scope, &guard, entry);
  // A folder that holds another listed program's folder is shared, not its own.
  if (ev.installFolderWindows.empty()) return ev;
  ev.installFolder = HostPlace(scope.platform->LocalPath(ev.installFolderWindows).value_or(""));
  for (const auto& other : OthersFolders(scope, ev.entryKey)) {
    const auto local = scope.platform->LocalPath(other);
    if (WinInside(other, ev.installFolderWindows) ||
        (local && UnixInside(HostPlace(*local), ev.installFolder))) {
      ev.installFolderWindows.clear();
      ev.installFolder.clear();
      return ev;
    }
  }
  std::error_code ec;
  // A folder that is a link is recorded as the link: what it leads to is not the program's.
  if (!fs::is_symlink(ev.installFolder, ec))
    for (fs::recursive_directory_iterator
             it(ev.installFolder, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end && ev.files.size() < kMaxRecordedFiles; it.increment(ec))
      ev.files.push_back(fs::relative(it->path(), ev.installFolder, ec).string());
  // Shortcuts in the Start menus and on the desktops.
  const std::array<std::pair<RootKey, std::u16string_view>, 4> shortcutFolders = {{
      {kHkeyCurrentUser, u"Programs"},
      {kHkeyCurrentUser, u"Desktop"},
      {kHkeyLocalMachine, u"Common Programs"},
      {kHkeyLocalMachine, u"Common Desktop"},
  }};
  for (const auto& [root, name] : shortcutFolders) {
    const std::string windows = ShellFolder(scope, root, name);
    const auto local = windows.empty() ? std::nullopt : scope.platform->LocalPath(windows);
    if (!local) continue;
    // Drive C:'s shortcut folders are searched through, the desktop's own folder (where Wine
    // links the profile's desktop) only at its top; a folder that leads anywhere else (a
    // desktop linked to the home) not at all.
    const std::string start = fs::weakly_canonical(*local, ec).string();
    if (ec) continue;
    const bool onDesktop = !guard.Desktop().empty() && start == guard.Desktop();
    if (!onDesktop && (guard.Drive().empty() || !UnixInside(start, guard.Drive()))) continue;
    std::size_t seen = 0;
    for (fs::recursive_directory_iterator
             it(start, fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end && ++seen < kMaxWalk; it.increment(ec)) {
      if (onDesktop) it.disable_recursion_pending();
      const std::string file = it->path().string();
      std::error_code e;
      if (it->is_symlink(e) || !it->is_regular_file(e) || Fold(file).size() < 4 ||
          Fold(file).compare(Fold(file).size() - 4, 4, ".lnk") != 0)
        continue;
      const auto link = ReadShellLink(ReadFileStart(file, 1 << 20), scope.codePage);
      if (!link) continue;
      const std::string target = link->target.empty() ? link->workingDir : link->target;
      if (!WinInside(target, ev.installFolderWindows)) continue;
      std::string rel = fs::relative(it->path(), start, e).string();
      std::replace(rel.begin(), rel.end(), '/', '\\');
      ev.shortcuts.push_back(HostPlace(file));
      ev.shortcutsWindows.push_back(windows + "\\" + rel);
    }
  }
  ScanRegistry(scope, ev.installFolderWindows, ev);
  ev.desktopFiles = ScanDesktop(scope, ev, ProgIdsOf(ev)).ours;
  return ev;
}

}  // namespace pgl
