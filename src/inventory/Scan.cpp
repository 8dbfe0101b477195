// The inventory scan: the Uninstall pass, the ARPCache pass, the icon pass.
#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "inventory/CommandAnalysis.h"
#include "inventory/UCollection.h"
#include "registry/TRegistry.h"
#include "util/Parallel.h"

namespace pgl {

namespace {

// The text values of an Uninstall key, in reading order, with the field each fills.
using TextSetter = void (*)(TUninstallInfo&, std::string&&);
struct TextValue {
  const char* name;
  TextSetter set;
};
const TextValue kTextValues[] = {
    {"DisplayName", [](TUninstallInfo& i, std::string&& v) { i.DisplayName = std::move(v); }},
    {"DisplayIcon", [](TUninstallInfo& i, std::string&& v) { i.DisplayIcon = std::move(v); }},
    {"DisplayVersion", [](TUninstallInfo& i, std::string&& v) { i.DisplayVersion = std::move(v); }},
    {"Publisher", [](TUninstallInfo& i, std::string&& v) { i.Publisher = std::move(v); }},
    {"UninstallString",
     [](TUninstallInfo& i, std::string&& v) { i.UninstallString = std::move(v); }},
    {"QuietUninstallString",
     [](TUninstallInfo& i, std::string&& v) { i.QuietUninstallString = std::move(v); }},
    {"ModifyPath", [](TUninstallInfo& i, std::string&& v) { i.ModifyPath = std::move(v); }},
    {"HelpLink", [](TUninstallInfo& i, std::string&& v) { i.HelpLink = std::move(v); }},
    {"InstallDate", [](TUninstallInfo& i, std::string&& v) { i.InstallDate = std::move(v); }},
    {"InstallLocation",
     [](TUninstallInfo& i, std::string&& v) { i.InstallLocation = std::move(v); }},
    {"InstallSource", [](TUninstallInfo& i, std::string&& v) { i.InstallSource = std::move(v); }},
    {"Comments", [](TUninstallInfo& i, std::string&& v) { i.Comments = std::move(v); }},
    {"Contact", [](TUninstallInfo& i, std::string&& v) { i.Contact = std::move(v); }},
    {"Readme", [](TUninstallInfo& i, std::string&& v) { i.Readme = std::move(v); }},
    {"URLInfoAbout", [](TUninstallInfo& i, std::string&& v) { i.URLInfoAbout = std::move(v); }},
    {"URLUpdateInfo", [](TUninstallInfo& i, std::string&& v) { i.URLUpdateInfo = std::move(v); }},
};

// The command values, in the order that decides which one is used.
constexpr std::string_view kCommandValues[3] = {"UninstallString", "QuietUninstallString",
                                                "ModifyPath"};

// The values a scan reads from an Uninstall key: those of kTextValues in their order, then
// SystemComponent and EstimatedSize. One pass over the key's values finds them all, where a
// look-up per name would search the key again for each.
constexpr std::size_t kSystemComponentSlot = std::size(kTextValues);
constexpr std::size_t kEstimatedSizeSlot = kSystemComponentSlot + 1;
using ScanValues = std::array<const RegValue*, kEstimatedSizeSlot + 1>;

ScanValues FindScanValues(const RegKey& key) {
  static const std::array<std::u16string, kEstimatedSizeSlot + 1> names = [] {
    std::array<std::u16string, kEstimatedSizeSlot + 1> out;
    for (std::size_t i = 0; i < kSystemComponentSlot; ++i)
      out[i] = Utf8ToUtf16(kTextValues[i].name);
    out[kSystemComponentSlot] = u"SystemComponent";
    out[kEstimatedSizeSlot] = u"EstimatedSize";
    return out;
  }();
  // Most values bear a common name: its slot is known at once.
  static const std::vector<int> slotOfCommon = [] {
    std::vector<int> out;
    for (const std::u16string_view common : CommonValueNames()) {
      out.push_back(-1);
      for (std::size_t i = 0; i < names.size(); ++i)
        if (RegNamesEqual(common, names[i])) out.back() = static_cast<int>(i);
    }
    return out;
  }();
  ScanValues found{};
  for (const RegValue& value : key.Values()) {
    if (const int common = value.CommonNameIndex(); common >= 0) {
      if (const int slot = slotOfCommon[static_cast<std::size_t>(common)]; slot >= 0)
        found[static_cast<std::size_t>(slot)] = &value;
      continue;
    }
    for (std::size_t i = 0; i < names.size(); ++i)
      if (RegNamesEqual(value.Name(), names[i])) {
        found[i] = &value;
        break;
      }
  }
  return found;
}

}  // namespace

namespace {

// What reading one entry met that the user should hear of.
struct EntryReport {
  int unreadableValues = 0;
  std::string firstUnreadable;
};

// The entry of the Uninstall key `key` (named `name`), from its values; its command's file is
// not looked for yet.
TUninstallInfo ReadEntry(const RegKey& key, const std::string& name, UninstallView view,
                         bool systemComponentsVisible, EntryReport& report) {
  const ScanValues found = FindScanValues(key);
  TUninstallInfo info;
  info.Visible = true;
  if (const RegValue* v = found[kSystemComponentSlot]; v && DwordOf(*v) == 1) {
    info.SystemComponent = true;
    info.Visible = systemComponentsVisible;
  }
  // The size the installer wrote, in KB as Windows counts it; a DWORD, read as unsigned.
  // 0xFFFFFFFF is the -1 that installers write for a size they do not know.
  if (const RegValue* v = found[kEstimatedSizeSlot]; v && v->type == kRegDword)
    if (const auto kb = DwordOf(*v); kb && *kb != -1)
      info.EstimatedSize = static_cast<std::int64_t>(static_cast<std::uint32_t>(*kb)) * 1024;
  info.KeyName = name;
  if (info.KeyName.str() != name) info.SubkeyName = name;
  info.View = view;
  bool commandUnreadable[3] = {false, false, false};
  for (std::size_t i = 0; i < std::size(kTextValues); ++i) {
    if (!found[i]) continue;
    if (std::optional<std::string> text = ReadableText(*found[i])) {
      kTextValues[i].set(info, std::move(*text));
      continue;
    }
    // A value of a type that is not text leaves its field empty; the scan goes on.
    const std::string_view valueName = kTextValues[i].name;
    if (report.unreadableValues++ == 0)
      report.firstUnreadable = name + ": " + std::string(valueName);
    for (int c = 0; c < 3; ++c) commandUnreadable[c] |= valueName == kCommandValues[c];
  }
  if (info.DisplayName.empty()) info.DisplayName = name;
  // The first command value that is there decides validity; one that is not text cannot be
  // run, so the entry is invalid rather than judged by the next command.
  const std::string* commands[3] = {&info.UninstallString, &info.QuietUninstallString,
                                    &info.ModifyPath};
  info.Valid = true;
  for (int c = 0; c < 3 && info.Valid; ++c) {
    if (commandUnreadable[c]) info.Valid = false;
    if (!commands[c]->empty()) break;
  }
  info.Exists = true;
  return info;
}

}  // namespace

ScanReport TUninstallCollection::ReadUninstallEntries() {
  ScanReport report;
  Clear();
  struct Found {
    const RegKey* key;
    const std::string* name;
    UninstallView view;
  };
  std::vector<Found> found;
  TRegistry reg(registry_);
  for (const UninstallPlace& place : UninstallPlaces()) {
    if (!HasView(registry_, place.view)) continue;
    reg.SetRootKey(place.root);
    // Read access is enough to list the entries: a registry the user may not change (or one
    // that Wine holds while it runs) still shows what is installed.
    if (!reg.OpenKeyReadOnly(place.uninstallKey)) continue;
    const RegKey* uninstall = reg.CurrentKey();
    if (!uninstall) continue;
    report.uninstallKeyFound = true;
    std::u16string units;
    for (const std::string& name : KeyNames(place.view)) {
      AssignUtf16(units, name);
      if (const RegKey* key = uninstall->FindSubKey(units))
        found.push_back({key, &name, place.view});
    }
    reg.CloseKey();
  }
  // The entries are read on every core, each into its own item made there (making 25,000 of
  // them is felt on one core), and their commands' files looked for: with many programs, the
  // files are most of the scan.
  items_.resize(found.size());
  std::vector<EntryReport> reports(found.size());
  const std::shared_ptr<void> drives = platform_.HoldDrives();
  const bool check = CheckUninstallers;
  uninstallersLeftOut_ = !check;
  try {
    ParallelFor(found.size(), [&](std::size_t i) {
      items_[i] = std::make_unique<TUninstallItem>();
      TUninstallInfo& info = items_[i]->UninstallInfo;
      info = ReadEntry(*found[i].key, *found[i].name, found[i].view, SystemComponentsVisible,
                       reports[i]);
      // Left out, the look-ups wait for FindUninstallers; an entry without a command is invalid
      // whatever the files.
      if (info.Valid) info.Valid = check ? IsValidEntry(platform_, info) : HasCommand(info);
    });
  } catch (...) {
    Clear();  // no item is left unmade
    throw;
  }
  for (const EntryReport& entry : reports) {
    if (entry.unreadableValues == 0) continue;
    if (report.unreadableValues == 0) report.firstUnreadable = entry.firstUnreadable;
    report.unreadableValues += entry.unreadableValues;
  }
  ReadARPCache();
  if (FindIconFiles) ResolveIcons();
  UpdateCounts();
  return report;
}

void TUninstallCollection::ReadARPCache() {
  // Each place's usage-record key is looked up once, then each entry's record below it, on
  // every core.
  TRegistry reg(registry_);
  std::array<const RegKey*, kUninstallViewCount> bases{};
  for (const UninstallPlace& place : UninstallPlaces()) {
    if (!HasView(registry_, place.view)) continue;
    reg.SetRootKey(place.root);
    if (reg.OpenKeyReadOnly(place.arpCacheKey))
      bases[static_cast<std::size_t>(place.view)] = reg.CurrentKey();
    reg.CloseKey();
  }
  ParallelFor(items_.size(), [&](std::size_t i) {
    TUninstallInfo& info = items_[i]->UninstallInfo;
    const RegKey* base = bases[static_cast<std::size_t>(info.View)];
    if (!base) return;
    thread_local std::u16string units;
    AssignUtf16(units, EntrySubkey(info));
    const RegKey* key = base->FindSubKey(units);
    const RegValue* record = key ? key->FindValue(u"SlowInfoCache") : nullptr;
    // The program file is kept once, as ExeFile: a long list holds many.
    if (record && record->type == kRegBinary && record->DataSize() == TSlowInfoCache::kSize) {
      thread_local std::string bytes;
      info.SlowInfo = TSlowInfoCache::FromBytes(record->Data(bytes), &info.ExeFile);
      info.HasUsageRecord = true;
    }
  });
}

void TUninstallCollection::FindUninstallers() {
  if (!std::exchange(uninstallersLeftOut_, false)) return;
  const std::shared_ptr<void> drives = platform_.HoldDrives();
  ParallelFor(items_.size(), [this](std::size_t i) {
    TUninstallInfo& info = items_[i]->UninstallInfo;
    if (info.Valid) info.Valid = IsValidEntry(platform_, info);
  });
  UpdateCounts();
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
