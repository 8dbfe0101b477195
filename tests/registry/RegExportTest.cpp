#include <gtest/gtest.h>

#include <cstring>

#include "../TestSupport.h"
#include "registry/RegExport.h"
#include "registry/TRegistry.h"
#include "util/Utf.h"

namespace pgl {
namespace {

std::string Export(MemoryRegistry& store, std::string_view path, int codePage = 1252) {
  const auto result = BuildRegistryExport(store, kHkeyLocalMachine, path, codePage);
  EXPECT_EQ(result.form, RegScriptForm::Regedit4);
  return result.bytes;
}

// The value line the export writes for one value of the given Wine registry form.
std::string LineFor(const std::string& wineValue) {
  MemoryRegistry store;
  EXPECT_TRUE(store.LoadWineText(kHkeyLocalMachine, "\n[K] 1\n" + wineValue + "\n"));
  const std::string text = Export(store, "K");
  const std::string head = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  return text.substr(head.size());
}

TEST(RegExport, ValueLines) {
  const std::pair<std::string, std::string> cases[] = {
      {R"("Path"="C:\\A \"B\"")", "\"Path\"=\"C:\\\\A \\\"B\\\"\"\r\n"},
      {"\"N\"=dword:000000ff", "\"N\"=dword:000000ff\r\n"},
      {"\"N\"=dword:ffffffff", "\"N\"=dword:ffffffff\r\n"},
      {"\"E\"=str(2):\"%SystemRoot%\"", "\"E\"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,00\r\n"},
      {"\"E\"=str(2):\"0123456789abcdef\"",
       "\"E\"=hex(2):30,31,32,33,34,35,36,37,38,39,61,62,63,64,65,66,\\\r\n  00\r\n"},
      {"\"E\"=str(2):\"\"", "\"E\"=hex(2):\r\n"},
      {"\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10",
       "\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,\r\n"},
      {"\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11",
       "\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,\\\r\n  11,\r\n"},
      {"\"B\"=hex:", "\"B\"=hex:\r\n"},
      {"@=\"x\"", "@=\"x\"\r\n"},
      {R"("Q\"uote\\d"="x")", "\"Q\\\"uote\\\\d\"=\"x\"\r\n"},            // names escaped
      {"\"Caf\\xe9\"=\"\\xe9\\x20ac\"", "\"Caf\xE9\"=\"\xE9\x80\"\r\n"},  // Windows-1252 bytes
  };
  for (const auto& [wine, line] : cases) EXPECT_EQ(LineFor(wine), line) << wine;
}

// The lines of a Unicode script, as UTF-8.
std::string UnicodeText(const RegExportResult& result) {
  EXPECT_EQ(result.form, RegScriptForm::Unicode);
  EXPECT_EQ(result.bytes.substr(0, 2), "\xFF\xFE");
  std::u16string units((result.bytes.size() - 2) / 2, u'\0');
  std::memcpy(units.data(), result.bytes.data() + 2, units.size() * 2);
  return Utf16ToUtf8(units);
}

TEST(RegExport, ValuesRegeditWouldChangeGoToAUnicodeScriptExactly) {
  const std::pair<std::string, std::string> cases[] = {
      {"\"T\"=\"a\\tb\"", "\"T\"=hex(1):61,00,09,00,62,00,00,00\r\n"},
      {"\"L\"=\"a\\r\\nb\"", "\"L\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"},
      {"\"Z\"=\"a\\0b\"", "\"Z\"=hex(1):61,00,00,00,62,00,00,00\r\n"},
      {"\"S\"=\"\\xd800x\"", "\"S\"=hex(1):00,d8,78,00,00,00\r\n"},
      {"\"M\"=str(7):\"a\\0b\\0\"", "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"},
      {"\"Q\"=hex(b):01,00,00,00,00,00,00,00", "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"},
      {"\"D\"=hex(4):01,02", "\"D\"=hex(4):01,02\r\n"},
      {"\"N\"=hex(0):", "\"N\"=hex(0):\r\n"},
      {"\"O\"=hex(1):61,00", "\"O\"=hex(1):61,00\r\n"},  // not terminated
      {"\"E\"=str(2):\"\\x65e5\"", "\"E\"=hex(2):e5,65,00,00\r\n"},
  };
  for (const auto& [wine, line] : cases) {
    MemoryRegistry store;
    ASSERT_TRUE(store.LoadWineText(kHkeyLocalMachine, "\n[K] 1\n\"A\"=\"plain\"\n" + wine + "\n"))
        << wine;
    const auto result = BuildRegistryExport(store, kHkeyLocalMachine, "K", 1252);
    EXPECT_EQ(UnicodeText(result),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\K]\r\n\"A\"=\"plain\"\r\n" +
                  line)
        << wine;
    EXPECT_TRUE(result.leftOut.empty());
  }
}

TEST(RegExport, NoNameOrDataCanWriteALineOfItsOwn) {
  MemoryRegistry store;
  const std::string injection =
      R"("x\"=\"y\"\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\)"
      "CurrentVersion\\\\Run]\\r\\n\\\"Injected\"=\"v\"\n";
  ASSERT_TRUE(store.LoadWineText(
      kHkeyLocalMachine,
      "\n[K] 1\n" + injection + "\"q\\\"=\\\"uote\"=\"a\\n[-HKEY_LOCAL_MACHINE\\\\SOFTWARE]\"\n" +
          "\n[K\\\\Evil\\n\\[-HKEY_LOCAL_MACHINE\\\\SOFTWARE\\]] 1\n\"in\"=\"x\"\n"
          "\n[K\\\\Evil\\n\\[-HKEY_LOCAL_MACHINE\\\\SOFTWARE\\]\\\\Below] 1\n"
          "\n[K\\\\Good] 1\n\"g\"=\"1\"\n"));
  const auto result = BuildRegistryExport(store, kHkeyLocalMachine, "K", 1252);
  const std::string text = UnicodeText(result);
  // Every line is one the export meant: two headers, the escaped name with its data as a
  // byte list (continued over several lines), the good value.
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find("\r\n", at);
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  for (const auto& line : lines) {
    const bool expected = line.empty() || line == "Windows Registry Editor Version 5.00" ||
                          line == "[HKEY_LOCAL_MACHINE\\K]" ||
                          line == "[HKEY_LOCAL_MACHINE\\K\\Good]" || line == "\"g\"=\"1\"" ||
                          line.starts_with("\"q\\\"=\\\"uote\"=hex(1):61,00,0a,00,") ||
                          (line.starts_with("  ") &&
                           line.find_first_not_of("0123456789abcdef,\\ ") == std::string::npos);
    EXPECT_TRUE(expected) << line;
  }
  ASSERT_EQ(result.leftOut.size(), 2u);
  EXPECT_EQ(result.leftOut[0],
            "HKEY_LOCAL_MACHINE\\K: a value whose name no registry script can hold");
  EXPECT_NE(result.leftOut[1].find("a subkey (with everything below it)"), std::string::npos);
}

TEST(RegExport, KeysInSubKeyTreeOrder) {
  MemoryRegistry store;
  ASSERT_TRUE(store.LoadWineText(kHkeyLocalMachine,
                                 "\n[K\\\\A] 1\n\"a\"=\"1\"\n"
                                 "\n[K\\\\A\\\\A1\\\\X] 1\n\n[K\\\\B] 1\n\"b\"=dword:00000002\n"));
  EXPECT_EQ(Export(store, "K"),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\K\\A]\r\n\"a\"=\"1\"\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\K\\B]\r\n\"b\"=dword:00000002\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\K\\A\\A1]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\K\\A\\A1\\X]\r\n");
  // A key that cannot be opened keeps its header only.
  EXPECT_EQ(Export(store, "Nothing"), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Nothing]\r\n");
  EXPECT_EQ(BuildRegistryExport(store, 0x12345678, "K", 1252).bytes, "");
  EXPECT_EQ(RootKeyName(kHkeyCurrentConfig), "HKEY_CURRENT_CONFIG");
}

TEST(RegExport, PolishTextInCodePage1250) {
  MemoryRegistry store;
  ASSERT_TRUE(store.LoadWineText(kHkeyLocalMachine, "\n[K] 1\n\"N\"=\"\\x17c\\xf3\\x142w\"\n"));
  EXPECT_EQ(Export(store, "K", 1250),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"N\"=\"\xBF\xF3\xB3w\"\r\n");
}

TEST(RegExport, TextOutsideTheCodePageGivesAUnicodeScript) {
  MemoryRegistry store;
  ASSERT_TRUE(store.LoadWineText(
      kHkeyLocalMachine, "\n[K\\\\\\x65e5] 1\n\"N\"=\"\\x17c\"\n\"E\"=str(2):\"\\x142\"\n"));
  const auto result = BuildRegistryExport(store, kHkeyLocalMachine, "K", 1252);
  ASSERT_EQ(result.form, RegScriptForm::Unicode);
  ASSERT_EQ(result.bytes.substr(0, 2), "\xFF\xFE");
  std::u16string units((result.bytes.size() - 2) / 2, u'\0');
  std::memcpy(units.data(), result.bytes.data() + 2, units.size() * 2);
  EXPECT_EQ(Utf16ToUtf8(units),
            "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\K\\日]\r\n\"E\"=hex(2):42,01,00,00\r\n\"N\"=\"ż\"\r\n");
}

TEST(RegExport, FileIsReplacedWholeOrRaises) {
  test::TempDir dir;
  MemoryRegistry store;
  ASSERT_TRUE(store.LoadWineText(kHkeyLocalMachine, "\n[K] 1\n\"a\"=\"1\"\n"));
  const std::string file = dir / "backup.reg";
  test::WriteFile(file, "old content that is longer than the new one ...........");
  EXPECT_EQ(ExportRegistryKey(store, kHkeyLocalMachine, "K", file, 1252), RegScriptForm::Regedit4);
  EXPECT_EQ(test::ReadFile(file), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"a\"=\"1\"\r\n");
  EXPECT_THROW(ExportRegistryKey(store, kHkeyLocalMachine, "K", dir / "no/such/dir.reg", 1252),
               ERegistryExportError);
}

}  // namespace
}  // namespace pgl
