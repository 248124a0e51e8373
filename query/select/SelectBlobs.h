#pragma once
// Blob values of query rows: read whole from a source table's blob file (a Memo reads as its
// text), and written as new blobs of a result table.
#include <cstdint>

#include "engine/data/FieldDescriptor.h"
#include "query/expr/ExpValue.h"

namespace kura {

class TDataTable;

// The value of a Blob field (NULL when empty or when the table has no blob file).
void ReadBlobValue(TDataTable &table, const TFieldDescriptor &field, const uint8_t *record, TExpValue &value);
// Stores the value as a new blob of the table and its reference in the record (NULL and
// empty values leave the field NULL).
void WriteBlobValue(TDataTable &table, const TFieldDescriptor &field, uint8_t *record, const TExpValue &value);

}  // namespace kura
