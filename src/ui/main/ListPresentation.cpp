#include "ui/main/ListPresentation.h"

#include "util/QV_Strings.h"

namespace pgl {

CellColors ItemColors(const TUninstallInfo& info, const TMainParams& params) {
  if (info.Valid) return {};
  return {params.InvalidBackColor, params.InvalidFontColor};
}

CellColors SubItemColors(const TUninstallInfo& info, int column, const std::string& cellText,
                         const TMainParams& params) {
  CellColors colors;
  if (params.ColoredColumns) {
    colors.background = column % 2 != 0 ? 0xD6D8D1u : 0xDEE0D8u;
    if (column >= 9 && column <= 11)
      colors.text = 0x800000u;
    else if (column >= 14 && column <= 16 && IsURL(cellText))
      colors.text = 0x0000FFu;
  }
  if (info.SystemComponent) colors = {params.SystemBackColor, params.SystemFontColor};
  if (!info.Valid)
    colors = {info.SystemComponent ? params.SystemBackColor : params.InvalidBackColor,
              params.InvalidFontColor};
  return colors;
}

std::string TranslateFrequencyCell(std::string cell, Language lang) {
  static constexpr Translations kWords[] = {
      {"frequently", "często"}, {"occasionally", "okazjonalnie"}, {"rarely", "rzadko"}};
  for (const Translations& word : kWords)
    for (std::size_t other = 0; other < kLanguageCount; ++other) {
      const std::string from = word.texts[other];
      const std::size_t at = cell.find(from);
      if (static_cast<Language>(other) == lang || at == std::string::npos) continue;
      cell.replace(at, from.size(), word.In(lang));
      return cell;
    }
  return cell;
}

IconSource IconSourceOf(const TUninstallInfo& info) {
  if (info.HasIcon) return IconSource::Own;
  return info.Valid ? IconSource::Default : IconSource::Invalid;
}

ViewStyle ViewStyleFromNumber(int number) {
  return number >= 0 && number <= 3 ? static_cast<ViewStyle>(number) : ViewStyle::Details;
}

ViewStyle NextViewStyle(ViewStyle style) {
  switch (style) {
    case ViewStyle::LargeIcons:
      return ViewStyle::List;
    case ViewStyle::List:
      return ViewStyle::SmallIcons;
    case ViewStyle::SmallIcons:
      return ViewStyle::Details;
    case ViewStyle::Details:
      break;
  }
  return ViewStyle::LargeIcons;
}

}  // namespace pgl
