// Mapping table field descriptors onto index key descriptions.
#include "engine/index/IndexKeyMapping.h"

namespace kura {

TIndexKeyField KeyFieldFromDescriptor(const TFieldDescriptor &field, bool descending) {
  TIndexKeyField k;
  k.Type = field.Type;
  k.NullOffset = field.Offset;
  k.StoredSize = field.DataSize;
  k.AutoInc = field.IsAutoInc();
  if (k.AutoInc) k.StoredSize = 4;
  k.Descending = descending;
  return k;
}

TIndexDefinitionField DefinitionFieldFromDescriptor(const TFieldDescriptor &field, bool descending) {
  TIndexDefinitionField d;
  d.FieldNumber = static_cast<uint16_t>(field.FieldNumber);
  d.FieldName = field.Name;
  d.Type = field.Type;
  d.StoredSize = field.IsAutoInc() ? 4 : field.DataSize;
  d.Descending = descending;
  return d;
}

TIndexKeyDefinition KeyDefinitionForIndex(const TIndexHeader &header, int indexNo,
                                          const std::vector<TFieldDescriptor> &fields, uint16_t languageId,
                                          uint16_t sortId, const ErrorTexts &texts) {
  if (indexNo == kSystemRecordIndex) return TIndexKeyDefinition::SystemRecordIndex();
  if (indexNo < 0 || indexNo >= kIndexSlots || !header.IndexInUse(indexNo) || indexNo == kFullTextIndex)
    RaiseEngineError(KURA_INDEXCORRUPT, texts);
  const TIndexDescriptor &d = header.Descriptors[indexNo];
  TIndexKeyDefinition keys;
  keys.Unique = d.Unique;
  keys.Descending = d.Descending;
  keys.CaseInsensitive = d.CaseInsensitive;
  keys.LanguageId = languageId;
  keys.SortId = sortId;
  for (int i = 0; i < d.FieldCount; ++i) {
    const uint16_t number = d.FieldNumbers[static_cast<size_t>(i)];
    if (number < 1 || number > fields.size()) RaiseEngineError(KURA_INDEXCORRUPT, texts);
    const TFieldDescriptor &field = fields[number - 1u];
    if (field.Type == EngineFieldType::Blob) RaiseEngineError(KURA_INDEXCORRUPT, texts);
    keys.Fields.push_back(KeyFieldFromDescriptor(field, d.FieldDescending[static_cast<size_t>(i)] != 0));
  }
  if (keys.KeyLength() != d.KeyLength) RaiseEngineError(KURA_INDEXCORRUPT, texts);
  return keys;
}

}  // namespace kura
