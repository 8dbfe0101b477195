#include "inventory/MachineOutput.h"

#include <algorithm>

#include <ctime>
#include <nlohmann/json.hpp>

#include "util/Utf.h"

namespace pgl {

namespace {

using json = nlohmann::ordered_json;

std::string Dump(const json& value) {
  // Text that is not UTF-8 (a registry name with a lone surrogate) is replaced, not refused.
  const std::string text = value.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
  // The C1 controls (U+0080 to U+009F) are escaped too: a terminal may take U+009B for the start
  // of a control sequence. They can only stand inside strings, where an escape means the same.
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (static_cast<unsigned char>(text[i]) == 0xC2 && next >= 0x80 && next <= 0x9F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[next >> 4];
      out += kHex[next & 0xF];
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A CSV field: quoted where it holds a separator, a quote or a line break, quotes doubled.
// Control characters become blanks, as in the tab-separated form, so that no field carries a
// terminal's control sequence.
void AppendCsvField(std::string& out, std::string_view text) {
  const std::string clean = WithoutControlCharacters(text);
  if (clean.find_first_of(",\"") == std::string::npos) {
    out += clean;
    return;
  }
  out += '"';
  for (const char c : clean) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// One line of fields: tab-separated (control characters as blanks) or a CSV record (CR LF).
template <typename Fields>
void AppendLine(std::string& out, const Fields& fields, OutputFormat format) {
  bool first = true;
  for (const auto& field : fields) {
    if (!first) out += format == OutputFormat::Csv ? ',' : '\t';
    first = false;
    if (format == OutputFormat::Csv)
      AppendCsvField(out, field);
    else
      AppendWithoutControlCharacters(out, field);
  }
  out += format == OutputFormat::Csv ? "\r\n" : "\n";
}

std::string Table(const std::vector<std::vector<std::string>>& lines, OutputFormat format) {
  std::string out;
  for (const auto& fields : lines) AppendLine(out, fields, format);
  return out;
}

json OrNull(const std::optional<std::string>& text) {
  return text ? json(*text) : json(nullptr);
}

}  // namespace

std::optional<OutputFormat> OutputFormatNamed(std::string_view name) {
  if (name == "tsv") return OutputFormat::Tsv;
  if (name == "csv") return OutputFormat::Csv;
  if (name == "json") return OutputFormat::Json;
  return std::nullopt;
}

std::optional<std::string> FileTimeToIso(std::uint64_t fileTime) {
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01 as a FILETIME
  if (fileTime < kUnixEpoch) return std::nullopt;
  const auto seconds = static_cast<std::time_t>((fileTime - kUnixEpoch) / 10000000ull);
  std::tm utc{};
  if (!gmtime_r(&seconds, &utc) || utc.tm_year + 1900 > 9999) return std::nullopt;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(text);
}

std::optional<std::string> InstallDateToIso(std::string_view date) {
  if (date.size() != 8) return std::nullopt;
  for (const char c : date)
    if (c < '0' || c > '9') return std::nullopt;
  const int month = std::stoi(std::string(date.substr(4, 2)));
  const int day = std::stoi(std::string(date.substr(6, 2)));
  if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  return std::string(date.substr(0, 4)) + "-" + std::string(date.substr(4, 2)) + "-" +
         std::string(date.substr(6, 2));
}

bool FormatShowsValidity(OutputFormat format) {
  return format == OutputFormat::Json;
}

namespace {

// A field whose value is not its column's text: a number, a date, a flag, or no column at all.
std::optional<json> TypedField(std::string_view field, const TUninstallInfo& info) {
  if (field == "place") return std::string(PlaceName(info.View));
  if (field == "size_bytes") {
    const std::int64_t size = EntrySize(info);
    return size >= 0 ? json(size) : json(nullptr);
  }
  if (field == "last_used") return OrNull(FileTimeToIso(EntryLastUsed(info)));
  if (field == "times_used") {
    const std::int32_t times = EntryTimesUsed(info);
    return times >= 0 ? json(times) : json(nullptr);
  }
  if (field == "install_date") return OrNull(InstallDateToIso(info.InstallDate.str()));
  if (field == "system_component") return info.SystemComponent;
  if (field == "valid") return info.Valid;
  return std::nullopt;
}

// The program's fields in the order of ProgramFields: each text is its list column's cell.
json ProgramObject(const TUninstallInfo& info, const ListRow& row, const PrefixPrograms* prefix) {
  // Which column holds each field's text, found once.
  static const std::vector<std::size_t> columnOf = [] {
    std::vector<std::size_t> columns;
    for (const std::string_view field : ProgramFields()) {
      std::size_t c = 0;
      while (c < kListColumnCount && field != ListColumns()[c].field) ++c;
      columns.push_back(c);
    }
    return columns;
  }();
  json object = json::object();
  const auto& fields = ProgramFields();
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const std::string_view field = fields[f];
    if (auto typed = TypedField(field, info))
      object[std::string(field)] = std::move(*typed);
    else if (columnOf[f] < kListColumnCount)
      object[std::string(field)] = row.cells[columnOf[f]];
    if (field == "key" && prefix) {
      object["prefix"] = prefix->name;
      object["prefix_path"] = prefix->path;
    }
  }
  return object;
}

// The list's column captions, with "Prefix" before the registry key where several prefixes are
// listed.
std::vector<std::string_view> Captions(bool withPrefix) {
  std::vector<std::string_view> captions;
  for (const auto& column : ListColumns())
    captions.emplace_back(column.caption.In(Language::English));
  if (withPrefix) captions.insert(captions.end() - 1, "Prefix");
  return captions;
}

// The rows of one prefix, as ProgramLists reads them.
struct RowsOf {
  const PrefixPrograms* prefix;  // null: one system, no prefix column
  const TUninstallCollection& collection;
  const std::vector<ListRow>& rows;
};

std::string ProgramLists(const std::vector<RowsOf>& lists, OutputFormat format, bool withPrefix) {
  if (format != OutputFormat::Json) {
    std::string out;
    std::vector<std::string_view> fields = Captions(withPrefix);
    AppendLine(out, fields, format);
    for (const RowsOf& list : lists)
      for (const ListRow& row : list.rows) {
        fields.assign(row.cells.begin(), row.cells.end());
        if (withPrefix) fields.insert(fields.end() - 1, list.prefix->name);
        AppendLine(out, fields, format);
      }
    return out;
  }
  json programs = json::array();
  for (const RowsOf& list : lists)
    for (const ListRow& row : list.rows)
      programs.push_back(ProgramObject(list.collection.GetItem(row.itemIndex).UninstallInfo, row,
                                       withPrefix ? list.prefix : nullptr));
  return Dump(programs);
}

}  // namespace

std::string FormatProgramList(const TUninstallCollection& collection,
                              const std::vector<ListRow>& rows, OutputFormat format) {
  return ProgramLists({{nullptr, collection, rows}}, format, false);
}

void WriteProgramList(const TUninstallCollection& collection, const ListFilter& filter,
                      Language lang, OutputFormat format,
                      const std::function<void(std::string_view)>& sink) {
  if (format == OutputFormat::Json) {
    sink(FormatProgramList(collection, BuildListRows(collection, filter, lang), format));
    return;
  }
  // Handed on in pieces that stay in the processor's cache: one buffer, written and used again.
  constexpr std::size_t kPiece = 64 * 1024;
  std::string out;
  out.reserve(kPiece + 16 * 1024);
  AppendLine(out, Captions(false), format);
  MadeRowTexts made;
  for (int i = 0; i < collection.Count(); ++i) {
    const TUninstallInfo& info = collection.GetItem(i).UninstallInfo;
    if (!IsListed(info, collection.SystemComponentsVisible, filter)) continue;
    AppendLine(out, RowViews(info, lang, made), format);
    if (out.size() >= kPiece) {
      sink(out);
      out.clear();
    }
  }
  sink(out);
}

std::string FormatProgramsOfPrefixes(const std::vector<PrefixPrograms>& prefixes,
                                     OutputFormat format) {
  std::vector<RowsOf> lists;
  for (const PrefixPrograms& prefix : prefixes)
    lists.push_back({&prefix, *prefix.collection, prefix.rows});
  return ProgramLists(lists, format, true);
}

std::string FormatPrefixes(const std::vector<PrefixRecord>& prefixes, OutputFormat format) {
  const bool sizes =
      std::any_of(prefixes.begin(), prefixes.end(), [](const PrefixRecord& p) { return p.sizes; });
  const auto lastUsed = [](const PrefixSizes& s) -> std::optional<std::string> {
    if (s.lastUsed <= 0) return std::nullopt;
    return FileTimeToIso(static_cast<std::uint64_t>(s.lastUsed) * 10000000ull +
                         116444736000000000ull);
  };
  if (format != OutputFormat::Json) {
    std::vector<std::vector<std::string>> lines = {{"Name", "Source", "Architecture", "Programs",
                                                    "Path", "Owner", "Owner state", "Folder",
                                                    "Shader cache", "Cloud saves"}};
    if (sizes)
      lines[0].insert(lines[0].end(),
                      {"Size", "Saves", "Last used", "Save folders", "Shader cache size"});
    for (const PrefixRecord& p : prefixes) {
      lines.push_back({p.name, p.source, p.arch,
                       p.programs ? std::to_string(*p.programs) : std::string("?"), p.path, p.owner,
                       p.ownerState, p.folder, p.shaderCache, p.cloudSaves ? p.cloudSaves : ""});
      if (!sizes) continue;
      const PrefixSizes s = p.sizes.value_or(PrefixSizes{});
      std::string folders;
      for (const auto& [path, bytes] : s.saveFolders)
        folders += (folders.empty() ? "" : "; ") + path;
      lines.back().insert(
          lines.back().end(),
          {std::to_string(s.sizeBytes), std::to_string(s.savesBytes), lastUsed(s).value_or(""),
           folders, s.shaderCacheBytes ? std::to_string(*s.shaderCacheBytes) : std::string()});
    }
    return Table(lines, format);
  }
  json out = json::array();
  for (const PrefixRecord& p : prefixes) {
    json object = {
        {"name", p.name},
        {"source", p.source},
        {"arch", p.arch},
        {"programs", p.programs ? json(*p.programs) : json(nullptr)},
        {"path", p.path},
        {"folder", p.folder},
        {"owner", p.owner},
        {"owner_state", p.ownerState},
        {"shadercache_folder", p.shaderCache.empty() ? json(nullptr) : json(p.shaderCache)},
        {"cloud_saves", p.cloudSaves ? json(p.cloudSaves) : json(nullptr)}};
    if (p.sizes) {
      json folders = json::array();
      for (const auto& [path, bytes] : p.sizes->saveFolders)
        folders.push_back({{"path", path}, {"bytes", bytes}});
      object["size_bytes"] = p.sizes->sizeBytes;
      object["saves_bytes"] = p.sizes->savesBytes;
      object["save_folders"] = std::move(folders);
      object["last_used"] = OrNull(lastUsed(*p.sizes));
      object["shadercache_bytes"] =
          p.sizes->shaderCacheBytes ? json(*p.sizes->shaderCacheBytes) : json(nullptr);
    }
    out.push_back(std::move(object));
  }
  return Dump(out);
}

std::string FormatPrefixOutcomes(const std::vector<PrefixOutcomeRecord>& outcomes,
                                 OutputFormat format) {
  if (format != OutputFormat::Json) {
    std::vector<std::vector<std::string>> lines = {
        {"Path", "Name", "Owner", "Outcome", "Size", "Saves", "Saves archive", "Error",
         "Shader cache", "Shader cache size", "Shader cache removed", "Shader cache error"}};
    for (const PrefixOutcomeRecord& o : outcomes)
      lines.push_back({o.path, o.name, o.owner, o.outcome, std::to_string(o.sizeBytes),
                       std::to_string(o.savesBytes), o.savesArchive, o.errorText, o.shaderCache,
                       o.shaderCacheBytes ? std::to_string(*o.shaderCacheBytes) : std::string(),
                       o.shaderCache.empty()  ? ""
                       : o.shaderCacheRemoved ? "yes"
                                              : "no",
                       o.shaderCacheError});
    return Table(lines, format);
  }
  json out = json::array();
  for (const PrefixOutcomeRecord& o : outcomes)
    out.push_back(
        {{"path", o.path},
         {"name", o.name},
         {"owner", o.owner},
         {"outcome", o.outcome},
         {"size_bytes", o.sizeBytes},
         {"saves_bytes", o.savesBytes},
         {"saves_archive", o.savesArchive},
         {"error_text", o.errorText},
         {"shadercache_folder", o.shaderCache.empty() ? json(nullptr) : json(o.shaderCache)},
         {"shadercache_bytes", o.shaderCacheBytes ? json(*o.shaderCacheBytes) : json(nullptr)},
         {"shadercache_removed", o.shaderCacheRemoved},
         {"shadercache_error", o.shaderCacheError}});
  return Dump(out);
}

std::string FormatPrefixDuplicates(const std::vector<DuplicateRecord>& prefixes,
                                   std::uint64_t totalDuplicateBytes,
                                   std::uint64_t totalSharedBytes, OutputFormat format) {
  if (format != OutputFormat::Json) {
    std::vector<std::vector<std::string>> lines = {{"Path", "Duplicate bytes", "Shared bytes"}};
    for (const DuplicateRecord& p : prefixes)
      lines.push_back({p.path, std::to_string(p.duplicateBytes), std::to_string(p.sharedBytes)});
    lines.push_back({"", std::to_string(totalDuplicateBytes), std::to_string(totalSharedBytes)});
    return Table(lines, format);
  }
  json list = json::array();
  for (const DuplicateRecord& p : prefixes)
    list.push_back(
        {{"path", p.path}, {"duplicate_bytes", p.duplicateBytes}, {"shared_bytes", p.sharedBytes}});
  json out = json::object();
  out["prefixes"] = std::move(list);
  out["total_duplicate_bytes"] = totalDuplicateBytes;
  out["total_shared_bytes"] = totalSharedBytes;
  return Dump(out);
}

std::string FormatLeftovers(const std::vector<LeftoverRecord>& items, OutputFormat format) {
  const bool outcomes = std::any_of(items.begin(), items.end(),
                                    [](const LeftoverRecord& i) { return !i.outcome.empty(); });
  if (format != OutputFormat::Json) {
    std::vector<std::vector<std::string>> lines = {
        {"Program", "Confidence", "Kind", "Item", "Size", "Reason"}};
    if (outcomes) lines[0].push_back("Outcome");
    for (const LeftoverRecord& i : items) {
      lines.push_back(
          {i.programKey, i.confidence, i.kind, i.item, std::to_string(i.size), i.reason});
      if (outcomes) lines.back().push_back(i.outcome);
    }
    return Table(lines, format);
  }
  json out = json::array();
  for (const LeftoverRecord& i : items) {
    json record = {{"key", i.programKey}, {"confidence", i.confidence}, {"kind", i.kind},
                   {"item", i.item},      {"size_bytes", i.size},       {"reason", i.reason}};
    if (outcomes) record["outcome"] = i.outcome;
    out.push_back(std::move(record));
  }
  return Dump(out);
}

// The outcome's name; for a dry run, the one it would have ("would_removed").
static std::string Said(const OutcomeRecord& o) {
  return (o.dryRun ? "would_" : "") + std::string(OutcomeName(o.outcome));
}

std::string FormatOutcomes(const std::vector<OutcomeRecord>& outcomes, OutputFormat format) {
  if (format != OutputFormat::Json) {
    std::vector<std::vector<std::string>> lines = {
        {"Key", "Name", "Prefix", "Outcome", "Error number", "Error", "Command"}};
    for (const OutcomeRecord& o : outcomes)
      lines.push_back({o.key, o.name, o.prefix, Said(o), std::to_string(o.errorNumber), o.errorText,
                       o.command});
    return Table(lines, format);
  }
  json out = json::array();
  for (const OutcomeRecord& o : outcomes)
    out.push_back({{"key", o.key},
                   {"name", o.name},
                   {"prefix", o.prefix},
                   {"outcome", Said(o)},
                   {"error_number", o.errorNumber},
                   {"error_text", o.errorText},
                   {"command", o.command}});
  return Dump(out);
}

}  // namespace pgl
