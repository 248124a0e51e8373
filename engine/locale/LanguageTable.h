#pragma once
// The fixed table behind the language names: each entry's Windows language identifier and the
// ICU locale that provides its collation and case mapping.
#include <cstdint>
#include <string>

namespace kura {

struct LanguageEntry {
  const char *Name;
  uint16_t LanguageId;
  const char *IcuLocale;  // empty for "ANSI Standard"
};

// The 99 entries in their fixed order.
const LanguageEntry *LanguageTable();
int LanguageTableSize();
// Entry of a language identifier, nullptr when unknown.
const LanguageEntry *FindLanguage(uint16_t languageId);
// Whether the language is one of the German ones that also sort in phone-book order.
bool HasPhoneBookOrder(uint16_t languageId);
// The sort identifier of the German phone-book order.
constexpr uint16_t kSortGermanPhoneBook = 1;
// ICU locale name for (language, sort); empty when the pair is not a known locale.
std::string IcuLocaleName(uint16_t languageId, uint16_t sortId);

}  // namespace kura
