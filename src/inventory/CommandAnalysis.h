// Uninstall command lines turned into the files they would start, and the small conversions
// of the inventory's values for display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lang/Language.h"
#include "platform/IconReader.h"
#include "platform/Platform.h"

namespace pgl {

struct TUninstallInfo;

// Removes every leading and trailing character of code 32 or less.
std::string TrimControl(std::string_view text);

// The file that a command line would start; empty for a blank command.
std::string ExtractExeFromCommand(const Platform& platform, std::string_view command);
// The command the validity test analyses: UninstallString, else QuietUninstallString, else
// ModifyPath (judged empty as stored).
const std::string& ValidityCommand(const TUninstallInfo& info);
// Whether the entry has a command to judge it by: one without is invalid, files or not.
inline bool HasCommand(const TUninstallInfo& info) {
  return !ValidityCommand(info).empty();
}
// An entry is valid when the file behind its command exists.
bool IsValidEntry(const Platform& platform, const TUninstallInfo& info);
// The simpler extraction used to find an icon: quotes removed, variables expanded, cut after
// the first ".EXE " (keeping the blank).
std::string ExtractExeFromUninstallString(const Platform& platform, std::string_view command);

struct IconLocation {
  std::string path;
  bool hasIndex = false;
  int index = 0;
};
// "C:\App\app.exe,-101" -> path and index; a comma before the last backslash never splits.
IconLocation SplitIconLocation(const Platform& platform, std::string_view location);

// The one icon at `index` of `file` (an executable or an .ico file): the small one when
// `small`, else the large one; nothing when there is none.
std::optional<IconImage> ExtractIconHandle(const Platform& platform, std::string_view file,
                                           int index, bool small);

// Empty for a zero time, "n/a" for all ones or a time that cannot be shown, else the local
// date in the user's short date format.
std::string FileTimeToDateText(std::uint64_t fileTime);
// "rarely" (0-2), "occasionally" (3-10), "frequently" (11+), or the Polish words; empty for a
// negative count.
std::string UsageFrequencyText(std::int32_t count, Language lang);

}  // namespace pgl
