#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "registry/WineRegFile.h"
#include "util/Utf.h"

namespace pgl {
namespace {

// "[path] seconds" and the matching "#time=" line, as wineserver writes them.
std::string KeyHead(const std::string& path, unsigned seconds) {
  const unsigned long long t = seconds * 10000000ull + 116444736000000000ull;
  char text[128];
  std::snprintf(text, sizeof text, "\n[%s] %u\n#time=%llx%08llx\n", path.c_str(), seconds, t >> 32,
                t & 0xFFFFFFFFull);
  return text;
}

const std::string kHeader =
    "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win64\n";

std::string Fixture() {
  std::string s = kHeader;
  s += KeyHead("", 1600000000) + "\"RootValue\"=\"r\"\n";
  s += KeyHead("_under", 1700000003);
  s += KeyHead(R"(A\\B)", 1700000000) + "#class=\"My \\\"class\\\"\"\n" +
       "@=\"default\"\n"
       "\"Bin\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
       "  17,18,19,1a,1b,1c,1d,1e,1f,20\n"
       "\"Dw\"=dword:ffffffff\n"
       "\"Empty\"=hex:\n"
       "\"Esc\"=\"a\\\\b\\\"c\\td\\ne\\r\\a\\b\\v\\f\\e\"\n"
       "\"Expand\"=str(2):\"%SystemRoot%\\\\system32\"\n"
       "\"Hex\"=\"caf\\xe9 \\x00e9a \\x20ac\"\n"
       "\"Multi\"=str(7):\"a\\0b\\0\"\n"
       "\"NoZero\"=hex(1):41,00\n"
       "\"Octal\"=\"\\0015\\1x\"\n"
       "\"Qw\"=hex(b):01,00,00,00,00,00,00,00\n";
  s += KeyHead(R"(A\\B\\Link)", 1700000001) + "#link\n" + "\"SymbolicLinkValue\"=hex(6):5c,00\n";
  s += KeyHead(R"(A\\C \[x\]\\\x142)", 1700000002) + "\"\\\"q\\\"\"=\"\"\n";
  s += KeyHead("b", 1700000004) + "\"v\"=\"1\"\n";
  // A time past 2^63 (the seconds as wineserver's 64-bit arithmetic wraps them).
  s += "\n[Late] 159663333\n#time=8000000000000000\n\"v\"=\"1\"\n";
  return s;
}

TEST(WineRegFile, UnchangedFileIsWrittenBackByteForByte) {
  WineHive hive;
  const std::string text = Fixture();
  const auto result = ParseWineRegistry(text, hive);
  ASSERT_TRUE(result.Understood()) << (result.problems.empty() ? "" : result.problems[0]);
  EXPECT_EQ(WriteWineRegistry(hive), text);
}

TEST(WineRegFile, ValuesAreDecoded) {
  WineHive hive;
  ASSERT_TRUE(ParseWineRegistry(Fixture(), hive).Understood());
  RegKey* b = FindRegKey(hive.root.get(), "a\\b");  // names without regard to case
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->ClassName(), u"My \"class\"");
  struct Case {
    const char16_t* name;
    std::uint32_t type;
    std::u16string text;
  };
  const Case cases[] = {
      {u"", kRegSz, u"default"},
      {u"Esc", kRegSz, u"a\\b\"c\td\ne\r\a\b\v\f\x1b"},
      {u"Hex", kRegSz, u"caf\u00e9 \u00e9a \u20ac"},
      {u"Octal", kRegSz,
       u"\x01"
       u"5\x01x"},
      {u"Expand", kRegExpandSz, u"%SystemRoot%\\system32"},
      {u"multi", kRegMultiSz, u"a"},
  };
  for (const auto& c : cases) {
    const RegValue* v = b->FindValue(c.name);
    ASSERT_NE(v, nullptr) << Utf16ToUtf8(c.name);
    EXPECT_EQ(v->type, c.type);
    EXPECT_EQ(v->Text(), c.text) << Utf16ToUtf8(c.name);
  }
  EXPECT_EQ(b->FindValue(u"Multi")->Bytes(), std::string("a\0\0\0b\0\0\0\0\0", 10));
  EXPECT_EQ(b->FindValue(u"Dw")->Bytes(), std::string("\xff\xff\xff\xff", 4));
  EXPECT_EQ(b->FindValue(u"Qw")->type, kRegQword);
  EXPECT_EQ(b->FindValue(u"Bin")->Bytes().size(), 33u);
  EXPECT_EQ(b->FindValue(u"Empty")->Bytes(), "");
  EXPECT_TRUE(FindRegKey(hive.root.get(), "A\\B\\Link")->isLink);
  EXPECT_NE(FindRegKey(hive.root.get(), "A\\C [x]\\\xC5\x82"), nullptr);  // "ł" as UTF-8
  EXPECT_EQ(hive.root->FindValue(u"RootValue")->Text(), u"r");
}

TEST(WineRegFile, HexListsAreReadInEveryFormWineReads) {
  const struct {
    const char* list;
    std::string bytes;  // "" with `ok` false: a problem
    bool ok;
  } cases[] = {
      {"01,02,ab", "\x01\x02\xab", true},
      {"AB,cd,", "\xab\xcd", true},
      {"1,2,f", "\x01\x02\x0f", true},
      {"01, 02 ,03", "\x01\x02\x03", true},
      {"01,02,\\\n  03,04", "\x01\x02\x03\x04", true},
      {"01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c,"
       "1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,30",
       [] {
         std::string s;
         for (int i = 1; i <= 0x30; ++i) s += static_cast<char>(i);
         return s;
       }(),
       true},
      {"012", "", false},
      {"01,0g", "", false},
  };
  for (const auto& c : cases) {
    WineHive hive;
    const auto result =
        ParseWineRegistry(kHeader + KeyHead("K", 1) + "\"h\"=hex:" + c.list + "\n", hive);
    EXPECT_EQ(result.Understood(), c.ok) << c.list;
    if (!c.ok) continue;
    const RegValue* v = FindRegKey(hive.root.get(), "K")->FindValue(u"h");
    ASSERT_NE(v, nullptr) << c.list;
    EXPECT_EQ(v->Bytes(), c.bytes) << c.list;
  }
}

TEST(WineRegFile, ChangesAreWrittenInWineOrderAndForm) {
  WineHive hive;
  ASSERT_TRUE(ParseWineRegistry(kHeader, hive).Understood());
  RegKey& k = hive.root->EnsureSubKey(u"Key");
  k.modified = 116444736000000000ull + 10000000ull * 5;
  k.EnsureSubKey(u"b").modified = k.modified;
  k.EnsureSubKey(u"_a").modified = k.modified;
  k.EnsureSubKey(u"A").modified = k.modified;       // same as "a": sorts after "_"
  RegKey& only = hive.root->EnsureSubKey(u"Only");  // holds only subkeys: not written
  only.EnsureSubKey(u"Leaf").modified = k.modified;
  k.SetValue(u"z", kRegSz, TextToRegData(u"1"));
  k.SetValue(u"Y", kRegDword, DwordToRegData(7));
  k.SetValue(u"long name", kRegBinary, std::string(40, '\x11'));
  const std::string out = WriteWineRegistry(hive);
  const std::string expected =
      kHeader +
      "\n[Key] 5\n#time=19db1ded8397080\n"
      "\"long name\"=hex:11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,\\\n"
      "  11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11,11\n"
      "\"Y\"=dword:00000007\n\"z\"=\"1\"\n"
      "\n[Key\\\\_a] 5\n#time=19db1ded8397080\n"
      "\n[Key\\\\A] 5\n#time=19db1ded8397080\n"
      "\n[Key\\\\b] 5\n#time=19db1ded8397080\n"
      "\n[Only\\\\Leaf] 5\n#time=19db1ded8397080\n";
  EXPECT_EQ(out, expected);
}

// Each broken file is refused with what is wrong and on which line (the header is lines 1-4, a
// key's header line 6, its first value line 8).
TEST(WineRegFile, BrokenInputIsReportedNotGuessed) {
  struct Case {
    const char* what;
    std::string text;
    bool isRegistryFile;
    std::vector<std::string> problems;
  };
  const std::string key = kHeader + KeyHead("A", 1);
  const Case cases[] = {
      {"other first line", "REGEDIT4\n\n[A]\n", false, {}},
      {"empty file", "", false, {}},
      {"garbage line", key + "garbage\n", true, {"line 8: unrecognized line"}},
      {"value outside a key", kHeader + "\"v\"=\"1\"\n", true, {"line 5: value outside any key"}},
      {"unterminated string", key + "\"v\"=\"abc\n", true, {"line 8: malformed string value"}},
      {"bad hex byte", key + "\"v\"=hex:123\n", true, {"line 8: malformed hex value"}},
      {"hex cut short", key + "\"v\"=hex:12,\\\n", true, {"line 8: hex value cut short"}},
      {"unknown type", key + "\"v\"=qword:1\n", true, {"line 8: unknown value type"}},
      {"bad dword", key + "\"v\"=dword:xyz\n", true, {"line 8: malformed dword value"}},
      {"unterminated key",
       kHeader + R"(
[A\\B 1
)",
       true,
       {"line 6: malformed key name"}},
      {"empty segment",
       kHeader + R"(
[A\\\\B] 1
)",
       true,
       {"line 6: malformed key name"}},
      {"key time beyond 32 bits",
       kHeader + "\n[A] 1600000024000\n",
       true,
       {"line 6: key time out of range"}},
      {"trailing backslash escape",
       key + R"("v"="abc\)",
       true,
       {"line 8: malformed string value", "line 8: the file ends inside a line: it is truncated"}},
  };
  for (const auto& c : cases) {
    WineHive hive;
    const auto result = ParseWineRegistry(c.text, hive);
    EXPECT_EQ(result.isRegistryFile, c.isRegistryFile) << c.what;
    EXPECT_EQ(result.problems, c.problems) << c.what;
  }
}

TEST(WineRegFile, PassingBlocksOverReadsWhatTheBlankedTextGives) {
  // Keys whose path starts with "Keep" are read. The problems must name the same lines, and a
  // value running into the next block takes its header as data, as a full read does.
  const BlockFilter keep = [](std::string_view path) { return path.starts_with("Keep"); };
  const struct {
    const char* what;
    std::string text;
    bool dropped;  // the key "Drop" is passed over
  } cases[] = {
      {"mixed blocks",
       Fixture() + KeyHead("Keep\\A", 5) + "\"v\"=\"1\"\n" + KeyHead("Drop", 6) + "\"w\"=\"2\"\n" +
           KeyHead("Keep\\B", 7) + "\"bad\"=qword:1\n",
       true},
      {"hex runs into a dropped block",
       kHeader + KeyHead("Keep", 1) + "\"h\"=hex:01,\\\n" + "[Drop] 2\n\"w\"=\"2\"\n" +
           KeyHead("Keep2", 3),
       true},
      {"hex runs into a kept block",
       kHeader + KeyHead("Keep", 1) + "\"h\"=hex:01,\\\n" + "[Keep3] 2\n\"w\"=\"2\"\n", true},
      {"hex of a passed-over block runs into the next header",
       kHeader + KeyHead("Drop", 1) + "\"h\"=hex:01,\\\n" + "[Keep] 2\n\"w\"=\"2\"\n", false},
      {"a passed-over block with CR LF line ends and hex data on two lines",
       kHeader + KeyHead("Drop", 1) + "\"h\"=hex:01,\\\r\n  02\r\n\"i\"=\"3\"\r\n" +
           KeyHead("Keep", 2) + "\"w\"=\"2\"\n",
       true},
      {"cut inside the last block", kHeader + KeyHead("Keep", 1) + "[Drop] 2\n\"w\"=\"2", false},
      {"a header that cannot be judged", kHeader + "\n[Drop]2\n\"w\"=\"2\"\n[Nope 3\n", false},
      {"a block nobody wants is read when it is malformed",
       kHeader + KeyHead("Drop", 1) + "garbage\n" + KeyHead("Keep", 2) + "garbage\n", false},
      {"wine-staging's key lines",
       kHeader + "\n[Keep] 1579782946 8976280\n\"v\"=\"1\"\n\n[Drop] 1579782946 8976281\n" +
           "\"w\"=\"2\"\n",
       true},
      {"a part of a second that is not one",
       kHeader + "\n[Keep] 1 2\n\n[Drop] 1579782946 123456789\n\"w\"=\"2\"\n", false},
      // told once the file is read: at its last line, which a dropped block holds
      {"no header line, the last block dropped",
       "WINE REGISTRY Version 2\n" + KeyHead("Keep", 1) + KeyHead("Drop", 2) + "\"w\"=\"2\"\n",
       true},
  };
  for (const auto& c : cases) {
    WineHive skipped, blanked;
    const auto a = ParseWineRegistry(c.text, skipped, keep);
    const auto b = ParseWineRegistry(WineRegistryBlocks(c.text, keep), blanked);
    EXPECT_EQ(a.problems, b.problems) << c.what;
    EXPECT_EQ(WriteWineRegistry(skipped), WriteWineRegistry(blanked)) << c.what;
    EXPECT_EQ(FindRegKey(skipped.root.get(), "Drop") == nullptr, c.dropped) << c.what;
  }
}

// A block a full read finds malformed is read even where it is not wanted, so that the list
// tells the same problem, on the same line, as a full read. A sound block is passed over.
TEST(WineRegFile, AMalformedBlockIsToldWhetherItIsWantedOrNot) {
  const BlockFilter keepNothing = [](std::string_view) { return false; };
  const std::string malformed[] = {
      // headers
      "[Drop] 12 x", "[Drop] 99999999999", "[Drop] 4294967296", "[Drop] -1", R"([Drop\\\\Sub] 1)",
      R"([Drop\\] 1)", R"([\\Drop] 1)", R"([Drop\\A\x005cB] 1)", "[Drop\xff] 1",
      // values and options
      "[Drop] 1\n\"w\"=qword:1", "[Drop] 1\n\"w\"=\"open", "[Drop] 1\n\"w\"=\"2\" x",
      "[Drop] 1\n\"w\"=dword:123456789", "[Drop] 1\n\"w\"=dword:", "[Drop] 1\n\"w\"=hex:1,2,zz",
      "[Drop] 1\n\"w\"=hex(123456789):00", "[Drop] 1\n\"w\\", "[Drop] 1\n\"w\"=\"\xff\"",
      "[Drop] 1\n\"w\"=hex:01,\\\n  02,\\", "[Drop] 1\n\"a\"=\"1\"\n\"a\"=\"2\"",
      "[Drop] 1\n\"B\"=\"1\"\n\"b\"=\"2\"", "[Drop] 1\n@=\"1\"\n\"\"=\"2\"", "[Drop] 1\n#time=xyz",
      "[Drop] 1\n#class=\"c", "[Drop] 1\n#unknown", "[Drop] 1\n;note", "[Drop] 1\ngarbage",
      std::string("[Drop] 1\n\"w\"=\"a\0b\"", 18),  // a NUL inside the data
  };
  for (const std::string& block : malformed) {
    const std::string text = kHeader + KeyHead("Keep", 1) + "\n" + block + KeyHead("Z", 3);
    WineHive full, listed;
    const auto a = ParseWineRegistry(text, full);
    const auto b = ParseWineRegistry(text, listed, keepNothing);
    ASSERT_FALSE(a.problems.empty()) << block;
    EXPECT_EQ(b.problems, a.problems) << block;
  }
  const std::string sound[] = {
      "\"b\"=\"C:\\\\x\\\"q\"\n\"c\"=\"\"",
      "@=\"d\"\n\"a\"=dword:00000001\n\"b\"=hex:01,02,\\\n  03\n\"c\"=str(2):\"%x%\"",
      "#time=1d0\n#class=\"c\"\n#link\n\"a\\\\b\"=hex(7):00,00\n\"a\\\\c\"=hex:\n\n",
      "\"\\\"q\"=\"4\"\n\"_\"=\"3\"\r\n\"A\"=\"1\"\n\"b\"=\"2\"",
  };
  for (const std::string& values : sound) {
    const std::string text = kHeader + KeyHead(R"(Drop\\Sub)", 2) + values + "\n" + KeyHead("Z", 3);
    WineHive full, listed;
    ASSERT_TRUE(ParseWineRegistry(text, full).problems.empty()) << values;
    ASSERT_NE(FindRegKey(full.root.get(), "Drop\\Sub"), nullptr) << values;
    EXPECT_TRUE(ParseWineRegistry(text, listed, keepNothing).problems.empty()) << values;
    EXPECT_EQ(FindRegKey(listed.root.get(), "Drop"), nullptr) << values;
  }
}

// Keys "F0000"... with a value each: a stretch of file that the middle falls into.
std::string Filler(int count) {
  std::string s;
  char name[16];
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "F%04d", i);
    s += KeyHead(name, 1700000000 + i) + "\"v\"=\"" + name + "\"\n";
  }
  return s;
}

TEST(WineRegFile, ReadingInPiecesReadsWhatOneReaderReads) {
  // The pieces are cut at key blocks near the middle: each case puts what could go wrong
  // across it.
  const std::string filler = Filler(300);
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"a file in Wine's order", Fixture() + filler + KeyHead("ZZ", 3) + "\"v\"=\"1\"\n"},
      {"a key listed twice, its value too",
       kHeader + KeyHead("K", 1) + "\"v\"=\"1\"\n" + filler + KeyHead("k", 2) + "\"v\"=\"2\"\n"},
      {"a key listed twice with other values",
       kHeader + KeyHead("K", 1) + "\"v\"=\"1\"\n" + filler + KeyHead("K", 2) + "\"w\"=\"2\"\n"},
      {"a key listed twice, its values in the second listing",
       kHeader + KeyHead("K", 1) + filler + KeyHead("K", 2) + "\"w\"=\"2\"\n"},
      {"keys out of order", kHeader + KeyHead(R"(Z\\Y)", 1) + "\"v\"=\"1\"\n" + filler +
                                KeyHead(R"(A\\B)", 2) + KeyHead(R"(z\\x)", 3) + "\"v\"=\"3\"\n" +
                                KeyHead(R"(F0150\\Sub)", 4)},
      {"a class listed twice",
       kHeader + KeyHead("K", 1) + "#class=\"a\"\n" + filler + KeyHead("K", 2) + "#class=\"b\"\n"},
      {"a link mark in the second listing",
       kHeader + KeyHead("L", 1) + "\"v\"=\"1\"\n" + filler + KeyHead("L", 2) + "#link\n"},
      {"a problem far into the file", kHeader + filler + "garbage\n" + Filler(10)},
      {"a second header line far into the file",
       kHeader + filler + ";; All keys relative to \\\\User\n" + Filler(10)},
      {"hex values that run into every next block",
       [] {
         std::string s = kHeader;
         for (int i = 0; i < 300; ++i) s += KeyHead("H" + std::to_string(i), 1) + "\"h\"=hex:01,\\";
         return s + "\n";
       }()},
      {"a file cut inside its last line", kHeader + filler + KeyHead("Last", 1) + "\"v\"=\"1"},
      {"wine-staging's form without #time lines",
       [] {
         std::string s = kHeader;
         for (int i = 0; i < 3000; ++i)
           s += "\n[S" + std::to_string(i) + "] 1579782946 " + std::to_string(i) + "\n\"v\"=\"" +
                std::to_string(i) + "\"\n";
         return s;
       }()},
      {"not a registry file", "REGEDIT4\n" + filler},
  };
  const BlockFilter keep = [](std::string_view path) { return path.size() % 2 == 1; };
  for (const auto& c : cases) {
    for (const BlockFilter* filter : {static_cast<const BlockFilter*>(nullptr), &keep}) {
      WineHive one, pieces;
      const auto a = ParseWineRegistry(c.text, one, filter, std::size_t(-1));
      const auto b = ParseWineRegistry(c.text, pieces, filter, 0);
      const std::string what = std::string(c.what) + (filter ? ", some blocks" : "");
      EXPECT_EQ(a.isRegistryFile, b.isRegistryFile) << what;
      EXPECT_EQ(a.problems, b.problems) << what;
      EXPECT_EQ(one.relativeTo, pieces.relativeTo) << what;
      EXPECT_EQ(one.arch, pieces.arch) << what;
      EXPECT_EQ(WriteWineRegistry(one), WriteWineRegistry(pieces)) << what;
      // Read as a file arrives: in reads of a few bytes or many, cut into small pieces; where
      // the stream gives up, the caller reads the text whole with one reader.
      for (const auto& sizes :
           {std::pair<std::size_t, std::size_t>{7, 512}, {4096, 3000}, {1 << 20, 1 << 20}}) {
        const std::size_t readSize = sizes.first, pieceSize = sizes.second;
        std::size_t at = 0;
        const ByteSource source = [&](char* into, std::size_t size) -> std::ptrdiff_t {
          const std::size_t n = std::min({size, readSize, c.text.size() - at});
          std::memcpy(into, c.text.data() + at, n);
          at += n;
          return static_cast<std::ptrdiff_t>(n);
        };
        WineHive streamed;
        auto result = ParseWineRegistryStream(source, c.text.size(), streamed, filter, pieceSize);
        if (result) {
          EXPECT_EQ(at, c.text.size()) << what;
        }
        if (!result) result = ParseWineRegistry(c.text, streamed, filter, std::size_t(-1));
        const std::string how = what + ", reads of " + std::to_string(readSize);
        EXPECT_EQ(a.isRegistryFile, result->isRegistryFile) << how;
        EXPECT_EQ(a.problems, result->problems) << how;
        EXPECT_EQ(one.relativeTo, streamed.relativeTo) << how;
        EXPECT_EQ(WriteWineRegistry(one), WriteWineRegistry(streamed)) << how;
      }
    }
  }
}

TEST(WineRegFile, TextsReadBackWhateverStandsWhere) {
  // Runs of plain characters are read several at a time: an escape, a quote or a character
  // outside ASCII at any place of a name or text must still be read back as written.
  const std::u16string plain = u"abcdefghijklmnopq";
  const std::u16string specials[] = {
      u"\"", u"\\", u"\u00e9", u"\u4e2d", u"\n", u"\U0001F600", std::u16string(1, u'\0')};
  for (const std::u16string& special : specials)
    for (std::size_t at = 0; at <= plain.size(); ++at) {
      std::u16string text = plain;
      text.insert(at, special);
      const std::u16string name = special[0] == 0 ? plain : text;
      WineHive hive;
      hive.relativeTo = R"(\\Machine)";
      hive.root->EnsureSubKey(u"K").SetValue(name, kRegSz, TextToRegData(text));
      WineHive again;
      ASSERT_TRUE(ParseWineRegistry(WriteWineRegistry(hive), again).Understood());
      const RegValue* value = again.root->FindSubKey(u"K")->FindValue(name);
      ASSERT_NE(value, nullptr) << at;
      const std::u16string upToZero = text.substr(0, text.find(u'\0'));
      EXPECT_EQ(value->Name(), name) << at;
      EXPECT_EQ(value->Text(), upToZero) << at;
      EXPECT_EQ(value->TextUtf8(), Utf16ToUtf8(upToZero)) << at;
    }
}

TEST(WineRegFile, AFileReadAsItArrivesIsReadInPiecesOrGivenUp) {
  // A clean file in many pieces is read without help; a source that fails halfway, or a
  // problem in any piece, gives up (the caller then reads the file whole).
  const std::string text = Fixture() + Filler(300);
  const struct {
    const char* what;
    std::string text;
    std::size_t failAt;  // where the source fails
    bool read;
  } cases[] = {
      {"a clean file", text, std::string::npos, true},
      {"a source that fails halfway", text, text.size() / 2, false},
      {"a problem in the last piece", text + "garbage\n", std::string::npos, false},
      {"a small file is one piece, problems and all", kHeader + "garbage\n", std::string::npos,
       true},
  };
  for (const auto& c : cases) {
    std::size_t at = 0, reads = 0;
    const ByteSource source = [&](char* into, std::size_t size) -> std::ptrdiff_t {
      ++reads;
      if (at >= c.failAt) return -1;
      const std::size_t n = std::min(size, c.text.size() - at);
      std::memcpy(into, c.text.data() + at, n);
      at += n;
      return static_cast<std::ptrdiff_t>(n);
    };
    const bool small = c.text.size() < 1000;
    WineHive hive;
    const auto result =
        ParseWineRegistryStream(source, c.text.size(), hive, nullptr, small ? 0 : 1000);
    EXPECT_EQ(result.has_value(), c.read) << c.what;
    if (result && !small) {
      EXPECT_TRUE(result->Understood()) << c.what;
      EXPECT_NE(FindRegKey(hive.root.get(), "F0299"), nullptr) << c.what;
      EXPECT_GT(reads, 10u) << c.what;
    }
    if (small) {
      EXPECT_EQ(result->problems.size(), 1u) << c.what;
    }
  }
}

TEST(HostileRegistry, DeepKeysAreLeftOutAndDeepTreesFreeWithoutRecursion) {
  // A key nested 300,000 deep: refused past Windows' 512 levels, reported, no crash.
  std::string text = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n[";
  for (int i = 0; i < 300000; ++i) text += R"(a\\)";
  text += "a] 1\n\"v\"=\"x\"\n\n[Ok] 1\n\"w\"=\"y\"\n";
  WineHive hive;
  const WineParseResult result = ParseWineRegistry(text, hive);
  ASSERT_FALSE(result.problems.empty());
  EXPECT_NE(result.problems[0].find("deeper than 512"), std::string::npos) << result.problems[0];
  EXPECT_NE(FindRegKey(hive.root.get(), "Ok"), nullptr);
  int depth = 0;
  for (const RegKey* k = hive.root.get(); !k->SubKeys().empty(); k = k->SubKeys()[0].get()) ++depth;
  EXPECT_LE(depth, 512);

  // However a tree came to be this deep, freeing it does not recurse.
  auto root = std::make_unique<RegKey>(u"", nullptr);
  RegKey* key = root.get();
  for (int i = 0; i < 1000000; ++i) key = &key->EnsureSubKey(u"k");
  root.reset();
  SUCCEED();
}

TEST(HostileRegistry, ALineWithANulByteIsNotRead) {
  // Found by fuzzing: a key name holding NUL bytes was read, then written back cut short.
  const std::string text =
      "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n[Good] 1\n\"g\"=\"1\"\n\n[" +
      std::string("a\0\0b", 4) + "] 1\n\"v\"=\"x\"\n";
  WineHive hive;
  const WineParseResult result = ParseWineRegistry(text, hive);
  ASSERT_FALSE(result.Understood());
  EXPECT_NE(result.problems[0].find("NUL byte"), std::string::npos) << result.problems[0];
  const RegKey* good = FindRegKey(hive.root.get(), "Good");
  ASSERT_NE(good, nullptr);
  EXPECT_EQ(good->Values().size(), 1u);  // "v" went to no key
  EXPECT_EQ(hive.root->SubKeys().size(), 1u);
}

TEST(HostileRegistry, TextForTheTerminalHasNoControlCharacters) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain Zażółć", "plain Zażółć"},
      {"a\tb\r\nc", "a b  c"},
      {"\x1b[2J\x1b]0;title\x07", " [2J ]0;title "},
      {"del\x7f", "del "},
      {"c1\xc2\x9b"
       "31m",
       "c1 31m"},  // CSI as U+009B
      {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
      // Raw C1 bytes and other stray bytes, read as controls by an 8-bit terminal.
      {"raw\x9b"
       "2J\x85",
       "raw?2J?"},
      {"cut \xe2\x82", "cut ??"},
      {"\xc0\x9b\xff\xf5", "????"},
      {"\xf0\x9f\x98\x80 \xe2\x82\xac", "\xf0\x9f\x98\x80 \xe2\x82\xac"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(WithoutControlCharacters(in), out) << in;
  // Printable runs are passed eight bytes at a time: a control or other byte at any place of a
  // long text is still caught.
  const std::pair<char, char> bytes[] = {{'\x1b', ' '}, {'\x7f', ' '}, {'\x1f', ' '},
                                         {'\x80', '?'}, {' ', ' '},    {'~', '~'}};
  for (const auto& [byte, shown] : bytes)
    for (std::size_t at = 0; at < 20; ++at) {
      std::string in(20, 'x'), out(20, 'x');
      in[at] = byte;
      out[at] = shown;
      EXPECT_EQ(WithoutControlCharacters(in), out) << at << " " << int(byte);
    }
}

}  // namespace
}  // namespace pgl
