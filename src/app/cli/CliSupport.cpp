#include "app/cli/CliSupport.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "inventory/UninstallPlaces.h"
#include "platform/Console.h"
#include "platform/Trash.h"
#include "util/Utf.h"

namespace pgl::cli {

namespace {

int gOutputError = 0;

bool SameKeyName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool Names(const TUninstallInfo& info, const std::optional<EntryKeyRef>& ref,
           const std::string& arg) {
  return ref ? info.View == ref->view && SameKeyName(EntrySubkey(info), ref->keyName)
             : SameKeyName(EntrySubkey(info), arg);
}

std::string ExportFileName() {
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  // The export must not replace an earlier one: the time to the microsecond names it.
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count() %
                      1000000;
  return LeftoversFolder() + "/leftovers-" + stamp + "-" + std::to_string(micros) + ".reg";
}

}  // namespace

std::string Safe(std::string_view text) {
  return WithoutControlCharacters(text);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "pgl-cli: %s\n", Safe(message).c_str());
  return 1;
}

void Note(const std::string& message) {
  std::fprintf(stderr, "pgl-cli: %s\n", Safe(message).c_str());
}

void Out(std::string_view text) {
  if (text.empty()) return;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && gOutputError == 0)
    gOutputError = errno ? errno : EIO;
}

int FinishOutput(int exitCode) {
  if (std::fflush(stdout) != 0 && gOutputError == 0) gOutputError = errno ? errno : EIO;
  if (std::ferror(stdout) && gOutputError == 0) gOutputError = EIO;
  if (std::fclose(stdout) != 0 && gOutputError == 0) gOutputError = errno ? errno : EIO;
  if (gOutputError == 0) return exitCode;
  Fail(std::string("cannot write to standard output: ") + std::strerror(gOutputError));
  return exitCode == 0 ? 1 : exitCode;
}

void ReportUnreadable(const ScanReport& report) {
  if (report.unreadableValues > 0)
    Note(std::to_string(report.unreadableValues) +
         " registry value(s) could not be read as text (the first: " + report.firstUnreadable +
         "); their fields are left empty.");
}

bool ResolveKeys(TUninstallCollection& collection, const std::vector<std::string>& args,
                 std::vector<TUninstallInfo>& entries, int& exitCode) {
  for (const std::string& arg : args) {
    const auto ref = ParseEntryKeyText(arg);
    std::vector<const TUninstallInfo*> found;
    for (int i = 0; i < collection.Count(); ++i) {
      const TUninstallInfo& info = collection.GetItem(i).UninstallInfo;
      if (Names(info, ref, arg)) found.push_back(&info);
    }
    if (found.empty()) {
      Note("no installed program has the key \"" + arg + "\"; \"pgl-cli list\" shows the keys.");
      exitCode = 1;
      return false;
    }
    if (found.size() > 1) {
      Note("the key name \"" + arg + "\" is found in more than one place:");
      for (const auto* info : found)
        std::fprintf(stderr, "  %s\t%s\n", Safe(RegistryKeyOf(*info)).c_str(),
                     Safe(info->DisplayName.str()).c_str());
      std::fprintf(stderr, "Give the whole key to choose one.\n");
      exitCode = 2;
      return false;
    }
    bool duplicate = false;
    const std::string key = RegistryKeyOf(*found.front());
    for (const auto& e : entries) duplicate |= RegistryKeyOf(e) == key;
    if (!duplicate) entries.push_back(*found.front());
  }
  return true;
}

const TUninstallInfo* ListedEntry(const TUninstallCollection& collection, const std::string& arg) {
  const auto ref = ParseEntryKeyText(arg);
  for (int i = 0; i < collection.Count(); ++i) {
    const TUninstallInfo& info = collection.GetItem(i).UninstallInfo;
    if (Names(info, ref, arg)) return &info;
  }
  return nullptr;
}

bool Agreed(const std::string& question) {
  std::fprintf(stderr, "%s [y/N] ", question.c_str());
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes";
}

bool Confirm(const std::string& question, const std::vector<TUninstallInfo>& entries, bool yes) {
  if (yes || !InputIsTerminal()) return true;
  std::fprintf(stderr, "%s\n", question.c_str());
  for (const auto& e : entries)
    std::fprintf(stderr, "  %s\t%s\n", Safe(e.DisplayName.str()).c_str(),
                 Safe(RegistryKeyOf(e)).c_str());
  return Agreed("Continue?");
}

OutcomeRecord Outcome(const ManagedSystem& system, const TUninstallInfo& entry,
                      EntryOutcome outcome, std::uint32_t errorNumber, std::string errorText) {
  return {RegistryKeyOf(entry), entry.DisplayName.str(), system.prefixDir, outcome,
          errorNumber,          std::move(errorText)};
}

OutputFormat FormatNamed(const std::string& name) {
  return OutputFormatNamed(name).value_or(OutputFormat::Tsv);
}

// Removes the items, saying what went where; false when any stayed.
bool RemoveItems(const LeftoverScope& scope, const std::vector<Leftover>& items, Language lang) {
  const std::string exportFile = ExportFileName();
  const auto failures = RemoveLeftovers(scope, items, exportFile, lang);
  bool desktopChanged = false;
  for (const auto& item : items) {
    bool failed = false;
    for (const auto& f : failures) failed = failed || f.item == item.Text();
    if (failed) continue;
    desktopChanged = desktopChanged || item.kind == LeftoverKind::DesktopFile ||
                     item.kind == LeftoverKind::MenuFile;
    Out((item.IsRegistry() ? "Deleted (saved in " + Safe(exportFile) + "): "
                           : std::string("Moved to the trash: ")) +
        Safe(item.Text()) + "\n");
  }
  for (const auto& f : failures)
    std::fprintf(stderr, "Not removed: %s: %s\n", Safe(f.item).c_str(), Safe(f.reason).c_str());
  if (desktopChanged) RefreshDesktopMenus(scope.xdg.dataHome);
  return failures.empty();
}

std::vector<Leftover> OfConfidence(const std::vector<Leftover>& items, bool all) {
  std::vector<Leftover> chosen;
  for (const auto& item : items)
    if (all || item.confidence == Confidence::Sure) chosen.push_back(item);
  return chosen;
}

LeftoverRecord RecordOf(const std::string& entryKey, const Leftover& item, OutputFormat format,
                        Language lang) {
  return {entryKey,
          format == OutputFormat::Tsv ? ConfidenceText(item.confidence, lang)
                                      : ConfidenceName(item.confidence),
          KindName(item.kind),
          item.Text(),
          item.reason.In(lang),
          item.size};
}

std::string Megabytes(std::uint64_t bytes) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << static_cast<double>(bytes) / (1024.0 * 1024.0)
       << " MB";
  return text.str();
}

}  // namespace pgl::cli
