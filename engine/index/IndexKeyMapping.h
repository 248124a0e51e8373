#pragma once
// From a table's field descriptors to the index layer's key descriptions: the key fields of an
// index descriptor, and the definition fields used when an index is defined.
#include <vector>

#include "engine/data/FieldDescriptor.h"
#include "engine/errors/EngineError.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexHeader.h"
#include "engine/index/IndexKey.h"

namespace kura {

TIndexKeyField KeyFieldFromDescriptor(const TFieldDescriptor &field, bool descending = false);
TIndexDefinitionField DefinitionFieldFromDescriptor(const TFieldDescriptor &field, bool descending = false);

// The key definition of index `indexNo` of a table whose fields are `fields` (field n at
// position n - 1). The system record index needs no fields. A key field number that names no
// field, or fields whose sizes do not add up to the descriptor's key length, mean the index
// file does not belong to this table: KURA_INDEXCORRUPT.
TIndexKeyDefinition KeyDefinitionForIndex(const TIndexHeader &header, int indexNo,
                                          const std::vector<TFieldDescriptor> &fields, uint16_t languageId,
                                          uint16_t sortId, const ErrorTexts &texts);

}  // namespace kura
