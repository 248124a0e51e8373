// Stand-in for the collation functions while the real ones are not part of the library.
// The definitions are weak: once the engine provides the real ones, those win.
#include <algorithm>
#include <cctype>
#include <string>

#include "engine/locale/Collation.h"

namespace kura {

__attribute__((weak)) std::string UpperCase(uint16_t, std::string_view text) {
  std::string s(text);
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Language 0 compares bytes; any other language orders letters alphabetically first and by
// case only as a tie-break, as a dictionary collation does.
__attribute__((weak)) int CompareStrings(uint16_t languageId, uint16_t, std::string_view a, std::string_view b,
                                         bool caseInsensitive, size_t) {
  auto fold = [](std::string_view s) {
    std::string r(s);
    for (char &c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
  };
  if (languageId == 0 && !caseInsensitive) {
    int r = a.compare(b);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  int r = fold(a).compare(fold(b));
  if (r == 0 && !caseInsensitive) r = a.compare(b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

}  // namespace kura
