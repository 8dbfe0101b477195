// Text at the Windows API boundary: the program's UTF-8 as the W calls' UTF-16, and the
// system's messages for its error codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pgl {

std::wstring WideText(std::string_view utf8);
std::string Utf8Text(std::wstring_view wide);
// FormatMessage's text for a Windows error code, without the trailing line break; the code
// in hex where the system has no text for it.
std::string SystemErrorText(std::uint32_t code);

}  // namespace pgl
