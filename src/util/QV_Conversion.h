// Date stamps for file names and byte counts as display text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pgl {

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// The current local date and time.
DateTime LocalNow();

// "2007.07.07 - 09_05_03.042" followed by the extension.
std::string DateTimeFileName(std::string_view extension, const DateTime& when);

// " 5 bytes", "1.13 KB", "1024.00 KB", "5.00 GB": 1024-based, dot as decimal point.
std::string SizeToText(std::int64_t bytes);

}  // namespace pgl
