#pragma once
// TLanguageStringList: a sorted list of strings whose order and search follow the collation
// of a (language, sort) pair. Text indexes keep their word lists in it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kura {

class TLanguageStringList {
 public:
  TLanguageStringList(uint16_t languageId, uint16_t sortId, bool allowDuplicates = false,
                      bool caseInsensitive = false)
      : FLanguageId(languageId), FSortId(sortId), FDuplicates(allowDuplicates),
        FCaseInsensitive(caseInsensitive) {}

  // Inserts in collation order (after equal entries). Without duplicates an equal entry
  // already present is left alone and false is returned; `index` receives the position.
  bool Add(std::string text, size_t *index = nullptr);
  // Binary search; `length` > 0 compares only that many leading characters. Returns whether
  // an equal entry exists; `index` is the first equal entry, or where the text would go.
  bool Find(std::string_view text, size_t &index, size_t length = 0) const;
  void Delete(size_t index);
  void Clear() { FItems.clear(); }
  size_t Count() const { return FItems.size(); }
  const std::string &operator[](size_t index) const { return FItems[index]; }

 private:
  int Compare(std::string_view a, std::string_view b, size_t length) const;

  uint16_t FLanguageId, FSortId;
  bool FDuplicates, FCaseInsensitive;
  std::vector<std::string> FItems;
};

}  // namespace kura
