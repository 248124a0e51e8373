#pragma once
// Languages, locales and string collation of the table store.
//
// A table (or a query result) carries a Windows-style language identifier and sort identifier.
// Language 0 ("ANSI Standard") means plain byte order and US-English case mapping. Any other
// language maps to an ICU locale and collator; sort 0 is the language's default order, and the
// German languages also have the phone-book order. Strings are UTF-8 throughout the engine.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kura {

struct LanguageName {
  std::string Name;     // e.g. "German (Standard)"
  uint16_t LanguageId;  // Windows language identifier, 0 for "ANSI Standard"
};

// The 99 language names in their fixed order.
const std::vector<LanguageName> &LanguageNames();
// Lookups compare names without regard to case and return the first match.
bool LanguageNameExists(std::string_view name);
// Identifier of a language name; false when there is no such name.
bool LanguageIdFromName(std::string_view name, uint16_t &languageId);
// Name of a language identifier; empty when unknown.
std::string LanguageNameFromId(uint16_t languageId);
// Sort names of a language: "Default Order" always, "German Phone Book Order" for the German ones.
std::vector<std::string> SortNames(uint16_t languageId);
// Sort identifier of a sort name for a language; false when the language has no such sort.
bool SortIdFromName(uint16_t languageId, std::string_view sortName, uint16_t &sortId);
std::string SortNameFromId(uint16_t languageId, uint16_t sortId);

// Whether the locale made of (sort id, language id) is available. Language 0 is always valid.
bool LocaleIsValid(uint16_t languageId, uint16_t sortId);

// -1, 0 or 1. Language 0 compares bytes (case-insensitive: both sides upper-cased with US
// English first); other languages use the locale's collator with string-sort rules and
// non-spacing marks ignored. length > 0 compares only that many leading characters.
int CompareStrings(uint16_t languageId, uint16_t sortId, std::string_view a, std::string_view b,
                   bool caseInsensitive = false, size_t length = 0);

// Case mapping with the language's locale (language 0: US English).
std::string UpperCase(uint16_t languageId, std::string_view text);
std::string LowerCase(uint16_t languageId, std::string_view text);

// The 256 byte values in collation order (map[position] = byte value); identity for language 0.
// Built once per (language, sort) and kept for the life of the process.
const std::array<uint8_t, 256> &CharacterOrderMap(uint16_t languageId, uint16_t sortId);

}  // namespace kura
