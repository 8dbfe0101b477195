// The program's language: English or Polish.
#pragma once

namespace pgl {

// The language of the first start, when there is no settings file yet: Polish when the
// user's message locale (LC_ALL, else LC_MESSAGES, else LANG) is Polish.
bool PolishFromLocale();

}  // namespace pgl
