// What the entry list shows: its 22 columns, which entries get a row, and each cell's text.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/UCollection.h"
#include "lang/Language.h"

namespace pgl {

enum class ColumnAlignment { Left, Right, Center };

struct ListColumn {
  Translations caption;
  int width;
  ColumnAlignment alignment;
  int tag;            // the collection's sort key
  const char* field;  // the JSON field of pgl-cli's list that holds the column's text
};

inline constexpr std::size_t kListColumnCount = 22;
const std::array<ListColumn, kListColumnCount>& ListColumns();
const char* ColumnCaption(const ListColumn& column, Language lang);

struct ListFilter {
  bool showInvalid = true;       // invalid entries are listed
  bool showOnlyInvalid = false;  // only invalid entries are listed
};

// Whether an entry gets a row: visible and existing, not a hidden system component, and
// valid or invalid as the filter asks.
bool IsListed(const TUninstallInfo& info, bool systemComponentsVisible, const ListFilter& filter);

// The filter box over the list: an entry is shown when every word typed occurs, whatever its
// case, in its name, its publisher or its registry key ("HKLM\\...\\Uninstall\\Name").
class TextFilter {
 public:
  TextFilter() = default;
  explicit TextFilter(std::string_view typed);
  bool Empty() const { return words_.empty(); }
  bool Matches(const TUninstallInfo& info) const;

 private:
  std::vector<std::string> words_;  // upper-cased
};

// The 22 cell texts of an entry's row, in column order (the first is the row's caption).
std::array<std::string, kListColumnCount> RowTexts(const TUninstallInfo& info, Language lang);
// The same as views, for a reader that only passes them on: the entry's own texts are not
// copied; the four made for the row are kept in `made`. Both must outlive the views.
using MadeRowTexts = std::array<std::string, 4>;
std::array<std::string_view, kListColumnCount> RowViews(const TUninstallInfo& info, Language lang,
                                                        MadeRowTexts& made);

// Where an entry's size comes from, for the hint of the panel's (empty) usage-record line where
// the entry has no usage record: the installer's estimate, or nothing at all. Empty where it has
// one.
std::string SizeSourceNote(const TUninstallInfo& info, Language lang);

// The rows of the listed entries, in collection order.
struct ListRow {
  int itemIndex;
  std::array<std::string, kListColumnCount> cells;
};
std::vector<ListRow> BuildListRows(const TUninstallCollection& collection, const ListFilter& filter,
                                   Language lang);

}  // namespace pgl
