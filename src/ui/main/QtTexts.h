// Qt's own texts (the Yes and No of a question, the file dialogs, the context menus of text
// boxes) in the window's language, from the translations Qt ships.
#pragma once

#include <QTranslator>
#include <memory>

#include "lang/Language.h"

namespace pgl {

class QtTexts {
 public:
  QtTexts() = default;
  QtTexts(const QtTexts&) = delete;
  QtTexts& operator=(const QtTexts&) = delete;
  ~QtTexts();

  // Loads Qt's translation for `lang`; English is Qt's own and needs none. False when Qt has
  // no translation installed for it (its texts then stay English).
  bool Use(Language lang);

 private:
  std::unique_ptr<QTranslator> translator_;
};

}  // namespace pgl
