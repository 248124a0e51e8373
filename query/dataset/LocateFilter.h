#pragma once
// The equality filter a dataset puts on its cursor for a Locate without a fitting index.
#include <string>
#include <vector>

#include "engine/cursor/CursorFilter.h"
#include "query/expr/ExpValue.h"

namespace kura {

class TDataCursor;

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
