// UTF-8 / UTF-16 conversion. Text is UTF-8 inside the program; the registry holds UTF-16.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pgl {

// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Decodes one code point at text[i], advancing i; invalid input gives U+FFFD and one byte (a
// real U+FFFD takes three).
char32_t DecodeUtf8(std::string_view text, std::size_t& i);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// Number of code points of a UTF-8 text.
std::size_t Utf8Length(std::string_view text);
// The first `maxChars` code points of the text, never cut inside a sequence.
std::string Utf8Truncate(std::string_view text, std::size_t maxChars);

// The text with every control character (C0, DEL and C1, tabs and line breaks too, unless
// `keepLineBreaks`) replaced by a blank, and every byte that is not part of a UTF-8 sequence
// by '?': text that is safe to send to a terminal.
std::string WithoutControlCharacters(std::string_view text, bool keepLineBreaks = false);
// The same, appended to `out`.
void AppendWithoutControlCharacters(std::string& out, std::string_view text,
                                    bool keepLineBreaks = false);

// ASCII-only case folding, for protocol words and prefixes.
char AsciiUpper(char c);
bool AsciiStartsWithNoCase(std::string_view text, std::string_view prefix);
bool AsciiEqualNoCase(std::string_view a, std::string_view b);

}  // namespace pgl
