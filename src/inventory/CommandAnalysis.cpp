#include "inventory/CommandAnalysis.h"

#include <ctime>

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

// ExtractExeFromCommand; `exists` tells whether the result was found to exist on the way.
std::string ExtractExe(const Platform& platform, std::string_view command, bool& exists) {
  exists = false;
  std::string s = TrimControl(command);
  if (s.empty()) return s;
  s = WithoutQuotes(s);
  // A step that left the text as it was is not asked about again.
  std::string tested;
  bool testedExists = false;
  const auto found = [&] {
    if (s != tested || tested.empty()) {
      tested = s;
      testedExists = platform.FileExists(s);
    }
    return exists = testedExists;
  };
  if (found()) return s;
  if (const auto slash = s.find('/'); slash != std::string::npos)
    s = TrimControl(s.substr(0, slash));
  if (found()) return s;
  if (const auto dash = s.find(" -"); dash != std::string::npos) s = TrimControl(s.substr(0, dash));
  if (found()) return s;
  // System programs named without a path: found on the search path.
  const std::pair<const char*, const char*> programs[] = {{"rundll32.exe", "rundll32.exe"},
                                                          {"rundll32", "rundll32.exe"},
                                                          {"msiexec.exe", "msiexec.exe"},
                                                          {"msiexec", "msiexec.exe"}};
  for (const auto& [prefix, program] : programs) {
    if (!AsciiStartsWithNoCase(s, prefix)) continue;
    s = FindOnSearchPath(platform, program, s);
    if (found()) return s;
  }
  // Keep up to ".EXE" and the one character after it, where there is one.
  const auto p = AsciiUpperCopy(s).find(".EXE");
  if (p != std::string::npos) s = CutAfter(s, p + 4 + 1);
  return s;
}

}  // namespace

std::string ExtractExeFromCommand(const Platform& platform, std::string_view command) {
  bool exists = false;
  return ExtractExe(platform, command, exists);
}

const std::string& ValidityCommand(const TUninstallInfo& info) {
  if (!info.UninstallString.empty()) return info.UninstallString;
  if (!info.QuietUninstallString.empty()) return info.QuietUninstallString;
  return info.ModifyPath;
}

bool IsValidEntry(const Platform& platform, const TUninstallInfo& info) {
  bool exists = false;
  const std::string exe = ExtractExe(platform, ValidityCommand(info), exists);
  // A result found on the way needs no second look; the cut of the last step does.
  return exists || (!exe.empty() && platform.FileExists(exe));
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
  if (fileTime == ~0ull || fileTime >= 0x8000000000000000ull) return "n/a";
  std::tm local{};
  if (!FileTimeToLocalTime(fileTime, local)) return "n/a";
  if (local.tm_year + 1900 > 9999 || local.tm_year + 1900 < 1) return "n/a";
  return FormatShortDate(local);
}

std::string UsageFrequencyText(std::int32_t count, bool english) {
  if (count < 0) return {};
  if (count <= 2) return english ? "rarely" : "rzadko";
  if (count <= 10) return english ? "occasionally" : "okazjonalnie";
  return english ? "frequently" : "często";
}

}  // namespace pgl
