#include "inventory/Restore.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "util/Utf.h"

namespace pgl {

namespace {

// The refused keys a plan names one by one; the rest are counted.
constexpr std::size_t kRefusedListed = 1000;
// Texts up to this length are shown before and after in a difference.
constexpr std::size_t kShownTextLength = 60;

struct PlaceKeys {
  UninstallView view;
  RootKey root;
  std::vector<std::u16string> uninstall, usage;
};

const std::vector<PlaceKeys>& Places() {
  static const std::vector<PlaceKeys> places = [] {
    std::vector<PlaceKeys> result;
    for (const UninstallPlace& place : UninstallPlaces())
      result.push_back({place.view, place.root, SplitRegPath(place.uninstallKey),
                        SplitRegPath(place.arpCacheKey)});
    return result;
  }();
  return places;
}

bool StartsWithPath(const std::vector<std::u16string>& path,
                    const std::vector<std::u16string>& prefix) {
  if (path.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (!RegNamesEqual(path[i], prefix[i])) return false;
  return true;
}

// Where a key of the file belongs.
struct Where {
  enum class Kind { Refused, PlaceKey, Entry } kind = Kind::Refused;
  RefusalReason reason = RefusalReason::NotAllowed;
  UninstallView view = UninstallView::Machine;
  bool usage = false;
  std::size_t depth = 0;  // names of the place's own key
};

Where Classify(RegistryStore& registry, const ScriptKey& key) {
  Where where;
  for (const PlaceKeys& place : Places()) {
    if (key.root != place.root) continue;
    for (const bool usage : {false, true}) {
      const auto& prefix = usage ? place.usage : place.uninstall;
      if (!StartsWithPath(key.path, prefix)) continue;
      if (!HasView(registry, place.view)) {
        where.reason = RefusalReason::NoView32;
        return where;
      }
      where.kind = key.path.size() == prefix.size() ? Where::Kind::PlaceKey : Where::Kind::Entry;
      where.view = place.view;
      where.usage = usage;
      where.depth = prefix.size();
      return where;
    }
  }
  return where;
}

RegKey* FindPath(RegKey* key, const std::vector<std::u16string>& path) {
  for (const auto& name : path) {
    if (!key) return nullptr;
    key = key->FindSubKey(name);
  }
  return key;
}

// A short single-line text of a text value, if it is one.
std::optional<std::string> ShortText(std::uint32_t type, std::string_view data) {
  if (type != kRegSz && type != kRegExpandSz) return std::nullopt;
  const std::u16string text = RegValue(u"", type, data).Text();
  if (text.size() > kShownTextLength || text.find_first_of(u"\r\n") != std::u16string::npos)
    return std::nullopt;
  return Utf16ToUtf8(text);
}

struct EntryFound {
  UninstallView view;
  std::u16string name;
  std::vector<ScriptKey> keys;
  bool refused = false;
  RefusalReason reason = RefusalReason::NotAllowed;
  std::size_t line = 0;
  std::string displayName;
  std::string keyText;  // a key of a trusted export that is no program's own entry
};

void Compare(RegistryStore& registry, const EntryFound& entry, RestoreItem& item) {
  bool anyThere = false;
  for (const ScriptKey& key : entry.keys) {
    const RegKey* now = FindPath(registry.Hive(key.root), key.path);
    anyThere |= now != nullptr;
  }
  if (!anyThere) {
    item.kind = RestoreKind::AddBack;
    return;
  }
  for (const ScriptKey& key : entry.keys) {
    const Where where = Classify(registry, key);
    const RegKey* now = FindPath(registry.Hive(key.root), key.path);
    if (!now) {
      RestoreDifference d;
      d.usageRecord = where.usage;
      d.missingKey = true;
      std::u16string below;
      for (std::size_t i = where.depth + 1; i < key.path.size(); ++i)
        below += (below.empty() ? u"" : u"\\") + key.path[i];
      d.name = Utf16ToUtf8(below);
      item.differences.push_back(std::move(d));
      continue;
    }
    for (const ScriptValue& value : key.values) {
      const RegValue* there = now->FindValue(value.name);
      if (there && there->type == value.type && there->DataEquals(value.data)) continue;
      RestoreDifference d;
      d.usageRecord = where.usage;
      d.name = Utf16ToUtf8(value.name);
      d.missingValue = there == nullptr;
      if (there) {
        const auto before = ShortText(there->type, there->Bytes());
        const auto after = ShortText(value.type, value.data);
        if (before && after) {
          d.texts = true;
          d.now = *before;
          d.backup = *after;
        }
      }
      item.differences.push_back(std::move(d));
    }
  }
  item.kind = item.differences.empty() ? RestoreKind::Unchanged : RestoreKind::Replace;
}

}  // namespace

std::size_t RestorePlan::Count(RestoreKind kind) const {
  return static_cast<std::size_t>(std::count_if(
      items.begin(), items.end(), [kind](const RestoreItem& item) { return item.kind == kind; }));
}

bool PlanRestore(RegistryStore& registry, std::string_view bytes, int codePage, RestorePlan& plan,
                 std::string& error, bool trustedExport) {
  plan = {};
  registry.ReadEverything();  // a script may name any key
  std::vector<EntryFound> entries;
  std::map<std::pair<UninstallView, std::u16string>, std::size_t> entryIndex;
  std::vector<RestoreItem> refused;
  const auto refuse = [&](const ScriptKey& key, RefusalReason reason) {
    if (refused.size() >= kRefusedListed) {
      ++plan.refusedNotListed;
      return;
    }
    RestoreItem item;
    item.kind = RestoreKind::Refused;
    item.key = (key.remove ? "-" : "") + ScriptKeyText(key);
    item.reason = reason;
    item.line = key.line;
    refused.push_back(std::move(item));
  };
  std::size_t tooDeep = 0;  // the line of the first key deeper than any registry holds
  const bool read = ParseRegScript(
      bytes, codePage,
      [&](ScriptKey&& key) {
        if (tooDeep) return;
        if (key.path.size() > kMaxRegKeyDepth) {
          tooDeep = key.line;
          return;
        }
        if (key.remove) return refuse(key, RefusalReason::Deletion);
        const Where where = Classify(registry, key);
        if (where.kind == Where::Kind::Refused) {
          // A leftovers export of ours, unchanged: its keys (all below Software) come back too,
          // each on its own.
          if (!trustedExport || where.reason != RefusalReason::NotAllowed || key.path.empty() ||
              (key.root != kHkeyLocalMachine && key.root != kHkeyCurrentUser) ||
              !RegNamesEqual(key.path.front(), u"Software"))
            return refuse(key, where.reason);
          EntryFound loose{UninstallView::Machine, {}, {}, false, {}, key.line, {}, {}};
          loose.keyText = std::string(key.root == kHkeyCurrentUser ? "HKCU" : "HKLM") +
                          ScriptKeyText(key).substr(Utf16ToUtf8(key.rootName).size());
          for (const ScriptValue& value : key.values)
            if (value.remove) {
              loose.refused = true;
              loose.reason = RefusalReason::ValueDeletion;
            }
          if (!loose.refused) loose.keys.push_back(std::move(key));
          entries.push_back(std::move(loose));
          return;
        }
        if (where.kind == Where::Kind::PlaceKey) {
          if (!key.values.empty()) refuse(key, RefusalReason::PlaceValues);
          return;  // the place's key alone: made where needed
        }
        const std::u16string& name = key.path[where.depth];
        const auto [it, added] =
            entryIndex.try_emplace({where.view, FoldRegName(name)}, entries.size());
        if (added) entries.push_back({where.view, name, {}, false, {}, key.line, {}, {}});
        EntryFound& entry = entries[it->second];
        if (!where.usage && key.path.size() == where.depth + 1)
          for (const ScriptValue& value : key.values)
            if (RegNamesEqual(value.name, u"DisplayName") && value.type == kRegSz) {
              RegValue text{value.name, value.type, value.data};
              entry.displayName = Utf16ToUtf8(text.Text());
            }
        for (const ScriptValue& value : key.values)
          if (value.remove) {
            entry.refused = true;
            entry.reason = RefusalReason::ValueDeletion;
          }
        if (entry.refused) {
          entry.keys.clear();
          return;
        }
        entry.keys.push_back(std::move(key));
      },
      error);
  if (!read) return false;
  if (tooDeep) {
    plan = {};
    error = "line " + std::to_string(tooDeep) + ": a key nested deeper than " +
            std::to_string(kMaxRegKeyDepth) + " levels, which no registry holds; nothing was read.";
    return false;
  }
  for (EntryFound& entry : entries) {
    RestoreItem item;
    item.key =
        entry.keyText.empty() ? EntryKeyText(entry.view, Utf16ToUtf8(entry.name)) : entry.keyText;
    item.displayName = entry.displayName;
    item.line = entry.line;
    if (entry.refused) {
      item.kind = RestoreKind::Refused;
      item.reason = entry.reason;
    } else {
      Compare(registry, entry, item);
      if (item.kind != RestoreKind::Unchanged)
        for (ScriptKey& key : entry.keys) plan.writes.push_back(std::move(key));
    }
    plan.items.push_back(std::move(item));
  }
  for (RestoreItem& item : refused) plan.items.push_back(std::move(item));
  std::stable_sort(plan.items.begin(), plan.items.end(),
                   [](const RestoreItem& a, const RestoreItem& b) { return a.line < b.line; });
  return true;
}

namespace {

enum class Msg {
  AddedBack,
  Replaced,
  Unchanged,
  Refused,
  NotAllowed,
  Deletion,
  ValueDeletion,
  NoView32,
  PlaceValues,
  UsageRecord,
  MissingKey,
  DefaultValue,
  MissingValue,
  NotWritten,
  Count
};

constexpr Message<Msg> kMessages[] = {
    {Msg::AddedBack, {"Added back", "Przywrócony"}},
    {Msg::Replaced, {"Replaced", "Zastąpiony"}},
    {Msg::Unchanged, {"Unchanged", "Bez zmian"}},
    {Msg::Refused, {"Refused", "Odrzucony"}},
    {Msg::NotAllowed,
     {"not a key of an installed program or of its usage record",
      "to nie jest klucz programu z listy ani jego zapis użycia"}},
    {Msg::Deletion,
     {"it deletes a key; a restore only puts back", "usuwa klucz; przywracanie tylko przywraca"}},
    {Msg::ValueDeletion,
     {"it deletes values; a restore only puts back",
      "usuwa wartości; przywracanie tylko przywraca"}},
    {Msg::NoView32,
     {"a key of the 32-bit view, and this system is 32-bit",
      "klucz 32-bitowego widoku, a ten system jest 32-bitowy"}},
    {Msg::PlaceValues,
     {"values of the Uninstall or ARPCache key itself",
      "wartości samego klucza Uninstall lub ARPCache"}},
    {Msg::UsageRecord, {"usage record: ", "zapis użycia: "}},
    {Msg::MissingKey, {"key %1 (missing)", "klucz %1 (brak)"}},
    {Msg::DefaultValue, {"(default)", "(domyślna)"}},
    {Msg::MissingValue, {" (missing)", " (brak)"}},
    {Msg::NotWritten, {"the registry could not be written.", "nie dało się zapisać rejestru."}},
};
static_assert(IsMessageTable(kMessages));

std::string Text(Msg id, Language lang) {
  return MessageIn(kMessages, id, lang);
}

}  // namespace

bool ApplyRestore(RegistryStore& registry, const RestorePlan& plan, Language lang,
                  std::string& error) {
  if (plan.writes.empty()) return true;
  std::vector<RootKey> roots;
  for (const ScriptKey& key : plan.writes)
    if (std::find(roots.begin(), roots.end(), key.root) == roots.end()) roots.push_back(key.root);
  const auto failed = [&] {
    error = registry.LocalizedError(lang);
    if (error.empty()) error = Text(Msg::NotWritten, lang);
    return false;
  };
  registry.Refresh();  // what others saved since counts
  // Every file is checked before anything changes: a restore is whole or not at all.
  for (const RootKey root : roots)
    if (!registry.BeginWrite(root)) return failed();
  registry.HoldCommits();
  const std::uint64_t now = FileTimeNow();
  for (const RootKey root : roots) {
    RegKey* key = registry.Hive(root);
    if (!key) {
      registry.CommitHeld();
      return failed();
    }
    for (const ScriptKey& write : plan.writes) {
      if (write.root != root) continue;
      RegKey* at = registry.Hive(root);
      for (const auto& name : write.path) {
        RegKey* next = at->FindSubKey(name);
        if (!next) {
          next = &at->EnsureSubKey(name);
          next->modified = now;
          registry.KeyAdded(root, *next);
        }
        at = next;
      }
      for (const ScriptValue& value : write.values) {
        const RegValue& set = at->SetValue(value.name, value.type, value.data);
        registry.ValueSet(root, *at, set);
      }
      if (!write.values.empty()) at->modified = now;
    }
    registry.Commit(root);
  }
  if (!registry.CommitHeld()) return failed();
  return true;
}

std::string RestoreKindText(RestoreKind kind, Language lang) {
  switch (kind) {
    case RestoreKind::AddBack:
      return Text(Msg::AddedBack, lang);
    case RestoreKind::Replace:
      return Text(Msg::Replaced, lang);
    case RestoreKind::Unchanged:
      return Text(Msg::Unchanged, lang);
    case RestoreKind::Refused:
      return Text(Msg::Refused, lang);
  }
  return {};
}

std::string RefusalText(RefusalReason reason, Language lang) {
  switch (reason) {
    case RefusalReason::NotAllowed:
      return Text(Msg::NotAllowed, lang);
    case RefusalReason::Deletion:
      return Text(Msg::Deletion, lang);
    case RefusalReason::ValueDeletion:
      return Text(Msg::ValueDeletion, lang);
    case RefusalReason::NoView32:
      return Text(Msg::NoView32, lang);
    case RefusalReason::PlaceValues:
      return Text(Msg::PlaceValues, lang);
  }
  return {};
}

std::string DifferenceText(const RestoreDifference& d, Language lang) {
  std::string text = d.usageRecord ? Text(Msg::UsageRecord, lang) : "";
  if (d.missingKey) return text + Fill(Text(Msg::MissingKey, lang), {d.name});
  text += d.name.empty() ? Text(Msg::DefaultValue, lang) : d.name;
  if (d.missingValue)
    text += Text(Msg::MissingValue, lang);
  else if (d.texts)
    text += " \"" + d.now + "\" \u2192 \"" + d.backup + "\"";
  return text;
}

std::string RestoreItemLine(const RestoreItem& item, Language lang) {
  std::string line = item.displayName.empty() ? item.key : item.displayName + " (" + item.key + ")";
  if (item.kind == RestoreKind::Refused) return line + ": " + RefusalText(item.reason, lang);
  if (item.kind != RestoreKind::Replace) return line;
  line += ": ";
  for (std::size_t i = 0; i < item.differences.size(); ++i)
    line += (i ? "; " : "") + DifferenceText(item.differences[i], lang);
  return line;
}

}  // namespace pgl
