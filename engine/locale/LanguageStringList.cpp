#include "engine/locale/LanguageStringList.h"

#include "engine/locale/Collation.h"

namespace kura {

int TLanguageStringList::Compare(std::string_view a, std::string_view b, size_t length) const {
  return CompareStrings(FLanguageId, FSortId, a, b, FCaseInsensitive, length);
}

bool TLanguageStringList::Find(std::string_view text, size_t &index, size_t length) const {
  // Lower bound: the first entry not below the text.
  size_t lo = 0, hi = FItems.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (Compare(FItems[mid], text, length) < 0) lo = mid + 1; else hi = mid;
  }
  index = lo;
  return lo < FItems.size() && Compare(FItems[lo], text, length) == 0;
}

bool TLanguageStringList::Add(std::string text, size_t *index) {
  size_t at;
  bool found = Find(text, at);
  if (found && !FDuplicates) {
    if (index) *index = at;
    return false;
  }
  while (at < FItems.size() && Compare(FItems[at], text, 0) == 0) ++at;  // after equal ones
  FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(at), std::move(text));
  if (index) *index = at;
  return true;
}

void TLanguageStringList::Delete(size_t index) {
  if (index < FItems.size()) FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace kura
