// Icons inside PE files (PE32 and PE32+) and .ico files, chosen as Wine chooses them.
// Every read is bounds-checked: a malformed file gives no icon, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pgl {

enum class PeMachine { Unknown, X86, X64, Arm64, Other };

struct PeInfo {
  PeMachine machine = PeMachine::Unknown;
  bool is64Bit = false;  // PE32+ optional header
};
// The header facts of a PE file, or nothing for a file that is not one.
std::optional<PeInfo> ReadPeInfo(std::string_view bytes);

struct IconImage {
  int width = 0;  // 256 for an entry that says 0
  int height = 0;
  int bitCount = 0;
  bool png = false;
  std::string ico;  // a one-image .ico file holding this image
};

struct IconGroupId {
  bool named = false;
  std::uint32_t id = 0;  // for numbered groups
  std::u16string name;   // for named groups
};

class IconReader {
 public:
  // Reads the icon groups of a PE file, or the one group of an .ico file. The reader keeps
  // its own copy of the bytes.
  explicit IconReader(std::string bytes);
  IconReader(const IconReader&) = delete;
  IconReader& operator=(const IconReader&) = delete;

  bool IsPe() const { return pe_; }
  std::size_t GroupCount() const { return groups_.size(); }
  const std::vector<IconGroupId>& Groups() const;

  // The image of group `index` closest in size (then in colour depth, against 32 bits) to
  // 32x32, or 16x16 when `small`. index >= 0 is the n-th group in directory order; a
  // negative index is the group whose id is -index.
  std::optional<IconImage> Extract(int index, bool small) const;
  // The whole group as an .ico file (for saving the icon).
  std::optional<std::string> GroupAsIco(int index) const;

 private:
  struct Entry {
    int width = 0, height = 0, colorCount = 0, planes = 0, bitCount = 0;
    std::string_view data;
  };
  struct Group {
    IconGroupId id;
    std::vector<Entry> entries;
  };
  const Group* Find(int index) const;
  void ReadIco(std::string_view bytes);
  void ReadPe(std::string_view bytes);

  const std::string bytes_;  // the images point into it
  bool pe_ = false;
  std::vector<Group> groups_;
  mutable std::vector<IconGroupId> ids_;
};

// A one-image .ico file holding a 32-bit image (rows top to bottom, pixels as 0xAARRGGBB);
// empty for a size outside 1 to 256 or too few pixels.
std::string EncodeIco32(int width, int height, const std::vector<std::uint32_t>& argb);

// Reads a file through a path of this machine; nothing when it cannot be read.
std::optional<std::string> ReadFileForIcons(const std::string& localPath);

}  // namespace pgl
