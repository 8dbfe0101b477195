#include "ui/main/QtTexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace pgl {

QtTexts::~QtTexts() {
  if (translator_) QCoreApplication::removeTranslator(translator_.get());
}

bool QtTexts::Use(Language lang) {
  if (translator_) {
    QCoreApplication::removeTranslator(translator_.get());
    translator_.reset();
  }
  if (lang == Language::English) return true;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QLocale(QString::fromLatin1(LanguageCode(lang))), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  QCoreApplication::installTranslator(translator.get());
  translator_ = std::move(translator);
  return true;
}

}  // namespace pgl
