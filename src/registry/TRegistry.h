// The registry accessor: one open key at a time, Windows' answers and errors.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryStore.h"

namespace pgl {

// Raised for failed value reads and writes; opening, testing and enumerating never raise.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// A value as ReadString reads it: its text, empty without data; nothing for a value that is
// not text (where ReadString raises).
std::optional<std::string> ReadableText(const RegValue& value);
// The number of a DWORD value of four bytes; nothing for any other.
std::optional<std::int32_t> DwordOf(const RegValue& value);

class TRegistry {
 public:
  explicit TRegistry(RegistryStore& store) : store_(store) {}
  ~TRegistry() { CloseKey(); }
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  RootKey GetRootKey() const { return root_; }
  void SetRootKey(RootKey root);

  // Full access; false where the key may not be written. With canCreate, creates the key
  // and its missing parents first.
  bool OpenKey(std::string_view path, bool canCreate);
  // Read access; lowers the accessor's access for its later opens.
  bool OpenKeyReadOnly(std::string_view path);
  void CloseKey();
  bool KeyExists(std::string_view path);

  bool ValueExists(std::string_view name);
  TRegDataType GetDataType(std::string_view name);
  // Bytes of the data (a text's size includes its terminating zero); -1 when missing.
  int GetDataSize(std::string_view name);
  std::string ReadString(std::string_view name);
  std::int32_t ReadInteger(std::string_view name);
  int ReadBinaryData(std::string_view name, void* buffer, int size);
  void WriteString(std::string_view name, std::string_view text);
  void WriteInteger(std::string_view name, std::int32_t value);

  void GetKeyNames(std::vector<std::string>& list);
  void GetValueNames(std::vector<std::string>& list);
  bool DeleteKey(std::string_view path);

  const std::string& CurrentPath() const { return currentPath_; }
  bool HasCurrentKey() const { return open_; }

  // The raw value (type and bytes) of the current key, or null; for readers that need
  // more than the five type answers.
  const RegValue* RawValue(std::string_view name);
  // The open key itself, or null; for readers that go through all of its values at once
  // (with ReadableText and DwordOf below, which read a value as this class does).
  const RegKey* CurrentKey() { return Current(); }

 private:
  RegKey* Current();
  RegKey* Resolve(std::string_view path);
  void WriteValue(std::string_view name, std::uint32_t type, std::string data);

  RegistryStore& store_;
  RootKey root_ = kHkeyCurrentUser;
  bool open_ = false;
  bool readOnly_ = false;  // the access the accessor asks for
  bool currentWritable_ = false;
  std::string currentPath_;
  RegKey* currentKey_ = nullptr;
  std::uint64_t currentGeneration_ = 0;
  bool stale_ = false;
  std::u16string nameBuffer_;  // the value name last looked up
};

}  // namespace pgl
