#include "leftovers/DesktopEntries.h"

#include <cstdlib>
#include <filesystem>

#include "util/FileIO.h"

namespace pgl {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v == '/' ? v : "";
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// The text's lines, without their line ends (LF or CR LF).
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

// XDG_DESKTOP_DIR="$HOME/Desktop" in user-dirs.dirs.
std::string DesktopFromUserDirs(const std::string& configHome, const std::string& home) {
  for (const std::string& line : Lines(ReadFileStart(configHome + "/user-dirs.dirs", 64 * 1024))) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    if (line.rfind(key, 0) != 0 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return {};
}

}  // namespace

XdgFolders UserXdgFolders() {
  XdgFolders f;
  f.home = Env("HOME");
  if (f.home.empty()) return {};  // no desktop of this kind (Windows)
  f.dataHome = Env("XDG_DATA_HOME");
  if (f.dataHome.empty()) f.dataHome = f.home + "/.local/share";
  f.configHome = Env("XDG_CONFIG_HOME");
  if (f.configHome.empty()) f.configHome = f.home + "/.config";
  f.desktop = DesktopFromUserDirs(f.configHome, f.home);
  if (f.desktop.empty() || !IsFolder(f.desktop))
    f.desktop = IsFolder(f.home + "/Desktop") ? f.home + "/Desktop" : f.home;
  return f;
}

std::vector<std::string> ExecWords(const std::string& exec) {
  // The value's own escapes first (\\ \s \n \t \r), then the Exec quoting: words split at
  // blanks, a backslash taking the next character as it is, double quotes grouping.
  std::string value;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    if (exec[i] != '\\' || i + 1 == exec.size()) {
      value += exec[i];
      continue;
    }
    const char c = exec[++i];
    value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if (c == '\\' && i + 1 < value.size()) {
      word += value[++i];
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::optional<DesktopEntry> ReadDesktopEntry(const std::string& file) {
  DesktopEntry entry;
  entry.file = file;
  std::string exec;
  bool inMain = false;
  for (const std::string& line : Lines(ReadFileStart(file, 64 * 1024))) {
    if (!line.empty() && line[0] == '[') {
      inMain = line == "[Desktop Entry]";
      continue;
    }
    if (!inMain) continue;
    if (line.rfind("Exec=", 0) == 0) exec = line.substr(5);
    if (line.rfind("Path=", 0) == 0) entry.workDir = line.substr(5);
    if (line.rfind("Icon=", 0) == 0) entry.icon = line.substr(5);
  }
  const std::vector<std::string> words = ExecWords(exec);
  std::size_t i = 0;
  if (i < words.size() && words[i] == "env") ++i;
  for (; i < words.size() && words[i].find('=') != std::string::npos; ++i)
    if (words[i].rfind("WINEPREFIX=", 0) == 0) entry.prefix = words[i].substr(11);
  // The program run: wine, wine-stable, wine64, /opt/wine/bin/wine, ...
  if (i >= words.size()) return std::nullopt;
  const std::string program = words[i].substr(words[i].find_last_of('/') + 1);
  if (program.rfind("wine", 0) != 0) return std::nullopt;
  ++i;
  if (i + 2 < words.size() && words[i] == "start" && words[i + 1] == "/ProgIDOpen") {
    entry.progId = words[i + 2];
  } else {
    if (i < words.size() && (words[i] == "start" || words[i] == "/unix")) ++i;
    if (i < words.size()) entry.winePath = words[i];
  }
  return entry;
}

std::vector<std::string> DesktopFilesIn(const std::string& folder, int depth) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code ec;
  std::size_t seen = 0;
  for (fs::recursive_directory_iterator
           it(folder, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end && ++seen < 200000; it.increment(ec)) {
    std::error_code e;
    if (it->is_symlink(e)) {
      it.disable_recursion_pending();
      continue;
    }
    if (it->is_directory(e) && it.depth() >= depth) it.disable_recursion_pending();
    const std::string name = it->path().filename().string();
    if (it->is_regular_file(e) && name.size() > 8 &&
        name.compare(name.size() - 8, 8, ".desktop") == 0)
      found.push_back(it->path().string());
  }
  return found;
}

}  // namespace pgl
