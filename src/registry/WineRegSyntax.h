// The pieces of Wine's registry file syntax that its reader, its writer and the block finder
// share: the fixed lines, character classes, and the decoding of escaped strings and hex lists.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace pgl::winereg {

inline constexpr std::string_view kFirstLine = "WINE REGISTRY Version 2";
inline constexpr std::string_view kRelativeTo = ";; All keys relative to ";
inline constexpr std::int64_t kTicks1601To1970 = 116444736000000000ll;
inline constexpr std::int64_t kTicksPerSecond = 10000000;

inline bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}
// The value of each hex digit by its byte, -1 for any other byte: hex data is most of a file.
inline constexpr std::array<std::int8_t, 256> kHexDigits = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int c = 0; c < 10; ++c) table['0' + c] = static_cast<std::int8_t>(c);
  for (int c = 0; c < 6; ++c) {
    table['a' + c] = static_cast<std::int8_t>(10 + c);
    table['A' + c] = static_cast<std::int8_t>(10 + c);
  }
  return table;
}();
// The byte of each pair of hex digits, by the pair's two bytes (the first the low one); -1 for
// any other pair. Made when the program is built.
inline constexpr std::array<std::int16_t, 65536> kHexPairs = [] {
  std::array<std::int16_t, 65536> table{};
  for (int first = 0; first < 256; ++first)
    for (int second = 0; second < 256; ++second)
      table[first | (second << 8)] =
          kHexDigits[first] < 0 || kHexDigits[second] < 0
              ? std::int16_t{-1}
              : static_cast<std::int16_t>(kHexDigits[first] * 16 + kHexDigits[second]);
  return table;
}();
inline int HexPair(const char* at) {
  return kHexPairs[static_cast<unsigned char>(at[0]) | (static_cast<unsigned char>(at[1]) << 8)];
}
inline bool IsHex(char c) {
  return kHexDigits[static_cast<unsigned char>(c)] >= 0;
}
inline int HexValue(char c) {
  return kHexDigits[static_cast<unsigned char>(c)];
}

// The eight bytes at `s` with the high bit of each that is `end`, a backslash or outside
// ASCII set (a byte after such a one may be marked too, never one before it): on a
// little-endian machine, the first marked byte is where a plain run stops.
inline std::uint64_t StopMarks(const char* s, char end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
  std::uint64_t bytes;
  std::memcpy(&bytes, s, 8);
  const auto hasZeroByte = [](std::uint64_t v) { return (v - kOnes) & ~v & kHighs; };
  return (bytes | hasZeroByte(bytes ^ (kOnes * static_cast<unsigned char>(end))) |
          hasZeroByte(bytes ^ (kOnes * '\\'))) &
         kHighs;
}

// Reads an escaped string up to `end`; answers the characters consumed including `end`,
// or 0 when `end` is missing or the escapes are broken. With `toEndOfInput`, the end of `in`
// ends the string as well.
std::size_t ParseEscaped(std::string_view in, char end, std::u16string& out,
                         bool toEndOfInput = false);

// Parses "xx,yy,..." and answers how many characters it used; false on a bad byte.
bool ParseHexList(std::string_view in, std::string& out, std::size_t& used);

}  // namespace pgl::winereg
