#include "util/Utf.h"

#include <cstdint>
#include <cstring>

namespace pgl {

namespace {
constexpr char32_t kReplacement = 0xFFFD;
}  // namespace

char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = byte(i);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((c & 0xE0) == 0xC0) {
    extra = 1, cp = c & 0x1F, min = 0x80;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2, cp = c & 0x0F, min = 0x800;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3, cp = c & 0x07, min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + extra >= text.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char cc = byte(i + k);
    if ((cc & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (cc & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += extra + 1;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++i;
      continue;
    }
    const char32_t cp = DecodeUtf8(text, i);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp < 0x80) {
      out += static_cast<char>(cp);
      continue;
    }
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::size_t Utf8Length(std::string_view text) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++n) DecodeUtf8(text, i);
  return n;
}

std::string Utf8Truncate(std::string_view text, std::size_t maxChars) {
  if (text.size() <= maxChars) return std::string(text);  // no more characters than bytes
  std::size_t i = 0;
  for (std::size_t n = 0; n < maxChars && i < text.size(); ++n) DecodeUtf8(text, i);
  return std::string(text.substr(0, i));
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool AsciiStartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

std::string WithoutControlCharacters(std::string_view text, bool keepLineBreaks) {
  std::string out;
  out.reserve(text.size());
  AppendWithoutControlCharacters(out, text, keepLineBreaks);
  return out;
}

namespace {

// Whether each of the eight bytes at `s` is printable ASCII (0x20 to 0x7E).
inline bool PrintableEight(const char* s) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  std::uint64_t bytes;
  std::memcpy(&bytes, s, 8);
  const std::uint64_t below20 = (bytes - kOnes * 0x20) & ~bytes & kHighs;
  const std::uint64_t delete7F =
      ((bytes ^ (kOnes * 0x7F)) - kOnes) & ~(bytes ^ (kOnes * 0x7F)) & kHighs;
  return ((bytes & kHighs) | below20 | delete7F) == 0;
}

}  // namespace

void AppendWithoutControlCharacters(std::string& out, std::string_view text, bool keepLineBreaks) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Printable ASCII, most of any text, is copied a run at a time.
    std::size_t run = i;
    while (run + 8 <= text.size() && PrintableEight(text.data() + run)) run += 8;
    while (run < text.size() && byte(run) >= 0x20 && byte(run) < 0x7F) ++run;
    if (run > i) {
      out.append(text.substr(i, run - i));
      i = run;
      if (i == text.size()) break;
    }
    const unsigned char c = byte(i);
    if (c < 0x80) {
      out += (c < 0x20 && !(keepLineBreaks && c == '\n')) || c == 0x7F ? ' ' : static_cast<char>(c);
      continue;
    }
    // A lead byte and its continuation bytes are kept together; a byte that is not part of
    // such a sequence (a C1 control as a raw byte, for a terminal that reads 8-bit controls)
    // becomes '?'.
    const std::size_t length = c >= 0xC2 && c <= 0xDF   ? 2
                               : c >= 0xE0 && c <= 0xEF ? 3
                               : c >= 0xF0 && c <= 0xF4 ? 4
                                                        : 0;
    bool whole = length > 0 && i + length <= text.size();
    for (std::size_t k = 1; whole && k < length; ++k) whole = (byte(i + k) & 0xC0) == 0x80;
    if (!whole) {
      out += '?';
    } else if (c == 0xC2 && byte(i + 1) <= 0x9F) {
      out += ' ';  // U+0080 to U+009F
    } else {
      out.append(text.substr(i, length));
    }
    if (whole) i += length - 1;
  }
}

}  // namespace pgl
