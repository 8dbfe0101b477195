// Reading registry script files as the registry editor imports them: "REGEDIT4" text in the
// ANSI code page, or "Windows Registry Editor Version 5.00" text in UTF-16LE (with or without a
// byte-order mark) or UTF-8; lines ending in CR LF or LF; hex lists continued over lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegTree.h"

namespace pgl {

struct ScriptValue {
  std::u16string name;  // empty: the key's default value ("@")
  bool remove = false;  // "name"=-
  std::uint32_t type = kRegNone;
  std::string data;  // the bytes as the registry holds them (UTF-16LE for texts)
};

struct ScriptKey {
  RootKey root = 0;                  // 0 for a root this reader does not know
  std::u16string rootName;           // as the file spells it
  std::vector<std::u16string> path;  // the key's names below the root
  bool remove = false;               // [-KEY]
  std::vector<ScriptValue> values;
  std::size_t line = 0;  // of the key's header
};

// The largest file and the largest value data a script may hold.
inline constexpr std::size_t kMaxScriptBytes = std::size_t{256} << 20;
inline constexpr std::size_t kMaxScriptValueBytes = std::size_t{1} << 20;

// Reads the script, handing over each key with its values as soon as the next header (or the
// end) is reached. False, with the reason and the line in `error`, on the first thing that is
// not a registry script's: the keys handed over before then must not be used. `codePage` is the
// one REGEDIT4 text is read in.
bool ParseRegScript(std::string_view bytes, int codePage,
                    const std::function<void(ScriptKey&&)>& onKey, std::string& error);

// The key's path as the file would write it: "ROOT\A\B".
std::string ScriptKeyText(const ScriptKey& key);

}  // namespace pgl
