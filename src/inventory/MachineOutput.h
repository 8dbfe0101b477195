// pgl-cli's output for scripts and inventory tools: the program list, the prefixes and the
// outcome of uninstall and remove as tab-separated text (the default), CSV (RFC 4180) or JSON.
// The JSON field names are stable (the README lists them); raw values stand beside the texts
// people read (sizes in bytes, dates in ISO 8601, validity as a boolean).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/EntryList.h"
#include "inventory/OutputNames.h"
#include "inventory/UCollection.h"

namespace pgl {

enum class OutputFormat { Tsv, Csv, Json };
// "tsv", "csv" or "json"; nothing for any other name.
std::optional<OutputFormat> OutputFormatNamed(std::string_view name);
// Whether a list in the format tells which entries are valid (JSON's "valid"): the others show
// no more than their columns, and validity tells in them only by what a filter leaves out.
bool FormatShowsValidity(OutputFormat format);

// The listed rows (BuildListRows) of `collection`: TSV and CSV with a line of captions first;
// JSON an array with one object per program.
std::string FormatProgramList(const TUninstallCollection& collection,
                              const std::vector<ListRow>& rows, OutputFormat format);

// The same, handed to `sink` in pieces of about a megabyte as it is made, for a list too long
// to hold twice: TSV and CSV rows are made one at a time.
void WriteProgramList(const TUninstallCollection& collection, const ListFilter& filter,
                      Language lang, OutputFormat format,
                      const std::function<void(std::string_view)>& sink);

// The programs of several prefixes in one list: a "Prefix" column (the prefix's name) before
// the registry key, and in JSON "prefix" (its name) and "prefix_path".
struct PrefixPrograms {
  std::string name, path;
  const TUninstallCollection* collection = nullptr;
  std::vector<ListRow> rows;
};
std::string FormatProgramsOfPrefixes(const std::vector<PrefixPrograms>& prefixes,
                                     OutputFormat format);

// What a prefix costs and holds of the user's (pgl-cli prefixes --sizes).
struct PrefixSizes {
  std::uint64_t sizeBytes = 0, savesBytes = 0;
  std::vector<std::pair<std::string, std::uint64_t>> saveFolders;  // path in the prefix, bytes
  std::int64_t lastUsed = 0;                           // seconds since 1970 (UTC); 0: unknown
  std::optional<std::uint64_t> shaderCacheBytes = {};  // none without a shader cache
};
struct PrefixRecord {
  std::string name, source, arch, path;
  std::optional<std::size_t> programs;  // none where the registry could not be read
  std::string folder = {}, owner = {}, ownerState = "none";
  std::optional<PrefixSizes> sizes = {};  // only when asked for
  std::string shaderCache = {};           // a Steam game's shader cache; empty: none
  const char* cloudSaves = nullptr;       // "yes", "no", "unknown"; null: no Steam game
};
std::string FormatPrefixes(const std::vector<PrefixRecord>& prefixes, OutputFormat format);

// What sharing the prefixes' identical files would free (pgl-cli prefixes --duplicates): each
// prefix's copies of files held before it, the part of them already shared, and the totals.
struct DuplicateRecord {
  std::string path;
  std::uint64_t duplicateBytes = 0, sharedBytes = 0;
};
std::string FormatPrefixDuplicates(const std::vector<DuplicateRecord>& prefixes,
                                   std::uint64_t totalDuplicateBytes,
                                   std::uint64_t totalSharedBytes, OutputFormat format);

// What became of one prefix of remove-prefix; `outcome` as PrefixOutcomeName gives it.
struct PrefixOutcomeRecord {
  std::string path, name, owner, outcome;
  std::uint64_t sizeBytes = 0, savesBytes = 0;
  std::string savesArchive = {}, errorText = {};
  // A Steam game's shader cache: empty when none; its size, whether it went, why not.
  std::string shaderCache = {};
  std::optional<std::uint64_t> shaderCacheBytes = {};
  bool shaderCacheRemoved = false;
  std::string shaderCacheError = {};
};
std::string FormatPrefixOutcomes(const std::vector<PrefixOutcomeRecord>& outcomes,
                                 OutputFormat format);

// What became of one entry of an uninstall or remove.
struct OutcomeRecord {
  std::string key, name, prefix;
  EntryOutcome outcome = EntryOutcome::StillInstalled;
  std::uint32_t errorNumber = 0;
  std::string errorText;
  std::string command = {};  // the uninstaller's command line that ran or would run
  bool dryRun = false;       // what would become of it: the outcome's name begins "would_"
};
std::string FormatOutcomes(const std::vector<OutcomeRecord>& outcomes, OutputFormat format);

// Leftovers of programs: each item with its program's key, confidence, kind, path or key, size
// and reason ("Program", "Confidence", "Kind", "Item", "Size", "Reason"; in JSON "key",
// "confidence", "kind", "item", "size_bytes", "reason").
struct LeftoverRecord {
  std::string programKey, confidence, kind, item, reason;
  std::uint64_t size = 0;
  // A dry run's: what would become of the item ("would_removed", "would_stay"); the column
  // ("Outcome", "outcome") is there only when some record has one.
  std::string outcome = {};
};
std::string FormatLeftovers(const std::vector<LeftoverRecord>& items, OutputFormat format);

// A FILETIME as ISO 8601 in UTC ("2026-11-29T10:15:00Z"); nothing for 0 or a time out of range.
std::optional<std::string> FileTimeToIso(std::uint64_t fileTime);
// An install date as the registry keeps it ("20261101") in ISO 8601 ("2026-11-01"); nothing
// for any other form.
std::optional<std::string> InstallDateToIso(std::string_view date);

}  // namespace pgl
