// The names pgl-cli prints for scripts: what each JSON writer writes is its list of fields, and
// the README names every field, outcome, place, confidence and kind the program can print.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>

#include "TestSupport.h"
#include "inventory/EntryList.h"
#include "inventory/MachineOutput.h"
#include "inventory/OutputNames.h"
#include "leftovers/Leftovers.h"
#include "leftovers/PrefixRemoval.h"
#include "platform/wine/WinePlatform.h"
#include "registry/RegistryStore.h"
#include "util/FileIO.h"

namespace pgl {
namespace {

std::vector<std::string_view> KeysOf(const std::string& json) {
  const auto parsed = nlohmann::ordered_json::parse(json);
  EXPECT_EQ(parsed.size(), 1u) << json;
  std::vector<std::string_view> keys;
  static std::set<std::string> held;  // the views point into these
  for (const auto& [key, value] : parsed.at(0).items()) keys.push_back(*held.insert(key).first);
  return keys;
}

TEST(OutputNames, EachJsonWriterWritesItsFieldsInOrder) {
  test::TempDir dir;
  test::MakePrefixDirs(dir.Path());
  MemoryRegistry registry;
  WinePlatform platform(dir.Path(), registry);
  TUninstallCollection collection(registry, platform);
  TUninstallInfo& info = collection.AddItem().UninstallInfo;
  info.KeyName = "Key";
  info.Visible = info.Exists = info.Valid = true;
  std::string programs;
  WriteProgramList(collection, {}, Language::English, OutputFormat::Json,
                   [&](std::string_view piece) { programs += piece; });
  EXPECT_EQ(KeysOf(programs), ProgramFields());
  // Each text field holds what its column shows, taken from the entry's own value.
  info.ExeFile = "C:\\a.exe";
  info.DisplayIcon = "C:\\a.ico";
  info.UninstallString = "C:\\un.exe";
  info.QuietUninstallString = "C:\\un.exe /S";
  info.ModifyPath = "C:\\mod.exe";
  info.InstallLocation = "C:\\A";
  info.InstallSource = "D:\\";
  programs.clear();
  WriteProgramList(collection, {}, Language::English, OutputFormat::Json,
                   [&](std::string_view piece) { programs += piece; });
  const auto object = nlohmann::json::parse(programs).at(0);
  const std::pair<const char*, std::string> texts[] = {
      {"program_file", info.ExeFile},
      {"icon_file", info.DisplayIcon},
      {"uninstall_command", info.UninstallString},
      {"quiet_uninstall_command", info.QuietUninstallString},
      {"modify_command", info.ModifyPath},
      {"install_location", info.InstallLocation},
      {"install_source", info.InstallSource},
      {"key", "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Key"},
  };
  for (const auto& [field, text] : texts) EXPECT_EQ(object.at(field), text) << field;
  for (const ListColumn& column : ListColumns())
    EXPECT_TRUE(object.contains(column.field)) << column.field;
  EXPECT_EQ(KeysOf(FormatPrefixes({{"P", "Wine", "win64", "/p", 1}}, OutputFormat::Json)),
            PrefixFields());
  PrefixRecord measured{"P", "Wine", "win64", "/p", 1};
  measured.sizes = PrefixSizes{};
  std::vector<std::string_view> withSizes = PrefixFields();
  withSizes.insert(withSizes.end(), PrefixSizeFields().begin(), PrefixSizeFields().end());
  EXPECT_EQ(KeysOf(FormatPrefixes({measured}, OutputFormat::Json)), withSizes);
  EXPECT_EQ(KeysOf(FormatPrefixOutcomes({{"/p", "P", "", "removed"}}, OutputFormat::Json)),
            PrefixOutcomeFields());
  EXPECT_EQ(
      KeysOf(FormatOutcomes({{"K", "N", "/p", EntryOutcome::Removed, 0, ""}}, OutputFormat::Json)),
      OutcomeFields());
  // The outcome only in a dry run's records.
  EXPECT_EQ(KeysOf(FormatLeftovers({{"K", "sure", "file", "/x", "why", 1, "would_removed"}},
                                   OutputFormat::Json)),
            LeftoverFields());
  std::vector<std::string_view> listed = LeftoverFields();
  listed.pop_back();
  EXPECT_EQ(KeysOf(FormatLeftovers({{"K", "sure", "file", "/x", "why", 1}}, OutputFormat::Json)),
            listed);
}

TEST(OutputNames, TheReadmeListsEveryNameTheProgramCanPrint) {
  std::string readme, error;
  ASSERT_TRUE(ReadWholeFile(PGL_README, readme, error, 1 << 20)) << error;
  std::vector<std::string> names;
  for (const auto* fields : {&ProgramFields(), &PrefixFields(), &PrefixSizeFields(),
                             &PrefixOutcomeFields(), &OutcomeFields(), &LeftoverFields()})
    for (const auto field : *fields) names.emplace_back(field);
  names.insert(names.end(), {"prefix", "prefix_path"});
  for (const EntryOutcome outcome : AllOutcomes()) names.emplace_back(OutcomeName(outcome));
  for (const PrefixOutcome outcome : AllPrefixOutcomes())
    names.emplace_back(PrefixOutcomeName(outcome));
  for (const UninstallView view :
       {UninstallView::Machine, UninstallView::Machine32, UninstallView::User})
    names.emplace_back(PlaceName(view));
  for (const Confidence c : {Confidence::Sure, Confidence::Likely, Confidence::Uncertain})
    names.push_back(ConfidenceName(c));
  for (const LeftoverKind kind :
       {LeftoverKind::Folder, LeftoverKind::File, LeftoverKind::RegistryKey,
        LeftoverKind::RegistryValue, LeftoverKind::DesktopFile, LeftoverKind::Icon,
        LeftoverKind::MenuFile})
    names.push_back(KindName(kind));
  for (const std::string& name : names)
    EXPECT_NE(readme.find("`" + name + "`"), std::string::npos)
        << "the README does not list `" << name << "`";
}

}  // namespace
}  // namespace pgl
