// Windows ANSI code pages: which one a locale uses, and text converted into it.
#pragma once

#include <string>
#include <string_view>

namespace pgl {

// The ANSI code page Windows (and Wine) use for a POSIX locale name such as "pl_PL.UTF-8":
// 1250 for Central European languages, 1251 Cyrillic, ..., 1252 for the rest and for C/POSIX.
int AnsiCodePageForLocale(std::string_view localeName);
// The code page of the user's character-type locale (LC_ALL, else LC_CTYPE, else LANG), as
// Wine will choose it: a locale that is not installed counts as C (1252).
int UserAnsiCodePage();

// Converts UTF-8 text to the code page; false when some character has no exact equivalent
// there (nothing is replaced or approximated).
bool EncodeToCodePage(std::string_view utf8, int codePage, std::string& out);
// The same for text that is not all ASCII: the platform's conversion.
bool EncodeNonAsciiToCodePage(std::string_view utf8, int codePage, std::string& out);

// Converts text in the code page to UTF-16; false when some byte or sequence has no character
// there (nothing is replaced).
bool DecodeFromCodePage(std::string_view bytes, int codePage, std::u16string& out);
// The same for text that is not all ASCII: the platform's conversion.
bool DecodeNonAsciiFromCodePage(std::string_view bytes, int codePage, std::u16string& out);

}  // namespace pgl
