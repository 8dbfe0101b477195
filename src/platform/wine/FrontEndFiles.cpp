#include "platform/wine/FrontEndFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "util/Utf.h"

namespace pgl {

namespace {

// The four hex digits of a \u escape that starts at `at` (the 'u'), or nothing.
std::optional<std::uint32_t> Hex4(std::string_view text, std::size_t at) {
  if (at + 4 >= text.size() || text[at] != 'u') return std::nullopt;
  std::uint32_t code = 0;
  for (std::size_t k = at + 1; k <= at + 4; ++k) {
    const auto h = static_cast<unsigned char>(text[k]);
    if (!std::isxdigit(h)) return std::nullopt;
    code =
        code * 16 + static_cast<std::uint32_t>(std::isdigit(h) ? h - '0' : (h | 0x20) - 'a' + 10);
  }
  return code;
}

}  // namespace

std::optional<std::string> JsonStringValue(std::string_view text, std::string_view key) {
  const std::string quoted = "\"" + std::string(key) + "\"";
  std::size_t at = 0;
  while ((at = text.find(quoted, at)) != std::string_view::npos) {
    std::size_t i = at + quoted.size();
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size() || text[i] != ':') {
      at = i;
      continue;
    }
    ++i;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (i >= text.size() || text[i] != '"') return std::nullopt;
    std::string value;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] != '\\' || i + 1 >= text.size()) {
        value += text[i];
        continue;
      }
      const char e = text[++i];
      const auto code = Hex4(text, i);
      if (!code) {
        value += e == 'n'   ? '\n'
                 : e == 't' ? '\t'
                 : e == 'r' ? '\r'
                 : e == 'b' ? '\b'
                 : e == 'f' ? '\f'
                            : e;
        continue;
      }
      i += 4;
      // A high surrogate followed by a low one is one character; a lone half is U+FFFD.
      if (*code >= 0xD800 && *code <= 0xDBFF && i + 2 < text.size() && text[i + 1] == '\\') {
        if (const auto low = Hex4(text, i + 2); low && *low >= 0xDC00 && *low <= 0xDFFF) {
          AppendUtf8(value, 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00));
          i += 6;
          continue;
        }
      }
      AppendUtf8(value, *code >= 0xD800 && *code <= 0xDFFF ? 0xFFFD : *code);
    }
    if (i >= text.size()) return std::nullopt;  // unterminated
    return value;
  }
  return std::nullopt;
}

bool ReadKeyValues(std::string_view text, const KeyValueVisitor& visit) {
  std::vector<std::string> path;  // the keys of the blocks around the current place
  std::optional<std::string> pendingKey;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
      while (i < text.size() && text[i] != '\n') ++i;
    } else if (c == '{') {
      if (!pendingKey || path.size() >= kMaxKeyValueDepth) return false;
      path.push_back(std::move(*pendingKey));
      pendingKey.reset();
      ++i;
    } else if (c == '}') {
      if (path.empty() || pendingKey) return false;
      path.pop_back();
      ++i;
    } else if (c == '"') {
      std::string s;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) ++i;
        s += text[i];
      }
      if (i >= text.size()) return false;
      ++i;
      if (!pendingKey) {
        pendingKey = std::move(s);
      } else {
        visit(path, *pendingKey, s);
        pendingKey.reset();
      }
    } else {
      return false;
    }
  }
  return path.empty() && !pendingKey;
}

std::string Trim(std::string s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && blank(s[i])) ++i;
  return s.substr(i);
}

std::string YamlScalar(std::string s) {
  s = Trim(s);
  if (s.size() >= 2 &&
      ((s.front() == '"' && s.back() == '"') || (s.front() == '\'' && s.back() == '\'')))
    return s.substr(1, s.size() - 2);
  return s;
}

bool IsFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace pgl
