#include "ui/main/PrefixRules.h"

#include "ui/main/MainTexts.h"

#include <algorithm>
#include <filesystem>

namespace pgl {

namespace {

std::string CanonicalPath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(path, error);
  return error ? path : resolved.string();
}

}  // namespace

bool SameFolder(const std::string& a, const std::string& b) {
  return a == b || CanonicalPath(a) == CanonicalPath(b);
}

std::vector<PrefixChoice> PrefixChoices(const std::vector<KnownSystem>& known,
                                        const std::string& currentName,
                                        const std::string& currentDir, bool allShown,
                                        Language lang) {
  const std::string here = CanonicalPath(currentDir);
  std::vector<PrefixChoice> choices;
  bool found = allShown;  // no single prefix is shown then
  for (const KnownSystem& p : known) {
    const bool current = !allShown && !currentDir.empty() && CanonicalPath(p.path) == here;
    found |= current;
    choices.push_back(
        {p.source.empty() ? p.name : p.name + " (" + p.source + ")", p.path, current});
  }
  if (!currentDir.empty() && !found)
    choices.insert(choices.begin(), {currentName, currentDir, true});
  if (!known.empty())
    choices.insert(choices.begin(), {Text(MainText::AllPrefixes, lang), "", allShown, true});
  return choices;
}

std::string KnownNameOf(const std::vector<KnownSystem>& known, const std::string& dir,
                        const std::string& fallback) {
  const std::string here = CanonicalPath(dir);
  const auto it = std::find_if(known.begin(), known.end(),
                               [&](const KnownSystem& p) { return CanonicalPath(p.path) == here; });
  return it == known.end() ? fallback : it->name;
}

}  // namespace pgl
