#include "engine/locale/LanguageTable.h"

#include <string_view>

#include "engine/locale/Collation.h"

namespace kura {

namespace {

// Windows language identifiers: primary language in the low 10 bits, sublanguage above.
const LanguageEntry kLanguages[] = {
    {"ANSI Standard", 0, ""},
    {"Afrikaans", 0x0436, "af_ZA"},
    {"Albanian", 0x041C, "sq_AL"},
    {"Arabic (Saudi Arabia)", 0x0401, "ar_SA"},
    {"Arabic (Iraq)", 0x0801, "ar_IQ"},
    {"Arabic (Egypt)", 0x0C01, "ar_EG"},
    {"Arabic (Libya)", 0x1001, "ar_LY"},
    {"Arabic (Algeria)", 0x1401, "ar_DZ"},
    {"Arabic (Morocco)", 0x1801, "ar_MA"},
    {"Arabic (Tunisia)", 0x1C01, "ar_TN"},
    {"Arabic (Oman)", 0x2001, "ar_OM"},
    {"Arabic (Yemen)", 0x2401, "ar_YE"},
    {"Arabic (Syria)", 0x2801, "ar_SY"},
    {"Arabic (Jordan)", 0x2C01, "ar_JO"},
    {"Arabic (Lebanon)", 0x3001, "ar_LB"},
    {"Arabic (Kuwait)", 0x3401, "ar_KW"},
    {"Arabic (U.A.E)", 0x3801, "ar_AE"},
    {"Arabic (Bahrain)", 0x3C01, "ar_BH"},
    {"Arabic (Qatar)", 0x4001, "ar_QA"},
    {"Basque", 0x042D, "eu_ES"},
    {"Belarusian", 0x0423, "be_BY"},
    {"Bulgarian", 0x0402, "bg_BG"},
    {"Catalan", 0x0403, "ca_ES"},
    {"Croatian", 0x041A, "hr_HR"},
    {"Czech", 0x0405, "cs_CZ"},
    {"Danish", 0x0406, "da_DK"},
    {"Dutch (Standard)", 0x0413, "nl_NL"},
    {"Dutch (Belgian)", 0x0813, "nl_BE"},
    {"English (USA)", 0x0409, "en_US"},
    {"English (UK)", 0x0809, "en_GB"},
    {"English (Australian)", 0x0C09, "en_AU"},
    {"English (Canadian)", 0x1009, "en_CA"},
    {"English (New Zealand)", 0x1409, "en_NZ"},
    {"English (Irish)", 0x1809, "en_IE"},
    {"English (South Africa)", 0x1C09, "en_ZA"},
    {"English (Jamaica)", 0x2009, "en_JM"},
    {"English (Caribbean)", 0x2409, "en_029"},
    {"English (Belize)", 0x2809, "en_BZ"},
    {"English (Trinidad)", 0x2C09, "en_TT"},
    {"Estonian", 0x0425, "et_EE"},
    {"Faeroese", 0x0438, "fo_FO"},
    {"Farsi", 0x0429, "fa_IR"},
    {"Finnish", 0x040B, "fi_FI"},
    {"French (Standard)", 0x040C, "fr_FR"},
    {"French (Belgian)", 0x080C, "fr_BE"},
    {"French (Canadian)", 0x0C0C, "fr_CA"},
    {"French (Swiss)", 0x100C, "fr_CH"},
    {"French (Luxembourg)", 0x140C, "fr_LU"},
    {"German (Standard)", 0x0407, "de_DE"},
    {"German (Swiss)", 0x0807, "de_CH"},
    {"German (Austrian)", 0x0C07, "de_AT"},
    {"German (Luxembourg)", 0x1007, "de_LU"},
    {"German (Liechtenstein)", 0x1407, "de_LI"},
    {"Greek", 0x0408, "el_GR"},
    {"Hebrew", 0x040D, "he_IL"},
    {"Hungarian", 0x040E, "hu_HU"},
    {"Icelandic", 0x040F, "is_IS"},
    {"Indonesian", 0x0421, "id_ID"},
    {"Italian (Standard)", 0x0410, "it_IT"},
    {"Italian (Swiss)", 0x0810, "it_CH"},
    {"Latvian", 0x0426, "lv_LV"},
    {"Lithuanian", 0x0427, "lt_LT"},
    {"Norwegian (Bokmal)", 0x0414, "nb_NO"},
    {"Norwegian (Nynorsk)", 0x0814, "nn_NO"},
    {"Polish", 0x0415, "pl_PL"},
    {"Portuguese (Standard)", 0x0816, "pt_PT"},
    {"Portuguese (Brazilian)", 0x0416, "pt_BR"},
    {"Romanian", 0x0418, "ro_RO"},
    {"Russian", 0x0419, "ru_RU"},
    {"Serbian (Latin)", 0x081A, "sr_Latn_RS"},
    {"Serbian (Cyrillic)", 0x0C1A, "sr_Cyrl_RS"},
    {"Slovak", 0x041B, "sk_SK"},
    {"Slovenian", 0x0424, "sl_SI"},
    // Castilian is the traditional Spanish order (ch and ll as letters of their own).
    {"Spanish (Castilian)", 0x040A, "es_ES@collation=traditional"},
    {"Spanish (Mexican)", 0x080A, "es_MX"},
    {"Spanish (Modern)", 0x0C0A, "es_ES"},
    {"Spanish (Guatemala)", 0x100A, "es_GT"},
    {"Spanish (Costa Rica)", 0x140A, "es_CR"},
    {"Spanish (Panama)", 0x180A, "es_PA"},
    {"Spanish (Dominican Republic)", 0x1C0A, "es_DO"},
    {"Spanish (Venezuela)", 0x200A, "es_VE"},
    {"Spanish (Colombia)", 0x240A, "es_CO"},
    {"Spanish (Peru)", 0x280A, "es_PE"},
    {"Spanish (Argentina)", 0x2C0A, "es_AR"},
    {"Spanish (Ecuador)", 0x300A, "es_EC"},
    {"Spanish (Chile)", 0x340A, "es_CL"},
    {"Spanish (Uruguay)", 0x380A, "es_UY"},
    {"Spanish (Paraguay)", 0x3C0A, "es_PY"},
    {"Spanish (Bolivia)", 0x400A, "es_BO"},
    {"Spanish (El Salvador)", 0x440A, "es_SV"},
    {"Spanish (Honduras)", 0x480A, "es_HN"},
    {"Spanish (Nicaragua)", 0x4C0A, "es_NI"},
    {"Spanish (Puerto Rico)", 0x500A, "es_PR"},
    {"Swedish (Standard)", 0x041D, "sv_SE"},
    {"Swedish (Finland)", 0x081D, "sv_FI"},
    {"Thai", 0x041E, "th_TH"},
    {"Turkish", 0x041F, "tr_TR"},
    {"Ukranian", 0x0422, "uk_UA"},
    {"Vietnamese", 0x042A, "vi_VN"},
};

constexpr int kLanguageCount = sizeof(kLanguages) / sizeof(kLanguages[0]);
static_assert(kLanguageCount == 99, "the language list has 99 names");

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace

const LanguageEntry *LanguageTable() { return kLanguages; }
int LanguageTableSize() { return kLanguageCount; }

const LanguageEntry *FindLanguage(uint16_t languageId) {
  for (const LanguageEntry &e : kLanguages)
    if (e.LanguageId == languageId) return &e;
  return nullptr;
}

bool HasPhoneBookOrder(uint16_t languageId) {
  // German: primary language 0x07, sublanguages Standard to Liechtenstein.
  switch (languageId) {
    case 0x0407: case 0x0807: case 0x0C07: case 0x1007: case 0x1407: return true;
    default: return false;
  }
}

std::string IcuLocaleName(uint16_t languageId, uint16_t sortId) {
  const LanguageEntry *e = FindLanguage(languageId);
  if (!e || languageId == 0) return {};
  if (sortId == 0) return e->IcuLocale;
  if (sortId == kSortGermanPhoneBook && HasPhoneBookOrder(languageId))
    return std::string(e->IcuLocale) + "@collation=phonebook";
  return {};
}

const std::vector<LanguageName> &LanguageNames() {
  static const std::vector<LanguageName> names = [] {
    std::vector<LanguageName> v;
    v.reserve(kLanguageCount);
    for (const LanguageEntry &e : kLanguages) v.push_back({e.Name, e.LanguageId});
    return v;
  }();
  return names;
}

bool LanguageNameExists(std::string_view name) {
  uint16_t id;
  return LanguageIdFromName(name, id);
}

bool LanguageIdFromName(std::string_view name, uint16_t &languageId) {
  for (const LanguageEntry &e : kLanguages)
    if (SameNameIgnoringCase(e.Name, name)) {
      languageId = e.LanguageId;
      return true;
    }
  return false;
}

std::string LanguageNameFromId(uint16_t languageId) {
  const LanguageEntry *e = FindLanguage(languageId);
  return e ? e->Name : std::string();
}

namespace {
const char kDefaultOrder[] = "Default Order";
const char kPhoneBookOrder[] = "German Phone Book Order";
}  // namespace

std::vector<std::string> SortNames(uint16_t languageId) {
  std::vector<std::string> names{kDefaultOrder};
  if (HasPhoneBookOrder(languageId)) names.push_back(kPhoneBookOrder);
  return names;
}

bool SortIdFromName(uint16_t languageId, std::string_view sortName, uint16_t &sortId) {
  if (SameNameIgnoringCase(sortName, kDefaultOrder)) {
    sortId = 0;
    return true;
  }
  if (HasPhoneBookOrder(languageId) && SameNameIgnoringCase(sortName, kPhoneBookOrder)) {
    sortId = kSortGermanPhoneBook;
    return true;
  }
  return false;
}

std::string SortNameFromId(uint16_t languageId, uint16_t sortId) {
  if (sortId == 0) return kDefaultOrder;
  if (sortId == kSortGermanPhoneBook && HasPhoneBookOrder(languageId)) return kPhoneBookOrder;
  return {};
}

}  // namespace kura
