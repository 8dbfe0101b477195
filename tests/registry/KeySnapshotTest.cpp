// A removed key given back whole: subkeys, values of every type and times as they were; never
// over a key that exists again.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/wine/WinePrefixRegistry.h"
#include "registry/KeySnapshot.h"
#include "registry/QV_Registry.h"
#include "registry/WineRegFile.h"

namespace pgl {
namespace {

const char kSystem[] =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"Zażółć \\\"App\\\"\"\n\"Size\"=dword:0000002a\n"
    "\"Blob\"=hex:00,01,ff\n\"Multi\"=str(7):\"a\\0b\\0\"\n@=\"default\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\App\\\\Sub] 1700000001\n"
    "#time=1da1747c66d0001\n\"v\"=\"1\"\n"
    "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Other] 1700000000\n"
    "#time=1da1747c66d0000\n\"DisplayName\"=\"Other\"\n";
const char kApp[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";

TEST(KeySnapshot, ARemovedKeyComesBackByteForByte) {
  test::TempDir dir;
  WineHive hive;
  ASSERT_TRUE(ParseWineRegistry(kSystem, hive).Understood());
  const std::string original = WriteWineRegistry(hive);
  test::WriteFile(dir / "system.reg", original);
  WinePrefixRegistry::Seams seams;
  seams.serverRunning = [](const std::string&) { return false; };
  WinePrefixRegistry registry(dir.Path(), seams);
  const auto saved = SnapshotKey(registry, kHkeyLocalMachine, kApp);
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->subkeys.size(), 1u);
  ASSERT_TRUE(RegRemoveKey(registry, kHkeyLocalMachine, kApp));
  std::string error;
  ASSERT_EQ(PutBackKeys(registry, {{kHkeyLocalMachine, kApp, *saved}}, error), PutBack::Done)
      << error;
  EXPECT_EQ(test::ReadFile(dir / "system.reg"), original);
  // A key that exists again, changed, is not written over.
  ASSERT_TRUE(RegWriteString(registry, kHkeyLocalMachine, kApp, "New", "x"));
  EXPECT_EQ(PutBackKeys(registry, {{kHkeyLocalMachine, kApp, *saved}}, error),
            PutBack::ExistsAgain);
  EXPECT_NE(error.find("exists again"), std::string::npos) << error;
  EXPECT_FALSE(SnapshotKey(registry, kHkeyLocalMachine, "Software\\Missing"));
}

// An undo of keys in both files: when one file may not be written, neither is and the undo stays
// possible; a put-back cut short after one file goes on with the rest.
TEST(KeySnapshot, AnUndoAcrossBothFilesIsWholeOrNothing) {
  const std::string_view system(kSystem);
  const char* user = R"(Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine)";
  const std::string userKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine";
  MemoryRegistry registry;
  ASSERT_TRUE(registry.LoadWineText(kHkeyLocalMachine, system.substr(system.find("\n["))));
  ASSERT_TRUE(registry.LoadWineText(kHkeyCurrentUser,
                                    std::string("\n[") + user + "] 1\n\"DisplayName\"=\"Mine\"\n"));
  std::vector<SavedKey> saved;
  for (const auto& [root, path] :
       {std::pair{kHkeyLocalMachine, std::string(kApp)}, std::pair{kHkeyCurrentUser, userKey}}) {
    saved.push_back({root, path, *SnapshotKey(registry, root, path)});
    ASSERT_TRUE(RegRemoveKey(registry, root, path));
  }
  std::string error;
  registry.SetWritable(kHkeyCurrentUser, false);
  EXPECT_EQ(PutBackKeys(registry, saved, error), PutBack::Failed);
  EXPECT_FALSE(RegKeyExists(registry, kHkeyLocalMachine, kApp));
  registry.SetWritable(kHkeyCurrentUser, true);
  // As if an earlier put-back had saved the machine's file and not the user's.
  ASSERT_EQ(PutBackKeys(registry, {saved[0]}, error), PutBack::Done) << error;
  ASSERT_EQ(PutBackKeys(registry, saved, error), PutBack::Done) << error;
  EXPECT_TRUE(RegKeyExists(registry, kHkeyLocalMachine, std::string(kApp) + "\\Sub"));
  EXPECT_TRUE(RegValueExists(registry, kHkeyCurrentUser, userKey, "DisplayName"));
}

}  // namespace
}  // namespace pgl
