// The project's own web pages, named in this one place.
#pragma once

namespace pgl {

inline constexpr const char* kHomePage = "https://purgelet.example.org";

}  // namespace pgl
