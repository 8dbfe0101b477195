// How the entry list draws and changes its rows, without Qt: cell colours, the frequency
// words after a language switch, the view-style cycle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "inventory/UCollection.h"
#include "ui/main/SettingsFile.h"

namespace pgl {

// A colour as #RRGGBB; nothing means the platform's own (window text, window background).
struct CellColors {
  std::optional<std::uint32_t> background;
  std::optional<std::uint32_t> text;
  bool operator==(const CellColors&) const = default;
};

// A whole row in the icon and list styles: invalid entries in their colours.
CellColors ItemColors(const TUninstallInfo& info, const TMainParams& params);
// One cell in the report style: shaded columns, command and link colours, then system
// components and invalid entries (an invalid system component keeps the system background).
CellColors SubItemColors(const TUninstallInfo& info, int column, const std::string& cellText,
                         const TMainParams& params);

// The "Frequency" cell in the other language: the words are replaced, the count stays.
std::string TranslateFrequencyCell(std::string cell, bool polish);

// Where a row's icon comes from: the entry's own icon file; else, for an invalid entry, the
// warning icon; else the default icon. An own icon that cannot be read falls back to the
// default icon.
enum class IconSource { Own, Default, Invalid };
IconSource IconSourceOf(const TUninstallInfo& info);

// View styles: 0 large icons, 1 the small-icon view ("List"), 2 the list view ("Small
// icons"), 3 report. The view button steps 0, 2, 1, 3 and back to 0; other values stay.
int NextViewStyle(int style);

}  // namespace pgl
