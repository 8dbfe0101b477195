#include "inventory/EntryList.h"

#include <algorithm>

#include "inventory/CommandAnalysis.h"
#include "util/Locale.h"
#include "util/QV_Conversion.h"

namespace pgl {

const std::array<ListColumn, kListColumnCount>& ListColumns() {
  using A = ColumnAlignment;
  static const std::array<ListColumn, kListColumnCount> columns = {{
      {{"Name", "Nazwa"}, 300, A::Left, 0, "name"},
      {{"Publisher", "Producent"}, 160, A::Left, 1, "publisher"},
      {{"Size", "Rozmiar"}, 136, A::Right, 2, "size_text"},
      {{"Last used", "Ostatnio używany"}, 80, A::Center, 3, "last_used_text"},
      {{"Frequency", "Częstość używania"}, 100, A::Left, 4, "frequency_text"},
      {{"Version", "Wersja"}, 80, A::Left, 5, "version"},
      {{"EXE file", "Plik EXE"}, 200, A::Left, 6, "program_file"},
      {{"Icon file", "Plik z ikoną"}, 200, A::Left, 7, "icon_file"},
      {{"Uninstall string", "Polecenie deinstalacyjne"}, 200, A::Left, 9, "uninstall_command"},
      {{"Quiet uninstall string", "Polecenie cichej deinstalacji"},
       200,
       A::Left,
       10,
       "quiet_uninstall_command"},
      {{"Modify path", "Polecenie modyfykacji"}, 200, A::Left, 11, "modify_command"},
      {{"Install date", "Data instalacji"}, 80, A::Left, 12, "install_date_text"},
      {{"Install location", "Miejsce instalacji"}, 200, A::Left, 13, "install_location"},
      {{"Install source", "Źródło instalacji"}, 200, A::Left, 14, "install_source"},
      {{"URL about", "URL - informacje"}, 200, A::Left, 15, "url_info"},
      {{"URL update", "URL - aktualizacja"}, 200, A::Left, 16, "url_update"},
      {{"Help link", "Pomoc online"}, 200, A::Left, 17, "help_link"},
      {{"Comment", "Komentarz"}, 200, A::Left, 18, "comments"},
      {{"Contact", "Kontakt"}, 200, A::Left, 19, "contact"},
      {{"Readme", "Readme"}, 200, A::Left, 20, "readme"},
      {{"System component", "Komponent systemowy"}, 60, A::Center, 21, "system_component"},
      // Where the entry lives; the only column that tells apart two entries of one name.
      {{"Registry key", "Klucz rejestru"}, 300, A::Left, 22, "key"},
  }};
  return columns;
}

const char* ColumnCaption(const ListColumn& column, Language lang) {
  return column.caption.In(lang);
}

std::string SizeSourceNote(const TUninstallInfo& info, Language lang) {
  static constexpr Translations kEstimate{
      "none: the size is the installer's estimate (EstimatedSize)",
      "brak: rozmiar to szacunek instalatora (EstimatedSize)"};
  static constexpr Translations kNothing{"none: the size and the use are not known",
                                         "brak: rozmiar i użycie nie są znane"};
  switch (EntrySizeSource(info)) {
    case SizeSource::UsageRecord:
      return "";
    case SizeSource::Estimate:
      return kEstimate.In(lang);
    case SizeSource::Unknown:
      break;
  }
  return kNothing.In(lang);
}

bool IsListed(const TUninstallInfo& info, bool systemComponentsVisible, const ListFilter& filter) {
  if (!info.Visible || !info.Exists) return false;
  if (!systemComponentsVisible && info.SystemComponent) return false;
  if (info.Valid) return !filter.showOnlyInvalid;
  return filter.showInvalid || filter.showOnlyInvalid;
}

TextFilter::TextFilter(std::string_view typed) {
  const std::string upper = UpperCaseLocale(typed);
  std::size_t at = 0;
  while (at < upper.size()) {
    const std::size_t start = upper.find_first_not_of(" \t", at);
    if (start == std::string::npos) break;
    const std::size_t end = std::min(upper.find_first_of(" \t", start), upper.size());
    words_.push_back(upper.substr(start, end - start));
    at = end;
  }
}

bool TextFilter::Matches(const TUninstallInfo& info) const {
  if (words_.empty()) return true;
  const std::string text = UpperCaseLocale(info.DisplayName.str() + '\n' + info.Publisher.str() +
                                           '\n' + RegistryKeyOf(info));
  return std::all_of(words_.begin(), words_.end(), [&text](const std::string& word) {
    return text.find(word) != std::string::npos;
  });
}

std::array<std::string_view, kListColumnCount> RowViews(const TUninstallInfo& info, Language lang,
                                                        MadeRowTexts& made) {
  // What nothing says (Wine writes no usage records) is left blank, never shown as 0.
  const std::int64_t size = EntrySize(info);
  const std::int32_t times = EntryTimesUsed(info);
  made[0] = size >= 0 ? SizeToText(size) + " (" + std::to_string(size) + ")" : std::string();
  made[1] = FileTimeToDateText(EntryLastUsed(info));
  made[2] = times >= 0 ? UsageFrequencyText(times, lang) + " (" + std::to_string(times) + ")"
                       : std::string();
  made[3] = RegistryKeyOf(info);
  return {
      info.DisplayName.str(),
      info.Publisher.str(),
      made[0],
      made[1],
      made[2],
      info.DisplayVersion.str(),
      info.ExeFile,
      info.DisplayIcon,
      info.UninstallString,
      info.QuietUninstallString,
      info.ModifyPath,
      info.InstallDate.str(),
      info.InstallLocation,
      info.InstallSource,
      info.URLInfoAbout.str(),
      info.URLUpdateInfo.str(),
      info.HelpLink.str(),
      info.Comments.str(),
      info.Contact.str(),
      info.Readme.str(),
      info.SystemComponent ? "1" : "0",
      made[3],
  };
}

std::array<std::string, kListColumnCount> RowTexts(const TUninstallInfo& info, Language lang) {
  MadeRowTexts made;
  const auto views = RowViews(info, lang, made);
  std::array<std::string, kListColumnCount> texts;
  for (std::size_t i = 0; i < views.size(); ++i) texts[i] = std::string(views[i]);
  return texts;
}

std::vector<ListRow> BuildListRows(const TUninstallCollection& collection, const ListFilter& filter,
                                   Language lang) {
  std::vector<ListRow> rows;
  for (int i = 0; i < collection.Count(); ++i) {
    const TUninstallInfo& info = collection.GetItem(i).UninstallInfo;
    if (IsListed(info, collection.SystemComponentsVisible, filter))
      rows.push_back({i, RowTexts(info, lang)});
  }
  return rows;
}

}  // namespace pgl
