#include "leftovers/LeftoverPaths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "registry/RegTree.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace fs = std::filesystem;

namespace pgl::leftovers {

namespace {

// How many entries a folder's size is counted over at most.
constexpr std::size_t kMaxWalk = 200000;

}  // namespace

std::string Fold(std::string_view utf8) {
  return Utf16ToUtf8(FoldRegName(Utf8ToUtf16(utf8)));
}

std::string WinNorm(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string WinLexical(const std::string& path) {
  const std::string norm = WinNorm(path);
  if (norm.size() < 3 || norm[1] != ':' || norm[2] != '\\') return norm;
  const std::vector<std::string> parts = WindowsPathParts(std::string_view(norm).substr(3));
  std::string out = norm.substr(0, 2);
  for (const auto& part : parts) out += "\\" + part;
  return parts.empty() ? out + "\\" : out;
}

bool WinInside(const std::string& path, const std::string& folder) {
  if (folder.empty() || path.empty()) return false;
  const std::string p = Fold(WinLexical(path)), f = Fold(WinLexical(folder));
  return p == f || (p.size() > f.size() && p.compare(0, f.size(), f) == 0 && p[f.size()] == '\\');
}

std::string WinParent(const std::string& path) {
  const auto slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash == 2 ? 3 : slash);
}

std::string WinLeaf(const std::string& path) {
  return path.substr(path.find_last_of('\\') + 1);
}

bool UnixInside(const std::string& path, const std::string& folder) {
  if (folder.empty()) return false;
  return path == folder ||
         (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path[folder.size()] == '/');
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

std::uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const auto status = fs::symlink_status(path, ec);
  if (ec) return 0;
  if (fs::is_regular_file(status)) return fs::file_size(path, ec);
  if (!fs::is_directory(status)) return 0;
  std::uint64_t total = 0;
  std::size_t seen = 0;
  for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end && seen < kMaxWalk; it.increment(ec), ++seen) {
    std::error_code fileError;
    if (it->is_regular_file(fileError) && !it->is_symlink(fileError))
      total += it->file_size(fileError);
  }
  return total;
}

std::vector<std::pair<std::string, std::string>> Children(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    names.emplace_back(Fold(name), name);
  }
  return names;
}

std::string Child(const std::string& folder, const std::string& name) {
  const std::string folded = Fold(name);
  for (const auto& [f, real] : Children(folder))
    if (f == folded) return folder + "/" + real;
  return {};
}

}  // namespace pgl::leftovers
