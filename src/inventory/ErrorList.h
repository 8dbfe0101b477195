// The run's one error list: commands that act on many entries add one error per entry that
// failed; the list is appended to a log file that only grows.
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "util/FileIO.h"

namespace pgl {

class TErrorList {
 public:
  // The line that ends every error: 43 hyphens.
  static constexpr const char* kErrorSeparator = "-------------------------------------------";

  using Clock = std::function<std::time_t()>;
  explicit TErrorList(std::string logFileName, Clock clock = nullptr);

  // Appends "(" date ", " time ")", the message's lines (CR LF splits them; an empty message
  // adds none) and the separator, and counts one error.
  void AddError(std::string_view message);
  // Empties the list and sets the count to 0.
  void ClearErrorList();
  int ErrorCount() const { return errorCount_; }
  const std::vector<std::string>& Lines() const { return lines_; }
  // The lines joined by CR LF, as the window shows them.
  std::string Text() const;

  // Appends every line, each ended by CR LF, to the log file in one write; nothing when the
  // list holds nothing but blanks. A failure never stops a command; the first one is told to
  // OnLogFailed, later ones are not (a log that cannot be written once rarely can be later).
  bool SaveErrorLog() const;
  std::function<void(const std::string& error)> OnLogFailed;
  // Saves (when AutoSaveErrorLog), then clears: what a batch does before it begins.
  void ClearErrors();

  const std::string& LogFileName() const { return logFileName_; }
  bool AutoSaveErrorLog = true;

 private:
  std::string logFileName_;
  Clock clock_;
  std::vector<std::string> lines_;
  int errorCount_ = 0;
  mutable bool failureTold_ = false;
};

}  // namespace pgl
