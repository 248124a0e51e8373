// Sort keys built as the keys of a non-unique index over the sort fields.
#include "engine/sort/SortKeys.h"

#include "engine/index/IndexKeyMapping.h"

namespace kura {

TSortKeys::TSortKeys(const std::vector<TSortField> &fields, bool caseInsensitive, uint16_t languageId,
                     uint16_t sortId) {
  // Non-unique, so the auto-increment value is appended; the whole key ascends and each field
  // carries its own direction (inverted bytes without a locale, reversed comparison with one).
  FDefinition.Unique = false;
  FDefinition.Descending = false;
  FDefinition.CaseInsensitive = caseInsensitive;
  FDefinition.LanguageId = languageId;
  FDefinition.SortId = sortId;
  FDefinition.Fields.reserve(fields.size());
  for (const TSortField &f : fields) FDefinition.Fields.push_back(KeyFieldFromDescriptor(f.Field, f.Descending));
  FFullLength = FDefinition.KeyLength();
}

}  // namespace kura
