// What the Prefixes window shows of each prefix, in what order, and what it may remove, without
// Qt: one row per prefix with its owner, the owner's state, programs, size, saves and last use.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "lang/Language.h"
#include "platform/ManagedSystem.h"

namespace pgl {

enum class PrefixColumn {
  Name,
  Owner,
  State,
  Programs,
  Size,         // the prefix and its shader cache
  ShaderCache,  // a Steam game's shader cache
  Saves,
  Cloud,  // whether Steam's cloud keeps a Steam game's saves
  LastUsed,
  Folder,
  Count
};

struct PrefixRow {
  std::size_t id = 0;  // which of the prefixes listed, whatever the order
  KnownSystem prefix;
  std::optional<std::size_t> programs;  // none: its registry could not be read
  std::optional<PrefixUsage> usage;     // none: not measured yet
  bool shown = false;                   // the main window shows it
};

// How many programs the prefix's Uninstall keys list; none when its registry cannot be read.
std::optional<std::size_t> ProgramCount(const KnownSystem& prefix);

std::string PrefixCaption(PrefixColumn column, Language lang);
// The cell's text: sizes as people read them, the state in words, the last use as a date.
std::string PrefixCell(const PrefixRow& row, PrefixColumn column, Language lang);
// Largest first; those not measured yet after them, by name.
void SortBySize(std::vector<PrefixRow>& rows);
// A removed game's or program's prefix stands out: it is what the window is for.
inline bool StandsOut(const PrefixRow& row) {
  return row.prefix.ownerState == OwnerState::Removed;
}
// What a row frees when it goes: the prefix's folder and its shader cache.
std::uint64_t RowBytes(const PrefixRow& row);
// The shares of the largest row's bytes that the row's bar fills (0 to 1): the prefix's part,
// then its shader cache's, drawn in two shades.
struct SizeShares {
  double prefix = 0, cache = 0;
};
SizeShares SizeShareOf(const PrefixRow& row, std::uint64_t largest);
// The window's status line: what the measured rows of removed games would free, and how much
// of it is shader caches ("12 removed games: 48.2 GB, of it 31.0 GB shader caches"); empty
// when no removed game is measured.
std::string RemovedSummary(const std::vector<PrefixRow>& rows, Language lang);
// Why the row may not be removed from the window (empty when it may): the window shows it.
std::string WindowRefusal(const PrefixRow& row, Language lang);
// The question before removing `rows`: each with its owner, state, size and saves, and where
// the saves go.
std::string RemovalQuestion(const std::vector<const PrefixRow*>& rows, const std::string& savesTo,
                            Language lang);

// The window's own texts.
enum class PrefixesText {
  Title,
  RemoveButton,
  SaveButton,
  SavesWritten,      // a notice: %1 files of %2 written to %3
  NothingToSave,     // the chosen prefixes hold no saves
  Removed,           // a notice: how many prefixes went to the trash
  NotRemovedTitle,   // each prefix that stayed follows with its reason
  Measuring,         // a size not known yet
  SavesFolderTitle,  // the folder dialog of "Save the saves..."
  ShareButton,
  ShareQuestion,   // %1 copies of %2 files, %3 MB, %4 MB of it shared already
  NothingToShare,  // no file is held twice
  Sharing,         // progress: %1 of %2 files
  Shared,          // a notice: %1 MB shared in %2 files
  NotSharedTitle,  // each file that stayed apart follows with its reason
  WineRuns,        // %1: the prefix Wine runs in
  CannotShare,     // the file system refused
  Count
};
std::string Text(PrefixesText id, Language lang);

}  // namespace pgl
