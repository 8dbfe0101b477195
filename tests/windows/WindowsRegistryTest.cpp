// The accessor's suite against the real registry (of the Wine prefix the tests run in), and
// what only the real registry has: its two views and other writers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "../registry/StoreUnderTest.h"
#include "platform/windows/WindowsRegistry.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"

namespace pgl::test {
namespace {

// The suite's own top keys; nothing else of the machine's registry is touched.
const wchar_t* const kTopKeys[] = {L"Soft", L"K", L"L"};

void RemoveTopKeys() {
  HKEY machine = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &machine) !=
      ERROR_SUCCESS)
    return;
  for (const wchar_t* top : kTopKeys) RegDeleteTreeW(machine, top);
  RegCloseKey(machine);
}

// Writes a tree into the real registry below `path`, values with their types and bytes.
bool CopyTree(HKEY root, const std::wstring& path, const RegKey& key) {
  if (!path.empty()) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                        &h, nullptr) != ERROR_SUCCESS)
      return false;
    for (const RegValue& v : key.Values()) {
      const std::wstring name(v.Name().begin(), v.Name().end());
      const std::string data = v.Bytes();
      if (RegSetValueExW(h, name.c_str(), 0, v.type, reinterpret_cast<const BYTE*>(data.data()),
                         static_cast<DWORD>(data.size())) != ERROR_SUCCESS) {
        RegCloseKey(h);
        return false;
      }
    }
    RegCloseKey(h);
  }
  for (const auto& sub : key.SubKeys()) {
    const std::wstring name(sub->Name().begin(), sub->Name().end());
    if (!CopyTree(root, path.empty() ? name : path + L"\\" + name, *sub)) return false;
  }
  return true;
}

class RealRegistry : public StoreUnderTest {
 public:
  RealRegistry() { RemoveTopKeys(); }
  ~RealRegistry() override { RemoveTopKeys(); }
  RegistryStore& Store() override { return store_; }
  bool Load(RootKey root, std::string_view text) override {
    MemoryRegistry parsed;
    if (root != kHkeyLocalMachine || !parsed.LoadWineText(root, text)) return false;
    const bool copied = CopyTree(HKEY_LOCAL_MACHINE, L"", *parsed.Hive(root));
    store_.Refresh();
    return copied;
  }
  // Wine lets this user write the whole registry, and there is no one else to be.
  bool RefuseWrites() override { return false; }

 private:
  WindowsRegistry store_;
};

INSTANTIATE_TEST_SUITE_P(Windows, RegistryTest,
                         ::testing::Values(StoreKind{
                             "Windows", [] { return std::make_unique<RealRegistry>(); }}),
                         [](const auto& info) { return info.param.name; });

const char kUninstallPath[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PglViewTest";
const char kUninstall32Path[] =
    "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PglViewTest";

// A value as the registry's view shows it; "<missing>" when it does not.
std::wstring ReadReal(REGSAM view, const wchar_t* path, const wchar_t* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | view, &h) != ERROR_SUCCESS)
    return L"<missing>";
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t), type = 0;
  const LSTATUS status =
      RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(h);
  if (status != ERROR_SUCCESS) return L"<missing>";
  if (type == REG_DWORD) {
    DWORD value = 0;
    std::memcpy(&value, buffer, sizeof value);
    return std::to_wstring(value);
  }
  return buffer;
}

std::string ReadThrough(RegistryStore& store, const char* path, const char* name) {
  TRegistry reg(store);
  reg.SetRootKey(kHkeyLocalMachine);
  return reg.OpenKeyReadOnly(path) ? reg.ReadString(name) : "<missing>";
}

class RealViews : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
      RegDeleteKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PglViewTest", view,
                      0);
  }
};

TEST_F(RealViews, ThirtyTwoBitProgramsKeysAreTheThirtyTwoBitView) {
  WindowsRegistry store;
  ASSERT_TRUE(store.Is64BitSystem());
  // Written through the store at their places in the tree...
  ASSERT_TRUE(
      RegWriteString(store, kHkeyLocalMachine, kUninstallPath, "DisplayName", "Sixty-four"));
  ASSERT_TRUE(
      RegWriteString(store, kHkeyLocalMachine, kUninstall32Path, "DisplayName", "Thirty-two"));
  // ...they are where 64-bit and 32-bit installers look.
  const wchar_t* path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PglViewTest";
  EXPECT_EQ(ReadReal(KEY_WOW64_64KEY, path, L"DisplayName"), L"Sixty-four");
  EXPECT_EQ(ReadReal(KEY_WOW64_32KEY, path, L"DisplayName"), L"Thirty-two");

  // What a 32-bit installer writes, a new store finds under Wow6432Node.
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  const wchar_t text[] = L"Zażółć";
  RegSetValueExW(h, L"Publisher", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
  RegCloseKey(h);
  EXPECT_EQ(ReadThrough(store, kUninstall32Path, "Publisher"), "");  // read before
  EXPECT_TRUE(store.Refresh());
  EXPECT_EQ(ReadThrough(store, kUninstall32Path, "Publisher"), "Zażółć");

  // Removing an entry removes it from its own view only.
  EXPECT_TRUE(RegRemoveKey(store, kHkeyLocalMachine, kUninstall32Path));
  EXPECT_EQ(ReadReal(KEY_WOW64_32KEY, path, L"DisplayName"), L"<missing>");
  EXPECT_EQ(ReadReal(KEY_WOW64_64KEY, path, L"DisplayName"), L"Sixty-four");
}

TEST_F(RealViews, RefreshReadsAgainOnlyWhatOthersChanged) {
  WindowsRegistry other;  // another program
  ASSERT_TRUE(RegWriteString(other, kHkeyLocalMachine, kUninstallPath, "DisplayName", "Old"));
  WindowsRegistry store;
  EXPECT_EQ(ReadThrough(store, kUninstallPath, "DisplayName"), "Old");
  EXPECT_FALSE(store.Refresh());  // nothing changed: the tree and its keys stay
  const std::uint64_t generation = store.Generation();
  ASSERT_TRUE(RegWriteString(other, kHkeyLocalMachine, kUninstallPath, "DisplayName", "New"));
  EXPECT_EQ(ReadThrough(store, kUninstallPath, "DisplayName"), "Old");  // as read
  EXPECT_TRUE(store.Refresh());
  EXPECT_NE(store.Generation(), generation);
  EXPECT_EQ(ReadThrough(store, kUninstallPath, "DisplayName"), "New");
  EXPECT_FALSE(store.Refresh());
}

TEST_F(RealViews, HeldChangesReachTheRegistryOnlyAtCommitHeld) {
  WindowsRegistry store;
  store.HoldCommits();
  ASSERT_TRUE(RegWriteInteger(store, kHkeyLocalMachine, kUninstallPath, "RunCounter", 7));
  const wchar_t* path = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PglViewTest";
  HKEY h = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, &h),
            ERROR_SUCCESS);
  ASSERT_TRUE(store.CommitHeld());
  EXPECT_EQ(ReadReal(KEY_WOW64_64KEY, path, L"RunCounter"), L"7");
}

TEST(ManyPrograms, EveryProgramsKeyIsReadWhole) {
  // Enough programs for their keys to be read by several threads at once: each key must come
  // back with all its values, long ones too, and nothing of one key in another.
  const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  constexpr int kPrograms = 300;
  const auto nameOf = [](int i) { return L"PglMany" + std::to_wstring(1000 + i); };
  const auto removeAll = [&] {
    for (int i = 0; i < kPrograms; ++i)
      RegDeleteTreeW(HKEY_CURRENT_USER, (base + nameOf(i)).c_str());
  };
  removeAll();
  for (int i = 0; i < kPrograms; ++i) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (base + nameOf(i)).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    const std::wstring display = L"Program " + std::to_wstring(i);
    RegSetValueExW(h, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(display.c_str()),
                   static_cast<DWORD>((display.size() + 1) * sizeof(wchar_t)));
    const DWORD size = static_cast<DWORD>(i);
    RegSetValueExW(h, L"EstimatedSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&size),
                   sizeof size);
    std::string record(552, static_cast<char>(i));
    RegSetValueExW(h, L"Record", 0, REG_BINARY, reinterpret_cast<const BYTE*>(record.data()),
                   static_cast<DWORD>(record.size()));
    RegCloseKey(h);
  }
  WindowsRegistry store;
  TRegistry reg(store);
  reg.SetRootKey(kHkeyCurrentUser);
  for (int i = 0; i < kPrograms; ++i) {
    const std::string path = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PglMany" +
                             std::to_string(1000 + i);
    ASSERT_TRUE(reg.OpenKeyReadOnly(path)) << path;
    EXPECT_EQ(reg.ReadString("DisplayName"), "Program " + std::to_string(i));
    EXPECT_EQ(reg.ReadInteger("EstimatedSize"), i);
    const RegValue* record = reg.CurrentKey()->FindValue(u"Record");
    ASSERT_NE(record, nullptr) << path;
    EXPECT_EQ(record->Bytes(), std::string(552, static_cast<char>(i))) << path;
    EXPECT_EQ(reg.CurrentKey()->Values().size(), 3u) << path;
    reg.CloseKey();
  }
  removeAll();
}

}  // namespace
}  // namespace pgl::test
