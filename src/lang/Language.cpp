#include "lang/Language.h"

#include <vector>

#include "util/Locale.h"
#include "util/Utf.h"

namespace pgl {

Language LanguageFromLocale() {
  return AsciiEqualNoCase(UserLanguageCode(), "pl") ? Language::Polish : Language::English;
}

Plural PluralOf(long long count, Language lang) {
  if (count == 1) return Plural::One;
  if (lang == Language::English) return Plural::Many;
  const long long tens = count % 100, ones = count % 10;
  return ones >= 2 && ones <= 4 && (tens < 12 || tens > 14) ? Plural::Few : Plural::Many;
}

const std::string& LocalText::In(Language lang) const {
  const std::string& text = texts[static_cast<std::size_t>(lang)];
  return text.empty() ? texts[0] : text;
}

namespace {

std::string FillFrom(std::string_view pattern, const std::string_view* args, std::size_t count) {
  std::string out;
  out.reserve(pattern.size() + 32);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    const char next = pattern[i + 1];
    const auto index = static_cast<std::size_t>(next - '1');
    if (next >= '1' && next <= '9' && index < count) {
      out += args[index];
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> args) {
  return FillFrom(pattern, args.begin(), args.size());
}

LocalText FillEach(const Translations& pattern, std::initializer_list<LocalText> args) {
  LocalText out;
  std::vector<std::string_view> texts(args.size());
  for (std::size_t i = 0; i < kLanguageCount; ++i) {
    const auto lang = static_cast<Language>(i);
    for (std::size_t a = 0; a < args.size(); ++a) texts[a] = (args.begin() + a)->In(lang);
    out.texts[i] = FillFrom(pattern.In(lang), texts.data(), texts.size());
  }
  return out;
}

}  // namespace pgl
