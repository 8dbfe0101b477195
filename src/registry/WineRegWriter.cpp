// Writes a tree in the exact form wineserver saves it.
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "registry/WineRegFile.h"
#include "registry/WineRegSyntax.h"
#include "util/Utf.h"

namespace pgl {

using namespace winereg;

namespace {

void AppendHex2(std::string& out, unsigned char b) {
  static const char digits[] = "0123456789abcdef";
  out += digits[b >> 4];
  out += digits[b & 15];
}

void WriteValue(std::string& out, const RegValue& v) {
  std::size_t count;
  if (!v.Name().empty()) {
    out += '"';
    count = 1 + AppendWineEscaped(out, v.Name(), "\"\"");
    out += "\"=";
    count += 2;
  } else {
    out += "@=";
    count = 2;
  }
  // Reused: a file's values are written one after the other.
  thread_local std::string scratch;
  const std::string_view data = v.Data(scratch);
  const std::size_t len = data.size();
  switch (v.type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz:
      if (len >= 2 && len % 2 == 0 && data[len - 1] == 0 && data[len - 2] == 0) {
        if (v.type != kRegSz) {
          char tag[16];
          std::snprintf(tag, sizeof tag, "str(%x):", v.type);
          out += tag;
        }
        out += '"';
        // Everything but the terminating zero.
        AppendWineEscaped(out, Utf16LeUnits(data.substr(0, len - 2)), "\"\"");
        out += "\"\n";
        return;
      }
      break;
    case kRegDword:
      if (len == 4) {
        char text[16];
        std::uint32_t dw = 0;
        for (int i = 3; i >= 0; --i) dw = (dw << 8) | static_cast<unsigned char>(data[i]);
        std::snprintf(text, sizeof text, "dword:%08x\n", dw);
        out += text;
        return;
      }
      break;
  }
  char tag[20];
  if (v.type == kRegBinary)
    std::snprintf(tag, sizeof tag, "hex:");
  else
    std::snprintf(tag, sizeof tag, "hex(%x):", v.type);
  out += tag;
  count += std::strlen(tag);
  for (std::size_t i = 0; i < len; ++i) {
    AppendHex2(out, static_cast<unsigned char>(data[i]));
    count += 2;
    if (i < len - 1) {
      out += ',';
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out += '\n';
}

void AppendPath(std::string& out, const RegKey& key, const RegKey& base) {
  if (key.Parent() && key.Parent() != &base) {
    AppendPath(out, *key.Parent(), base);
    out += "\\\\";
  }
  AppendWineEscaped(out, key.Name(), "[]");
}

// Hands the text written so far to `flush` (when given) once it holds a megabyte.
using Flush = std::function<void(std::string_view)>;
void MaybeFlush(std::string& out, const Flush* flush) {
  if (flush && out.size() >= (1u << 20)) {
    (*flush)(out);
    out.clear();
  }
}

void WriteKeys(std::string& out, const RegKey& key, const RegKey& base, const WineHive& form,
               const Flush* flush) {
  // A registry with no key at all (a user.reg of the header line alone) has no root block.
  const bool emptyRoot = &key == &base && key.modified == 0 && key.Values().empty() &&
                         key.SubKeys().empty() && !key.ClassName() && !key.isLink;
  if (!emptyRoot &&
      (!key.Values().empty() || key.SubKeys().empty() || key.ClassName() || key.isLink)) {
    out += "\n[";
    if (&key != &base) AppendPath(out, key, base);
    char text[64];
    // The seconds as wineserver computes them, in 64-bit arithmetic that wraps for a time
    // past 2^63 (done on unsigned numbers here, where a wrap is defined).
    const auto sinceUnixEpoch =
        static_cast<std::int64_t>(key.modified - static_cast<std::uint64_t>(kTicks1601To1970));
    const auto seconds = static_cast<unsigned>(sinceUnixEpoch / kTicksPerSecond);
    const auto high = static_cast<unsigned>(key.modified >> 32);
    const auto low = static_cast<unsigned>(key.modified & 0xFFFFFFFFu);
    if (form.timeLines && !form.subSeconds)  // the form of every Wine since 2018
      std::snprintf(text, sizeof text, "] %u\n#time=%x%08x\n", seconds, high, low);
    else if (form.subSeconds && form.timeLines)
      std::snprintf(text, sizeof text, "] %u %u\n#time=%x%08x\n", seconds,
                    static_cast<unsigned>(sinceUnixEpoch % kTicksPerSecond), high, low);
    else if (form.subSeconds)
      std::snprintf(text, sizeof text, "] %u %u\n", seconds,
                    static_cast<unsigned>(sinceUnixEpoch % kTicksPerSecond));
    else
      std::snprintf(text, sizeof text, "] %u\n", seconds);
    out += text;
    if (const auto className = key.ClassName()) {
      out += "#class=\"";
      AppendWineEscaped(out, *className, "\"\"");
      out += "\"\n";
    }
    if (key.isLink) out += "#link\n";
    for (const auto& v : key.Values()) WriteValue(out, v);
    MaybeFlush(out, flush);
  }
  for (const auto& sub : key.SubKeys()) WriteKeys(out, *sub, base, form, flush);
}

std::string WriteHeader(const WineHive& hive) {
  std::string out;
  out += kFirstLine;
  out += '\n';
  if (hive.hasRelativeTo) {
    out += kRelativeTo;
    out += hive.relativeTo;
    out += '\n';
  }
  if (!hive.arch.empty()) {
    out += "\n#arch=";
    out += hive.arch;
    out += '\n';
  }
  return out;
}

}  // namespace

std::size_t AppendWineEscaped(std::string& out, std::u16string_view text, const char* specials) {
  static const char escapes[33] = ".......abtnvfr.............e....";
  const std::size_t before = out.size();
  char buffer[16];
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    const bool haveNext = i + 1 < text.size();
    if (c > 127) {
      const bool nextIsHex = haveNext && text[i + 1] < 128 && IsHex(static_cast<char>(text[i + 1]));
      std::snprintf(buffer, sizeof buffer, nextIsHex ? "\\x%04x" : "\\x%x", unsigned(c));
      out += buffer;
    } else if (c < 32) {
      if (escapes[c] != '.') {
        out += '\\';
        out += escapes[c];
      } else {
        const bool nextIsOctal = haveNext && text[i + 1] >= '0' && text[i + 1] <= '7';
        std::snprintf(buffer, sizeof buffer, nextIsOctal ? "\\%03o" : "\\%o", unsigned(c));
        out += buffer;
      }
    } else {
      if (c == '\\' || c == specials[0] || c == specials[1]) out += '\\';
      out += static_cast<char>(c);
    }
  }
  return out.size() - before;
}

std::string WriteWineRegistry(const WineHive& hive) {
  std::string out = WriteHeader(hive);
  out.reserve(1 << 20);
  WriteKeys(out, *hive.root, *hive.root, hive, nullptr);
  return out;
}

void WriteWineRegistryChunks(const WineHive& hive,
                             const std::function<void(std::string_view)>& sink) {
  std::string out = WriteHeader(hive);
  out.reserve((1 << 20) + 4096);
  WriteKeys(out, *hive.root, *hive.root, hive, &sink);
  if (!out.empty()) sink(out);
}

}  // namespace pgl
