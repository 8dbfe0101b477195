// The program's version and the commit it was built from, as --version and About show them.
#pragma once

#include <string>

namespace pgl {

// "0.1.0"
std::string ProgramVersion();
// The commit ("0123456789ab", with "-dirty" when the tree had changes), or "unknown" for a
// build from a tree without its history.
std::string ProgramCommit();
// "0.1.0 (commit 0123456789ab)"
std::string VersionText();

}  // namespace pgl
