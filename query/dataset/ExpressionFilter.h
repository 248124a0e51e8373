#pragma once
// Filters a dataset puts on its cursor: the compiled Filter text, and the equality filter of
// a Locate without a fitting index.
#include <string>
#include <vector>

#include "engine/cursor/CursorFilter.h"
#include "query/expr/ExpToken.h"

namespace kura {

class TDataCursor;

// A filter expression over the cursor's fields (names resolved against the catalogue). An
// empty, invalid or non-boolean text fails with KURA_INVALIDFILTER naming the table.
class TExpressionFilter : public TCursorFilter {
 public:
  TExpressionFilter(TDataCursor &cursor, const std::string &text, bool caseInsensitive, bool partialCompare);
  bool Accepts(TDataCursor &cursor, const uint8_t *record) override;

 private:
  TExpTreePtr FRoot;
  uint16_t FLanguageId = 0, FSortId = 0;
};

// key field = value AND ... (NULL values meaning IS NULL); string values compare without case
// when asked, and as prefixes with a partial key.
class TLocateFilter : public TCursorFilter {
 public:
  struct TKey {
    int FieldNumber = 0;  // 1-based position in the cursor's catalogue
    TExpValue Value;      // in the field's expression type; Null = IS NULL
  };
  TLocateFilter(std::vector<TKey> keys, bool caseInsensitive, bool partial)
      : FKeys(std::move(keys)), FCaseInsensitive(caseInsensitive), FPartial(partial) {}
  bool Accepts(TDataCursor &cursor, const uint8_t *record) override;

 private:
  std::vector<TKey> FKeys;
  bool FCaseInsensitive, FPartial;
};

}  // namespace kura
