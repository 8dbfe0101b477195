// How the Search window finds rows of the entry list, without Qt: the match test of one row,
// the select-all and one-at-a-time searches, and the history with its file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace pgl {

enum class MatchMode { Contain, Start, End };

struct SearchOptions {
  // The columns searched: Name (0), Publisher (1), EXE file (6), Uninstall string (8).
  bool name = true;
  bool publisher = false;
  bool exeFile = false;
  bool uninstallCommand = false;
  bool ignoreCase = true;
  bool selectAllMatching = true;
  MatchMode mode = MatchMode::Contain;
};

// The text searched for: as typed, upper-cased by the locale's rules when case is ignored.
std::string PrepareSearchText(const std::string& typed, const SearchOptions& options);

// Whether a row matches: `cell(column)` gives the row's cell texts; `searchText` is prepared.
bool MatchesSearch(const std::function<std::string(int column)>& cell,
                   const std::string& searchText, const SearchOptions& options);

// What a search does to the list: the rows to select, the row to scroll to, and the new state
// of Find next (unchanged when `findNextEnabled` is not set).
struct SearchOutcome {
  std::vector<int> selected;
  int scrollTo = -1;
  bool setsFindNext = false;
  bool findNextEnabled = false;
};
// `firstSelected` is the lowest selected row, or -1.
SearchOutcome RunSearch(int rowCount, int firstSelected, bool selectAllMatching,
                        const std::function<bool(int row)>& matches);

// The searched texts, newest first, after the four presets.
class SearchHistory {
 public:
  SearchHistory();
  const std::vector<std::string>& Items() const { return items_; }
  // A new text goes first; a text already there (same case) keeps its place.
  void Add(const std::string& text);
  // Appends the file's lines that are not there yet, up to 200 items in all. A missing file
  // adds nothing; false when it exists but cannot be read (not a regular file, over
  // kMaxFileBytes, no permission).
  bool Load(const std::string& path);
  // Writes the first 201 items, one a line (CR LF), replacing the file; never a file that
  // Load could not read, nor anything but a regular file. Failures are silent to the user;
  // the answer tells a caller that cares.
  bool Save(const std::string& path) const;

  static constexpr std::size_t kLoadLimit = 200;
  static constexpr std::size_t kSaveLimit = 201;
  static constexpr std::size_t kMaxFileBytes = 16u << 20;

 private:
  std::vector<std::string> items_;
  bool unreadable_ = false;
};

}  // namespace pgl
