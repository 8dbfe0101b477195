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
std::string TranslateFrequencyCell(std::string cell, Language lang);

// Where a row's icon comes from: the entry's own icon file; else, for an invalid entry, the
// warning icon; else the default icon. An own icon that cannot be read falls back to the
// default icon.
enum class IconSource { Own, Default, Invalid };
IconSource IconSourceOf(const TUninstallInfo& info);

// The list's view styles, numbered as the settings file stores them. The menu's "List" shows
// SmallIcons (small icons in rows, the platform's small-icon view) and its "Small icons" shows
// List (small icons in columns, the platform's list view).
enum class ViewStyle { LargeIcons = 0, SmallIcons = 1, List = 2, Details = 3 };
// The style a stored number names; Details for any other number.
ViewStyle ViewStyleFromNumber(int number);
inline int ViewStyleNumber(ViewStyle style) {
  return static_cast<int>(style);
}
// The view button steps LargeIcons, List, SmallIcons, Details and back to LargeIcons.
ViewStyle NextViewStyle(ViewStyle style);

}  // namespace pgl
