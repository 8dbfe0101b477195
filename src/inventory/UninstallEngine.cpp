#include "inventory/UninstallEngine.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "inventory/CommandAnalysis.h"
#include "platform/IconReader.h"
#include "registry/QV_Registry.h"
#include "util/FileIO.h"
#include "util/QV_Strings.h"

namespace pgl {

namespace {

bool IsBlank(const std::string& text) {
  for (unsigned char c : text)
    if (c > ' ') return false;
  return true;
}

// The PE headers of a program file, read from its first 64 KiB; nothing for anything that
// is not a regular file holding a PE image.
std::optional<PeInfo> ProgramHeader(const Platform& platform, const std::string& windowsPath) {
  const auto local = platform.LocalPath(windowsPath);
  if (!local) return std::nullopt;
  return ReadPeInfo(ReadFileStart(*local, 64 * 1024));
}

}  // namespace

const std::string& UninstallCommandOf(const TUninstallInfo& info) {
  if (!info.UninstallString.empty()) return info.UninstallString;
  if (!info.QuietUninstallString.empty()) return info.QuietUninstallString;
  return info.ModifyPath;
}

namespace {

// In an msiexec command line (msiexec bare, with .exe or with a folder): where the letter of its
// /I, -I, /X or -X switch stands, and the product code that follows it ("{...}").
struct MsiSwitch {
  std::size_t letter = std::string::npos;
  std::string productCode;
};

MsiSwitch FindMsiSwitch(const std::string& command) {
  std::string lower = command;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t start = lower.find_first_not_of(" \t\"");
  if (start == std::string::npos) return {};
  const std::size_t end = lower.find_first_of(" \t\"", start);
  const std::string program = lower.substr(start, end - start);
  const std::size_t slash = program.find_last_of("\\/");
  const std::string name = slash == std::string::npos ? program : program.substr(slash + 1);
  if (name != "msiexec" && name != "msiexec.exe") return {};
  for (std::size_t at = end; at != std::string::npos && at + 1 < lower.size();
       at = lower.find_first_of("/-", at + 1)) {
    if ((lower[at] != '/' && lower[at] != '-') || (lower[at + 1] != 'i' && lower[at + 1] != 'x'))
      continue;
    if (at > 0 && lower[at - 1] != ' ' && lower[at - 1] != '\t') continue;
    const std::size_t brace = lower.find_first_not_of(' ', at + 2);
    if (brace == std::string::npos || lower[brace] != '{') continue;
    const std::size_t close = lower.find('}', brace);
    if (close == std::string::npos) continue;
    return {at + 1, command.substr(brace, close - brace + 1)};
  }
  return {};
}

}  // namespace

std::string UninstallCommandToRun(const TUninstallInfo& info) {
  std::string command = UninstallCommandOf(info);
  const MsiSwitch found = FindMsiSwitch(command);
  if (found.letter != std::string::npos &&
      (command[found.letter] == 'i' || command[found.letter] == 'I'))
    command[found.letter] = command[found.letter] == 'i' ? 'x' : 'X';
  return command;
}

std::string QuietUninstallCommandOf(const TUninstallInfo& info) {
  if (!IsBlank(info.QuietUninstallString)) return info.QuietUninstallString;
  // A Windows Installer product removes itself without a window through msiexec's /qn.
  const MsiSwitch found = FindMsiSwitch(UninstallCommandOf(info));
  if (found.letter == std::string::npos) return {};
  return "MsiExec.exe /X" + found.productCode + " /qn";
}

std::string UninstallCommandFor(const TUninstallInfo& info, UninstallMode mode) {
  return mode == UninstallMode::Quiet ? QuietUninstallCommandOf(info) : UninstallCommandToRun(info);
}

namespace {

enum class Msg {
  StillInstalled,
  NoQuietCommand,
  MissingCommand,
  StartFailed,
  NotRunnable,
  StoppedWaiting,
  RunnerFailed,
  WhyNoQuietCommand,
  WhyNoCommand,
  WhyNotRunnable,
  WhyNoWine,
  NoKeyName,
  NotDeleted,
  UsageRecordLeft,
  KeyStillThere,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::StillInstalled, {"Still installed: %1", "Nadal zainstalowany: %1"}},
    {Msg::NoQuietCommand,
     {"Application: %1\r\nError: There is no quiet uninstall command; nothing was run",
      "Aplikacja: %1\r\nBłąd: Brak polecenia cichej deinstalacji; nic nie uruchomiono"}},
    {Msg::MissingCommand,
     {"Application: %1\r\nError: Uninstall command is missing!",
      "Aplikacja: %1\r\nBłąd: Brak polecenia deinstalacyjnego"}},
    {Msg::StartFailed,
     {"Application: %1\r\nCommand failed: %2\r\nError no.: %3\r\nMessage: %4",
      "Program: %1\r\nNiepowodzenie: %2\r\nNr błędu: %3\r\nKomunikat: %4"}},
    {Msg::NotRunnable,
     {"Application: %1\r\nError: The uninstaller is a 32-bit Windows program and this Wine "
      "cannot run 32-bit programs: %2\r\nInstall Wine's 32-bit part (on Debian, the wine32 "
      "package) and try again.",
      "Aplikacja: %1\r\nBłąd: Deinstalator jest 32-bitowym programem Windows, a ten Wine nie "
      "uruchamia programów 32-bitowych: %2\r\nZainstaluj 32-bitową część Wine (w Debianie "
      "pakiet wine32) i spróbuj ponownie."}},
    {Msg::StoppedWaiting,
     {"Application: %1\r\nError: Stopped waiting for the uninstaller; it may still be running.",
      "Aplikacja: %1\r\nBłąd: Przerwano oczekiwanie na deinstalator; może on nadal działać."}},
    {Msg::RunnerFailed,
     {"Application: %1\r\nCommand failed: %2\r\nMessage: %3",
      "Program: %1\r\nNiepowodzenie: %2\r\nKomunikat: %3"}},
    {Msg::WhyNoQuietCommand,
     {"it has no quiet uninstall command", "brak polecenia cichej deinstalacji"}},
    {Msg::WhyNoCommand, {"it has no uninstall command", "brak polecenia deinstalacyjnego"}},
    {Msg::WhyNotRunnable,
     {"a 32-bit uninstaller, and this Wine runs no 32-bit programs",
      "32-bitowy deinstalator, a ten Wine nie uruchamia programów 32-bitowych"}},
    {Msg::WhyNoWine, {"nothing will be run: %1", "nic nie zostanie uruchomione: %1"}},
    {Msg::NoKeyName, {"it has no key name.", "nie ma nazwy klucza."}},
    {Msg::NotDeleted, {"it could not be deleted.", "nie dało się go usunąć."}},
    {Msg::UsageRecordLeft,
     {"its usage record (ARPCache key) was left: %1",
      "został jego zapis użycia (klucz ARPCache): %1"}},
    {Msg::KeyStillThere, {"its key is still there.", "jego klucz nadal istnieje."}},
};
static_assert(IsMessageTable(kMessages));

std::string Text(Msg id, Language lang, std::initializer_list<std::string_view> args = {}) {
  return Fill(MessageIn(kMessages, id, lang), args);
}

}  // namespace

std::string UninstallEngine::StillInstalledText(const std::string& name, Language lang) {
  return Text(Msg::StillInstalled, lang, {name});
}

std::string UninstallEngine::NoQuietCommandText(const std::string& name, Language lang) {
  return Text(Msg::NoQuietCommand, lang, {name});
}

std::string UninstallEngine::MissingCommandText(const std::string& name, Language lang) {
  return Text(Msg::MissingCommand, lang, {name});
}

std::string UninstallEngine::StartFailedText(const std::string& name, const std::string& command,
                                             std::uint32_t code, const std::string& message,
                                             Language lang) {
  return Text(Msg::StartFailed, lang, {name, command, std::to_string(code), message});
}

std::string UninstallEngine::NotRunnableText(const std::string& name, const std::string& program,
                                             Language lang) {
  return Text(Msg::NotRunnable, lang, {name, program});
}

std::string UninstallEngine::StoppedWaitingText(const std::string& name, Language lang) {
  return Text(Msg::StoppedWaiting, lang, {name});
}

std::string UninstallEngine::RunnerFailedText(const std::string& name, const std::string& command,
                                              const std::string& why, Language lang) {
  return Text(Msg::RunnerFailed, lang, {name, command, why});
}

UninstallEngine::Obstacle UninstallEngine::ObstacleOf(const std::string& command,
                                                      std::string& program) const {
  if (IsBlank(command)) return Obstacle::NoCommand;
  program = ExtractExeFromCommand(platform_, command);
  if (!program.empty()) {
    const auto header = ProgramHeader(platform_, program);
    if (header && !runner_.CanRun(header->machine)) return Obstacle::NotRunnable;
  }
  if (!runner_.WhyNothingRuns(Language::English).empty()) return Obstacle::NoWine;
  return Obstacle::None;
}

std::string UninstallEngine::WhyNotRun(const TUninstallInfo& entry, Language lang,
                                       UninstallMode mode) const {
  switch (ExpectedResult(entry, mode)) {
    case UninstallResult::MissingCommand:
      return Text(mode == UninstallMode::Quiet ? Msg::WhyNoQuietCommand : Msg::WhyNoCommand, lang);
    case UninstallResult::NotRunnable:
      return Text(Msg::WhyNotRunnable, lang);
    case UninstallResult::RunnerFailed:
      return Text(Msg::WhyNoWine, lang, {runner_.WhyNothingRuns(lang)});
    default:
      return {};
  }
}

UninstallResult UninstallEngine::ExpectedResult(const TUninstallInfo& entry,
                                                UninstallMode mode) const {
  std::string program;
  switch (ObstacleOf(UninstallCommandFor(entry, mode), program)) {
    case Obstacle::None:
      break;
    case Obstacle::NoCommand:
      return UninstallResult::MissingCommand;
    case Obstacle::NotRunnable:
      return UninstallResult::NotRunnable;
    case Obstacle::NoWine:
      return UninstallResult::RunnerFailed;
  }
  return UninstallResult::Finished;
}

UninstallBatch UninstallEngine::Run(const std::vector<TUninstallInfo>& entries, Language lang,
                                    UninstallObserver& observer, UninstallMode mode) {
  UninstallBatch batch;
  bool anyStarted = false;
  const int count = static_cast<int>(entries.size());
  for (int i = 0; i < count; ++i) {
    const TUninstallInfo& entry = entries[static_cast<std::size_t>(i)];
    UninstallStep step;
    step.displayName = entry.DisplayName.str();
    step.registryKey = RegistryKeyOf(entry);
    const std::string command = UninstallCommandFor(entry, mode);
    const std::string& name = step.displayName;
    std::string program;
    const Obstacle obstacle = ObstacleOf(command, program);
    if (obstacle == Obstacle::NoCommand) {
      step.result = UninstallResult::MissingCommand;
      errors_.AddError(mode == UninstallMode::Quiet ? NoQuietCommandText(name, lang)
                                                    : MissingCommandText(name, lang));
      batch.steps.push_back(std::move(step));
      continue;
    }
    // A program the system cannot run would start, do nothing and pass as done.
    if (obstacle == Obstacle::NotRunnable) {
      step.result = UninstallResult::NotRunnable;
      errors_.AddError(NotRunnableText(name, program, lang));
      batch.steps.push_back(std::move(step));
      continue;
    }
    observer.UninstallerStarting(entry, i, count);
    step.outcome = runner_.RunAndWait(command, [&observer] { return observer.StopWaiting(); });
    observer.UninstallerEnded(entry);
    switch (step.outcome.kind) {
      case RunOutcome::Kind::Finished:
        step.result = UninstallResult::Finished;
        anyStarted = true;
        break;
      case RunOutcome::Kind::StartFailed:
        step.result = UninstallResult::StartFailed;
        errors_.AddError(StartFailedText(name, command, step.outcome.errorCode,
                                         step.outcome.message.In(lang), lang));
        break;
      case RunOutcome::Kind::StoppedWaiting:
        step.result = UninstallResult::StoppedWaiting;
        anyStarted = true;
        errors_.AddError(StoppedWaitingText(name, lang));
        break;
      case RunOutcome::Kind::RunnerFailed:
        step.result = UninstallResult::RunnerFailed;
        errors_.AddError(RunnerFailedText(name, command, step.outcome.message.In(lang), lang));
        break;
    }
    batch.steps.push_back(std::move(step));
  }
  if (anyStarted) {
    batch.registrySettled = runner_.WaitUntilRegistrySaved(
        [&observer](int seconds) { return observer.KeepWaitingForRegistry(seconds); });
    registry_.Refresh();
  }
  return batch;
}

namespace {

// Removes entries that all live in one registry file, in one save of it.
void RemoveFromOneFile(RegistryStore& registry, const std::vector<TUninstallInfo>& entries,
                       Language lang, std::vector<RemoveFailure>& failures) {
  const std::size_t before = failures.size();
  registry.HoldCommits();
  for (const TUninstallInfo& entry : entries) {
    const RootKey root = PlaceOf(entry.View).root;
    const std::string& name = EntrySubkey(entry);
    if (name.empty()) {
      // An empty name would name the Uninstall key itself, with every entry below it.
      failures.push_back(
          {entry.DisplayName.str(), RegistryKeyOf(entry), Text(Msg::NoKeyName, lang)});
      continue;
    }
    const std::string uninstallKey = UninstallKeyPath(entry.View, name);
    const std::string arpKey = ARPCacheKeyPath(entry.View, name);
    const auto why = [&registry, lang] {
      const std::string error = registry.LocalizedError(lang);
      return error.empty() ? Text(Msg::NotDeleted, lang) : error;
    };
    // A failed delete is a failure even where the key is not to be seen afterwards: a save
    // found unsafe may have put a file in place that Wine is about to write over.
    const auto removeFails = [&](const std::string& key) {
      return RegKeyExists(registry, root, key) && !RegRemoveKey(registry, root, key) &&
             (!registry.LastError().empty() || RegKeyExists(registry, root, key));
    };
    std::string reason;
    if (removeFails(uninstallKey))
      reason = why();
    else if (removeFails(arpKey))
      reason = Text(Msg::UsageRecordLeft, lang, {why()});
    // Only what the registry shows afterwards counts.
    if (reason.empty() && RegKeyExists(registry, root, uninstallKey))
      reason = Text(Msg::KeyStillThere, lang);
    if (!reason.empty()) {
      failures.push_back({entry.DisplayName.str(), RegistryKeyOf(entry), reason});
    }
  }
  if (registry.CommitHeld()) return;
  // The save failed: none of the file's removals counts, even where its key is not to be seen
  // (a save found unsafe may have put a file in place that Wine is about to write over).
  const std::string error = registry.LocalizedError(lang);
  for (const TUninstallInfo& entry : entries) {
    const std::string key = RegistryKeyOf(entry);
    const bool told =
        std::any_of(failures.begin() + static_cast<std::ptrdiff_t>(before), failures.end(),
                    [&key](const RemoveFailure& f) { return f.registryKey == key; });
    if (!told)
      failures.push_back(
          {entry.DisplayName.str(), key, error.empty() ? Text(Msg::NotDeleted, lang) : error});
  }
}

}  // namespace

std::vector<RemoveFailure> RemoveEntries(RegistryStore& registry,
                                         const std::vector<TUninstallInfo>& entries,
                                         Language lang) {
  // Every entry of a registry file goes in one save of it, however many there are.
  std::map<RootKey, std::vector<TUninstallInfo>> byFile;
  for (const TUninstallInfo& entry : entries) byFile[PlaceOf(entry.View).root].push_back(entry);
  std::vector<RemoveFailure> failures;
  for (const auto& [root, group] : byFile) RemoveFromOneFile(registry, group, lang, failures);
  // Told in the order asked.
  std::vector<RemoveFailure> ordered;
  for (const TUninstallInfo& entry : entries)
    for (const RemoveFailure& f : failures)
      if (f.registryKey == RegistryKeyOf(entry)) ordered.push_back(f);
  return ordered;
}

int PruneNonExisting(TUninstallCollection& collection) {
  collection.CheckKeysExist();
  const int dropped = collection.DeleteNonExisting();
  collection.UpdateCounts();
  return dropped;
}

}  // namespace pgl
