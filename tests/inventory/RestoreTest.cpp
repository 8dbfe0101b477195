// Restoring from a registry script: only programs' keys are put back, every other key and every
// deletion is refused and left unwritten, and a restore that cannot be saved whole writes nothing.
#include <gtest/gtest.h>

#include "../TestSupport.h"
#include "inventory/Restore.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/QV_Registry.h"
#include "registry/TRegistry.h"

namespace pgl {
namespace {

const std::string kU = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::string kH = "[HKEY_LOCAL_MACHINE\\" + kU;

std::string Value(RegistryStore& store, const std::string& path, const std::string& name) {
  TRegistry reg(store);
  reg.SetRootKey(kHkeyLocalMachine);
  if (!reg.OpenKeyReadOnly(path) || !reg.ValueExists(name)) return "(none)";
  return reg.ReadString(name);
}

TEST(Restore, OnlyProgramsKeysArePutBackAndEverythingElseIsRefused) {
  MemoryRegistry store;
  store.Set64BitSystem(false);
  ASSERT_TRUE(store.LoadWineText(
      kHkeyLocalMachine,
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Same] 1\n"
      "\"DisplayName\"=\"Same\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Changed] 1\n"
      "\"DisplayName\"=\"Changed\"\n\"DisplayVersion\"=\"2.0\"\n\"Extra\"=\"kept\"\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n\"Keep\"=\"x\"\n"));
  const std::string script =
      "REGEDIT4\r\n\r\n" + kH + "]\r\n\r\n" + kH + "\\Gone]\r\n\"DisplayName\"=\"Gone\"\r\n" + kH +
      "\\Gone\\Sub]\r\n\"v\"=dword:00000001\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\"
      "ARPCache\\gone]\r\n\"SlowInfoCache\"=hex:01,02\r\n" +
      kH + "\\Same]\r\n\"DisplayName\"=\"Same\"\r\n" + kH +
      "\\Changed]\r\n\"DisplayVersion\"=\"1.0\"\r\n\"New\"=\"n\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
      "\"Evil\"=\"C:\\\\evil.exe\"\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
      "[HKEY_CURRENT_USER\\Software\\Classes\\.txt]\r\n@=\"evil\"\r\n" +
      kH +
      "\\Del]\r\n\"DisplayName\"=\"Del\"\r\n\"UninstallString\"=-\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\"
      "Uninstall\\W32]\r\n\"DisplayName\"=\"W32\"\r\n" +
      kH +
      "]\r\n\"OnThePlace\"=\"x\"\r\n"
      "[HKEY_USERS\\S-1-5-21\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\U]\r\n";
  RestorePlan plan;
  std::string error;
  ASSERT_TRUE(PlanRestore(store, script, 1252, plan, error)) << error;
  std::vector<std::string> lines;
  for (const auto& item : plan.items)
    lines.push_back(RestoreKindText(item.kind, Language::English) + ": " +
                    RestoreItemLine(item, Language::English));
  const std::string hklm = "HKLM\\" + kU;
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          "Added back: Gone (" + hklm + "\\Gone)",
          "Unchanged: Same (" + hklm + "\\Same)",
          "Replaced: " + hklm + "\\Changed: DisplayVersion \"2.0\" \u2192 \"1.0\"; New (missing)",
          "Refused: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run: "
          "not a key of an installed program or of its usage record",
          "Refused: -HKEY_LOCAL_MACHINE\\SOFTWARE: it deletes a key; a restore only puts "
          "back",
          "Refused: HKEY_CURRENT_USER\\Software\\Classes\\.txt: not a key of an installed "
          "program or of its usage record",
          "Refused: Del (" + hklm + "\\Del): it deletes values; a restore only puts back",
          "Refused: HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\"
          "CurrentVersion\\Uninstall\\W32: a key of the 32-bit view, and this system is "
          "32-bit",
          "Refused: HKEY_LOCAL_MACHINE\\" + kU + ": values of the Uninstall or ARPCache key itself",
          "Refused: HKEY_USERS\\S-1-5-21\\Software\\Microsoft\\Windows\\CurrentVersion\\"
          "Uninstall\\U: not a key of an installed program or of its usage record",
      }));
  ASSERT_TRUE(ApplyRestore(store, plan, Language::English, error)) << error;
  EXPECT_EQ(Value(store, kU + "\\Gone", "DisplayName"), "Gone");
  EXPECT_TRUE(RegKeyExists(store, kHkeyLocalMachine, kU + "\\Gone\\Sub"));
  EXPECT_TRUE(RegKeyExists(store, kHkeyLocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\"
                           "ARPCache\\gone"));
  EXPECT_EQ(Value(store, kU + "\\Changed", "DisplayVersion"), "1.0");
  EXPECT_EQ(Value(store, kU + "\\Changed", "Extra"), "kept");  // merged, as regedit does
  EXPECT_EQ(Value(store, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Evil"), "(none)");
  EXPECT_EQ(Value(store, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Keep"), "x");
  EXPECT_FALSE(RegKeyExists(store, kHkeyCurrentUser, "Software\\Classes\\.txt"));
  EXPECT_FALSE(RegKeyExists(store, kHkeyLocalMachine, kU + "\\Del"));
  EXPECT_FALSE(RegValueExists(store, kHkeyLocalMachine, kU, "OnThePlace"));
}

// Every registry file is checked before anything changes: where one of them may not be written
// (no permission, Wine running), neither is, and the error says why.
TEST(Restore, ARestoreThatCannotBeSavedWholeWritesNothing) {
  const char kSystem[] =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
      "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1700000000\n"
      "#time=1da1747c66d0000\n\"DisplayName\"=\"App\"\n";
  const char kUser[] =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
      "#arch=win64\n\n[Environment] 1700000000\n#time=1da1747c66d0000\n\"TEMP\"=\"C:\\\\t\"\n";
  const std::string script =
      "REGEDIT4\r\n" + kH +
      "\\New]\r\n\"DisplayName\"=\"New\"\r\n"
      "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine]\r\n"
      "\"DisplayName\"=\"Mine\"\r\n";
  struct Case {
    const char* what;
    bool serverRunning;
    bool userWritable;
    const char* why;
  };
  const Case cases[] = {
      {"the user's file may not be written", false, false, "no permission"},
      {"Wine runs in the prefix", true, true, "Wine is running"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    test::WriteFile(dir / "system.reg", kSystem);
    test::WriteFile(dir / "user.reg", kUser);
    WinePrefixRegistry::Seams seams;
    seams.serverRunning = [&c](const std::string&) { return c.serverRunning; };
    seams.canWrite = [&c](const std::string& path) {
      return c.userWritable || path.find("user.reg") == std::string::npos;
    };
    WinePrefixRegistry registry(dir.Path(), seams);
    RestorePlan plan;
    std::string error;
    ASSERT_TRUE(PlanRestore(registry, script, 1252, plan, error)) << error;
    ASSERT_EQ(plan.Count(RestoreKind::AddBack), 2u);
    EXPECT_FALSE(ApplyRestore(registry, plan, Language::English, error));
    EXPECT_NE(error.find(c.why), std::string::npos) << error;
    EXPECT_EQ(test::ReadFile(dir / "system.reg"), kSystem);
    EXPECT_EQ(test::ReadFile(dir / "user.reg"), kUser);
  }
}

// A script naming a key deeper than any registry holds is refused whole, at once and in little
// memory however deep it goes; one just within the limit is put back.
TEST(Restore, AKeyDeeperThanARegistryHoldsRefusesTheScript) {
  const struct {
    std::size_t below;  // names below the entry's key; the entry's own path has six
    bool read;
  } cases[] = {{506, true}, {507, false}, {60000, false}};
  for (const auto& c : cases) {
    MemoryRegistry store;
    std::string deep = kH + "\\Deep]\r\n\"DisplayName\"=\"Deep\"\r\n" + kH + "\\Deep";
    for (std::size_t i = 0; i < c.below; ++i) deep += "\\a";
    const std::string script = "REGEDIT4\r\n\r\n" + deep + "]\r\n\"v\"=\"1\"\r\n";
    RestorePlan plan;
    std::string error;
    EXPECT_EQ(PlanRestore(store, script, 1252, plan, error), c.read) << c.below;
    if (!c.read) {
      EXPECT_EQ(error.rfind("line 5: a key nested deeper than 512 levels", 0), 0u) << error;
      EXPECT_TRUE(plan.writes.empty());
      continue;
    }
    ASSERT_TRUE(ApplyRestore(store, plan, Language::English, error)) << error;
    EXPECT_EQ(Value(store, kU + "\\Deep", "DisplayName"), "Deep");
  }
}

}  // namespace
}  // namespace pgl
