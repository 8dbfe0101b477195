#include "ui/main/SettingsFile.h"

#include <algorithm>

#include "util/FileIO.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace pgl {

void SetDefParams(TMainParams& params) {
  params = TMainParams{};
}

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

bool IsSection(std::string_view line, std::string_view name) {
  line = Trim(line);
  return line.size() >= 2 && line.front() == '[' && line.back() == ']' &&
         AsciiEqualNoCase(Trim(line.substr(1, line.size() - 2)), name);
}

bool IsAnySection(std::string_view line) {
  line = Trim(line);
  return !line.empty() && line.front() == '[';
}

// The key of a "key=value" line, or nothing for other lines.
std::optional<std::string_view> KeyOf(std::string_view line) {
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  const std::string_view key = Trim(line.substr(0, eq));
  if (key.empty() || key.front() == ';') return std::nullopt;
  return key;
}

}  // namespace

bool IniFile::Load(const std::string& path, std::string& error) {
  lines_.clear();
  std::string bytes;
  if (!ReadWholeFile(path, bytes, error, 1 << 20)) return false;
  LoadText(bytes);
  return true;
}

void IniFile::LoadText(const std::string& text) {
  lines_ = TextLines(text);
}

std::string IniFile::Text() const {
  std::string text;
  for (const auto& line : lines_) text += line + "\r\n";
  return text;
}

bool IniFile::Save(const std::string& path, std::string& error) const {
  return WriteFileAtomic(path, Text(), error);
}

std::optional<std::string> IniFile::Read(const std::string& section, const std::string& key) const {
  bool inSection = false;
  for (const auto& line : lines_) {
    if (IsAnySection(line)) {
      inSection = IsSection(line, section);
      continue;
    }
    if (!inSection) continue;
    const auto k = KeyOf(line);
    if (k && AsciiEqualNoCase(*k, key))
      return std::string(Trim(std::string_view(line).substr(line.find('=') + 1)));
  }
  return std::nullopt;
}

void IniFile::Write(const std::string& section, const std::string& key, const std::string& value) {
  const std::string entry = key + "=" + value;
  std::size_t at = 0;
  while (at < lines_.size() && !IsSection(lines_[at], section)) ++at;
  if (at == lines_.size()) {
    if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + section + "]");
    lines_.push_back(entry);
    return;
  }
  // A new key goes after the section's last line that is not blank.
  std::size_t insertAt = at + 1;
  for (std::size_t i = at + 1; i < lines_.size() && !IsAnySection(lines_[i]); ++i) {
    const auto k = KeyOf(lines_[i]);
    if (k && AsciiEqualNoCase(*k, key)) {
      lines_[i] = entry;
      return;
    }
    if (!Trim(lines_[i]).empty()) insertAt = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
}

int IniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
  const auto text = Read(section, key);
  int value = 0;
  return text && TryParseInteger(*text, value) ? value : fallback;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::string ColumnKey(int index) {
  return "lvColumn" + PadLeft(std::to_string(index), 2, '0');
}

MainWindowSettings ReadMainSettings(const IniFile& ini, const MainWindowSettings& current,
                                    ScreenSize screen, TMainParams& params,
                                    const std::vector<int>& defaultColumnWidths) {
  const std::string s = kSettingsSection;
  MainWindowSettings out = current;
  out.width = std::min(ini.ReadInteger(s, "Width", current.width), screen.width);
  out.height = std::min(ini.ReadInteger(s, "Height", current.height), screen.height);
  const auto edge = [](int value, int screenSize) {
    if (value > screenSize - 20) return 20;
    return value < 0 ? 0 : value;
  };
  out.left = edge(ini.ReadInteger(s, "Left", current.left), screen.width);
  out.top = edge(ini.ReadInteger(s, "Top", current.top), screen.height);
  out.maximized = ini.ReadBool(s, "Maximized", false);
  std::string language = ini.Read(s, "Language").value_or("EN");
  for (char& c : language) c = AsciiUpper(c);
  out.language = language == "PL" ? Language::Polish : Language::English;
  out.systemComponentsVisible = ini.ReadBool(s, "SystemComponentsVisible", false);
  params.ShowInvalidItems = ini.ReadBool(s, "ShowInvalidItems", true);
  params.ShowOnlyInvalidItems = ini.ReadBool(s, "ShowOnlyInvalidItems", false);
  out.viewStyle = ini.ReadInteger(s, "ViewStyle", 3);
  // -4 to -1 are no style; neither is anything outside 0 to 3.
  if (out.viewStyle < 0 || out.viewStyle > 3) out.viewStyle = 3;
  out.sortAscending = ini.ReadBool(s, "SortAscending", true);
  out.currentSort = ini.ReadInteger(s, "CurrentSort", 0);
  out.bottomPanelHeight =
      std::clamp(ini.ReadInteger(s, "BottomPanelHeight", current.bottomPanelHeight), 5, 320);
  out.bottomPanelVisible = ini.ReadBool(s, "BottomPanelVisible", true);
  out.toolbarVisible = ini.ReadBool(s, "ToolbarVisible", true);
  out.noGradient = ini.ReadBool(s, "NoGradient", false);
  out.toolbarList = ini.ReadBool(s, "ToolbarList", false);
  out.noAutoCheckReg =
      ini.Read(s, "NoAutoCheckReg") && ini.ReadInteger(s, "NoAutoCheckReg", 0) == 1;
  for (std::size_t i = 0; i < out.columnWidths.size(); ++i) {
    const int index = static_cast<int>(i);
    const bool present = ini.Read(s, ColumnKey(index)).has_value();
    const int fallback = !present && i < defaultColumnWidths.size() && defaultColumnWidths[i] > 0
                             ? defaultColumnWidths[i]
                             : 0;
    out.columnWidths[i] = std::clamp(ini.ReadInteger(s, ColumnKey(index), fallback), 20, 1000);
  }
  return out;
}

void WriteMainSettings(IniFile& ini, const MainWindowSettings& settings,
                       const TMainParams& params) {
  const std::string s = kSettingsSection;
  const auto integer = [&](const char* key, int value) {
    ini.Write(s, key, std::to_string(value));
  };
  const auto boolean = [&](const char* key, bool value) { ini.Write(s, key, value ? "1" : "0"); };
  if (!settings.maximized) {
    integer("Width", settings.width);
    integer("Height", settings.height);
    integer("Left", settings.left);
    integer("Top", settings.top);
  }
  boolean("Maximized", settings.maximized);
  ini.Write(s, "Language", settings.language == Language::Polish ? "PL" : "EN");
  boolean("SystemComponentsVisible", settings.systemComponentsVisible);
  boolean("ShowInvalidItems", params.ShowInvalidItems);
  boolean("ShowOnlyInvalidItems", params.ShowOnlyInvalidItems);
  integer("ViewStyle", settings.viewStyle);
  boolean("SortAscending", settings.sortAscending);
  integer("CurrentSort", settings.currentSort);
  boolean("BottomPanelVisible", settings.bottomPanelVisible);
  boolean("ToolbarVisible", settings.toolbarVisible);
  boolean("NoGradient", settings.noGradient);
  boolean("ToolbarList", settings.toolbarList);
  integer("BottomPanelHeight", settings.bottomPanelHeight);
  for (std::size_t i = 0; i < settings.columnWidths.size(); ++i)
    ini.Write(s, ColumnKey(static_cast<int>(i)), std::to_string(settings.columnWidths[i]));
}

}  // namespace pgl
