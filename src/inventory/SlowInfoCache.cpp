#include "inventory/SlowInfoCache.h"

#include <algorithm>
#include <cstring>

#include "registry/RegTree.h"
#include "util/Utf.h"

namespace pgl {

std::uint32_t TSlowInfoCache::U32(std::size_t at) const {
  return static_cast<std::uint32_t>(head[at]) | (static_cast<std::uint32_t>(head[at + 1]) << 8) |
         (static_cast<std::uint32_t>(head[at + 2]) << 16) |
         (static_cast<std::uint32_t>(head[at + 3]) << 24);
}

std::uint64_t TSlowInfoCache::U64(std::size_t at) const {
  return static_cast<std::uint64_t>(U32(at)) | (static_cast<std::uint64_t>(U32(at + 4)) << 32);
}

void TSlowInfoCache::Put(std::size_t at, std::uint64_t v, int size) {
  for (int i = 0; i < size; ++i) head[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

TSlowInfoCache TSlowInfoCache::FromBytes(std::string_view record, std::string* programFile) {
  TSlowInfoCache cache;
  record = record.substr(0, kSize);
  for (std::size_t i = 0; i < kHeadSize && i < record.size(); ++i)
    cache.head[i] = static_cast<std::uint8_t>(record[i]);
  std::u16string units;
  if (record.size() > kHeadSize) {
    units = Utf16LeUnits(record.substr(kHeadSize));
    units.resize(std::min(units.size(), units.find(u'\0')));
  }
  // Assigning an empty string would keep the units' buffer: a long list holds one per entry.
  if (programFile)
    *programFile = Utf16ToUtf8(units);
  else
    cache.image_ = std::move(units);
  return cache;
}

std::string TSlowInfoCache::Bytes() const {
  std::string record(reinterpret_cast<const char*>(head.data()), kHeadSize);
  record += Utf16LeBytes(image_);  // at most kSize - kHeadSize bytes
  record.resize(kSize, '\0');
  return record;
}

std::string TSlowInfoCache::ImageName() const {
  return Utf16ToUtf8(image_);
}

void TSlowInfoCache::SetImageName(std::u16string_view name) {
  // The record holds the name's units up to its last whole unit.
  image_ = name.substr(0, std::min(name.find(u'\0'), (kSize - kHeadSize) / 2));
}

}  // namespace pgl
