#include "util/CodePage.h"

#include <cctype>
#include <string>

namespace pgl {

int AnsiCodePageForLocale(std::string_view localeName) {
  std::string lang(localeName.substr(0, localeName.find_first_of("_.@")));
  for (auto& c : lang) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  struct Entry {
    const char* languages;
    int codePage;
  };
  static const Entry table[] = {
      {" pl cs sk hu hr sl ro sq bs sh ", 1250},
      {" ru uk be bg mk sr kk ky tt mn ", 1251},
      {" el ", 1253},
      {" tr az uz ", 1254},
      {" he ", 1255},
      {" ar fa ur ", 1256},
      {" lt lv et ", 1257},
      {" vi ", 1258},
      {" th ", 874},
      {" ja ", 932},
      {" zh ", 936},
      {" ko ", 949},
  };
  if (lang.size() >= 2 && lang.size() <= 3) {
    const std::string needle = " " + lang + " ";
    for (const auto& e : table)
      if (std::string_view(e.languages).find(needle) != std::string_view::npos) {
        // Chinese of Taiwan and Hong Kong uses Big5.
        if (e.codePage == 936 && (localeName.find("_TW") != std::string_view::npos ||
                                  localeName.find("_HK") != std::string_view::npos))
          return 950;
        return e.codePage;
      }
  }
  return 1252;
}

bool EncodeToCodePage(std::string_view utf8, int codePage, std::string& out) {
  out.clear();
  bool ascii = true;
  for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (ascii) {
    out.assign(utf8);  // the same in every code page
    return true;
  }
  return EncodeNonAsciiToCodePage(utf8, codePage, out);
}

bool DecodeFromCodePage(std::string_view bytes, int codePage, std::u16string& out) {
  out.clear();
  bool ascii = true;
  for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!ascii) return DecodeNonAsciiFromCodePage(bytes, codePage, out);
  out.assign(bytes.begin(), bytes.end());
  return true;
}

}  // namespace pgl
