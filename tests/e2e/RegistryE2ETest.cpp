// The registry engine and the backup against real Wine prefixes and real installers.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WineTestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "platform/wine/WineServer.h"
#include "registry/QV_Registry.h"
#include "registry/RegExport.h"
#include "registry/TRegistry.h"
#include "registry/WineRegFile.h"
#include "util/Utf.h"

namespace pgl {
namespace {

using e2e::RunWine;

constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

TEST(WinePrefix, StockRegistryFilesLoadAndSaveByteIdentical) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  for (const char* name : {"system.reg", "user.reg", "userdef.reg"}) {
    const std::string bytes = test::ReadFile(prefix + "/" + name);
    WineHive hive;
    const auto result = ParseWineRegistry(bytes, hive);
    EXPECT_TRUE(result.Understood()) << name;
    EXPECT_EQ(WriteWineRegistry(hive), bytes) << name;
  }
}

TEST(WinePrefix, WineSeesWhatWeWriteAndDelete) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  ASSERT_EQ(RunWine(prefix,
                    {"reg", "add", "HKLM\\Software\\PurgeletGone\\Sub", "/v", "x", "/d", "1", "/f"})
                .exitCode,
            0);
  {
    WinePrefixRegistry reg(prefix);
    ASSERT_TRUE(RegWriteString(reg, kHkeyLocalMachine, "Software\\PurgeletTest", "Greeting",
                               "Hello from Purgelet"))
        << reg.LastError();
    ASSERT_TRUE(RegWriteInteger(reg, kHkeyCurrentUser, "Software\\PurgeletTest", "Count", 42))
        << reg.LastError();
    ASSERT_TRUE(RegRemoveKey(reg, kHkeyLocalMachine, "Software\\PurgeletGone")) << reg.LastError();
  }
  const auto greeting =
      RunWine(prefix, {"reg", "query", "HKLM\\Software\\PurgeletTest", "/v", "Greeting"});
  EXPECT_EQ(greeting.exitCode, 0) << greeting.output;
  EXPECT_NE(greeting.output.find("Hello from Purgelet"), std::string::npos) << greeting.output;
  const auto count =
      RunWine(prefix, {"reg", "query", "HKCU\\Software\\PurgeletTest", "/v", "Count"});
  EXPECT_NE(count.output.find("0x2a"), std::string::npos) << count.output;
  const auto gone = RunWine(prefix, {"reg", "query", "HKLM\\Software\\PurgeletGone"});
  EXPECT_NE(gone.exitCode, 0) << gone.output;
}

TEST(WinePrefix, WritesAreRefusedWhileItsServerRuns) {
  test::TempDir dir;
  const std::string prefix = e2e::NewPrefix(dir / "p");
  const std::string before = test::ReadFile(prefix + "/system.reg");
  ASSERT_EQ(e2e::Run({"wineserver", "-p"}, e2e::WineEnvironment(prefix)).exitCode, 0);
  EXPECT_TRUE(IsWineServerRunning(prefix));
  {
    WinePrefixRegistry reg(prefix);
    TRegistry accessor(reg);
    accessor.SetRootKey(kHkeyLocalMachine);
    EXPECT_FALSE(accessor.OpenKey("Software", false));
    EXPECT_TRUE(accessor.OpenKeyReadOnly("Software"));
    EXPECT_FALSE(RegWriteString(reg, kHkeyLocalMachine, "Software\\PurgeletTest", "v", "1"));
    EXPECT_NE(reg.LastError().find("Wine is running in this prefix"), std::string::npos)
        << reg.LastError();
  }
  e2e::Run({"wineserver", "-k"}, e2e::WineEnvironment(prefix));
  e2e::WaitForServer(prefix);
  EXPECT_FALSE(IsWineServerRunning(prefix));
  EXPECT_EQ(test::ReadFile(prefix + "/system.reg"), before);
}

// Every key and value of the tree that a registry script can carry.
void ExpectSameTree(const RegKey& want, const RegKey& got, const std::string& path) {
  ASSERT_EQ(want.SubKeys().size(), got.SubKeys().size()) << path;
  for (std::size_t i = 0; i < want.SubKeys().size(); ++i) {
    const RegKey& a = *want.SubKeys()[i];
    const RegKey& b = *got.SubKeys()[i];
    ASSERT_EQ(Utf16ToUtf8(a.Name()), Utf16ToUtf8(b.Name())) << path;
    ExpectSameTree(a, b, path + "\\" + Utf16ToUtf8(a.Name()));
  }
  std::vector<const RegValue*> wantValues, gotValues;
  for (const auto* list : {&want.Values(), &got.Values()})
    for (const auto& v : *list)
      if (v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegDword || v.type == kRegBinary)
        (list == &want.Values() ? wantValues : gotValues).push_back(&v);
  ASSERT_EQ(wantValues.size(), gotValues.size()) << path;
  for (std::size_t i = 0; i < wantValues.size(); ++i) {
    const std::string name = Utf16ToUtf8(wantValues[i]->Name());
    EXPECT_EQ(name, Utf16ToUtf8(gotValues[i]->Name())) << path;
    EXPECT_EQ(wantValues[i]->type, gotValues[i]->type) << path << " " << name;
    EXPECT_EQ(wantValues[i]->Bytes(), gotValues[i]->Bytes()) << path << " " << name;
  }
}

struct BackupCase {
  const char* what;
  bool polish;  // a display name outside Windows-1252
  bool expectUnicode;
};

class BackupRestore : public ::testing::TestWithParam<BackupCase> {};

TEST_P(BackupRestore, RestoresTheSameKeysAndValuesIntoAFreshPrefix) {
  const BackupCase& c = GetParam();
  test::TempDir dir;
  const std::string source = e2e::NewPrefixWithPrograms(dir / "source", true, c.polish);
  const std::string file = dir / "backup.reg";
  const auto backup =
      e2e::Run({PGL_CLI_PATH, "backup", file}, {{"WINEPREFIX", source}, {"LC_ALL", "C.UTF-8"}});
  ASSERT_EQ(backup.exitCode, 0) << backup.output;
  const std::string bytes = test::ReadFile(file);
  if (c.expectUnicode) {
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(backup.output.find("Unicode"), std::string::npos) << backup.output;
  } else {
    EXPECT_EQ(bytes.substr(0, 10), "REGEDIT4\r\n");
    EXPECT_NE(bytes.find("\"Publisher\"=\"Tervask Caf\xE9\""), std::string::npos);  // 1252
  }

  const std::string target = e2e::NewPrefix(dir / "target");
  const auto import = RunWine(target, {"regedit", "/s", e2e::WinePath(file)});
  ASSERT_EQ(import.exitCode, 0) << import.output;

  WinePrefixRegistry want(source), got(target);
  const RegKey* a = FindRegKey(want.Hive(kHkeyLocalMachine), kUninstall);
  const RegKey* b = FindRegKey(got.Hive(kHkeyLocalMachine), kUninstall);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->SubKeys().size(), 2u);  // the NSIS and the MSI program
  ExpectSameTree(*a, *b, kUninstall);
}

INSTANTIATE_TEST_SUITE_P(Wine, BackupRestore,
                         ::testing::Values(BackupCase{"western", false, false},
                                           BackupCase{"polish", true, true}),
                         [](const auto& info) { return std::string(info.param.what); });

struct AwkwardValue {
  std::u16string name;
  std::uint32_t type;
  std::string data;
};

std::string Units(std::u16string_view text) {
  return Utf16LeBytes(text);
}

// Every kind of value the registry can hold, with names that need escapes and one that tries
// to write lines of its own.
std::vector<AwkwardValue> AwkwardValues() {
  using namespace std::string_literals;
  return {
      {u"", kRegSz, Units(u"default"s + u'\0')},
      {u"Plain", kRegSz, Units(u"text"s + u'\0')},
      {u"Tab", kRegSz, Units(u"a\tb"s + u'\0')},
      {u"Lines", kRegSz, Units(u"a\r\nb\nc"s + u'\0')},
      {u"Nul", kRegSz, Units(u"a\0b\0"s)},
      {u"Unterminated", kRegSz, Units(u"ab")},
      {u"ExpandUnterminated", kRegExpandSz, Units(u"%x%")},
      {u"MultiUnterminated", kRegMultiSz, Units(u"a\0b")},
      {u"Empty", kRegSz, Units(u"\0"s)},
      {u"Lone", kRegSz, Units(u"x\xD800y\0"s)},
      {u"Polish", kRegSz, Units(u"Zażółć\0"s)},
      {u"Expand", kRegExpandSz, Units(u"%ProgramFiles%\\x\0"s)},
      {u"Multi", kRegMultiSz, Units(u"a\0b\0\0"s)},
      {u"Qword", kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
      {u"ShortDword", kRegDword, "\x01\x02"s},
      {u"Dword", kRegDword, "\xff\x00\x00\x80"s},
      {u"Bin", kRegBinary, std::string(40, '\x7f')},
      {u"None", kRegNone, "\x00\x01\x02"s},
      {u"Custom", 0x20, "\x09"s},
      {u"Quo\"te", kRegSz, Units(u"q\0"s)},
      {u"Back\\slash", kRegSz, Units(u"b\\\0"s)},
      {u"\"", kRegSz, Units(u"just a quote\0"s)},
      {u"Caf\u00e9 \u017c", kRegSz, Units(u"name outside 1252\0"s)},
      {u"x\"=\"y\"\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
       u"\"Injected",
       kRegSz, Units(u"C:\\evil.exe\0"s)},
  };
}

constexpr std::u16string_view kInjectedName = u"Injected";

void PutAwkwardKey(WinePrefixRegistry& registry, RootKey root, const std::string& path) {
  ASSERT_TRUE(registry.BeginWrite(root)) << registry.LastError();
  RegKey* key = registry.Hive(root);
  for (const auto& part : SplitRegPath(path)) key = &key->EnsureSubKey(part);
  for (const auto& v : AwkwardValues()) key->SetValue(v.name, v.type, v.data);
  ASSERT_TRUE(registry.Commit(root)) << registry.LastError();
}

TEST(BackupRestoreExactly, EveryValueComesBackAndNothingElseChanges) {
  test::TempDir dir;
  const std::string source = e2e::NewPrefix(dir / "source");
  const std::string places[] = {
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Awkward",
      "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Awkward"};
  const std::string user = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Awkward";
  {
    WinePrefixRegistry registry(source);
    for (const auto& place : places) PutAwkwardKey(registry, kHkeyLocalMachine, place);
    PutAwkwardKey(registry, kHkeyCurrentUser, user);
  }
  const std::string file = dir / "backup.reg";
  const auto backup =
      e2e::Run({PGL_CLI_PATH, "backup", file}, {{"WINEPREFIX", source}, {"LC_ALL", "C.UTF-8"}});
  ASSERT_EQ(backup.exitCode, 0) << backup.output;
  EXPECT_NE(backup.output.find("Unicode registry script"), std::string::npos) << backup.output;
  EXPECT_NE(backup.output.find("left out of the backup: HKEY_LOCAL_MACHINE\\" + places[0]),
            std::string::npos)
      << backup.output;
  EXPECT_NE(backup.output.find("\"Unterminated\" of HKEY_CURRENT_USER\\" + user), std::string::npos)
      << backup.output;

  const std::string target = e2e::NewPrefix(dir / "target");
  const std::string before = test::ReadFile(target + "/system.reg");
  const auto import = RunWine(target, {"regedit", "/s", e2e::WinePath(file)});
  ASSERT_EQ(import.exitCode, 0) << import.output;

  WinePrefixRegistry got(target);
  int restored = 0, total = 0;
  const auto check = [&](RootKey root, const std::string& path) {
    const RegKey* key = FindRegKey(got.Hive(root), path);
    ASSERT_NE(key, nullptr) << path;
    for (const auto& want : AwkwardValues()) {
      const bool leftOut = want.name.find(u'\n') != std::u16string::npos;
      // Text values without their terminating zero come back with one (said by the backup).
      if (want.name.find(u"nterminated") != std::u16string::npos) continue;
      const RegValue* have = key->FindValue(want.name);
      if (leftOut) {
        EXPECT_EQ(have, nullptr);
        continue;
      }
      ++total;
      ASSERT_NE(have, nullptr) << path << " " << Utf16ToUtf8(want.name);
      EXPECT_EQ(have->type, want.type) << Utf16ToUtf8(want.name);
      EXPECT_EQ(have->Bytes(), want.data) << Utf16ToUtf8(want.name);
      restored += have->type == want.type && have->Bytes() == want.data;
    }
    // Nothing of the injected text became a value or a key of its own.
    EXPECT_EQ(key->FindValue(kInjectedName), nullptr);
  };
  for (const auto& place : places) check(kHkeyLocalMachine, place);
  check(kHkeyCurrentUser, user);
  EXPECT_EQ(restored, total);
  std::printf("values restored exactly: %d of %d\n", restored, total);
  const RegKey* run =
      FindRegKey(got.Hive(kHkeyCurrentUser), "Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  EXPECT_TRUE(!run || !run->FindValue(kInjectedName));
  // Outside the Uninstall keys the machine's registry is as it was.
  WinePrefixRegistry fresh(e2e::NewPrefix(dir / "control"));
  const RegKey* software = FindRegKey(got.Hive(kHkeyLocalMachine), "SOFTWARE");
  const RegKey* control = FindRegKey(fresh.Hive(kHkeyLocalMachine), "SOFTWARE");
  ASSERT_NE(software, nullptr);
  EXPECT_EQ(software->SubKeys().size(), control->SubKeys().size());
  EXPECT_FALSE(before.empty());
}

}  // namespace
}  // namespace pgl
