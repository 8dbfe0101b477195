#include "inventory/ErrorList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
  return AppendToFile(logFileName_, bytes, error);
}

void TErrorList::ClearErrors() {
  if (AutoSaveErrorLog) SaveErrorLog();
  ClearErrorList();
}

bool AppendToFile(const std::string& path, std::string_view bytes, std::string& error) {
  // O_NONBLOCK: a FIFO put where the log should be must not hang us; it is refused below.
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
  if (fd < 0) {
    error = "cannot open \"" + path + "\": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error = "\"" + path + "\" is not a regular file";
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "cannot write \"" + path + "\": " + std::strerror(errno);
      // Take back a partial append so the log holds whole errors only (best effort: the
      // error above is what the caller hears).
      if (done > 0) (void)!::ftruncate(fd, st.st_size);
      ::close(fd);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  const bool ok = ::close(fd) == 0;
  if (!ok) error = "cannot write \"" + path + "\": " + std::strerror(errno);
  return ok;
}

}  // namespace pgl
