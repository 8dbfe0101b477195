// Text helpers. Positions are 1-based, as everywhere in the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pgl {

// Position of the last occurrence of `ch`, 0 when it does not occur.
std::size_t LastCharPos(std::string_view text, char ch);
// `text` with copies of `fill` put in front until it is `width` characters long; never cut.
std::string PadLeft(std::string_view text, std::size_t width, char fill);
// Optional blanks, optional sign, then decimal digits (signed 32-bit range) or hexadecimal
// digits after "$", "x", "X", "0x" or "0X" (all 32 bits), and nothing after.
bool IsInteger(std::string_view text);
// Parses what IsInteger accepts.
bool TryParseInteger(std::string_view text, int& value);
// Begins with "www." (any case) or contains http://, https://, news:// or ftp:// (exact case).
bool IsURL(std::string_view text);
// The folder and file names of a Windows path below its drive (the text after "C:\"), as
// Windows reads them: either separator counts, empty parts and "." are dropped, ".." takes away
// the part before it, and the blanks and dots that end the last part are dropped.
std::vector<std::string> WindowsPathParts(std::string_view rest);
// The lines of a text, without their ends (LF or CR LF). A line break at the end ends the last
// line; it starts no empty one.
std::vector<std::string> TextLines(std::string_view text);

}  // namespace pgl
