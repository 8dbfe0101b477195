// The usage record Windows keeps of a program (its ARPCache entry): size, last use, times used
// and the program file, as the record's bytes hold them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pgl {

// The 552-byte "SlowInfoCache" record of an ARPCache key: its fixed fields as their bytes and
// the program file up to its first zero unit (the rest of the record is zeros when written).
struct TSlowInfoCache {
  static constexpr std::size_t kSize = 552;
  static constexpr std::size_t kHeadSize = 28;
  std::array<std::uint8_t, kHeadSize> head{};

  // From a record of kSize bytes. With `programFile`, the program file goes there (as UTF-8)
  // and the record keeps none.
  static TSlowInfoCache FromBytes(std::string_view record, std::string* programFile = nullptr);
  // The record of kSize bytes.
  std::string Bytes() const;

  std::uint32_t cbSize() const { return U32(0); }
  std::uint32_t HasName() const { return U32(4); }
  std::int64_t InstalledSize() const { return static_cast<std::int64_t>(U64(8)); }
  std::uint64_t LastUsed() const { return U64(16); }
  std::int32_t TimesUsed() const { return static_cast<std::int32_t>(U32(24)); }
  // The program file, up to its first zero unit or the record's end.
  std::string ImageName() const;

  void SetInstalledSize(std::int64_t v) { Put(8, static_cast<std::uint64_t>(v), 8); }
  void SetLastUsed(std::uint64_t v) { Put(16, v, 8); }
  void SetTimesUsed(std::int32_t v) { Put(24, static_cast<std::uint32_t>(v), 4); }
  void SetImageName(std::u16string_view name);

 private:
  std::uint32_t U32(std::size_t at) const;
  std::uint64_t U64(std::size_t at) const;
  void Put(std::size_t at, std::uint64_t v, int size);

  std::u16string image_;
};

}  // namespace pgl
