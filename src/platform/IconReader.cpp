#include "platform/IconReader.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <map>

#include "util/FileIO.h"

namespace pgl {

namespace {

// Bounds-checked little-endian reads from a byte range.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  bool Has(std::uint64_t at, std::uint64_t size) const {
    return at <= data_.size() && size <= data_.size() - at;
  }
  std::uint32_t U8(std::uint64_t at) const { return Has(at, 1) ? Byte(at) : 0; }
  std::uint32_t U16(std::uint64_t at) const {
    return Has(at, 2) ? Byte(at) | (Byte(at + 1) << 8) : 0;
  }
  std::uint32_t U32(std::uint64_t at) const {
    return Has(at, 4) ? Byte(at) | (Byte(at + 1) << 8) | (Byte(at + 2) << 16) | (Byte(at + 3) << 24)
                      : 0;
  }
  std::string_view Slice(std::uint64_t at, std::uint64_t size) const {
    return Has(at, size) ? data_.substr(at, size) : std::string_view();
  }
  std::size_t Size() const { return data_.size(); }

 private:
  std::uint32_t Byte(std::uint64_t at) const { return static_cast<unsigned char>(data_[at]); }
  std::string_view data_;
};

constexpr std::uint32_t kRtIcon = 3;
constexpr std::uint32_t kRtGroupIcon = 14;
constexpr int kScreenDepth = 32;

struct Section {
  std::uint32_t virtualAddress, virtualSize, rawSize, rawPointer;
};

struct PeLayout {
  PeInfo info;
  std::vector<Section> sections;
  std::uint32_t resourceRva = 0, resourceSize = 0;
};

std::optional<PeLayout> ReadLayout(const Bytes& b) {
  if (b.Size() < 64 || b.U16(0) != 0x5A4D) return std::nullopt;  // "MZ"
  const std::uint32_t pe = b.U32(0x3C);
  if (!b.Has(pe, 24) || b.U32(pe) != 0x00004550) return std::nullopt;  // "PE\0\0"
  PeLayout layout;
  const std::uint32_t machine = b.U16(pe + 4);
  layout.info.machine = machine == 0x14C    ? PeMachine::X86
                        : machine == 0x8664 ? PeMachine::X64
                        : machine == 0xAA64 ? PeMachine::Arm64
                                            : PeMachine::Other;
  const std::uint32_t sectionCount = b.U16(pe + 6);
  const std::uint32_t optionalSize = b.U16(pe + 20);
  const std::uint64_t optional = pe + 24;
  const std::uint32_t magic = b.U16(optional);
  if (magic != 0x10B && magic != 0x20B) return std::nullopt;
  layout.info.is64Bit = magic == 0x20B;
  const std::uint64_t dirCountAt = optional + (layout.info.is64Bit ? 108 : 92);
  const std::uint64_t dirs = dirCountAt + 4;
  if (b.U32(dirCountAt) > 2 && dirs + 3 * 8 <= optional + optionalSize) {
    layout.resourceRva = b.U32(dirs + 2 * 8);
    layout.resourceSize = b.U32(dirs + 2 * 8 + 4);
  }
  const std::uint64_t table = optional + optionalSize;
  for (std::uint32_t i = 0; i < sectionCount && i < 96; ++i) {
    const std::uint64_t s = table + 40ull * i;
    if (!b.Has(s, 40)) break;
    layout.sections.push_back({b.U32(s + 12), b.U32(s + 8), b.U32(s + 16), b.U32(s + 20)});
  }
  return layout;
}

// The file offset of an RVA, or nothing where no section holds it.
std::optional<std::uint64_t> RvaToOffset(const PeLayout& layout, std::uint32_t rva) {
  for (const auto& s : layout.sections) {
    const std::uint64_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - static_cast<std::uint64_t>(s.virtualAddress) < span) {
      const std::uint64_t delta = rva - s.virtualAddress;
      if (delta >= s.rawSize) return std::nullopt;
      return s.rawPointer + delta;
    }
  }
  return std::nullopt;
}

struct DirEntry {
  bool named;
  std::uint32_t id;
  std::u16string name;
  bool isDir;
  std::uint32_t offset;  // relative to the resource section start
};

std::vector<DirEntry> ReadDirectory(const Bytes& b, std::uint64_t base, std::uint32_t offset) {
  std::vector<DirEntry> entries;
  const std::uint64_t dir = base + offset;
  if (!b.Has(dir, 16)) return entries;
  const std::uint32_t count = b.U16(dir + 12) + b.U16(dir + 14);
  for (std::uint32_t i = 0; i < count && i < 4096; ++i) {
    const std::uint64_t e = dir + 16 + 8ull * i;
    if (!b.Has(e, 8)) break;
    const std::uint32_t nameField = b.U32(e), target = b.U32(e + 4);
    DirEntry entry{(nameField & 0x80000000u) != 0,
                   nameField & 0xFFFF,
                   {},
                   (target & 0x80000000u) != 0,
                   target & 0x7FFFFFFFu};
    if (entry.named) {
      const std::uint64_t at = base + (nameField & 0x7FFFFFFFu);
      const std::uint32_t length = b.U16(at);
      if (!b.Has(at + 2, 2ull * length)) continue;
      for (std::uint32_t k = 0; k < length; ++k)
        entry.name += static_cast<char16_t>(b.U16(at + 2 + 2ull * k));
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

// The data of the first language of a resource (name level entry).
std::string_view ResourceData(const Bytes& b, const PeLayout& layout, std::uint64_t base,
                              const DirEntry& nameEntry) {
  if (!nameEntry.isDir) return {};
  const auto languages = ReadDirectory(b, base, nameEntry.offset);
  if (languages.empty() || languages.front().isDir) return {};
  const std::uint64_t data = base + languages.front().offset;
  if (!b.Has(data, 16)) return {};
  const auto offset = RvaToOffset(layout, b.U32(data));
  if (!offset) return {};
  return b.Slice(*offset, b.U32(data + 4));
}

std::string MakeIco(const std::vector<const std::string_view*>& images,
                    const std::vector<std::array<int, 5>>& meta) {
  // meta: width, height, colorCount, planes, bitCount
  std::string out;
  const auto put16 = [&](std::uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
  };
  const auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16(0);
  put16(1);
  put16(static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    out += static_cast<char>(meta[i][0] >= 256 ? 0 : meta[i][0]);
    out += static_cast<char>(meta[i][1] >= 256 ? 0 : meta[i][1]);
    out += static_cast<char>(meta[i][2]);
    out += '\0';
    put16(static_cast<std::uint32_t>(meta[i][3]));
    put16(static_cast<std::uint32_t>(meta[i][4]));
    put32(static_cast<std::uint32_t>(images[i]->size()));
    put32(offset);
    offset += static_cast<std::uint32_t>(images[i]->size());
  }
  for (const auto* image : images) out += *image;
  return out;
}

}  // namespace

std::optional<PeInfo> ReadPeInfo(std::string_view bytes) {
  const auto layout = ReadLayout(Bytes(bytes));
  if (!layout) return std::nullopt;
  return layout->info;
}

IconReader::IconReader(std::string bytes) : bytes_(std::move(bytes)) {
  if (bytes_.size() >= 2 && bytes_[0] == 'M' && bytes_[1] == 'Z')
    ReadPe(bytes_);
  else
    ReadIco(bytes_);
}

void IconReader::ReadIco(std::string_view bytes) {
  const Bytes b(bytes);
  if (b.U16(0) != 0 || b.U16(2) != 1) return;
  const std::uint32_t count = b.U16(4);
  Group group;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t e = 6 + 16ull * i;
    if (!b.Has(e, 16)) return;
    const std::string_view data = b.Slice(b.U32(e + 12), b.U32(e + 8));
    if (data.empty()) continue;
    Entry entry{b.U8(e) ? static_cast<int>(b.U8(e)) : 256,
                b.U8(e + 1) ? static_cast<int>(b.U8(e + 1)) : 256,
                static_cast<int>(b.U8(e + 2)),
                static_cast<int>(b.U16(e + 4)),
                static_cast<int>(b.U16(e + 6)),
                data};
    group.entries.push_back(entry);
  }
  if (!group.entries.empty()) groups_.push_back(std::move(group));
}

void IconReader::ReadPe(std::string_view bytes) {
  const Bytes b(bytes);
  const auto layout = ReadLayout(b);
  if (!layout || !layout->resourceRva) return;
  pe_ = true;
  const auto base = RvaToOffset(*layout, layout->resourceRva);
  if (!base) return;
  const auto types = ReadDirectory(b, *base, 0);
  std::map<std::uint32_t, std::string_view> icons;  // RT_ICON id -> image data
  const DirEntry* groupType = nullptr;
  for (const auto& type : types) {
    if (type.named || !type.isDir) continue;
    if (type.id == kRtIcon)
      for (const auto& icon : ReadDirectory(b, *base, type.offset))
        if (!icon.named) icons[icon.id] = ResourceData(b, *layout, *base, icon);
    if (type.id == kRtGroupIcon) groupType = &type;
  }
  if (!groupType) return;
  for (const auto& entry : ReadDirectory(b, *base, groupType->offset)) {
    const std::string_view dir = ResourceData(b, *layout, *base, entry);
    const Bytes g(dir);
    if (g.U16(2) != 1) continue;
    Group group;
    group.id = {entry.named, entry.id, entry.name};
    const std::uint32_t count = g.U16(4);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t e = 6 + 14ull * i;
      if (!g.Has(e, 14)) break;
      const auto it = icons.find(g.U16(e + 12));
      if (it == icons.end() || it->second.empty()) continue;
      group.entries.push_back({g.U8(e) ? static_cast<int>(g.U8(e)) : 256,
                               g.U8(e + 1) ? static_cast<int>(g.U8(e + 1)) : 256,
                               static_cast<int>(g.U8(e + 2)), static_cast<int>(g.U16(e + 4)),
                               static_cast<int>(g.U16(e + 6)), it->second});
    }
    groups_.push_back(std::move(group));  // counted even when empty, as the directory lists it
  }
}

const std::vector<IconGroupId>& IconReader::Groups() const {
  ids_.clear();
  for (const auto& g : groups_) ids_.push_back(g.id);
  return ids_;
}

const IconReader::Group* IconReader::Find(int index) const {
  if (index >= 0) {
    return static_cast<std::size_t>(index) < groups_.size()
               ? &groups_[static_cast<std::size_t>(index)]
               : nullptr;
  }
  const auto id = static_cast<std::uint32_t>(-static_cast<std::int64_t>(index));
  for (const auto& g : groups_)
    if (!g.id.named && g.id.id == id) return &g;
  return nullptr;
}

std::optional<IconImage> IconReader::Extract(int index, bool small) const {
  const Group* group = Find(index);
  if (!group || group->entries.empty()) return std::nullopt;
  const int want = small ? 16 : 32;
  // Closest in size first, then closest in colour depth; the first of equals wins.
  int bestDiff = -1;
  for (const auto& e : group->entries) {
    const int diff = std::abs(e.width - want) + std::abs(e.height - want);
    if (bestDiff < 0 || diff < bestDiff) bestDiff = diff;
  }
  const Entry* best = nullptr;
  int bestColor = -1;
  for (const auto& e : group->entries) {
    if (std::abs(e.width - want) + std::abs(e.height - want) != bestDiff) continue;
    const int depth = e.bitCount ? e.bitCount : (e.colorCount ? 8 : kScreenDepth);
    const int colorDiff = std::abs(depth - kScreenDepth);
    if (bestColor < 0 || colorDiff < bestColor) {
      best = &e;
      bestColor = colorDiff;
    }
  }
  IconImage image;
  image.width = best->width;
  image.height = best->height;
  image.bitCount = best->bitCount;
  image.png = best->data.size() >= 8 && best->data.substr(0, 8) == "\x89PNG\r\n\x1a\n";
  image.ico = MakeIco(
      {&best->data}, {{best->width, best->height, best->colorCount, best->planes, best->bitCount}});
  return image;
}

std::optional<std::string> IconReader::GroupAsIco(int index) const {
  const Group* group = Find(index);
  if (!group || group->entries.empty()) return std::nullopt;
  std::vector<const std::string_view*> images;
  std::vector<std::array<int, 5>> meta;
  for (const auto& e : group->entries) {
    images.push_back(&e.data);
    meta.push_back({e.width, e.height, e.colorCount, e.planes, e.bitCount});
  }
  return MakeIco(images, meta);
}

std::optional<std::string> ReadFileForIcons(const std::string& localPath) {
  std::string bytes, error;
  // Icons sit in small files; a cap keeps a huge or endless file from filling memory.
  if (!ReadWholeFile(localPath, bytes, error, static_cast<std::size_t>(128) << 20))
    return std::nullopt;
  return bytes;
}

}  // namespace pgl

namespace pgl {

std::string EncodeIco32(int width, int height, const std::vector<std::uint32_t>& argb) {
  if (width < 1 || height < 1 || width > 256 || height > 256 ||
      argb.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    return {};
  std::string out;
  const auto put16 = [&](unsigned v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
  };
  const auto put32 = [&](std::uint32_t v) {
    put16(v & 0xffff);
    put16(v >> 16);
  };
  const std::size_t maskStride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
  const std::size_t imageSize = static_cast<std::size_t>(width) * height * 4 + maskStride * height;
  // ICONDIR and one ICONDIRENTRY.
  put16(0);
  put16(1);
  put16(1);
  out.push_back(static_cast<char>(width == 256 ? 0 : width));
  out.push_back(static_cast<char>(height == 256 ? 0 : height));
  out.push_back(0);  // colour count
  out.push_back(0);
  put16(1);   // planes
  put16(32);  // bits per pixel
  put32(static_cast<std::uint32_t>(40 + imageSize));
  put32(6 + 16);
  // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
  put32(40);
  put32(static_cast<std::uint32_t>(width));
  put32(static_cast<std::uint32_t>(height * 2));
  put16(1);
  put16(32);
  put32(0);  // BI_RGB
  put32(static_cast<std::uint32_t>(imageSize));
  put32(0);
  put32(0);
  put32(0);
  put32(0);
  // Rows bottom to top, pixels as B G R A.
  for (int y = height - 1; y >= 0; --y)
    for (int x = 0; x < width; ++x) put32(argb[static_cast<std::size_t>(y) * width + x]);
  // The AND mask: set where the pixel is fully transparent.
  for (int y = height - 1; y >= 0; --y) {
    std::string row(maskStride, '\0');
    for (int x = 0; x < width; ++x)
      if ((argb[static_cast<std::size_t>(y) * width + x] >> 24) == 0)
        row[static_cast<std::size_t>(x) / 8] |= static_cast<char>(0x80 >> (x % 8));
    out += row;
  }
  return out;
}

}  // namespace pgl
