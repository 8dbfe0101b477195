// Registry scripts read back: what our export writes comes back value for value, the forms
// regedit writes are understood, and a damaged file is refused whole.
#include <gtest/gtest.h>

#include "registry/RegExport.h"
#include "registry/RegScript.h"
#include "util/Utf.h"

namespace pgl {
namespace {

std::string Wide(const std::string& utf8, bool bom = true) {
  return (bom ? "\xFF\xFE" : "") + Utf16LeBytes(Utf8ToUtf16(utf8));
}

std::vector<ScriptKey> Parse(const std::string& bytes, int codePage, std::string& error) {
  std::vector<ScriptKey> keys;
  error.clear();
  if (!ParseRegScript(
          bytes, codePage, [&](ScriptKey&& key) { keys.push_back(std::move(key)); }, error))
    keys.clear();
  return keys;
}

// Every value of every key of the store below `path` must come back from its export exactly.
void ExpectReadBackExactly(MemoryRegistry& store, const char* path, int codePage, bool unicode) {
  const RegExportResult exported = BuildRegistryExport(store, kHkeyLocalMachine, path, codePage);
  ASSERT_EQ(exported.form == RegScriptForm::Unicode, unicode);
  ASSERT_TRUE(exported.notExact.empty() && exported.leftOut.empty());
  std::string error;
  const auto keys = Parse(exported.bytes, codePage, error);
  ASSERT_FALSE(keys.empty()) << error;
  std::size_t values = 0;
  for (const ScriptKey& key : keys) {
    EXPECT_EQ(key.root, kHkeyLocalMachine);
    RegKey* there = store.Hive(kHkeyLocalMachine);
    for (const auto& name : key.path) there = there ? there->FindSubKey(name) : nullptr;
    ASSERT_NE(there, nullptr) << ScriptKeyText(key);
    ASSERT_EQ(key.values.size(), there->Values().size()) << ScriptKeyText(key);
    for (const ScriptValue& value : key.values) {
      const RegValue* original = there->FindValue(value.name);
      ASSERT_NE(original, nullptr) << Utf16ToUtf8(value.name);
      EXPECT_EQ(value.type, original->type) << Utf16ToUtf8(value.name);
      EXPECT_EQ(value.data, original->Bytes()) << Utf16ToUtf8(value.name);
      ++values;
    }
  }
  EXPECT_GT(values, 0u);
}

TEST(RegScript, OurExportsReadBackValueForValue) {
  struct Case {
    const char* what;
    const char* wineText;
    int codePage;
    bool unicode;
  };
  const Case cases[] = {
      {"REGEDIT4 in Windows-1250",
       "\n[A] 1\n\"Name \\\"q\\\" \\\\ [x]=y\"=\"Za\\x17c\\xf3\\x142\\x107 \\\"C:\\\\\\\"\"\n"
       "@=\"default\"\n\"D\"=dword:ffffffff\n\"E\"=str(2):\"%Root%\\\\0123456789abcdef\"\n"
       "\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12\n"
       "\"Empty\"=\"\"\n\"NoBytes\"=hex:\n"
       "\n[A\\\\Sub \\xf3] 1\n\"v\"=\"1\"\n",
       1250, false},
      {"Unicode script: texts no code page holds, controls, every type",
       "\n[A] 1\n\"\\x4e2d\\xd83d\\xde00\"=\"tab\\there\\nline \\x4e2d\"\n"
       "\"M\"=str(7):\"a\\0b\\0\\0\"\n\"Q\"=hex(b):01,02,03,04,05,06,07,08\n"
       "\"N\"=hex(0):\n\"Short\"=hex(4):01,02\n\"Odd\"=hex(12345678):ff\n"
       "\"E\"=str(2):\"\\x4e2d%x%\"\n"
       "\n[A\\\\\\x4e2d] 1\n@=\"\\\"\\\\\"\n",
       1252, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryRegistry store;
    ASSERT_TRUE(store.LoadWineText(kHkeyLocalMachine, c.wineText));
    ExpectReadBackExactly(store, "A", c.codePage, c.unicode);
  }
}

TEST(RegScript, TheFormsRegeditWrites) {
  struct Case {
    const char* what;
    std::string bytes;
    int codePage;
    std::string key;  // of the first key
    std::string valueName;
    std::uint32_t type;
    std::string data;
  };
  const std::string v5 = "Windows Registry Editor Version 5.00";
  const Case cases[] = {
      {"REGEDIT4 in the code page",
       "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"n\"=\"Za\xBF\xF3\"\r\n", 1250,
       "HKEY_CURRENT_USER\\K", "n", kRegSz, TextToRegData(u"Zażó")},
      {"UTF-8 byte-order mark, short root, LF only", "\xEF\xBB\xBFREGEDIT4\n[hklm\\K]\n@=\"x\"\n",
       1252, "hklm\\K", "", kRegSz, TextToRegData(u"x")},
      {"UTF-16 without a byte-order mark",
       Wide(v5 + "\n\n[HKEY_LOCAL_MACHINE\\K\\ż]\n\"v\"=\"ż\"\n", false), 1252,
       "HKEY_LOCAL_MACHINE\\K\\ż", "v", kRegSz, TextToRegData(u"ż")},
      {"continued hex list",
       Wide(v5 + "\r\n[HKLM\\K]\r\n\"b\"=hex:01,02,\\\r\n    03,\\\r\n  04\r\n"), 1252, "HKLM\\K",
       "b", kRegBinary, "\x01\x02\x03\x04"},
      {"REGEDIT4 expandable text in the code page",
       "REGEDIT4\r\n[HKLM\\K]\r\n\"e\"=hex(2):25,b3,25,00\r\n", 1250, "HKLM\\K", "e", kRegExpandSz,
       TextToRegData(u"%ł%")},
      {"Unicode multi-string as it is",
       Wide(v5 + "\r\n[HKLM\\K]\r\n\"m\"=hex(7):61,00,00,00,00,00\r\n"), 1252, "HKLM\\K", "m",
       kRegMultiSz, std::string("a\0\0\0\0\0", 6)},
      {"short dword, comments", "REGEDIT4\r\n; note\r\n# note\r\n[HKLM\\K]\r\n\"d\"=dword:1f\r\n",
       1252, "HKLM\\K", "d", kRegDword, std::string("\x1f\0\0\0", 4)},
      {"escapes in texts", "REGEDIT4\r\n[HKLM\\K]\r\n\"a\\\"b\"=\"x\\\\y\\nz\"\r\n", 1252,
       "HKLM\\K", "a\"b", kRegSz, TextToRegData(u"x\\y\nz")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    const auto keys = Parse(c.bytes, c.codePage, error);
    ASSERT_EQ(keys.size(), 1u) << error;
    EXPECT_EQ(ScriptKeyText(keys[0]), c.key);
    ASSERT_EQ(keys[0].values.size(), 1u);
    EXPECT_EQ(Utf16ToUtf8(keys[0].values[0].name), c.valueName);
    EXPECT_EQ(keys[0].values[0].type, c.type);
    EXPECT_EQ(keys[0].values[0].data, c.data);
  }
  // Deletions are read as such.
  std::string error;
  const auto keys =
      Parse("REGEDIT4\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n[HKCU\\K]\r\n\"v\"=-\r\n", 1252, error);
  ASSERT_EQ(keys.size(), 2u) << error;
  EXPECT_TRUE(keys[0].remove);
  EXPECT_EQ(keys[0].root, kHkeyLocalMachine);
  EXPECT_TRUE(keys[1].values.at(0).remove);
}

TEST(RegScript, ADamagedFileIsRefusedWhole) {
  const std::string head = "REGEDIT4\r\n[HKLM\\K]\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "not a registry script"},
      {std::string("\x7f"
                   "ELF\x02\x01\x01\0\0\0",
                   10),
       "not a registry script"},
      {"REGEDIT5\r\n", "not a registry script"},
      {"\xFE\xFF\0W", "not a registry script"},  // big-endian
      {Wide("Windows Registry Editor Version 5.00\r\n[HKLM\\K]\r\n\"v\"=\"x\"").substr(0, 61),
       "cut short"},
      {"Windows Registry Editor Version 5.00\r\n[HKLM\\\xC3]\r\n", "proper UTF-8"},
      {"REGEDIT4\r\n\"v\"=\"x\"\r\n", "line 2: a value before any key"},
      {head + "\"v\"=\"x\r\n", "line 3: a text without its closing quote"},
      {head + "\"v\"=hex:0g\r\n", "line 3: "},
      {head + "\"v\"=hex:01 02\r\n", "line 3: bytes not separated"},
      {head + "\"v\"=hex:01,\\\r\n", "the file ends inside a continued value"},
      {head + "\"v\"=dword:123456789\r\n", "line 3: a dword"},
      {head + "\"v\"=\"x\" trailing\r\n", "line 3: text after the closing quote"},
      {head + "[HKLM\\K\r\n", "line 3: a key without its closing"},
      {head + "garbage\r\n", "line 3: neither a key, a value nor a comment"},
      {head + "\"v\"=hex:" +
           [] {
             std::string list;
             for (std::size_t i = 0; i <= kMaxScriptValueBytes; ++i) list += "00,";
             return list;
           }() +
           "\r\n",
       "line 3: a value of more than 1 MiB"},
  };
  for (const auto& [bytes, why] : cases) {
    std::string error;
    std::size_t keys = 0;
    EXPECT_FALSE(ParseRegScript(
        bytes, 1252, [&](ScriptKey&&) { ++keys; }, error))
        << bytes.substr(0, 60);
    EXPECT_NE(error.find(why), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace pgl
