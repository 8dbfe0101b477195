#include "inventory/ErrorList.h"

#include <cerrno>
#include <cstring>

#include "util/FileIO.h"
#include "util/Locale.h"

namespace pgl {

TErrorList::TErrorList(std::string logFileName, Clock clock)
    : logFileName_(std::move(logFileName)), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::time(nullptr); };
}

void TErrorList::AddError(std::string_view message) {
  ++errorCount_;
  const std::time_t now = clock_();
  std::tm local{};
  localtime_r(&now, &local);
  std::string stamp(1, '(');
  stamp.append(FormatShortDate(local)).append(", ").append(FormatLongTime(local)).append(1, ')');
  lines_.push_back(std::move(stamp));
  if (!message.empty()) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t end = message.find("\r\n", start);
      lines_.emplace_back(message.substr(start, end - start));
      if (end == std::string_view::npos) break;
      start = end + 2;
    }
  }
  lines_.emplace_back(kErrorSeparator);
}

void TErrorList::ClearErrorList() {
  lines_.clear();
  errorCount_ = 0;
}

std::string TErrorList::Text() const {
  std::string text;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (i) text += "\r\n";
    text += lines_[i];
  }
  return text;
}

bool TErrorList::SaveErrorLog() const {
  bool onlyBlanks = true;
  for (const auto& line : lines_)
    for (unsigned char c : line)
      if (c > ' ') onlyBlanks = false;
  if (onlyBlanks || logFileName_.empty()) return false;
  std::string bytes;
  for (const auto& line : lines_) bytes += line + "\r\n";
  std::string error;
  if (AppendToFile(logFileName_, bytes, error)) return true;
  if (!failureTold_ && OnLogFailed) {
    failureTold_ = true;
    OnLogFailed(error);
  }
  return false;
}

void TErrorList::ClearErrors() {
  if (AutoSaveErrorLog) SaveErrorLog();
  ClearErrorList();
}

}  // namespace pgl
