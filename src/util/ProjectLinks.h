// The project's own web pages, named in this one place.
#pragma once

namespace pgl {

inline constexpr const char* kHomePage = "https://purgelet.example.org";
inline constexpr const char* kHelpPageEnglish = "https://purgelet.example.org/help/";
inline constexpr const char* kHelpPagePolish = "https://purgelet.example.org/pl/pomoc/";

}  // namespace pgl
