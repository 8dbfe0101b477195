// What the prefix chooser offers, without Qt: the user's prefixes, and the one shown when no
// front end keeps it (a folder the user chose), each with its label and whether it is shown.
#pragma once

#include <string>
#include <vector>

#include "platform/ManagedSystem.h"

namespace pgl {

struct PrefixChoice {
  std::string label;  // "Half-Life 2 (Steam)", or the name alone
  std::string path;   // empty for "All prefixes"
  bool current = false;
  bool all = false;  // every prefix at once
};

// Whether two folder names name one folder (links resolved; as given where they cannot be).
bool SameFolder(const std::string& a, const std::string& b);

// "All prefixes" first where there are prefixes to show; `allShown`: that is what is shown.
std::vector<PrefixChoice> PrefixChoices(const std::vector<KnownSystem>& known,
                                        const std::string& currentName,
                                        const std::string& currentDir, bool allShown,
                                        Language lang);

// The name a person knows the folder by: the known prefix's there, else `fallback`.
std::string KnownNameOf(const std::vector<KnownSystem>& known, const std::string& dir,
                        const std::string& fallback);

}  // namespace pgl
