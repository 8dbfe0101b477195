// The main window's settings: the option record `TMainParams` with its defaults, and the
// settings file (an INI file, section "MAIN") read at start-up and written at close, with
// every key's bounds. No Qt here: the window applies what this reads and hands over what it
// writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lang/Language.h"

namespace pgl {

struct TMainParams {
  bool ColoredColumns = true;
  bool ColoredDetails = true;
  bool HideWhileUninstalling = true;
  bool AutoSaveErrorLog = true;
  bool ShowInvalidItems = true;
  bool ShowOnlyInvalidItems = false;
  bool SaveSearchHistory = true;
  bool ConfirmUninstall = true;
  bool ConfirmRemove = true;
  std::uint32_t InvalidFontColor = 0xFF0000;  // #RRGGBB
  std::uint32_t InvalidBackColor = 0xDAC9C0;
  std::uint32_t SystemFontColor = 0x000080;
  std::uint32_t SystemBackColor = 0xB3B9C4;
};

void SetDefParams(TMainParams& params);

// An INI file as Windows' private-profile calls see it: sections and "key=value" lines,
// names without regard to (ASCII) case. Writing keeps every other line as it was.
class IniFile {
 public:
  // Empty when the file is missing; false (with `error`) when it cannot be read.
  bool Load(const std::string& path, std::string& error);
  void LoadText(const std::string& text);
  std::string Text() const;
  // Whole or not at all (a temporary file renamed over the old one).
  bool Save(const std::string& path, std::string& error) const;

  std::optional<std::string> Read(const std::string& section, const std::string& key) const;
  void Write(const std::string& section, const std::string& key, const std::string& value);
  // Integers as Delphi reads them (decimal, or hexadecimal after "$" or "0x"); anything else
  // gives the default. Booleans are integers: 0 is false, any other value true.
  int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

 private:
  std::vector<std::string> lines_;
};

// Everything the settings file stores besides the two filters of TMainParams.
struct MainWindowSettings {
  int width = 0, height = 0, left = 0, top = 0;
  bool maximized = false;
  Language language = Language::English;
  bool systemComponentsVisible = false;
  int viewStyle = 3;  // 0 icons, 1 small icons, 2 list, 3 report
  bool sortAscending = true;
  int currentSort = 0;
  int bottomPanelHeight = 0;
  bool bottomPanelVisible = true;
  bool toolbarVisible = true;
  bool noGradient = false;
  bool toolbarList = false;
  bool noAutoCheckReg = false;
  std::vector<int> columnWidths;  // one per list column
};

struct ScreenSize {
  int width = 0;
  int height = 0;
};

inline constexpr const char* kSettingsSection = "MAIN";

// LoadParamsFromIni's reading: `current` holds what the window has now (its size, position,
// panel height, column widths, the collection's options); every key of the file replaces its
// part, brought into the key's bounds, and the two filters go to `params`.
// `defaultColumnWidths[i]` is used for a column whose key is missing, where given (a column
// the file may predate); otherwise a missing column key reads as 0 and becomes 20.
MainWindowSettings ReadMainSettings(const IniFile& ini, const MainWindowSettings& current,
                                    ScreenSize screen, TMainParams& params,
                                    const std::vector<int>& defaultColumnWidths = {});
// SaveParamsToIni's writing, in the order the file has always had; the size and position only when
// the window is not maximised.
void WriteMainSettings(IniFile& ini, const MainWindowSettings& settings, const TMainParams& params);

// "lvColumn" and the index in two digits.
std::string ColumnKey(int index);

}  // namespace pgl
