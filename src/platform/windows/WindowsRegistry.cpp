#include "platform/windows/WindowsRegistry.h"

#include <windows.h>

#include "util/Parallel.h"
#include "util/WindowsText.h"

namespace pgl {

namespace {

// The 64-bit view. A 64-bit program sees it without asking; asking all the same makes Wine
// open the key one path segment at a time, a round trip to its server each.
#ifdef _WIN64
constexpr REGSAM k64BitView = 0;
#else
constexpr REGSAM k64BitView = KEY_WOW64_64KEY;
#endif

HKEY HandleOf(RootKey root) {
  switch (root) {
    case kHkeyLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case kHkeyCurrentUser:
      return HKEY_CURRENT_USER;
    default:
      return nullptr;
  }
}

std::wstring Wide(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string Units(const wchar_t* text, std::size_t size) {
  return std::u16string(reinterpret_cast<const char16_t*>(text), size);
}

// The full path of a key below its root: "SOFTWARE\Microsoft\...".
std::u16string PathOf(const RegKey& key) {
  std::vector<const RegKey*> chain;
  for (const RegKey* k = &key; k->Parent(); k = k->Parent()) chain.push_back(k);
  std::u16string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += u'\\';
    path += (*it)->Name();
  }
  return path;
}

bool SegmentIs(std::u16string_view segment, std::u16string_view name) {
  return RegNamesEqual(segment, name);
}

// The programs' Uninstall and usage-record keys, below SOFTWARE (and SOFTWARE\Wow6432Node for
// the 32-bit programs).
constexpr std::u16string_view kProgramsPlaces[] = {
    u"Microsoft\\Windows\\CurrentVersion\\Uninstall",
    u"Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache"};

// Where a key of the tree is found in the real registry. The tree shows the 64-bit view, in
// which the 32-bit programs' keys sit under SOFTWARE\Wow6432Node; those are opened through the
// 32-bit view instead, as 32-bit programs see them, and everything else through the 64-bit
// view. The current user's keys are the same in both.
struct RealKey {
  HKEY root;
  std::wstring path;
  REGSAM view;
};

RealKey Locate(RootKey root, std::u16string_view path) {
  RealKey real{HandleOf(root), Wide(path), k64BitView};
  if (root != kHkeyLocalMachine) return real;
  const auto first = path.find(u'\\');
  if (first == std::u16string_view::npos || !SegmentIs(path.substr(0, first), u"SOFTWARE"))
    return real;
  const std::u16string_view rest = path.substr(first + 1);
  const auto second = rest.find(u'\\');
  const std::u16string_view node = rest.substr(0, second);
  if (!SegmentIs(node, u"Wow6432Node")) return real;
#ifdef _WIN64
  // The 32-bit programs' Uninstall and usage keys are keys of their own, never shared between
  // the views: a 64-bit program opens them by their path, in one round trip, where through the
  // 32-bit view Wine walks the path a segment at a time.
  if (second != std::u16string_view::npos) {
    const std::u16string_view below = rest.substr(second + 1);
    for (const std::u16string_view place : kProgramsPlaces)
      if (below.size() >= place.size() && RegNamesEqual(below.substr(0, place.size()), place) &&
          (below.size() == place.size() || below[place.size()] == u'\\'))
        return real;
  }
#endif
  std::u16string redirected(path.substr(0, first));
  if (second != std::u16string_view::npos) redirected += rest.substr(second);
  real.path = Wide(redirected);
  real.view = KEY_WOW64_32KEY;
  return real;
}

// Whether the key is one of the places (of either view), whose subkeys a list reads every one of.
bool IsProgramsPlace(std::u16string_view path) {
  for (const std::u16string_view below : {u"SOFTWARE\\", u"SOFTWARE\\Wow6432Node\\"}) {
    if (path.size() <= below.size() || !RegNamesEqual(path.substr(0, below.size()), below))
      continue;
    for (const std::u16string_view place : kProgramsPlaces)
      if (RegNamesEqual(path.substr(below.size()), place)) return true;
  }
  return false;
}

LSTATUS OpenReal(const RealKey& real, REGSAM access, HKEY& out) {
  if (real.path.empty() && real.view == k64BitView) {
    // The root itself: a handle of our own keeps closing uniform.
    return RegOpenKeyExW(real.root, nullptr, 0, access | real.view, &out);
  }
  return RegOpenKeyExW(real.root, real.path.c_str(), 0, access | real.view, &out);
}

std::string RegistryErrorText(LSTATUS status, const std::u16string& path) {
  return "Cannot change the registry key \"" + Utf8Text(Wide(path)) +
         "\": " + SystemErrorText(static_cast<std::uint32_t>(status));
}

}  // namespace

WindowsRegistry::~WindowsRegistry() {
  for (auto& [root, watcher] : watchers_) {
    if (watcher.key) RegCloseKey(static_cast<HKEY>(watcher.key));
    if (watcher.changed) CloseHandle(watcher.changed);
  }
}

RegKey* WindowsRegistry::Hive(RootKey root) {
  if (!HandleOf(root)) return nullptr;
  auto& tree = trees_[root];
  if (!tree) {
    Watch(root);  // before reading: a change made while it is read is seen too
    tree = std::make_unique<RegKey>(std::u16string(), nullptr);
    tree->LoadLater(this);
  }
  return tree.get();
}

void WindowsRegistry::Watch(RootKey root) {
  Watcher& watcher = watchers_[root];
  if (!watcher.changed) watcher.changed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!watcher.key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HandleOf(root), nullptr, 0, KEY_NOTIFY | k64BitView, &h) == ERROR_SUCCESS)
      watcher.key = h;
  }
  if (!watcher.changed || !watcher.key) return;
  ResetEvent(watcher.changed);
  if (RegNotifyChangeKeyValue(static_cast<HKEY>(watcher.key), TRUE,
                              REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, watcher.changed,
                              TRUE) != ERROR_SUCCESS) {
    // Without a watch every Refresh reads the root again.
    RegCloseKey(static_cast<HKEY>(watcher.key));
    watcher.key = nullptr;
  }
}

RootKey WindowsRegistry::RootOf(const RegKey& key) const {
  const RegKey* top = &key;
  while (top->Parent()) top = top->Parent();
  for (const auto& [root, tree] : trees_)
    if (tree.get() == top) return root;
  return 0;
}

void WindowsRegistry::Load(RegKey& key) {
  const RootKey root = RootOf(key);
  HKEY h = nullptr;
  const std::u16string path = PathOf(key);
  if (!root || OpenReal(Locate(root, path), KEY_READ, h) != ERROR_SUCCESS) return;
  DWORD subkeys = 0, maxSubkey = 0, maxClass = 0, values = 0, maxValueName = 0, maxData = 0;
  if (RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, &maxClass, &values,
                       &maxValueName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    subkeys = values = ~DWORD{0};  // unknown: enumerated until there are no more
  // Each call is a round trip to the registry's server (Wine's wineserver): the counts the key
  // gave stop the enumerations without a last call that only answers "no more". Should the key
  // gain entries meanwhile, its watch reads it again.
  std::wstring name, className;
  for (DWORD i = 0; i < subkeys; ++i) {
    name.assign(maxSubkey + 2, L'\0');
    className.assign(maxClass + 2, L'\0');
    DWORD nameSize = static_cast<DWORD>(name.size()),
          classSize = static_cast<DWORD>(className.size());
    FILETIME written{};
    const LSTATUS status = RegEnumKeyExW(h, i, name.data(), &nameSize, nullptr, className.data(),
                                         &classSize, &written);
    if (status == ERROR_MORE_DATA) {
      maxSubkey = std::max<DWORD>(maxSubkey * 2, 256);
      maxClass = std::max<DWORD>(maxClass * 2, 256);
      --i;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    RegKey& sub = key.EnsureSubKey(Units(name.data(), nameSize));
    sub.modified =
        (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    if (classSize > 0) sub.SetClassName(Units(className.data(), classSize));
    sub.LoadLater(this);
  }
  std::string data;
  for (DWORD i = 0; i < values; ++i) {
    name.assign(maxValueName + 2, L'\0');
    data.assign(maxData + 2, '\0');
    DWORD nameSize = static_cast<DWORD>(name.size()), dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LSTATUS status = RegEnumValueW(h, i, name.data(), &nameSize, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (status == ERROR_MORE_DATA) {
      // Another program made the value larger meanwhile.
      maxValueName = std::max<DWORD>(maxValueName * 2, 256);
      maxData = std::max<DWORD>(std::max<DWORD>(maxData * 2, dataSize), 4096);
      --i;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    data.resize(dataSize);
    key.SetValue(Units(name.data(), nameSize), type, data);
  }
  RegCloseKey(h);
  // A list reads every program's key, a round trip (to Wine's server) per value: they are read
  // by several threads at once. Each fills keys of its own; nothing else changes meanwhile.
  if (IsProgramsPlace(path)) {
    const auto& subkeys = key.SubKeys();
    ParallelFor(
        subkeys.size(), [&](std::size_t i) { subkeys[i]->Values(); }, ParallelWork::Waiting);
  }
}

bool WindowsRegistry::BeginWrite(RootKey root) {
  if (!Hive(root)) return false;
  auto found = writable_.find(root);
  if (found == writable_.end()) {
    // Whether this user may change the root's software keys at all (HKLM asks for an
    // administrator); single keys may still refuse, which Commit reports.
    HKEY h = nullptr;
    const RealKey software{HandleOf(root), L"SOFTWARE", k64BitView};
    const LSTATUS status = OpenReal(software, KEY_SET_VALUE | KEY_CREATE_SUB_KEY, h);
    if (status == ERROR_SUCCESS) RegCloseKey(h);
    found = writable_.emplace(root, status == ERROR_SUCCESS).first;
    if (!found->second)
      error_ = "The registry may not be changed here: " +
               SystemErrorText(static_cast<std::uint32_t>(status));
  }
  return found->second;
}

void WindowsRegistry::KeyAdded(RootKey root, const RegKey& key) {
  pending_.push_back({Change::Kind::AddKey, root, PathOf(key), {}, 0, {}});
}

void WindowsRegistry::ValueSet(RootKey root, const RegKey& key, const RegValue& value) {
  pending_.push_back({Change::Kind::SetValue, root, PathOf(key), std::u16string(value.Name()),
                      value.type, value.Bytes()});
}

void WindowsRegistry::KeyRemoved(RootKey root, const RegKey& parent, std::u16string_view name) {
  pending_.push_back({Change::Kind::RemoveKey, root, PathOf(parent), std::u16string(name), 0, {}});
}

bool WindowsRegistry::Apply(const Change& change) {
  const RealKey real = Locate(change.root, change.path);
  HKEY h = nullptr;
  LSTATUS status = ERROR_SUCCESS;
  switch (change.kind) {
    case Change::Kind::AddKey:
    case Change::Kind::SetValue:
      status = RegCreateKeyExW(real.root, real.path.c_str(), 0, nullptr, 0,
                               KEY_SET_VALUE | real.view, nullptr, &h, nullptr);
      if (status == ERROR_SUCCESS && change.kind == Change::Kind::SetValue)
        status = RegSetValueExW(h, Wide(change.name).c_str(), 0, change.type,
                                reinterpret_cast<const BYTE*>(change.data.data()),
                                static_cast<DWORD>(change.data.size()));
      break;
    case Change::Kind::RemoveKey:
      status = OpenReal(real, DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE, h);
      if (status == ERROR_SUCCESS) status = RegDeleteTreeW(h, Wide(change.name).c_str());
      if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;  // gone already
      break;
  }
  if (h) RegCloseKey(h);
  if (status != ERROR_SUCCESS) {
    std::u16string path = change.path;
    if (change.kind == Change::Kind::RemoveKey) path += u'\\' + change.name;
    error_ = RegistryErrorText(status, path);
    return false;
  }
  return true;
}

bool WindowsRegistry::CommitRoot(RootKey root) {
  bool ok = true;
  std::vector<Change> rest;
  for (Change& change : pending_) {
    if (change.root != root) {
      rest.push_back(std::move(change));
      continue;
    }
    if (ok) ok = Apply(change);
  }
  pending_ = std::move(rest);
  // What failed is not in the registry: the tree is read again to show what is.
  if (!ok) Forget(root);
  return ok;
}

bool WindowsRegistry::Commit(RootKey root) {
  if (!Hive(root)) return false;
  if (holding_) return true;
  return CommitRoot(root);
}

bool WindowsRegistry::CommitHeld() {
  holding_ = false;
  bool ok = true;
  for (RootKey root : {kHkeyLocalMachine, kHkeyCurrentUser}) {
    const std::string before = error_;
    if (!CommitRoot(root)) ok = false;
    if (ok) error_ = before;
  }
  return ok;
}

void WindowsRegistry::Forget(RootKey root) {
  trees_.erase(root);
  ++generation_;
}

bool WindowsRegistry::Refresh() {
  bool changed = false;
  for (auto it = trees_.begin(); it != trees_.end();) {
    const Watcher& watcher = watchers_[it->first];
    const bool stale =
        !watcher.key || !watcher.changed || WaitForSingleObject(watcher.changed, 0) != WAIT_TIMEOUT;
    if (stale) {
      it = trees_.erase(it);  // read again, and watched again, when next asked for
      changed = true;
    } else {
      ++it;
    }
  }
  if (changed) ++generation_;
  return changed;
}

bool WindowsRegistry::Is64BitSystem() const {
  SYSTEM_INFO info;
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ||
         info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

}  // namespace pgl
