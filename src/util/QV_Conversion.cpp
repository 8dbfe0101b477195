#include "util/QV_Conversion.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "util/QV_Strings.h"

namespace pgl {

DateTime LocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,       local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(ms)};
}

std::string DateTimeFileName(std::string_view extension, const DateTime& when) {
  const auto n = [](int value, std::size_t digits) {
    return PadLeft(std::to_string(value), digits, '0');
  };
  std::string out = n(when.year, 4) + "." + n(when.month, 2) + "." + n(when.day, 2) + " - " +
                    n(when.hour, 2) + "_" + n(when.minute, 2) + "_" + n(when.second, 2) + "." +
                    n(when.millisecond, 3);
  out += extension;
  return out;
}

std::string SizeToText(std::int64_t bytes) {
  char buffer[64];
  const double v = static_cast<double>(bytes);
  if (v < 1024) {
    std::snprintf(buffer, sizeof buffer, "%2lld bytes", static_cast<long long>(bytes));
    return buffer;
  }
  const char* unit = " GB";
  double scaled = v / 1073741824.0;
  if (v < 1048576) {
    unit = " KB";
    scaled = v / 1024.0;
  } else if (v < 1073741824) {
    unit = " MB";
    scaled = v / 1048576.0;
  }
  // Two decimals, halves rounded away from zero (printf would round half to even).
  const auto hundredths = static_cast<long long>(std::round(scaled * 100.0));
  std::snprintf(buffer, sizeof buffer, "%lld.%02lld", hundredths / 100, hundredths % 100);
  std::string number = buffer;
  return PadLeft(number, 2, ' ') + unit;
}

}  // namespace pgl
