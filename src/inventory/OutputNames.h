// The words pgl-cli prints for scripts, each named once: the outcome of each program of an
// uninstall or remove, the places of the list, and the JSON field names of each kind of
// record. The writers and the README are checked against these lists by a test, so a name the
// program can print is never missing from the README.
#pragma once

#include <string_view>
#include <vector>

#include "inventory/UninstallPlaces.h"

namespace pgl {

enum class EntryOutcome {
  Uninstalled,
  StillInstalled,
  NoCommand,
  NoQuietCommand,  // with --quiet: neither a quiet command nor a Windows Installer product
  NotRunnable,
  StartFailed,
  StoppedWaiting,
  RunnerFailed,
  Removed,
  NotRemoved,
};

// "uninstalled", "still_installed", ...
std::string_view OutcomeName(EntryOutcome outcome);
const std::vector<EntryOutcome>& AllOutcomes();

// "machine", "machine32", "user".
std::string_view PlaceName(UninstallView view);

// The JSON fields of each kind of record, in the order they are written. A program of a list
// of every prefix has "prefix" and "prefix_path" after "key" as well.
const std::vector<std::string_view>& ProgramFields();
const std::vector<std::string_view>& PrefixFields();
// Those of remove-prefix's outcomes.
const std::vector<std::string_view>& PrefixOutcomeFields();
// And those `prefixes --sizes` adds after them.
const std::vector<std::string_view>& PrefixSizeFields();
const std::vector<std::string_view>& OutcomeFields();
const std::vector<std::string_view>& LeftoverFields();

}  // namespace pgl
