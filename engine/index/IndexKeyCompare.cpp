// Key comparison: bytewise without a locale; with one, field by field so that texts follow the
// table's collation.
#include <cstring>
#include <string_view>

#include "engine/index/IndexKey.h"
#include "engine/locale/Collation.h"

namespace kura {

namespace {

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

int CompareBytes(const uint8_t *a, const uint8_t *b, int length) {
  if (length <= 0) return 0;
  return Sign(std::memcmp(a, b, static_cast<size_t>(length)));
}

std::string_view TextOf(const uint8_t *data, int length) {
  int n = 0;
  while (n < length && data[n] != 0) ++n;
  return std::string_view(reinterpret_cast<const char *>(data), static_cast<size_t>(n));
}

}  // namespace

int TIndexKeyDefinition::Compare(const uint8_t *a, const uint8_t *b, int length) const {
  if (!UsesLocale()) {
    int r = CompareBytes(a, b, length);
    return Descending ? -r : r;
  }
  int pos = 0;
  for (const TIndexKeyField &f : Fields) {
    if (pos >= length) return 0;
    const int size = f.KeySize();
    int r = Sign(static_cast<int>(a[pos]) - static_cast<int>(b[pos]));
    if (r == 0) {
      int dataLength = length - pos - 1;
      if (dataLength > size) dataLength = size;
      if (dataLength > 0) {
        if (f.Type == EngineFieldType::String)
          r = CompareStrings(LanguageId, SortId, TextOf(a + pos + 1, dataLength), TextOf(b + pos + 1, dataLength));
        else
          r = CompareBytes(a + pos + 1, b + pos + 1, dataLength);
      }
    }
    if (Descending || f.Descending) r = -r;
    if (r != 0) return r;
    pos += size + 1;
  }
  if (pos < length) {
    int r = CompareBytes(a + pos, b + pos, length - pos);
    return Descending ? -r : r;
  }
  return 0;
}

}  // namespace kura
