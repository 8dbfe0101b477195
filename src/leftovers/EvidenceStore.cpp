// The evidence records on disk: JSON files of the last runs, newest first.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "leftovers/LeftoverPaths.h"
#include "leftovers/Leftovers.h"
#include "leftovers/PlaceGuard.h"
#include "platform/AppFiles.h"
#include "util/FileIO.h"
#include "util/QV_Strings.h"

namespace fs = std::filesystem;

namespace pgl {

using namespace leftovers;

std::string LeftoversFolder() {
  return ProgramFilesDir() + "/leftovers";
}

std::string EvidenceToJson(const std::vector<Evidence>& records) {
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  for (const Evidence& ev : records) {
    nlohmann::ordered_json pointers = nlohmann::ordered_json::array();
    for (const RegPointer& p : ev.registry)
      pointers.push_back({{"root", p.root == kHkeyCurrentUser ? "HKCU" : "HKLM"},
                          {"key", p.key},
                          {"value", p.value},
                          {"whole_key", p.wholeKey},
                          {"why", p.why.In(Language::English)},
                          {"why_polish", p.why.In(Language::Polish)}});
    all.push_back({{"prefix", ev.prefix},
                   {"key", ev.entryKey},
                   {"name", ev.displayName},
                   {"publisher", ev.publisher},
                   {"recorded", ev.recorded},
                   {"install_folder_windows", ev.installFolderWindows},
                   {"install_folder", ev.installFolder},
                   {"files", ev.files},
                   {"shortcuts", ev.shortcuts},
                   {"shortcuts_windows", ev.shortcutsWindows},
                   {"registry", pointers},
                   {"desktop_files", ev.desktopFiles}});
  }
  return all.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

bool EvidenceFromJson(const std::string& text, std::vector<Evidence>& records) {
  const auto all = nlohmann::json::parse(text, nullptr, false);
  if (all.is_discarded() || !all.is_array()) return false;
  try {
    for (const auto& j : all) {
      Evidence ev;
      ev.prefix = j.at("prefix").get<std::string>();
      ev.entryKey = j.at("key").get<std::string>();
      ev.displayName = j.value("name", "");
      ev.publisher = j.value("publisher", "");
      ev.recorded = j.value("recorded", "");
      ev.installFolderWindows = j.value("install_folder_windows", "");
      ev.installFolder = j.value("install_folder", "");
      ev.files = j.value("files", std::vector<std::string>{});
      ev.shortcuts = j.value("shortcuts", std::vector<std::string>{});
      ev.shortcutsWindows = j.value("shortcuts_windows", std::vector<std::string>{});
      if (ev.shortcuts.size() != ev.shortcutsWindows.size()) return false;
      ev.desktopFiles = j.value("desktop_files", std::vector<std::string>{});
      for (const auto& p : j.value("registry", nlohmann::json::array()))
        ev.registry.push_back(
            {p.at("root").get<std::string>() == "HKCU" ? kHkeyCurrentUser : kHkeyLocalMachine,
             p.at("key").get<std::string>(),
             p.value("value", ""),
             p.value("whole_key", false),
             {p.value("why", ""), p.value("why_polish", "")}});
      records.push_back(std::move(ev));
    }
  } catch (const nlohmann::json::exception&) {
    return false;
  }
  return true;
}

namespace {

// The records' files in `folder`, newest first: the names sort by their time, then their number.
std::vector<std::string> EvidenceFiles(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("evidence-", 0) == 0 && name.size() > 5 &&
        name.compare(name.size() - 5, 5, ".json") == 0)
      files.push_back(it->path().string());
  }
  // "evidence-YYYYMMDD-HHMMSS-N.json": by the time, then by N.
  const auto order = [](const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const std::string stamp = name.substr(9, 15);
    return std::pair{stamp, std::atoll(name.c_str() + std::min<std::size_t>(25, name.size()))};
  };
  std::sort(files.begin(), files.end(),
            [&](const std::string& a, const std::string& b) { return order(a) > order(b); });
  return files;
}

// The records kept: those of the last runs.
constexpr std::size_t kKeptRecords = 100;

}  // namespace

bool SaveEvidence(const std::string& folder, const std::vector<Evidence>& records,
                  std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  char stamp[32];
  const std::time_t t = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&t, &utc);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
  // One file per run: the time, then a number that makes the name new.
  for (int n = 0; n < 1000; ++n) {
    const std::string file = folder + "/evidence-" + stamp + "-" + std::to_string(n) + ".json";
    if (Exists(file)) continue;
    if (!WriteFileAtomic(file, EvidenceToJson(records), error)) return false;
    const auto all = EvidenceFiles(folder);
    for (std::size_t old = kKeptRecords; old < all.size(); ++old) fs::remove(all[old], ec);
    return true;
  }
  error = "too many records in " + folder;
  return false;
}

std::optional<Evidence> LatestEvidence(const std::string& folder, const std::string& prefix,
                                       const std::string& entryKey) {
  const std::vector<std::string> files = EvidenceFiles(folder);
  const std::string wantedPrefix = HostPlace(prefix);
  for (const auto& file : files) {
    std::string text, error;
    if (!ReadWholeFile(file, text, error, 64u << 20)) continue;
    std::vector<Evidence> records;
    if (!EvidenceFromJson(text, records)) continue;
    for (auto& ev : records)
      if (HostPlace(ev.prefix) == wantedPrefix && AsciiEqualNoCase(ev.entryKey, entryKey))
        return std::move(ev);
  }
  return std::nullopt;
}

}  // namespace pgl
