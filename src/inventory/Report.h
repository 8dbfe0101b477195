// The HTML report of the entry list: one table of the listed rows with every column.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "lang/Language.h"
#include "util/ProjectLinks.h"

namespace pgl {

std::string BuildReportHead(Language lang);
// & < > and the micro sign become entities; other characters stay.
std::string EscapeHtml(std::string_view text);
// A cell: escaped, "-" when blank, a link when it is an address (never a script address).
std::string ReportCell(std::string_view text);

// The whole document, lines ended by CR LF, UTF-8.
std::string BuildReport(const std::vector<std::string>& captions,
                        const std::vector<std::vector<std::string>>& rows, Language lang,
                        const std::tm& now);

}  // namespace pgl
