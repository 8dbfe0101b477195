// pgl-cli's output for machines: CSV quoting, ISO dates, and JSON with raw values beside texts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "TestSupport.h"
#include "inventory/MachineOutput.h"
#include "platform/wine/WinePlatform.h"
#include "registry/RegistryStore.h"

namespace pgl {
namespace {

TEST(MachineOutput, DatesInIso8601) {
  EXPECT_EQ(FileTimeToIso(0), std::nullopt);
  EXPECT_EQ(FileTimeToIso(116444736000000000ull), "1970-01-01T00:00:00Z");
  EXPECT_EQ(FileTimeToIso(0x1da1747c66d0000ull), "2023-11-14T22:13:20Z");
  const std::pair<std::string, std::optional<std::string>> dates[] = {
      {"20261101", "2026-11-01"}, {"2026111", std::nullopt},  {"2026-11-01", std::nullopt},
      {"20261301", std::nullopt}, {"20261100", std::nullopt}, {"", std::nullopt},
  };
  for (const auto& [text, iso] : dates) EXPECT_EQ(InstallDateToIso(text), iso) << text;
}

TEST(MachineOutput, TablesAndJsonOfOutcomesAndPrefixes) {
  const std::vector<OutcomeRecord> outcomes = {
      {"HKLM\\A", "Plain", "/p", EntryOutcome::Removed, 0, ""},
      {"HKLM\\B", "Comma, \"quoted\"", "/p", EntryOutcome::NotRemoved, 5, "line\nbreak\x1b[2J"},
  };
  EXPECT_EQ(FormatOutcomes(outcomes, OutputFormat::Csv),
            "Key,Name,Prefix,Outcome,Error number,Error,Command\r\n"
            "HKLM\\A,Plain,/p,removed,0,,\r\n"
            "HKLM\\B,\"Comma, \"\"quoted\"\"\",/p,not_removed,5,line break [2J,\r\n");
  EXPECT_EQ(FormatOutcomes(outcomes, OutputFormat::Tsv).substr(0, 4), "Key\t");
  const auto parsed = nlohmann::json::parse(FormatOutcomes(outcomes, OutputFormat::Json));
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[1]["name"], "Comma, \"quoted\"");
  EXPECT_EQ(parsed[1]["error_number"], 5);
  EXPECT_EQ(parsed[1]["error_text"], "line\nbreak\x1b[2J");  // escaped by JSON, kept whole
  // A dry run's records: the outcome each would have, and the command that would run.
  OutcomeRecord would{"HKLM\\C", "Game", "/p", EntryOutcome::Uninstalled, 0, ""};
  would.command = "C:\\Game\\uninst.exe /S";
  would.dryRun = true;
  const auto dry = nlohmann::json::parse(FormatOutcomes({would}, OutputFormat::Json));
  EXPECT_EQ(dry[0]["outcome"], "would_uninstalled");
  EXPECT_EQ(dry[0]["command"], "C:\\Game\\uninst.exe /S");
  EXPECT_EQ(FormatOutcomes({would}, OutputFormat::Tsv),
            "Key\tName\tPrefix\tOutcome\tError number\tError\tCommand\n"
            "HKLM\\C\tGame\t/p\twould_uninstalled\t0\t\tC:\\Game\\uninst.exe /S\n");
  const auto prefixes = nlohmann::json::parse(FormatPrefixes(
      {{"Game", "Steam", "win64", "/s/pfx", 12}, {"Broken", "Wine", "win64", "/b", std::nullopt}},
      OutputFormat::Json));
  EXPECT_EQ(prefixes[0]["programs"], 12);
  EXPECT_TRUE(prefixes[1]["programs"].is_null());
  EXPECT_EQ(FormatPrefixes({{"Broken", "Wine", "win64", "/b", std::nullopt}}, OutputFormat::Tsv),
            "Name\tSource\tArchitecture\tPrograms\tPath\tOwner\tOwner state\tFolder\tShader "
            "cache\tCloud saves\n"
            "Broken\tWine\twin64\t?\t/b\t\tnone\t\t\t\n");
  // Measured: sizes in bytes, the save folders, the last use in UTC (none when unknown).
  PrefixRecord game{"Game", "Steam", "win64", "/s/pfx", 3, "/s", "Game", "removed"};
  game.sizes = PrefixSizes{4096, 100, {{"drive_c/users/u/Saved Games/G", 100}}, 1700000000, 8192};
  game.shaderCache = "/l/steamapps/shadercache/7";
  game.cloudSaves = "no";
  PrefixRecord plain{"~/.wine", "Wine", "win64", "/h/.wine", 0};
  plain.sizes = PrefixSizes{};
  EXPECT_EQ(FormatPrefixes({game, plain}, OutputFormat::Tsv),
            "Name\tSource\tArchitecture\tPrograms\tPath\tOwner\tOwner state\tFolder\tShader "
            "cache\tCloud saves\tSize\tSaves\tLast used\tSave folders\tShader cache size\n"
            "Game\tSteam\twin64\t3\t/s/pfx\tGame\tremoved\t/s\t/l/steamapps/shadercache/7\tno\t"
            "4096\t100\t2023-11-14T22:13:20Z\tdrive_c/users/u/Saved Games/G\t8192\n"
            "~/.wine\tWine\twin64\t0\t/h/.wine\t\tnone\t\t\t\t0\t0\t\t\t\n");
  const auto measured = nlohmann::json::parse(FormatPrefixes({game, plain}, OutputFormat::Json));
  EXPECT_EQ(measured[0]["size_bytes"], 4096);
  EXPECT_EQ(measured[0]["save_folders"][0]["path"], "drive_c/users/u/Saved Games/G");
  EXPECT_EQ(measured[0]["save_folders"][0]["bytes"], 100);
  EXPECT_EQ(measured[0]["last_used"], "2023-11-14T22:13:20Z");
  EXPECT_TRUE(measured[1]["last_used"].is_null());
  // A Steam game's shader cache and cloud state; null for a plain prefix.
  EXPECT_EQ(measured[0]["shadercache_folder"], "/l/steamapps/shadercache/7");
  EXPECT_EQ(measured[0]["shadercache_bytes"], 8192);
  EXPECT_EQ(measured[0]["cloud_saves"], "no");
  for (const char* field : {"shadercache_folder", "shadercache_bytes", "cloud_saves"})
    EXPECT_TRUE(measured[1][field].is_null()) << field;
  // C1 controls are escaped (a terminal may take U+009B for a control sequence), other text
  // is kept as it is; both read back the same.
  const std::string c1 =
      "csi\xc2\x9b"
      "2J nbsp\xc2\xa0 nel\xc2\x85";
  const std::string json =
      FormatOutcomes({{"K", c1, "", EntryOutcome::Removed, 0, ""}}, OutputFormat::Json);
  EXPECT_NE(json.find("csi\\u009b2J nbsp\xc2\xa0 nel\\u0085"), std::string::npos) << json;
  EXPECT_EQ(nlohmann::json::parse(json)[0]["name"], c1);
  // Text that is not UTF-8 is replaced, not refused.
  nlohmann::json replaced;
  EXPECT_NO_THROW(
      replaced = nlohmann::json::parse(FormatOutcomes(
          {{"K", std::string("bad\xff"), "", EntryOutcome::Removed, 0, ""}}, OutputFormat::Json)));
}

TEST(MachineOutput, AListWrittenInPiecesIsTheListMadeWhole) {
  // Enough entries for several pieces, with texts CSV must quote and TSV must clean.
  test::TempDir dir;
  test::MakePrefixDirs(dir.Path());
  MemoryRegistry registry;
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection collection(registry, platform);
  for (int i = 0; i < 4000; ++i) {
    TUninstallInfo& info = collection.AddItem().UninstallInfo;
    info.KeyName = "Key" + std::to_string(i);
    info.DisplayName = "Name, \"quoted\"\tand\ttabbed " + std::string(200, 'x');
    info.UninstallString = std::string(300, 'u');
    info.Visible = info.Exists = true;
    info.Valid = i % 3 != 0;
  }
  const ListFilter filters[] = {{}, {true, true}, {false, false}};
  for (const OutputFormat format : {OutputFormat::Tsv, OutputFormat::Csv, OutputFormat::Json})
    for (const ListFilter& filter : filters) {
      std::string pieces;
      int calls = 0;
      WriteProgramList(collection, filter, Language::English, format, [&](std::string_view piece) {
        pieces += piece;
        ++calls;
      });
      EXPECT_EQ(pieces,
                FormatProgramList(collection, BuildListRows(collection, filter, Language::English),
                                  format));
      if (format != OutputFormat::Json && filter.showInvalid && !filter.showOnlyInvalid) {
        EXPECT_GT(calls, 1);
      }
    }
}

}  // namespace
}  // namespace pgl
