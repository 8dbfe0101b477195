#include <gtest/gtest.h>

#include "platform/QV_FileSystem.h"
#include "util/CodePage.h"
#include "util/QV_Conversion.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace pgl {
namespace {

TEST(Strings, LastCharPosAndPadLeft) {
  EXPECT_EQ(LastCharPos("C:\\Apps\\x.exe", '\\'), 8u);
  EXPECT_EQ(LastCharPos("", '\\'), 0u);
  EXPECT_EQ(LastCharPos("abc", 'z'), 0u);
  EXPECT_EQ(PadLeft("7", 2, '0'), "07");
  EXPECT_EQ(PadLeft("123", 2, '0'), "123");
  EXPECT_EQ(PadLeft("", 3, '0'), "000");
  EXPECT_EQ(PadLeft("é", 2, ' '), " é");  // counted in characters, not bytes
}

TEST(Strings, TrimDirPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\Apps\\.\\", "C:\\Apps"},
      {"C:\\Apps\\", "C:\\Apps"},
      {"C:\\Apps", "C:\\Apps"},
      {R"(C:\Apps\\)", "C:\\Apps\\"},
      {"C:\\", "C:"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(TrimDirPath(in), out) << in;
}

TEST(Strings, IsInteger) {
  const std::pair<const char*, bool> cases[] = {
      {"  12", true},        {"-3", true},          {"-2147483648", true},  {"2147483647", true},
      {"$1F", true},         {"0x1f", true},        {"X10", true},          {"+5", true},
      {"$FFFFFFFF", true},   {"12 ", false},        {"1.5", false},         {"", false},
      {"   ", false},        {"2147483648", false}, {"-2147483649", false}, {"$", false},
      {"$100000000", false}, {"0x", false},         {"1a", false},          {"--1", false},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(IsInteger(text), expected) << text;
  int v = 0;
  ASSERT_TRUE(TryParseInteger("$FFFFFFFF", v));
  EXPECT_EQ(v, -1);
  ASSERT_TRUE(TryParseInteger(" -$1F", v));
  EXPECT_EQ(v, -31);
}

TEST(Strings, IsURL) {
  const std::pair<const char*, bool> cases[] = {
      {"WWW.example.com", true}, {"see www.example.com", false},
      {"go http://x", true},     {"HTTP://x", false},
      {"https://a", true},       {"news://a", true},
      {"ftp://a", true},         {"", false},
      {"mailto:a@b", false},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(IsURL(text), expected) << text;
}

// Lines without their ends; a last line break starts no empty line (a settings file read and
// written back must not grow by a line each time).
TEST(Strings, TextLines) {
  const struct {
    std::string_view text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"\n\n", {"", ""}},
      {"a\r\r\nb", {"a\r", "b"}},
      {"x\ny", {"x", "y"}},
  };
  for (const auto& c : cases) EXPECT_EQ(TextLines(c.text), c.lines) << c.text;
}

TEST(Conversion, SizeToText) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, " 0 bytes"},         {5, " 5 bytes"},      {1023, "1023 bytes"},
      {1024, "1.00 KB"},       {1152, "1.13 KB"},    {1536, "1.50 KB"},
      {1048575, "1024.00 KB"}, {1048576, "1.00 MB"}, {1073741824, "1.00 GB"},
      {5368709120, "5.00 GB"}, {-5, "-5 bytes"},     {10 * 1024, "10.00 KB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(SizeToText(bytes), text) << bytes;
}

TEST(Conversion, DateTimeFileName) {
  EXPECT_EQ(DateTimeFileName(".reg", {2007, 7, 7, 9, 5, 3, 42}), "2007.07.07 - 09_05_03.042.reg");
  EXPECT_EQ(DateTimeFileName(".reg", {2008, 1, 1, 0, 0, 0, 0}), "2008.01.01 - 00_00_00.000.reg");
  EXPECT_EQ(DateTimeFileName("", {2010, 12, 31, 23, 59, 59, 999}), "2010.12.31 - 23_59_59.999");
}

TEST(Utf, TruncateNeverSplitsASequence) {
  EXPECT_EQ(Utf8Truncate("Zażółć", 3), "Zaż");
  EXPECT_EQ(Utf8Truncate("ab", 5), "ab");
  EXPECT_EQ(Utf8Length("Zażółć"), 6u);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("€ 𝄞 ż")), "€ 𝄞 ż");
  EXPECT_EQ(Utf8ToUtf16("\xC3"), u"\uFFFD");  // cut sequence
}

TEST(CodePage, LocaleAndEncoding) {
  EXPECT_EQ(AnsiCodePageForLocale("pl_PL.UTF-8"), 1250);
  EXPECT_EQ(AnsiCodePageForLocale("en_US.UTF-8"), 1252);
  EXPECT_EQ(AnsiCodePageForLocale("C"), 1252);
  EXPECT_EQ(AnsiCodePageForLocale("ru_RU"), 1251);
  std::string out;
  ASSERT_TRUE(EncodeToCodePage("Café €", 1252, out));
  EXPECT_EQ(out, "Caf\xE9 \x80");
  ASSERT_TRUE(EncodeToCodePage("Zażółć", 1250, out));
  EXPECT_EQ(out, "Za\xBF\xF3\xB3\xE6");
  EXPECT_FALSE(EncodeToCodePage("Zażółć", 1252, out));  // ż and ł are not in 1252
  EXPECT_FALSE(EncodeToCodePage("日本", 1252, out));
}

}  // namespace
}  // namespace pgl
