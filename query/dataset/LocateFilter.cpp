// Locate's filter on the cursor.
#include "query/dataset/LocateFilter.h"

#include "engine/cursor/DataCursor.h"
#include "query/dataset/TextCompare.h"
#include "query/select/SelectValues.h"

namespace kura {

bool TLocateFilter::Accepts(TDataCursor &cursor, const uint8_t *record) {
  const std::vector<TFieldDescriptor> &fields = cursor.Fields();
  TExpValue v;
  for (const TKey &key : FKeys) {
    const TFieldDescriptor &field = fields[static_cast<size_t>(key.FieldNumber - 1)];
    ReadFieldValue(field, record, v);
    if (key.Value.Null) {
      if (!v.Null) return false;
      continue;
    }
    if (v.Null) return false;
    if (HoldsString(field.Type)) {
      std::string have = FCaseInsensitive ? UpperText(v.Str) : v.Str;
      std::string want = FCaseInsensitive ? UpperText(key.Value.Str) : key.Value.Str;
      if (FPartial ? have.compare(0, want.size(), want) != 0 : have != want) return false;
    } else if (HoldsFloat(field.Type)) {
      if (v.Float != key.Value.Float) return false;
    } else if (v.Int != key.Value.Int) {
      return false;
    }
  }
  return true;
}

}  // namespace kura
