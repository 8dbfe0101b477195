#include "ui/windows/PrefixesRules.h"

#include <algorithm>
#include <ctime>

#include "inventory/UninstallPlaces.h"
#include "util/QV_Conversion.h"

namespace pgl {

namespace {

constexpr Message<PrefixColumn> kCaptions[] = {
    {PrefixColumn::Name, {"Prefix", "Prefiks"}},
    {PrefixColumn::Owner, {"Owner", "Właściciel"}},
    {PrefixColumn::State, {"State", "Stan"}},
    {PrefixColumn::Programs, {"Programs", "Programy"}},
    {PrefixColumn::Size, {"Size", "Rozmiar"}},
    {PrefixColumn::ShaderCache, {"Shader cache", "Pamięć shaderów"}},
    {PrefixColumn::Saves, {"Saves", "Zapisy"}},
    {PrefixColumn::Cloud, {"In Steam Cloud", "W Steam Cloud"}},
    {PrefixColumn::LastUsed, {"Last used", "Ostatnio używany"}},
    {PrefixColumn::Folder, {"Folder", "Folder"}},
};
static_assert(IsMessageTable(kCaptions));

constexpr Message<PrefixesText> kTexts[] = {
    {PrefixesText::Title, {"Prefixes", "Prefiksy"}},
    {PrefixesText::RemoveButton, {"&Remove prefix...", "&Usuń prefiks..."}},
    {PrefixesText::SaveButton, {"&Save the saves...", "&Zachowaj zapisy..."}},
    {PrefixesText::SavesWritten,
     {"Saves written: %1 files to %2", "Zapisano zapisy: %1 plików do %2"}},
    {PrefixesText::NothingToSave,
     {"The chosen prefixes hold no saves.", "Wybrane prefiksy nie zawierają zapisów."}},
    {PrefixesText::Removed,
     {"Prefixes moved to the trash: %1", "Prefiksy przeniesione do kosza: %1"}},
    {PrefixesText::NotRemovedTitle, {"Not removed:", "Nie usunięto:"}},
    {PrefixesText::Measuring, {"measuring...", "mierzenie..."}},
    {PrefixesText::SavesFolderTitle,
     {"The folder for the saves' archives", "Folder na archiwa zapisów"}},
    {PrefixesText::ShareButton, {"S&hare identical files...", "&Współdziel identyczne pliki..."}},
    {PrefixesText::ShareQuestion,
     {"These prefixes hold %1 copies of %2 files: %3 MB, of which %4 MB are shared already.\n"
      "Share them through the file system? Each file keeps its content, times and inode, and a "
      "later change to one of them gets its own copy. Nothing is linked.",
      "Te prefiksy zawierają %1 kopii %2 plików: %3 MB, z czego %4 MB jest już "
      "współdzielonych.\nWspółdzielić je przez system plików? Każdy plik zachowa zawartość, "
      "czasy i i-węzeł, a późniejsza zmiana jednego z nich dostanie własną kopię. Nic nie "
      "zostanie dowiązane."}},
    {PrefixesText::NothingToShare,
     {"These prefixes hold no file twice.", "Te prefiksy nie zawierają żadnego pliku dwa razy."}},
    {PrefixesText::Sharing, {"sharing: %1 of %2 files", "współdzielenie: %1 z %2 plików"}},
    {PrefixesText::Shared, {"Shared: %1 MB in %2 files", "Współdzielono: %1 MB w %2 plikach"}},
    {PrefixesText::NotSharedTitle, {"Not shared:", "Nie współdzielono:"}},
    {PrefixesText::WineRuns,
     {"Nothing shared: Wine runs in %1. Close its programs first.",
      "Nic nie współdzielono: w %1 działa Wine. Najpierw zamknij jego programy."}},
    {PrefixesText::CannotShare,
     {"The file system does not share the contents of files: nothing was changed.",
      "System plików nie współdzieli zawartości plików: nic nie zmieniono."}},
};
static_assert(IsMessageTable(kTexts));

enum class Word {
  Present,
  Removed,
  None,
  Unknown,
  Shown,
  Question,
  Owner,
  Size,
  Saves,
  SavesTo,
  NoSaves,
  Yes,
  No,
  Cache,
  InCloud,
  NotInCloud,
  RemovedGames,
  RemovedGamesCaches,
  Count
};
constexpr Message<Word> kWords[] = {
    {Word::Present, {"present", "obecny"}},
    {Word::Removed, {"removed", "usunięty"}},
    {Word::None, {"", ""}},
    {Word::Unknown, {"unknown", "nieznany"}},
    {Word::Shown,
     {"the window shows it: show another prefix first",
      "okno go pokazuje: najpierw pokaż inny prefiks"}},
    {Word::Question,
     {"Move these prefixes to the trash, with Wine's menu entries of each?",
      "Przenieść te prefiksy do kosza, razem z wpisami menu Wine każdego z nich?"}},
    {Word::Owner, {"owner: %1 (%2)", "właściciel: %1 (%2)"}},
    {Word::Size, {"size: %1", "rozmiar: %1"}},
    {Word::Saves, {"saves: %1 in %2 folders", "zapisy: %1 w %2 folderach"}},
    {Word::SavesTo,
     {"The saves are first written to an archive in %1.",
      "Zapisy zostaną najpierw zachowane w archiwum w %1."}},
    {Word::NoSaves, {"saves: none", "zapisy: brak"}},
    {Word::Yes, {"yes", "tak"}},
    {Word::No, {"no", "nie"}},
    {Word::Cache,
     {"shader cache: %1, moved with it", "pamięć shaderów: %1, przeniesiona razem z nim"}},
    {Word::InCloud, {"Steam Cloud keeps its saves", "Steam Cloud przechowuje jego zapisy"}},
    {Word::NotInCloud,
     {"its saves are in no cloud: the archive will be their only copy",
      "jego zapisów nie ma w żadnej chmurze: archiwum będzie ich jedyną kopią"}},
    {Word::RemovedGames, {"%1 removed games: %2", "Usunięte gry: %1, razem %2"}},
    {Word::RemovedGamesCaches,
     {"%1 removed games: %2, of it %3 shader caches",
      "Usunięte gry: %1, razem %2, w tym %3 pamięci shaderów"}},
};
static_assert(IsMessageTable(kWords));

std::string Said(Word w, Language lang, std::initializer_list<std::string_view> args = {}) {
  return Fill(MessageIn(kWords, w, lang), args);
}

std::string Date(std::int64_t seconds) {
  if (seconds <= 0) return "";
  const auto t = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d", &local);
  return text;
}

std::string Trimmed(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

}  // namespace

std::optional<std::size_t> ProgramCount(const KnownSystem& prefix) {
  const auto registry = OpenKnownRegistry(prefix);
  if (!registry) return std::nullopt;
  return CountListedPrograms(*registry);
}

std::string PrefixCaption(PrefixColumn column, Language lang) {
  return MessageIn(kCaptions, column, lang);
}

std::string Text(PrefixesText id, Language lang) {
  return MessageIn(kTexts, id, lang);
}

std::string PrefixCell(const PrefixRow& row, PrefixColumn column, Language lang) {
  const KnownSystem& p = row.prefix;
  const auto measured = [&](auto&& text) -> std::string {
    return row.usage ? text(*row.usage) : Text(PrefixesText::Measuring, lang);
  };
  switch (column) {
    case PrefixColumn::Name:
      return p.name;
    case PrefixColumn::Owner:
      return p.owner;
    case PrefixColumn::State:
      return Said(p.ownerState == OwnerState::Present   ? Word::Present
                  : p.ownerState == OwnerState::Removed ? Word::Removed
                  : p.ownerState == OwnerState::Unknown ? Word::Unknown
                                                        : Word::None,
                  lang);
    case PrefixColumn::Programs:
      return row.programs ? std::to_string(*row.programs) : "?";
    case PrefixColumn::Size:
      return measured([&row](const PrefixUsage&) {
        return Trimmed(SizeToText(static_cast<std::int64_t>(RowBytes(row))));
      });
    case PrefixColumn::ShaderCache:
      if (p.shaderCache.empty()) return "";
      return measured([](const PrefixUsage& u) {
        return Trimmed(SizeToText(static_cast<std::int64_t>(u.shaderCacheBytes.value_or(0))));
      });
    case PrefixColumn::Cloud:
      return p.cloudSaves == CloudSaves::Yes       ? Said(Word::Yes, lang)
             : p.cloudSaves == CloudSaves::No      ? Said(Word::No, lang)
             : p.cloudSaves == CloudSaves::Unknown ? Said(Word::Unknown, lang)
                                                   : "";
    case PrefixColumn::Saves:
      return measured([](const PrefixUsage& u) {
        return u.saveFolders.empty() ? std::string()
                                     : Trimmed(SizeToText(static_cast<std::int64_t>(u.savesBytes)));
      });
    case PrefixColumn::LastUsed:
      return measured([](const PrefixUsage& u) { return Date(u.lastUsed); });
    case PrefixColumn::Folder:
      return p.folder.empty() ? p.path : p.folder;
    case PrefixColumn::Count:
      break;
  }
  return "";
}

void SortBySize(std::vector<PrefixRow>& rows) {
  std::stable_sort(rows.begin(), rows.end(), [](const PrefixRow& a, const PrefixRow& b) {
    if (a.usage.has_value() != b.usage.has_value()) return a.usage.has_value();
    if (a.usage && RowBytes(a) != RowBytes(b)) return RowBytes(a) > RowBytes(b);
    return a.prefix.name < b.prefix.name;
  });
}

std::uint64_t RowBytes(const PrefixRow& row) {
  return row.usage ? row.usage->sizeBytes + row.usage->shaderCacheBytes.value_or(0) : 0;
}

SizeShares SizeShareOf(const PrefixRow& row, std::uint64_t largest) {
  if (!row.usage || largest == 0) return {};
  const auto share = [largest](std::uint64_t bytes) {
    return std::min(1.0, static_cast<double>(bytes) / static_cast<double>(largest));
  };
  const double prefix = share(row.usage->sizeBytes);
  return {prefix, std::min(1.0 - prefix, share(row.usage->shaderCacheBytes.value_or(0)))};
}

std::string RemovedSummary(const std::vector<PrefixRow>& rows, Language lang) {
  std::size_t games = 0;
  std::uint64_t total = 0, caches = 0;
  for (const PrefixRow& row : rows) {
    if (row.prefix.ownerState != OwnerState::Removed || !row.usage) continue;
    ++games;
    total += RowBytes(row);
    caches += row.usage->shaderCacheBytes.value_or(0);
  }
  if (games == 0) return "";
  const auto size = [](std::uint64_t bytes) {
    return Trimmed(SizeToText(static_cast<std::int64_t>(bytes)));
  };
  return caches > 0 ? Said(Word::RemovedGamesCaches, lang,
                           {std::to_string(games), size(total), size(caches)})
                    : Said(Word::RemovedGames, lang, {std::to_string(games), size(total)});
}

std::string WindowRefusal(const PrefixRow& row, Language lang) {
  return row.shown ? Said(Word::Shown, lang) : "";
}

std::string RemovalQuestion(const std::vector<const PrefixRow*>& rows, const std::string& savesTo,
                            Language lang) {
  std::string text = Said(Word::Question, lang) + "\n";
  bool anySaves = false;
  for (const PrefixRow* row : rows) {
    const KnownSystem& p = row->prefix;
    text += "\n• " + p.name + " — " + PrefixCell(*row, PrefixColumn::Folder, lang);
    if (!p.owner.empty())
      text +=
          "\n   " + Said(Word::Owner, lang, {p.owner, PrefixCell(*row, PrefixColumn::State, lang)});
    text += "\n   " + Said(Word::Size, lang, {PrefixCell(*row, PrefixColumn::Size, lang)});
    if (row->usage && !row->usage->saveFolders.empty()) {
      anySaves = true;
      text += "; " + Said(Word::Saves, lang,
                          {PrefixCell(*row, PrefixColumn::Saves, lang),
                           std::to_string(row->usage->saveFolders.size())});
    } else {
      text += "; " + Said(Word::NoSaves, lang);
    }
    if (!p.shaderCache.empty())
      text +=
          "\n   " + Said(Word::Cache, lang, {PrefixCell(*row, PrefixColumn::ShaderCache, lang)});
    // Where the archive is the saves' only copy, the user hears it before saying yes.
    if (p.cloudSaves == CloudSaves::Yes) text += "\n   " + Said(Word::InCloud, lang);
    if (p.cloudSaves == CloudSaves::No && row->usage && !row->usage->saveFolders.empty())
      text += "\n   " + Said(Word::NotInCloud, lang);
  }
  if (anySaves) text += "\n\n" + Said(Word::SavesTo, lang, {savesTo});
  return text;
}

}  // namespace pgl
