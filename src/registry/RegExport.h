// Registry script files: a key and all its subkeys as a REGEDIT4 file that the registry
// editor imports.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "registry/RegistryStore.h"

namespace pgl {

class ERegistryExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The two forms of registry script: REGEDIT4 text in an ANSI code page, or the Unicode form
// ("Windows Registry Editor Version 5.00", UTF-16) where the code page cannot hold everything.
enum class RegScriptForm { Regedit4, Unicode };

struct RegExportResult {
  std::string bytes;  // the whole file
  RegScriptForm form = RegScriptForm::Regedit4;
  // What no registry script can hold (a name with a line break), left out: one line each,
  // naming its key.
  std::vector<std::string> leftOut;
  // Values written in the closest form that still does not restore exactly: a text value
  // (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) without its terminating zero gets one on import.
  std::vector<std::string> notExact;
};

std::string RootKeyName(RootKey root);
// Backslash, then double quote, then tab get their escapes.
std::string EscapeRegString(std::string_view text);

// The file as REGEDIT4 text in the ANSI code page `codePage`, when every name and value
// survives that form exactly. Otherwise (text outside the code page, a tab or line break in a
// text, a multi-string or other type, a DWORD that is not 4 bytes, ...) REGEDIT4 would lose
// it: the file is then a Unicode registry script (UTF-16LE with a byte-order mark) in which
// every value takes a form the registry editor imports exactly ("hex(N):" lists where a
// quoted text cannot carry it). Value names get "\\" and "\"" escapes in both forms; a
// name with a line break is never written (see leftOut). Empty for a root without a name.
RegExportResult BuildRegistryExport(RegistryStore& store, RootKey root, std::string_view keyPath,
                                    int codePage);

// Several keys, each with all its subkeys, in one file: the keys follow one another in the
// given order, each as the single key above would be written. Empty when a root has no name.
struct RegExportKey {
  RootKey root;
  std::string path;
};
// `forWine`: a script only Wine's registry editor reads, which takes "\n" in a value name for a
// line feed: such names are written rather than left out.
RegExportResult BuildRegistryExport(RegistryStore& store, const std::vector<RegExportKey>& keys,
                                    int codePage, bool forWine = false);

// Builds the export and writes it to `fileName` (replacing it, all or nothing). Raises
// ERegistryExportError when the file cannot be written. Answers the form it was written in.
RegScriptForm ExportRegistryKey(RegistryStore& store, RootKey root, std::string_view keyPath,
                                const std::string& fileName, int codePage);
RegExportResult ExportRegistryKeys(RegistryStore& store, const std::vector<RegExportKey>& keys,
                                   const std::string& fileName, int codePage);

}  // namespace pgl
