#include "inventory/CommandAnalysis.h"

#include <ctime>
#include <vector>

#include "inventory/UCollection.h"
#include "platform/QV_FileSystem.h"
#include "util/Locale.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace pgl {

std::string TrimControl(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return std::string(text.substr(begin, end - begin));
}

namespace {

std::string WithoutQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '"') out += c;
  return out;
}

std::string AsciiUpperCopy(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

// The first `count` bytes of `text`, extended to the end of a UTF-8 sequence cut there.
std::string CutAfter(std::string_view text, std::size_t count) {
  if (count >= text.size()) return std::string(text);
  while (count < text.size() && (static_cast<unsigned char>(text[count]) & 0xC0) == 0x80) ++count;
  return std::string(text.substr(0, count));
}

}  // namespace

namespace {

// The files a command line may start, in the order they are tried: the command whole (quotes
// removed), cut before its first '/', cut before its first " -", and cut after ".EXE" and the
// character after it. A system program the command names (rundll32, msiexec) is looked for on
// the search path after the second cut: found, it is the answer and nothing after it is tried.
// Which candidates there are never depends on whether an earlier one exists.
struct ExeCandidates {
  std::vector<std::string> paths;  // without repeats; the last is the last cut
  std::optional<std::string> onSearchPath;
};

ExeCandidates CandidatesOf(const Platform& platform, std::string_view command) {
  ExeCandidates out;
  std::string s = TrimControl(command);
  if (s.empty()) return out;
  s = WithoutQuotes(s);
  const auto add = [&] {
    if (out.paths.empty() || out.paths.back() != s) out.paths.push_back(s);
  };
  add();
  if (const auto slash = s.find('/'); slash != std::string::npos)
    s = TrimControl(s.substr(0, slash));
  add();
  if (const auto dash = s.find(" -"); dash != std::string::npos) s = TrimControl(s.substr(0, dash));
  add();
  // System programs named without a path: found on the search path.
  const std::pair<const char*, const char*> programs[] = {{"rundll32.exe", "rundll32.exe"},
                                                          {"rundll32", "rundll32.exe"},
                                                          {"msiexec.exe", "msiexec.exe"},
                                                          {"msiexec", "msiexec.exe"}};
  for (const auto& [prefix, program] : programs) {
    if (!AsciiStartsWithNoCase(s, prefix)) continue;
    if (auto found = platform.SearchPath(program)) {
      out.onSearchPath = std::move(*found);
      return out;
    }
  }
  // Keep up to ".EXE" and the one character after it, where there is one.
  const auto p = AsciiUpperCopy(s).find(".EXE");
  if (p != std::string::npos) s = CutAfter(s, p + 4 + 1);
  add();
  return out;
}

}  // namespace

std::string ExtractExeFromCommand(const Platform& platform, std::string_view command) {
  ExeCandidates candidates = CandidatesOf(platform, command);
  if (candidates.paths.empty()) return {};
  const std::size_t beforeSearch = candidates.paths.size() - (candidates.onSearchPath ? 0 : 1);
  for (std::size_t i = 0; i < beforeSearch; ++i)
    if (platform.FileExists(candidates.paths[i])) return std::move(candidates.paths[i]);
  if (candidates.onSearchPath) return std::move(*candidates.onSearchPath);
  return std::move(candidates.paths.back());
}

bool IsValidEntry(const Platform& platform, const TUninstallInfo& info) {
  // Valid when any candidate exists, so the order they are looked for is free: the last cut
  // first, since it is the one most commands name (`"C:\App\uninst.exe" /S`), which spares
  // a look-up of every longer candidate of a valid entry.
  const ExeCandidates candidates = CandidatesOf(platform, ValidityCommand(info));
  if (candidates.onSearchPath) return true;
  for (auto it = candidates.paths.rbegin(); it != candidates.paths.rend(); ++it)
    if (platform.FileExists(*it)) return true;
  return false;
}

const std::string& ValidityCommand(const TUninstallInfo& info) {
  if (!info.UninstallString.empty()) return info.UninstallString;
  if (!info.QuietUninstallString.empty()) return info.QuietUninstallString;
  return info.ModifyPath;
}

std::string ExtractExeFromUninstallString(const Platform& platform, std::string_view command) {
  std::string s = ExpandEnvVars(platform, WithoutQuotes(command), false);
  const auto p = AsciiUpperCopy(s).find(".EXE ");
  if (p != std::string::npos) s = s.substr(0, p + 5);
  return s;
}

IconLocation SplitIconLocation(const Platform& platform, std::string_view location) {
  IconLocation result;
  const std::string s = ExpandEnvVars(platform, WithoutQuotes(location), false);
  const std::size_t a = LastCharPos(s, '\\');
  const std::size_t b = LastCharPos(s, ',');
  int index = 0;
  if (a < b && TryParseInteger(std::string_view(s).substr(b), index)) {
    result.path = s.substr(0, b - 1);
    result.hasIndex = true;
    result.index = index;
  } else {
    result.path = s;
  }
  return result;
}

std::optional<IconImage> ExtractIconHandle(const Platform& platform, std::string_view file,
                                           int index, bool small) {
  const auto local = platform.LocalPath(file);
  if (!local) return std::nullopt;
  auto bytes = ReadFileForIcons(*local);
  if (!bytes) return std::nullopt;
  return IconReader(std::move(*bytes)).Extract(index, small);
}

std::string FileTimeToDateText(std::uint64_t fileTime) {
  if (fileTime == 0) return {};
  if (fileTime >= 0x8000000000000000ull) return "n/a";  // ~0 among them
  std::tm local{};
  if (!FileTimeToLocalTime(fileTime, local)) return "n/a";
  if (local.tm_year + 1900 > 9999 || local.tm_year + 1900 < 1) return "n/a";
  return FormatShortDate(local);
}

std::string UsageFrequencyText(std::int32_t count, Language lang) {
  static constexpr Translations kRarely{"rarely", "rzadko"};
  static constexpr Translations kOccasionally{"occasionally", "okazjonalnie"};
  static constexpr Translations kFrequently{"frequently", "często"};
  if (count < 0) return {};
  if (count <= 2) return kRarely.In(lang);
  if (count <= 10) return kOccasionally.In(lang);
  return kFrequently.In(lang);
}

}  // namespace pgl
