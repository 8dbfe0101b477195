// What the Details window lists for one entry, without Qt: every value of the entry's
// Uninstall key and of its usage record key (ARPCache), sorted by name, and the decoded usage
// record, with the header bars between them; the colours of its cells; the text it copies.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "inventory/UninstallPlaces.h"
#include "registry/RegistryStore.h"

namespace pgl {

struct DetailsRow {
  enum class Kind { UninstallHeader, ARPCacheHeader, SlowInfoHeader, Value, Decoded };
  Kind kind = Kind::Value;
  std::string no;     // " 1", " 2", ...; "+", "-" or ":" for the three header bars
  std::string name;   // the value's name, "(Default)" for the unnamed one
  std::string value;  // the data as text; a multi-string's strings on lines of their own
  int image = -1;     // 0 numbers and binary data, 1 texts, -1 none

  bool IsHeader() const { return kind != Kind::Value && kind != Kind::Decoded; }
};

struct DetailsContent {
  std::string uninstallKey;  // "HKEY_LOCAL_MACHINE\SOFTWARE\...\Uninstall\Name" when it exists
  std::string arpCacheKey;
  std::vector<DetailsRow> rows;
};

// The window's rows for the entry's key in its place. Keys that do not exist give no rows.
DetailsContent ReadDetails(RegistryStore& registry, UninstallView view, const std::string& keyName);

// A header bar's title ("Uninstall Key", "ARP Cache Key", "ARP SlowInfoCache").
const char* HeaderTitle(DetailsRow::Kind kind);

// The copied text of the given rows: a banner line for a header, else name, tab, value; each
// line ended by CR LF.
std::string DetailsCopyText(const std::vector<const DetailsRow*>& rows);

// The Value cell's look: #RRGGBB text colour (links blue, the uninstall commands dark red)
// and bold for the program's name. The Name cell is shaded #D6D8D1, the Value cell #DEE0D8.
struct DetailsValueLook {
  std::optional<std::uint32_t> text;
  bool bold = false;
};
DetailsValueLook ValueLook(const DetailsRow& row);

}  // namespace pgl
