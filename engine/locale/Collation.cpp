// String comparison and case mapping per (language, sort) through ICU collators.
#include "engine/locale/Collation.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>
#include <unicode/unistr.h>

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "engine/locale/LanguageTable.h"

namespace kura {

namespace {

// Collators are created once per (language, sort, case handling) and shared: comparing with a
// collator does not change it, so several threads may use one at the same time.
class CollatorCache {
 public:
  const icu::Collator *Get(uint16_t languageId, uint16_t sortId, bool caseInsensitive) {
    auto key = std::make_tuple(languageId, sortId, caseInsensitive);
    // Collators live as long as the process, so each thread may remember its last one and
    // skip the lock when the same collation is asked for again (the usual case).
    thread_local std::tuple<uint16_t, uint16_t, bool> lastKey{0, 0, false};
    thread_local const icu::Collator *last = nullptr;
    thread_local bool haveLast = false;
    if (haveLast && lastKey == key) return last;
    const icu::Collator *found = Lookup(key);
    lastKey = key;
    last = found;
    haveLast = true;
    return found;
  }

 private:
  const icu::Collator *Lookup(const std::tuple<uint16_t, uint16_t, bool> &key) {
    const auto [languageId, sortId, caseInsensitive] = key;
    std::lock_guard<std::mutex> lock(FMutex);
    auto it = FCollators.find(key);
    if (it != FCollators.end()) return it->second.get();
    std::unique_ptr<icu::Collator> made = Make(languageId, sortId, caseInsensitive);
    const icu::Collator *result = made.get();
    FCollators.emplace(key, std::move(made));
    return result;
  }

  static std::unique_ptr<icu::Collator> Make(uint16_t languageId, uint16_t sortId,
                                             bool caseInsensitive) {
    std::string name = IcuLocaleName(languageId, sortId);
    if (name.empty()) return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> c(
        icu::Collator::createInstance(icu::Locale::createFromName(name.c_str()), status));
    if (U_FAILURE(status) || !c) return nullptr;
    // Marks that do not take space of their own (accents) are ignored: compare base letters
    // only, and letter case as a level of its own unless case is ignored. Punctuation and
    // symbols count as characters (string sort), which is the collator's default.
    c->setAttribute(UCOL_STRENGTH, UCOL_PRIMARY, status);
    c->setAttribute(UCOL_CASE_LEVEL, caseInsensitive ? UCOL_OFF : UCOL_ON, status);
    c->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
    c->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
    if (U_FAILURE(status)) return nullptr;
    return c;
  }

  std::mutex FMutex;
  std::map<std::tuple<uint16_t, uint16_t, bool>, std::unique_ptr<icu::Collator>> FCollators;
};

CollatorCache &Collators() {
  static CollatorCache cache;
  return cache;
}

// The leading part of a UTF-8 string holding at most `count` characters.
std::string_view LeadingCharacters(std::string_view s, size_t count) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (chars == count) return s.substr(0, i);
      ++chars;
    }
  }
  return s;
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

int CompareBytes(std::string_view a, std::string_view b) {
  int r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// Turkish and Azeri map the dotted and dotless i differently even in plain ASCII text.
bool AsciiCaseMappingIsPlain(uint16_t languageId) {
  uint16_t primary = languageId & 0x3FF;
  return primary != 0x1F && primary != 0x2C;
}

std::string MapCase(uint16_t languageId, std::string_view text, bool upper) {
  if (IsAscii(text) && AsciiCaseMappingIsPlain(languageId)) {
    std::string out(text);
    for (char &c : out) {
      if (upper && c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
      if (!upper && c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
  }
  std::string name = IcuLocaleName(languageId, 0);
  if (name.empty()) name = "en_US";
  icu::Locale locale = icu::Locale::createFromName(name.c_str());
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (upper) u.toUpper(locale); else u.toLower(locale);
  std::string out;
  u.toUTF8String(out);
  return out;
}

}  // namespace

bool LocaleIsValid(uint16_t languageId, uint16_t sortId) {
  if (languageId == 0) return true;
  return Collators().Get(languageId, sortId, false) != nullptr;
}

int CompareStrings(uint16_t languageId, uint16_t sortId, std::string_view a, std::string_view b,
                   bool caseInsensitive, size_t length) {
  if (length > 0) {
    a = LeadingCharacters(a, length);
    b = LeadingCharacters(b, length);
  }
  if (languageId != 0) {
    const icu::Collator *c = Collators().Get(languageId, sortId, caseInsensitive);
    if (c) {
      UErrorCode status = U_ZERO_ERROR;
      UCollationResult r = c->compareUTF8(
          icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
          icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
      if (U_SUCCESS(status)) return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
    }
    // A language without a usable collator falls back to the byte order below.
  }
  if (!caseInsensitive) return CompareBytes(a, b);
  return CompareBytes(UpperCase(0, a), UpperCase(0, b));
}

std::string UpperCase(uint16_t languageId, std::string_view text) {
  return MapCase(languageId, text, true);
}

std::string LowerCase(uint16_t languageId, std::string_view text) {
  return MapCase(languageId, text, false);
}

}  // namespace kura
