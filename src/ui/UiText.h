// Texts for Qt: UTF-8 strings as QString, a window's message by id, and the locale that
// formats numbers and sizes in the chosen language.
#pragma once

#include <QLocale>
#include <QString>
#include <cstddef>
#include <string>

#include "lang/Language.h"

namespace pgl {

inline QString Utf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Id, std::size_t N>
QString UiText(const Message<Id> (&rows)[N], Id id, Language lang) {
  return QString::fromUtf8(MessageIn(rows, id, lang));
}

inline QLocale LocaleOf(Language lang) {
  return lang == Language::Polish ? QLocale(QLocale::Polish) : QLocale(QLocale::English);
}

}  // namespace pgl
