// What pgl-cli's commands share: checked output, notes and questions on the error stream, the
// entries that key arguments name, and removing leftovers with a line per item.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/MachineOutput.h"
#include "inventory/UCollection.h"
#include "leftovers/Leftovers.h"
#include "platform/ManagedSystem.h"

namespace pgl::cli {

// Registry text and paths reach the terminal without control characters: a hostile name must
// not move the cursor, change colours or rewrite what was printed.
std::string Safe(std::string_view text);

// Says `message` on the error stream and answers 1, the exit code of a failure.
int Fail(const std::string& message);
void Note(const std::string& message);

// Standard output: every write is checked, and a failed one (a full disk, a closed pipe's
// reader gone, /dev/full) fails the command at its end, so that "backup - > f && ..." stops.
void Out(std::string_view text);

// Flushes and closes standard output; a command that did its work but could not write all of
// what it says fails.
int FinishOutput(int exitCode);

// What a command read, kept until the process ends, which gives its memory back at once: a
// long list's entries and registry tree, freed piece by piece, took a tenth of its run. Held
// here, it stays reachable, so that leak checkers do not count it.
template <typename T>
void KeepUntilExit(std::unique_ptr<T> kept) {
  static std::unique_ptr<T>* const held = new std::unique_ptr<T>[4];
  static std::size_t count = 0;
  if (count < 4) held[count++] = std::move(kept);
}

void ReportUnreadable(const ScanReport& report);

// The entries that the arguments name, in the order given. False, after saying why, when an
// argument names no entry (exit code 1) or a key name is found in more than one place (2).
bool ResolveKeys(TUninstallCollection& collection, const std::vector<std::string>& args,
                 std::vector<TUninstallInfo>& entries, int& exitCode);

// The entry the argument names among those listed; null when none is (a removed entry's key).
const TUninstallInfo* ListedEntry(const TUninstallCollection& collection, const std::string& arg);

// Asks on the error stream; only "y", "Y" or "yes" agree.
bool Agreed(const std::string& question);

// Names the entries and asks, on a terminal and without `yes`.
bool Confirm(const std::string& question, const std::vector<TUninstallInfo>& entries, bool yes);

// What became of an entry, for --format: its key, name, prefix, outcome and error.
OutcomeRecord Outcome(const ManagedSystem& system, const TUninstallInfo& entry,
                      EntryOutcome outcome, std::uint32_t errorNumber = 0,
                      std::string errorText = {});

// The format --format names, tsv by default.
OutputFormat FormatNamed(const std::string& name);

// A size for people: "12.3 MB".
std::string Megabytes(std::uint64_t bytes);

// prefixes --duplicates: what sharing identical files would free in the prefixes named (each
// one "prefixes" finds), or in every prefix found.
int PrefixDuplicates(const std::vector<std::string>& paths, OutputFormat format);

// Removes the items, saying what went where; false when any stayed.
bool RemoveItems(const LeftoverScope& scope, const std::vector<Leftover>& items, Language lang);

// The sure items, or all of them.
std::vector<Leftover> OfConfidence(const std::vector<Leftover>& items, bool all);

// The line of an item for "leftovers" and "desktop-entries".
LeftoverRecord RecordOf(const std::string& entryKey, const Leftover& item, OutputFormat format,
                        Language lang);

}  // namespace pgl::cli
