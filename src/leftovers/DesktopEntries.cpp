#include "leftovers/DesktopEntries.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "util/FileIO.h"
#include "util/QV_Strings.h"

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

// XDG_DESKTOP_DIR="$HOME/Desktop" (or another `name`) in user-dirs.dirs.
std::string FromUserDirs(const std::string& configHome, const std::string& home,
                         const std::string& name) {
  for (const std::string& line :
       TextLines(ReadFileStart(configHome + "/user-dirs.dirs", 64 * 1024))) {
    const std::string key = name + "=\"";
    if (line.rfind(key, 0) != 0 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
  }
  return {};
}

// Wine's launcher as packages name it: wine, wine64, wine-stable, wine64-staging, ... (not
// winetricks, winecfg or another tool of its own).
bool IsWineLauncher(std::string_view program) {
  if (!program.starts_with("wine")) return false;
  program.remove_prefix(4);
  if (program.starts_with("64") || program.starts_with("32")) program.remove_prefix(2);
  if (program.empty()) return true;
  if (program[0] != '-' || program.size() == 1) return false;
  return std::all_of(program.begin() + 1, program.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
  });
}

std::string ParentFolder(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool AtOrBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path == folder ||
         (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

// The mount points of fstab's lines (second field; "\040" stands for a blank), or of
// mountinfo's (fifth field).
std::vector<std::string> MountPoints(const std::string& text, std::size_t field) {
  std::vector<std::string> points;
  for (const std::string& line : TextLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (at < line.size()) {
      const std::size_t start = line.find_first_not_of(" \t", at);
      if (start == std::string::npos) break;
      std::size_t end = line.find_first_of(" \t", start);
      if (end == std::string::npos) end = line.size();
      fields.push_back(line.substr(start, end - start));
      at = end;
    }
    if (fields.size() <= field) continue;
    std::string point;
    const std::string& raw = fields[field];
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 3 < raw.size() &&
          std::isdigit(static_cast<unsigned char>(raw[i + 1]))) {
        point += static_cast<char>(std::stoi(raw.substr(i + 1, 3), nullptr, 8));
        i += 3;
      } else {
        point += raw[i];
      }
    }
    if (!point.empty() && point[0] == '/') points.push_back(point);
  }
  return points;
}

}  // namespace

bool PrefixIsGone(const std::string& prefix, const std::string& fstab,
                  const std::string& mountinfo) {
  if (prefix.size() < 2 || prefix[0] != '/' || prefix.find("/./") != std::string::npos ||
      prefix.find("/../") != std::string::npos || prefix.ends_with("/..") || prefix.ends_with("/."))
    return false;
  for (const char* removable : {"/media", "/run/media", "/mnt", "/net"})
    if (AtOrBelow(prefix, removable)) return false;
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(prefix, ec);
  if (status.type() != std::filesystem::file_type::not_found) return false;
  const std::vector<std::string> mounted = MountPoints(mountinfo, 4);
  for (const std::string& point : MountPoints(fstab, 1))
    if (point != "/" && AtOrBelow(prefix, point) &&
        std::find(mounted.begin(), mounted.end(), point) == mounted.end())
      return false;
  // The nearest folder still there: the root, or a folder right below it, may be where a disk
  // that is not mounted now belongs.
  std::string up = ParentFolder(prefix);
  while (!up.empty() && up != "/" &&
         std::filesystem::symlink_status(up, ec).type() == std::filesystem::file_type::not_found)
    up = ParentFolder(up);
  return !up.empty() && up != "/" && ParentFolder(up) != "/";
}

bool PrefixIsGone(const std::string& prefix) {
  // Read to their end: the kernel's list has no size to read it by.
  const auto text = [](const char* file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  };
  return PrefixIsGone(prefix, text("/etc/fstab"), text("/proc/self/mountinfo"));
}

XdgFolders UserXdgFolders() {
  XdgFolders f;
  f.home = Env("HOME");
  if (f.home.empty()) return {};  // no desktop of this kind (Windows)
  f.dataHome = Env("XDG_DATA_HOME");
  if (f.dataHome.empty()) f.dataHome = f.home + "/.local/share";
  f.configHome = Env("XDG_CONFIG_HOME");
  if (f.configHome.empty()) f.configHome = f.home + "/.config";
  f.desktop = FromUserDirs(f.configHome, f.home, "XDG_DESKTOP_DIR");
  if (f.desktop.empty() || !IsFolder(f.desktop))
    f.desktop = IsFolder(f.home + "/Desktop") ? f.home + "/Desktop" : f.home;
  f.documents = FromUserDirs(f.configHome, f.home, "XDG_DOCUMENTS_DIR");
  if (f.documents.empty()) f.documents = f.home + "/Documents";
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

std::string DesktopIconOf(const std::string& file) {
  bool inMain = false;
  for (const std::string& line : TextLines(ReadFileStart(file, 64 * 1024))) {
    if (!line.empty() && line[0] == '[') inMain = line == "[Desktop Entry]";
    if (inMain && line.rfind("Icon=", 0) == 0) return line.substr(5);
  }
  return {};
}

std::optional<DesktopEntry> ReadDesktopEntry(const std::string& file) {
  DesktopEntry entry;
  entry.file = file;
  std::string exec;
  bool inMain = false;
  for (const std::string& line : TextLines(ReadFileStart(file, 64 * 1024))) {
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
  if (!IsWineLauncher(words[i].substr(words[i].find_last_of('/') + 1))) return std::nullopt;
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
