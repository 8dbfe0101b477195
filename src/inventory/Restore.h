// Putting programs' keys back from a registry script (a backup of ours, or regedit's export):
// only keys of the Uninstall places and their usage records, planned entry by entry first, then
// written in one save per registry file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/UninstallPlaces.h"
#include "registry/RegScript.h"
#include "registry/RegistryStore.h"

namespace pgl {

enum class RestoreKind { AddBack, Replace, Unchanged, Refused };

enum class RefusalReason {
  NotAllowed,     // outside the Uninstall places and their usage records
  Deletion,       // [-KEY]: a restore only puts back
  ValueDeletion,  // "name"=- in an entry's key
  NoView32,       // a 32-bit view's key, and the system is 32-bit
  PlaceValues,    // values of an Uninstall or usage-record key itself
};

// One thing the file would change about an entry.
struct RestoreDifference {
  bool usageRecord = false;  // in the entry's usage-record key
  bool missingKey = false;   // a key of the entry that is not there now
  bool missingValue = false;
  std::string name;  // the value's name, or the missing key's path below the entry
  // Both texts, where both are short single-line texts: what is there, what the file has.
  std::string now, backup;
  bool texts = false;
};

struct RestoreItem {
  RestoreKind kind = RestoreKind::AddBack;
  std::string key;          // "HKLM\...\Uninstall\Name", or a refused key as the file names it
  std::string displayName;  // an entry's DisplayName in the file, if it has one
  std::vector<RestoreDifference> differences;  // Replace
  RefusalReason reason = RefusalReason::NotAllowed;
  std::size_t line = 0;  // where it starts in the file
};

struct RestorePlan {
  std::vector<RestoreItem> items;    // in file order
  std::size_t refusedNotListed = 0;  // refused keys beyond the ones items name
  std::vector<ScriptKey> writes;     // every key of the entries to add back or replace
  std::size_t Count(RestoreKind kind) const;
  bool AnyRefused() const { return Count(RestoreKind::Refused) > 0 || refusedNotListed > 0; }
};

// Reads the file's bytes and compares them with the registry. False with the reason when the
// file is not a registry script (or is damaged anywhere): then nothing of it may be restored.
// `trustedExport`: the file is a leftovers export this program wrote, unchanged; its keys below
// Software come back too.
bool PlanRestore(RegistryStore& registry, std::string_view bytes, int codePage, RestorePlan& plan,
                 std::string& error, bool trustedExport = false);

// Writes the plan's keys and values: every registry file is checked before anything changes,
// then each is saved once. False with the store's reason (in the language asked for) when it
// could not be written.
bool ApplyRestore(RegistryStore& registry, const RestorePlan& plan, Language lang,
                  std::string& error);

std::string RestoreKindText(RestoreKind kind, Language lang);
std::string RefusalText(RefusalReason reason, Language lang);
std::string DifferenceText(const RestoreDifference& difference, Language lang);
// "Name (KEY): what" as one line for people.
std::string RestoreItemLine(const RestoreItem& item, Language lang);

}  // namespace pgl
