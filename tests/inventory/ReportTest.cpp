#include <gtest/gtest.h>

#include "inventory/Report.h"
#include "util/Locale.h"

namespace pgl {
namespace {

TEST(Report, Cells) {
  const std::pair<const char*, const char*> cases[] = {
      {"A&B <C>", "A&amp;B &lt;C&gt;"},
      {"1 µs", "1 &micro;s"},
      {"say \"hi\"", "say \"hi\""},
      {"", "-"},
      {"  \t", "-"},
      {"www.example.com", "<a href=\"www.example.com\">www.example.com</a>"},
      {"see http://x.org/?a=1&b=2",
       "<a href=\"see http://x.org/?a=1&amp;b=2\">see "
       "http://x.org/?a=1&amp;b=2</a>"},
      // A cell cannot leave its attribute, and script addresses are not links.
      {"http://x\" onmouseover=\"alert(1)",
       "<a href=\"http://x&quot; onmouseover=&quot;alert(1)\">http://x\" "
       "onmouseover=\"alert(1)</a>"},
      {"javascript:alert('http://x')", "javascript:alert('http://x')"},
      {" JavaScript:void(0)//http://", " JavaScript:void(0)//http://"},
      {"data:text/html,http://x", "data:text/html,http://x"},
      {"vbscript:x http://", "vbscript:x http://"},
  };
  for (const auto& [text, cell] : cases) EXPECT_EQ(ReportCell(text), cell) << text;
}

TEST(Report, Document) {
  std::tm when{};
  when.tm_year = 126;
  when.tm_mon = 11;
  when.tm_mday = 7;
  when.tm_hour = 20;
  when.tm_min = 5;
  when.tm_sec = 9;
  const std::string empty = BuildReport({"Name", "Size"}, {}, Language::English, when);
  // In the user's formats (12/07/26 and 20:05:09 in Linux's C locale, 12/7/2026 and 8:05:09 PM
  // in Windows' English).
  EXPECT_NE(empty.find("Date: " + FormatShortDate(when) + "<br>\r\nTime: " + FormatLongTime(when) +
                       "<br>\r\n<br>\r\n"),
            std::string::npos);
  EXPECT_NE(empty.find("<td class=\"c_colc\">No</td>\r\n<td class=\"c_colc\">Name</td>\r\n"
                       "<td class=\"c_colc\">Size</td>\r\n</tr>\r\n</table>\r\n</body>\r\n"
                       "</html>\r\n"),
            std::string::npos);
  EXPECT_EQ(empty.find("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
                       "<html>\r\n<head>\r\n"),
            0u);
  EXPECT_NE(empty.find("charset=utf-8"), std::string::npos);
  EXPECT_EQ(empty.find("Content-Language"), std::string::npos);

  const std::string rows =
      BuildReport({"Nazwa", "Rozmiar"}, {{"Zażółć", ""}, {"B&B", "1"}}, Language::Polish, when);
  EXPECT_NE(rows.find("<meta http-equiv=\"Content-Language\" content=\"pl\">"), std::string::npos);
  EXPECT_NE(rows.find("charset=utf-8"), std::string::npos);
  EXPECT_NE(rows.find("<tr>\r\n<td class=\"c_no\">1</td>\r\n<td class=\"c_name\">Zażółć</td>\r\n"
                      "<td>-</td>\r\n</tr>\r\n<tr>\r\n<td class=\"c_no\">2</td>\r\n"
                      "<td class=\"c_name\">B&amp;B</td>\r\n<td>1</td>\r\n</tr>\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace pgl
