// The inventory scan: the Uninstall pass, the ARPCache pass, the icon pass.
#include "inventory/CommandAnalysis.h"
#include "inventory/UCollection.h"
#include "registry/TRegistry.h"
#include "util/Parallel.h"

namespace pgl {

namespace {

// The text values of an Uninstall key, in reading order, with the field each fills.
using TextSetter = void (*)(TUninstallInfo&, const std::string&);
struct TextValue {
  const char* name;
  TextSetter set;
};
const TextValue kTextValues[] = {
    {"DisplayName", [](TUninstallInfo& i, const std::string& v) { i.DisplayName = v; }},
    {"DisplayIcon", [](TUninstallInfo& i, const std::string& v) { i.DisplayIcon = v; }},
    {"DisplayVersion", [](TUninstallInfo& i, const std::string& v) { i.DisplayVersion = v; }},
    {"Publisher", [](TUninstallInfo& i, const std::string& v) { i.Publisher = v; }},
    {"UninstallString", [](TUninstallInfo& i, const std::string& v) { i.UninstallString = v; }},
    {"QuietUninstallString",
     [](TUninstallInfo& i, const std::string& v) { i.QuietUninstallString = v; }},
    {"ModifyPath", [](TUninstallInfo& i, const std::string& v) { i.ModifyPath = v; }},
    {"HelpLink", [](TUninstallInfo& i, const std::string& v) { i.HelpLink = v; }},
    {"InstallDate", [](TUninstallInfo& i, const std::string& v) { i.InstallDate = v; }},
    {"InstallLocation", [](TUninstallInfo& i, const std::string& v) { i.InstallLocation = v; }},
    {"InstallSource", [](TUninstallInfo& i, const std::string& v) { i.InstallSource = v; }},
    {"Comments", [](TUninstallInfo& i, const std::string& v) { i.Comments = v; }},
    {"Contact", [](TUninstallInfo& i, const std::string& v) { i.Contact = v; }},
    {"Readme", [](TUninstallInfo& i, const std::string& v) { i.Readme = v; }},
    {"URLInfoAbout", [](TUninstallInfo& i, const std::string& v) { i.URLInfoAbout = v; }},
    {"URLUpdateInfo", [](TUninstallInfo& i, const std::string& v) { i.URLUpdateInfo = v; }},
};

// The command values, in the order that decides which one is used.
constexpr std::string_view kCommandValues[3] = {"UninstallString", "QuietUninstallString",
                                                "ModifyPath"};

}  // namespace

ScanReport TUninstallCollection::ReadUninstallEntries() {
  ScanReport report;
  Clear();
  std::vector<TUninstallInfo*> toCheck;  // entries whose command's file is looked for
  {
    TRegistry reg(registry_);
    for (const UninstallPlace& place : UninstallPlaces()) {
      if (!HasView(registry_, place.view)) continue;
      reg.SetRootKey(place.root);
      // Read access is enough to list the entries: a registry the user may not change (or
      // one that Wine holds while it runs) still shows what is installed.
      if (!reg.OpenKeyReadOnly(place.uninstallKey)) continue;
      reg.CloseKey();
      report.uninstallKeyFound = true;
      const std::string base = std::string(place.uninstallKey) + "\\";
      for (const std::string& name : KeyNames(place.view)) {
        if (!reg.OpenKeyReadOnly(base + name)) continue;
        TUninstallItem& item = AddItem();
        TUninstallInfo info;
        info.Visible = true;
        if (reg.GetDataType("SystemComponent") == TRegDataType::rdInteger &&
            reg.GetDataSize("SystemComponent") == 4 && reg.ReadInteger("SystemComponent") == 1) {
          info.SystemComponent = true;
          info.Visible = SystemComponentsVisible;
        }
        info.KeyName = name;
        if (info.KeyName.str() != name) info.SubkeyName = name;
        info.View = place.view;
        bool commandUnreadable[3] = {false, false, false};
        for (const auto& value : kTextValues) {
          try {
            value.set(info, reg.ReadString(value.name));
          } catch (const ERegistryException&) {
            // A value of a type that is not text leaves its field empty; the scan goes on.
            if (report.unreadableValues++ == 0) report.firstUnreadable = name + ": " + value.name;
            for (int c = 0; c < 3; ++c)
              commandUnreadable[c] |= std::string_view(value.name) == kCommandValues[c];
          }
        }
        if (info.DisplayName.empty()) info.DisplayName = name;
        // The first command value that is there decides validity; one that is not text
        // cannot be run, so the entry is invalid rather than judged by the next command.
        const std::string* commands[3] = {&info.UninstallString, &info.QuietUninstallString,
                                          &info.ModifyPath};
        info.Valid = true;
        for (int c = 0; c < 3 && info.Valid; ++c) {
          if (commandUnreadable[c]) info.Valid = false;
          if (!commands[c]->empty()) break;
        }
        info.Exists = true;
        item.UninstallInfo = std::move(info);
        if (item.UninstallInfo.Valid) toCheck.push_back(&item.UninstallInfo);
        reg.CloseKey();
      }
    }
  }
  // The files are looked for on every core: with many programs, this is most of the scan.
  ParallelFor(toCheck.size(),
              [&](std::size_t i) { toCheck[i]->Valid = IsValidEntry(platform_, *toCheck[i]); });
  ReadARPCache();
  ResolveIcons();
  UpdateCounts();
  return report;
}

void TUninstallCollection::ReadARPCache() {
  TRegistry reg(registry_);
  std::array<std::uint8_t, TSlowInfoCache::kSize> buffer{};
  for (auto& item : items_) {
    TUninstallInfo& info = item->UninstallInfo;
    reg.SetRootKey(PlaceOf(info.View).root);
    const std::string path = ARPCacheKeyPath(info.View, EntrySubkey(info));
    if (!reg.KeyExists(path) || !reg.OpenKeyReadOnly(path)) continue;
    if (reg.GetDataSize("SlowInfoCache") == static_cast<int>(TSlowInfoCache::kSize) &&
        reg.GetDataType("SlowInfoCache") == TRegDataType::rdBinary) {
      reg.ReadBinaryData("SlowInfoCache", buffer.data(), static_cast<int>(buffer.size()));
      // The program file is kept once, as ExeFile: a long list holds many.
      info.SlowInfo = TSlowInfoCache::FromBytes(
          std::string_view(reinterpret_cast<const char*>(buffer.data()), buffer.size()),
          &info.ExeFile);
    }
    reg.CloseKey();
  }
}

void TUninstallCollection::ResolveIcons() {
  ParallelFor(items_.size(), [this](std::size_t i) {
    TUninstallInfo& info = items_[i]->UninstallInfo;
    const IconLocation icon = SplitIconLocation(platform_, info.DisplayIcon);
    if (!icon.path.empty() && platform_.FileExists(icon.path)) {
      info.IconFile = icon.path;
      info.IconIndex = 0;
      info.HasIcon = true;
    } else if (!info.ExeFile.empty() && platform_.FileExists(info.ExeFile)) {
      info.IconFile = info.ExeFile;
      info.HasIcon = true;
    } else if (const std::string exe =
                   ExtractExeFromUninstallString(platform_, info.UninstallString);
               !exe.empty() && platform_.FileExists(exe)) {
      info.IconFile = exe;
      info.HasIcon = true;
    }
  });
}

}  // namespace pgl
