#pragma once
// How the key of an index is made from a record and how two keys compare.
//
// The description is self-contained: each key field names its type, where its null-indicator
// byte and data lie in the record image, its stored size and its own descending flag. A table
// layer maps its field descriptors onto this.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/data/FieldTypes.h"

namespace kura {

struct TIndexKeyField {
  EngineFieldType Type = EngineFieldType::Unknown;
  // Offset of the null-indicator byte in the record; the data follows it. An AutoInc field has
  // no indicator: its value is the record's bytes 5 to 8 and it is never NULL.
  uint32_t NullOffset = 0;
  uint16_t StoredSize = 0;
  bool AutoInc = false;
  bool Descending = false;  // per-field descending flag of the index

  // Bytes the field's value takes in a key (without the indicator): the stored size, except 8
  // for BCD, which is keyed as a currency value.
  uint16_t KeySize() const { return Type == EngineFieldType::BCD ? 8 : StoredSize; }
};

class TIndexKeyDefinition {
 public:
  std::vector<TIndexKeyField> Fields;
  bool Unique = true;
  bool Descending = false;       // the whole index
  bool CaseInsensitive = false;  // String fields are upper-cased into the key
  bool SystemIndex = false;      // the system record index: deleted flag + auto-increment value
  uint16_t LanguageId = 0;       // 0: keys compare bytewise
  uint16_t SortId = 0;

  // The system record index's definition (K = 5, compared bytewise).
  static TIndexKeyDefinition SystemRecordIndex();

  // Sum of (key size + 1) over the fields, + 4 for the tie-break of a non-unique index.
  int KeyLength() const;
  // Whether keys compare field by field through the table's collation.
  bool UsesLocale() const { return LanguageId != 0 && !SystemIndex; }
  // Offset of field i's indicator byte inside a key.
  int FieldKeyOffset(size_t fieldIndex) const;

  // Bytes a search over the first `fieldCount` key fields compares, plus the indicator and
  // `partialLength` bytes of the next field when a partial length is given (> 0).
  int PrefixLength(int fieldCount, int partialLength = 0) const;
  // Fills key bytes [from, KeyLength()) with the lowest values, or the highest ones: a search key
  // padded so that it sorts before (after) every key that agrees with it on the prefix.
  void FillKeyTail(uint8_t *key, int from, bool highest) const;

  // Builds the KeyLength() bytes of a record's key. The record must hold every key field
  // (KURA_INVALIDIDXDESC otherwise).
  void BuildKey(const uint8_t *record, size_t recordSize, uint8_t *key) const;
  std::vector<uint8_t> BuildKey(const uint8_t *record, size_t recordSize) const;

  // -1, 0 or 1 over the first `length` bytes of two keys, in index order (a descending index
  // already reversed).
  int Compare(const uint8_t *a, const uint8_t *b, int length) const;
  int Compare(const uint8_t *a, const uint8_t *b) const { return Compare(a, b, KeyLength()); }
};

// The key bytes of one value, as used inside keys: written to out (KeySize() bytes), without
// indicator and without any descending inversion. `data` points at the field's stored data.
void EncodeKeyValue(const TIndexKeyField &field, const uint8_t *data, bool caseInsensitive,
                    uint16_t languageId, uint8_t *out);

}  // namespace kura
