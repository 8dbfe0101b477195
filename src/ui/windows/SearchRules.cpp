#include "ui/windows/SearchRules.h"

#include <algorithm>

#include "util/FileIO.h"
#include "util/Locale.h"
#include "util/Utf.h"

namespace pgl {

namespace {

constexpr int kSearchedColumns[] = {0, 1, 6, 8};

// The first or last `count` characters (code points) of a UTF-8 text.
std::string_view Part(std::string_view text, std::size_t count, bool fromStart) {
  const std::u16string units = Utf8ToUtf16(text);
  std::size_t chars = 0;
  for (std::size_t i = 0; i < units.size(); ++i)
    if ((units[i] & 0xFC00) != 0xDC00) ++chars;
  if (chars < count) return {};
  // Walk UTF-8 lead bytes to find the cut.
  const auto isLead = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
  if (fromStart) {
    std::size_t seen = 0, i = 0;
    for (; i < text.size(); ++i)
      if (isLead(text[i]) && seen++ == count) break;
    return text.substr(0, i);
  }
  std::size_t seen = 0, i = text.size();
  while (i > 0 && seen < count) {
    --i;
    if (isLead(text[i])) ++seen;
  }
  return text.substr(i);
}

std::size_t CharCount(std::string_view text) {
  std::size_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

}  // namespace

std::string PrepareSearchText(const std::string& typed, const SearchOptions& options) {
  return options.ignoreCase ? UpperCaseLocale(typed) : typed;
}

bool MatchesSearch(const std::function<std::string(int column)>& cell,
                   const std::string& searchText, const SearchOptions& options) {
  const bool checked[] = {options.name, options.publisher, options.exeFile,
                          options.uninstallCommand};
  const TextCollator& collator = TextCollator::User();
  for (int i = 0; i < 4; ++i) {
    if (!checked[i]) continue;
    std::string text = cell(kSearchedColumns[i]);
    if (options.ignoreCase) text = UpperCaseLocale(text);
    bool match = false;
    switch (options.mode) {
      case MatchMode::Contain:
        match = text.find(searchText) != std::string::npos;
        break;
      case MatchMode::Start:
      case MatchMode::End: {
        const std::size_t count = CharCount(searchText);
        if (CharCount(text) < count) break;
        match = collator.Compare(Part(text, count, options.mode == MatchMode::Start), searchText,
                                 false) == 0;
        break;
      }
    }
    if (match) return true;
  }
  return false;
}

SearchOutcome RunSearch(int rowCount, int firstSelected, bool selectAllMatching,
                        const std::function<bool(int row)>& matches) {
  SearchOutcome out;
  if (selectAllMatching) {
    for (int row = 0; row < rowCount; ++row)
      if (matches(row)) out.selected.push_back(row);
    if (!out.selected.empty()) out.scrollTo = out.selected.front();
    out.setsFindNext = true;
    out.findNextEnabled = false;
    return out;
  }
  if (rowCount == 0) {
    out.setsFindNext = true;
    return out;
  }
  int start = firstSelected >= 0 ? firstSelected + 1 : 0;
  if (start >= rowCount) start = 0;
  for (int row = start; row < rowCount; ++row)
    if (matches(row)) {
      out.selected = {row};
      out.scrollTo = row;
      out.setsFindNext = true;
      out.findNextEnabled = true;
      return out;
    }
  if (firstSelected >= 0) {
    out.selected = {firstSelected};
    out.scrollTo = firstSelected;
    out.setsFindNext = true;
    out.findNextEnabled = false;
  }
  return out;
}

SearchHistory::SearchHistory() : items_{"Adobe", "Borland", "CodeGear", "Microsoft"} {}

void SearchHistory::Add(const std::string& text) {
  if (text.empty()) return;
  if (std::find(items_.begin(), items_.end(), text) != items_.end()) return;
  items_.insert(items_.begin(), text);
}

bool SearchHistory::Load(const std::string& path) {
  const PathStatus status = StatusOf(path);
  if (status.kind == PathStatus::Kind::Missing) return true;  // no history yet
  std::string bytes, error;
  if (status.kind != PathStatus::Kind::RegularFile ||
      !ReadWholeFile(path, bytes, error, kMaxFileBytes)) {
    unreadable_ = true;
    return false;
  }
  std::size_t start = 0;
  while (start < bytes.size() && items_.size() < kLoadLimit) {
    std::size_t end = bytes.find_first_of("\r\n", start);
    const bool last = end == std::string::npos;
    if (last) end = bytes.size();
    const std::string line = bytes.substr(start, end - start);
    if (std::find(items_.begin(), items_.end(), line) == items_.end()) items_.push_back(line);
    if (last) break;
    start = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
  }
  return true;
}

bool SearchHistory::Save(const std::string& path) const {
  // A file that could not be read is not ours to replace; one that is not a regular file (a
  // FIFO, which would block the writer) or too large to be ours is left alone too.
  if (unreadable_) return false;
  const PathStatus status = StatusOf(path);
  if (status.kind == PathStatus::Kind::Other ||
      (status.kind == PathStatus::Kind::RegularFile && status.size > kMaxFileBytes))
    return false;
  std::string text;
  for (std::size_t i = 0; i < items_.size() && i < kSaveLimit; ++i) text += items_[i] + "\r\n";
  std::string error;
  return WriteFileAtomic(path, text, error);
}

}  // namespace pgl
