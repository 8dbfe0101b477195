// The search: from a program's evidence record to the items that are left of it, each with how
// sure the search is and why.
#include <algorithm>
#include <array>
#include <filesystem>
#include <set>

#include "leftovers/DesktopItems.h"
#include "leftovers/LeftoverPaths.h"
#include "leftovers/Leftovers.h"
#include "leftovers/ProgramFolders.h"
#include "leftovers/StockPrefix.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl {

using namespace leftovers;

namespace {

LocalText SettingsWhy(Confidence c) {
  return WhyText(c == Confidence::Sure ? LeftoverWhy::SettingsLikeFolder
                                       : LeftoverWhy::SettingsLikePair);
}
LocalText PublisherWhy(Confidence c) {
  return WhyText(c == Confidence::Sure ? LeftoverWhy::HeldOnlySettings
                                       : LeftoverWhy::NamedAfterPublisher);
}

// One search: the items found so far, and what the program's names and the other programs'
// folders and names allow.
class LeftoverSearch {
 public:
  LeftoverSearch(const LeftoverScope& scope, const Evidence& ev)
      : scope_(scope),
        ev_(ev),
        guard_(scope),
        others_(OthersFolders(scope, ev.entryKey)),
        files_(guard_, LocalFolders(scope, others_)) {}

  std::vector<Leftover> Run() {
    AddInstallFolder();
    AddShortcuts();
    AddRecordedRegistry();
    // The desktop's side: Wine's menu entries and desktop shortcuts, their icons and menus.
    AddDesktopItems(scope_.xdg, ScanDesktop(scope_, ev_, ProgIdsOf(ev_)), OfferFn(),
                    WhyText(LeftoverWhy::WineMenuEntry));
    FindNames();
    AddSettingsFolders();
    AddSettingsKeys();
    return std::move(items_);
  }

 private:
  static std::vector<std::string> LocalFolders(const LeftoverScope& scope,
                                               const std::vector<std::string>& windows) {
    std::vector<std::string> local;
    for (const auto& w : windows)
      if (const auto l = scope.platform->LocalPath(w)) local.push_back(HostPlace(*l));
    return local;
  }

  void Offer(LeftoverKind kind, Confidence confidence, const std::string& path,
             const LocalText& why) {
    files_.Add(items_, kind, confidence, path, why);
  }
  AddFile OfferFn() {
    return [this](LeftoverKind kind, Confidence confidence, const std::string& path,
                  const LocalText& why) { Offer(kind, confidence, path, why); };
  }

  // The recorded install folder, and its parent when it held nothing else.
  void AddInstallFolder() {
    if (ev_.installFolder.empty()) return;
    Offer(LeftoverKind::Folder, Confidence::Sure, ev_.installFolder,
          WhyText(LeftoverWhy::InstallFolder));
    const std::string parentWindows = WinParent(ev_.installFolderWindows);
    const std::string parent = fs::path(HostPlace(ev_.installFolder)).parent_path().string();
    const auto children = Children(parent);
    if (!IsSystemFolder(scope_, guard_, parentWindows) && children.size() == 1 &&
        Fold(children[0].second) == Fold(WinLeaf(ev_.installFolderWindows)))
      Offer(LeftoverKind::Folder, Confidence::Sure, parent,
            WhyText(LeftoverWhy::HeldOnlyInstallFolder));
  }

  // Its shortcuts, and its own Start-menu folder when that holds nothing else.
  void AddShortcuts() {
    const std::string programs = ShellFolder(scope_, kHkeyCurrentUser, u"Programs");
    const std::string commonPrograms = ShellFolder(scope_, kHkeyLocalMachine, u"Common Programs");
    for (std::size_t i = 0; i < ev_.shortcuts.size(); ++i) {
      Offer(LeftoverKind::File, Confidence::Sure, ev_.shortcuts[i], WhyText(LeftoverWhy::Shortcut));
      const std::string folderWindows = WinParent(ev_.shortcutsWindows[i]);
      if (!WinInside(folderWindows, programs) && !WinInside(folderWindows, commonPrograms))
        continue;
      if (Fold(folderWindows) == Fold(programs) || Fold(folderWindows) == Fold(commonPrograms))
        continue;
      const std::string folder = fs::path(ev_.shortcuts[i]).parent_path().string();
      bool onlyOurs = true;
      for (const auto& [f, real] : Children(folder))
        onlyOurs = onlyOurs && std::find(ev_.shortcuts.begin(), ev_.shortcuts.end(),
                                         HostPlace(folder + "/" + real)) != ev_.shortcuts.end();
      if (onlyOurs)
        Offer(LeftoverKind::Folder, Confidence::Sure, folder,
              WhyText(LeftoverWhy::StartMenuFolder));
    }
  }

  // The registry keys and values the record ties to it, where they are still there.
  void AddRecordedRegistry() {
    for (const RegPointer& p : ev_.registry) {
      const RegKey* key = FindRegKey(scope_.registry->Hive(p.root), p.key);
      if (!key || (p.wholeKey && IsStockKey(p.root, p.key))) continue;
      Leftover item;
      item.root = p.root;
      item.key = p.key;
      item.reason = p.why;
      if (p.wholeKey) {
        item.kind = LeftoverKind::RegistryKey;
      } else {
        if (!key->FindValue(Utf8ToUtf16(p.value))) continue;
        item.kind = LeftoverKind::RegistryValue;
        item.value = p.value;
      }
      items_.push_back(std::move(item));
    }
  }

  static void AddName(std::vector<std::string>& names, std::string name) {
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty() || Generic(name)) return;
    for (const auto& n : names)
      if (Fold(n) == Fold(name)) return;
    names.push_back(name);
  }

  // The names its settings may go by: its products (its folder's and its own name) and
  // publishers (its own and its folder's parent), less any another listed program goes by; and
  // the PUBLISHER\PRODUCT pair its install folder has, as sure as the folder itself.
  void FindNames() {
    if (!ev_.installFolderWindows.empty()) AddName(products_, WinLeaf(ev_.installFolderWindows));
    AddName(products_, ev_.displayName);
    AddName(publishers_, ev_.publisher);
    const std::string parent =
        ev_.installFolderWindows.empty() ? "" : WinParent(ev_.installFolderWindows);
    const bool parentIsOwn = !parent.empty() && !IsSystemFolder(scope_, guard_, parent);
    if (parentIsOwn) AddName(publishers_, WinLeaf(parent));
    std::set<std::string> otherNames, otherPublisherNames;
    for (const TUninstallInfo& other : scope_.listed)
      if (!AsciiEqualNoCase(RegistryKeyOf(other), ev_.entryKey)) {
        otherNames.insert(Fold(other.DisplayName.str()));
        otherPublisherNames.insert(Fold(other.Publisher.str()));
      }
    otherPublishers_ = otherPublisherNames;
    for (const auto& folder : others_) otherNames.insert(Fold(WinLeaf(folder)));
    const auto takenBy = [](const std::set<std::string>& names) {
      return [&names](const std::string& n) { return names.count(Fold(n)) > 0; };
    };
    std::erase_if(products_, takenBy(otherNames));
    std::erase_if(products_, takenBy(otherPublisherNames));
    std::erase_if(publishers_, takenBy(otherNames));
    const auto named = [](const std::vector<std::string>& names, const std::string& name) {
      return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (parentIsOwn && named(publishers_, WinLeaf(parent)) &&
        named(products_, WinLeaf(ev_.installFolderWindows))) {
      ownPublisher_ = Fold(WinLeaf(parent));
      ownProduct_ = Fold(WinLeaf(ev_.installFolderWindows));
    }
  }

  Confidence PairConfidence(const std::string& publisher, const std::string& product) const {
    return !ownPublisher_.empty() && Fold(publisher) == ownPublisher_ &&
                   Fold(product) == ownProduct_
               ? Confidence::Sure
               : Confidence::Likely;
  }

  // The product named `folded` among its products, or null.
  const std::string* ProductNamed(const std::string& folded) const {
    for (const auto& product : products_)
      if (folded == Fold(product)) return &product;
    return nullptr;
  }

  // The settings folders: PUBLISHER\PRODUCT (likely, or sure), PUBLISHER when it holds nothing
  // else and no other program's publisher goes by it, PRODUCT (uncertain).
  void AddSettingsFolders() {
    std::vector<std::string> roots;
    const std::string roaming = ShellFolder(scope_, kHkeyCurrentUser, u"AppData");
    for (const std::string& w :
         {roaming, ShellFolder(scope_, kHkeyCurrentUser, u"Local AppData"),
          roaming.empty() ? std::string() : WinParent(roaming) + "\\LocalLow",
          ShellFolder(scope_, kHkeyLocalMachine, u"Common AppData")})
      if (!w.empty())
        if (const auto local = scope_.platform->LocalPath(w)) roots.push_back(*local);
    for (const auto& root : roots) {
      for (const auto& publisher : publishers_) {
        const std::string p = Child(root, publisher);
        if (p.empty()) continue;
        bool onlyOurs = true;
        Confidence best = Confidence::Uncertain;
        for (const auto& [f, real] : Children(p)) {
          const std::string* matched = ProductNamed(f);
          if (matched) {
            const Confidence c = PairConfidence(publisher, *matched);
            if (c == Confidence::Sure) best = c;
            Offer(LeftoverKind::Folder, c, p + "/" + real, SettingsWhy(c));
          }
          onlyOurs = onlyOurs && matched;
        }
        if (onlyOurs && !otherPublishers_.count(Fold(publisher)))
          Offer(LeftoverKind::Folder, best, p, PublisherWhy(best));
      }
      for (const auto& product : products_)
        if (const std::string p = Child(root, product); !p.empty())
          Offer(LeftoverKind::Folder, Confidence::Uncertain, p,
                WhyText(LeftoverWhy::NamedAfterProduct));
    }
  }

  void AddKey(RootKey root, const std::string& key, Confidence confidence, const LocalText& why) {
    if (IsStockKey(root, key)) return;  // Wine's structure, whatever the program is called
    for (const auto& item : items_)
      if (item.IsRegistry() && item.root == root && Fold(item.key) == Fold(key)) return;
    Leftover item;
    item.kind = LeftoverKind::RegistryKey;
    item.confidence = confidence;
    item.root = root;
    item.key = key;
    item.reason = why;
    items_.push_back(std::move(item));
  }

  // The settings keys under Software, by the same names as the folders.
  void AddSettingsKeys() {
    const std::array<std::pair<RootKey, const char*>, 3> softwareRoots = {{
        {kHkeyCurrentUser, "Software"},
        {kHkeyLocalMachine, "Software"},
        {kHkeyLocalMachine, "Software\\Wow6432Node"},
    }};
    for (const auto& [root, base] : softwareRoots) {
      const RegKey* software = FindRegKey(scope_.registry->Hive(root), base);
      if (!software) continue;
      for (const auto& publisher : publishers_) {
        const RegKey* p = software->FindSubKey(Utf8ToUtf16(publisher));
        if (!p) continue;
        const std::string publisherKey = std::string(base) + "\\" + Utf16ToUtf8(p->Name());
        bool onlyOurs = p->Values().empty();
        Confidence best = Confidence::Uncertain;
        for (const auto& sub : p->SubKeys()) {
          const std::string* matched = ProductNamed(Fold(Utf16ToUtf8(sub->Name())));
          if (matched) {
            const Confidence c = PairConfidence(publisher, *matched);
            if (c == Confidence::Sure) best = c;
            AddKey(root, publisherKey + "\\" + Utf16ToUtf8(sub->Name()), c, SettingsWhy(c));
          }
          onlyOurs = onlyOurs && matched;
        }
        if (onlyOurs && !otherPublishers_.count(Fold(publisher)))
          AddKey(root, publisherKey, best, PublisherWhy(best));
      }
      for (const auto& product : products_)
        if (const RegKey* p = software->FindSubKey(Utf8ToUtf16(product)))
          AddKey(root, std::string(base) + "\\" + Utf16ToUtf8(p->Name()), Confidence::Uncertain,
                 WhyText(LeftoverWhy::NamedAfterProduct));
    }
  }

  const LeftoverScope& scope_;
  const Evidence& ev_;
  const PlaceGuard guard_;
  const std::vector<std::string> others_;  // the other programs' install folders (Windows)
  FileItems files_;
  std::vector<Leftover> items_;
  std::vector<std::string> products_, publishers_;
  std::set<std::string> otherPublishers_;  // folded
  std::string ownPublisher_, ownProduct_;  // folded; empty when the folder names no pair
};

}  // namespace

std::vector<Leftover> FindLeftovers(const LeftoverScope& scope, const Evidence& ev) {
  return LeftoverSearch(scope, ev).Run();
}

}  // namespace pgl
