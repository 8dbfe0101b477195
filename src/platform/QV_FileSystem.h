// Path helpers; the search path and the environment are the platform's.
#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace pgl {

// Removes one trailing backslash, then a trailing "\.".
std::string TrimDirPath(std::string_view path);
// The full path under which the platform's search order finds `fileName`, else `defaultText`.
std::string FindOnSearchPath(const Platform& platform, std::string_view fileName,
                             std::string_view defaultText);
// Expands %NAME% references; with `wrap` the whole text is taken as one variable name.
std::string ExpandEnvVars(const Platform& platform, std::string_view text, bool wrap);

}  // namespace pgl
