#include "util/QV_Strings.h"

#include <cstdint>

#include "util/Utf.h"

namespace pgl {

std::size_t LastCharPos(std::string_view text, char ch) {
  const auto pos = text.rfind(ch);
  return pos == std::string_view::npos ? 0 : pos + 1;
}

std::string PadLeft(std::string_view text, std::size_t width, char fill) {
  const std::size_t length = Utf8Length(text);
  std::string out;
  if (length < width) out.assign(width - length, fill);
  out += text;
  return out;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool TryParseInteger(std::string_view text, int& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string_view rest = text.substr(i);
  bool hex = false;
  if (rest.starts_with("0x") || rest.starts_with("0X")) {
    hex = true;
    rest.remove_prefix(2);
  } else if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X")) {
    hex = true;
    rest.remove_prefix(1);
  }
  if (rest.empty()) return false;
  std::uint64_t magnitude = 0;
  for (char c : rest) {
    const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return false;
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<unsigned>(digit);
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (hex) {
    const auto bits = static_cast<std::uint32_t>(magnitude);
    const auto signedValue = static_cast<std::int32_t>(bits);
    value = negative ? static_cast<int>(0u - bits) : signedValue;
    return true;
  }
  if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull) return false;
  value = negative ? static_cast<int>(-static_cast<std::int64_t>(magnitude))
                   : static_cast<int>(magnitude);
  return true;
}

bool IsInteger(std::string_view text) {
  int ignored = 0;
  return TryParseInteger(text, ignored);
}

bool IsURL(std::string_view text) {
  if (AsciiStartsWithNoCase(text, "www.")) return true;
  for (std::string_view mark : {"http://", "https://", "news://", "ftp://"})
    if (text.find(mark) != std::string_view::npos) return true;
  return false;
}

std::vector<std::string> WindowsPathParts(std::string_view rest) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of("\\/", start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  if (!parts.empty()) {
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == ' ' || last.back() == '.')) last.pop_back();
    if (last.empty()) parts.pop_back();
  }
  return parts;
}

std::vector<std::string> TextLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    at = end + 1;
  }
  return lines;
}

}  // namespace pgl
