#include "registry/WineRegSyntax.h"

namespace pgl::winereg {

std::size_t ParseEscaped(std::string_view in, char end, std::u16string& out, bool toEndOfInput) {
  out.clear();
  std::size_t p = 0;
  while (p < in.size() && in[p] != end) {
    const unsigned char c = static_cast<unsigned char>(in[p]);
    if (c != '\\' && c < 0x80) {
      // A run of plain characters, found eight at a time and copied at once.
      std::size_t q = p + 1;
      bool stopped = false;
      for (; q + 8 <= in.size(); q += 8)
        if (const std::uint64_t marks = StopMarks(in.data() + q, end)) {
          if constexpr (std::endian::native == std::endian::little) {
            q += static_cast<std::size_t>(std::countr_zero(marks)) / 8;
            stopped = true;
          }
          break;
        }
      while (!stopped && q < in.size() && in[q] != end && in[q] != '\\' &&
             static_cast<unsigned char>(in[q]) < 0x80)
        ++q;
      const std::size_t old = out.size();
      out.resize(old + (q - p));
      char16_t* into = out.data() + old;
      for (std::size_t k = p; k < q; ++k) *into++ = static_cast<char16_t>(in[k]);
      p = q;
      continue;
    }
    if (c == '\\') {
      if (++p >= in.size()) return 0;
      const char e = in[p];
      switch (e) {
        case 'a':
          out += u'\a';
          ++p;
          break;
        case 'b':
          out += u'\b';
          ++p;
          break;
        case 'e':
          out += char16_t(0x1B);
          ++p;
          break;
        case 'f':
          out += u'\f';
          ++p;
          break;
        case 'n':
          out += u'\n';
          ++p;
          break;
        case 'r':
          out += u'\r';
          ++p;
          break;
        case 't':
          out += u'\t';
          ++p;
          break;
        case 'v':
          out += u'\v';
          ++p;
          break;
        case 'x': {
          ++p;
          if (p >= in.size() || !IsHex(in[p])) {
            out += u'x';
            break;
          }
          unsigned v = 0;
          for (int k = 0; k < 4 && p < in.size() && IsHex(in[p]); ++k)
            v = v * 16 + HexValue(in[p++]);
          out += static_cast<char16_t>(v);
          break;
        }
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7': {
          unsigned v = 0;
          for (int k = 0; k < 3 && p < in.size() && in[p] >= '0' && in[p] <= '7'; ++k)
            v = v * 8 + (in[p++] - '0');
          out += static_cast<char16_t>(v);
          break;
        }
        default:
          out += static_cast<char16_t>(static_cast<unsigned char>(e));
          ++p;
      }
    } else if (c < 0x80) {
      out += static_cast<char16_t>(c);
      ++p;
    } else {
      // Raw UTF-8, which Wine accepts but never writes.
      int extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
      if (extra < 0 || p + extra >= in.size()) return 0;
      char32_t cp = c & (0x3F >> extra);
      for (int k = 1; k <= extra; ++k) {
        const unsigned char cc = static_cast<unsigned char>(in[p + k]);
        if ((cc & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (cc & 0x3F);
      }
      p += extra + 1;
      if (cp >= 0x10000) {
        out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        out += static_cast<char16_t>(cp);
      }
    }
  }
  if (p >= in.size()) return toEndOfInput ? p : 0;
  return p + 1;
}

bool ParseHexList(std::string_view in, std::string& out, std::size_t& used) {
  std::size_t p = 0;
  while (p < in.size() && IsHex(in[p])) {
    if (p + 2 < in.size() && in[p + 2] == ',' && IsHex(in[p + 1])) {
      // The common case, most of a file: a run of two digits and a comma each, written into
      // room made once for the run. A blank ends the run: blanks are passed over below.
      const std::size_t old = out.size();
      out.resize(old + (in.size() - p) / 3 + 1);
      char* next = out.data() + old;
      do {
        const int byte = HexPair(in.data() + p);
        if (byte < 0) break;
        *next++ = static_cast<char>(byte);
        p += 3;
      } while (p + 2 < in.size() && in[p + 2] == ',');
      out.resize(static_cast<std::size_t>(next - out.data()));
      while (p < in.size() && IsSpace(in[p])) ++p;
      continue;
    }
    unsigned v = 0;
    std::size_t digits = 0;
    while (p < in.size() && IsHex(in[p])) {
      v = v * 16 + HexValue(in[p++]);
      if (++digits > 2) return false;
    }
    out += static_cast<char>(v);
    while (p < in.size() && IsSpace(in[p])) ++p;
    if (p < in.size() && in[p] == ',') ++p;
    while (p < in.size() && IsSpace(in[p])) ++p;
  }
  used = p;
  return true;
}

}  // namespace pgl::winereg
