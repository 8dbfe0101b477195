#include "inventory/Report.h"

#include "inventory/CommandAnalysis.h"
#include "util/Locale.h"
#include "util/QV_Strings.h"
#include "util/Utf.h"

namespace pgl {

std::string BuildReportHead(Language lang) {
  std::string head = "<head>\r\n";
  head += "  <meta name=\"Generator\" content=\"Purgelet, " + std::string(kHomePage) + "\">\r\n";
  // The file is UTF-8 in both languages, and says so.
  head += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\r\n";
  // An English report, the first there was, names no language.
  if (lang != Language::English)
    head += "<meta http-equiv=\"Content-Language\" content=\"" + std::string(LanguageCode(lang)) +
            "\">\r\n";
  head +=
      "  <title>Purgelet Report</title>\r\n"
      "  <style>\r\n"
      "    body {font-family: verdana; font-size: 10pt; background-color: #EBEAE2;}\r\n"
      "    td {font-family: verdana; font-size: 9pt; padding: 4px;}\r\n"
      "    .c_name {font-weight: bold;}\r\n"
      "    .c_colc {font-size: 10pt; background-color: silver; padding: 4px;}\r\n"
      "    .c_no {padding-left: 4px; padding-right: 4px; background-color: #B5BDCA;}\r\n"
      "  </style>\r\n"
      "</head>";
  return head;
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xB5') {
      out += "&micro;";
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

namespace {

// Addresses that would run code when followed.
bool IsScriptAddress(std::string_view text) {
  std::string compact;
  for (char c : text)
    if (static_cast<unsigned char>(c) > 32) compact += AsciiUpper(c);
  for (std::string_view scheme : {"JAVASCRIPT:", "VBSCRIPT:", "DATA:"})
    if (compact.starts_with(scheme)) return true;
  return false;
}

std::string QuoteAttribute(std::string_view escaped) {
  std::string out;
  for (char c : escaped) {
    if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::string ReportCell(std::string_view text) {
  std::string cell = EscapeHtml(text);
  if (TrimControl(cell).empty()) cell.assign(1, '-');
  if (IsURL(cell) && !IsScriptAddress(text)) {
    std::string link = "<a href=\"";
    link.append(QuoteAttribute(cell)).append("\">").append(cell).append("</a>");
    cell = std::move(link);
  }
  return cell;
}

std::string BuildReport(const std::vector<std::string>& captions,
                        const std::vector<std::vector<std::string>>& rows, Language lang,
                        const std::tm& now) {
  std::string out;
  const auto line = [&](std::string_view text) {
    out += text;
    out += "\r\n";
  };
  line("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">");
  line("<html>");
  line(BuildReportHead(lang));
  line("<body>");
  line("Date: " + FormatShortDate(now) + "<br>");
  line("Time: " + FormatLongTime(now) + "<br>");
  line("<br>");
  line("<table cellpadding=\"0\" cellspacing=\"0\" border=\"1\">");
  line("<tr>");
  line("<td class=\"c_colc\">No</td>");
  for (const auto& caption : captions) line("<td class=\"c_colc\">" + caption + "</td>");
  line("</tr>");
  for (std::size_t r = 0; r < rows.size(); ++r) {
    line("<tr>");
    line("<td class=\"c_no\">" + std::to_string(r + 1) + "</td>");
    for (std::size_t c = 0; c < rows[r].size(); ++c)
      line((c == 0 ? "<td class=\"c_name\">" : "<td>") + ReportCell(rows[r][c]) + "</td>");
    line("</tr>");
  }
  line("</table>");
  line("</body>");
  line("</html>");
  return out;
}

}  // namespace pgl
