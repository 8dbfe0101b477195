#include "platform/wine/ListedKeys.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace pgl {

namespace {

// Every block header of a file is asked about, so most answers must be quick: eight characters
// at a time are compared, and only eight that differ but with the case bit set (which also
// matches a few non-letters with others) are compared letter by letter.
inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  constexpr std::uint64_t kCaseBits = 0x2020202020202020ull;
  const auto sameBytes = [&](std::size_t from, std::size_t to) {
    for (std::size_t k = from; k < to; ++k)
      if (AsciiLower(text[k]) != AsciiLower(prefix[k])) return false;
    return true;
  };
  std::size_t i = 0;
  for (; i + 8 <= prefix.size(); i += 8) {
    std::uint64_t a = 0, b = 0;
    std::memcpy(&a, text.data() + i, 8);
    std::memcpy(&b, prefix.data() + i, 8);
    if (a == b) continue;  // spelled alike, as Wine's files mostly are
    if ((a | kCaseBits) != (b | kCaseBits) || !sameBytes(i, i + 8)) return false;
  }
  return sameBytes(i, prefix.size());
}

// Whether a key, as its file's header names it, is one the program list reads: a key of the
// places (or below them), or one of the keys the environment is made of. Every block header of
// a file is asked: the lists are made once, not at each call.
template <std::size_t P, std::size_t K>
bool KeyListed(std::string_view path, const std::array<std::string_view, P>& places,
               const std::array<std::string_view, K>& keys) {
  for (const std::string_view place : places)
    if (StartsWithNoCase(path, place) &&
        (path.size() == place.size() || path.substr(place.size()).starts_with("\\\\")))
      return true;
  for (const std::string_view key : keys)
    if (path.size() == key.size() && StartsWithNoCase(path, key)) return true;
  return false;
}

constexpr std::array<std::string_view, 4> kMachinePlaces = {
    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall",
    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Management\\\\ARPCache",
    "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall",
    "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
    "Management\\\\ARPCache"};
constexpr std::array<std::string_view, 8> kMachineKeys = {
    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion",
    "Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion",
    "Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\ProfileList",
    "System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment",
    "System\\\\CurrentControlSet\\\\Control\\\\ComputerName\\\\ComputerName",
    "System\\\\ControlSet001\\\\Control\\\\Session Manager\\\\Environment",
    "System\\\\ControlSet001\\\\Control\\\\ComputerName\\\\ComputerName",
    // the window's own record of where it was started from
    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\pgl.exe"};
constexpr std::array<std::string_view, 2> kUserPlaces = {
    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall",
    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Management\\\\ARPCache"};
constexpr std::array<std::string_view, 3> kUserKeys = {"Environment", "Volatile Environment",
                                                       "Software\\\\Tervask\\\\Purgelet"};

}  // namespace

bool MachineKeyListed(std::string_view path) {
  return KeyListed(path, kMachinePlaces, kMachineKeys);
}

bool UserKeyListed(std::string_view path) {
  return KeyListed(path, kUserPlaces, kUserKeys);
}

}  // namespace pgl
