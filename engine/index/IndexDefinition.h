#pragma once
// Defining the primary index and adding and deleting secondary index descriptors in the
// index header, with their checks.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/data/FieldTypes.h"
#include "engine/index/IndexPageCache.h"

namespace kura {

struct TIndexDefinitionField {
  uint16_t FieldNumber = 0;
  std::string FieldName;  // for error texts
  EngineFieldType Type = EngineFieldType::Unknown;
  uint16_t StoredSize = 0;
  bool Descending = false;
};

struct TIndexDefinition {
  std::string Name;  // empty for the primary index
  std::vector<TIndexDefinitionField> Fields;
  bool Descending = false;
  bool CaseInsensitive = false;
  bool Unique = false;  // always set for the primary index
  KeyCompression Compression = KeyCompression::None;
};

// DefinePrimaryIndex and AddSecondaryIndex change the header copy only; the caller marks the
// header dirty (TIndexPageCache::MarkHeaderDirty) so that it is written.

// Key length of a definition: sum of (key size + 1) over the fields, + 4 unless unique.
int IndexKeyLength(const TIndexDefinition &definition, bool unique);

// Descriptor 0. KURA_PRIMARYKEYREDEFINE when it already has a key, KURA_INDEXLIMIT beyond 16
// fields, KURA_SEARCHCOLREQD for a Blob key field, KURA_INVALIDKEY for a key that is too long.
// No fields: the table gets the no-primary-key flag.
void DefinePrimaryIndex(TIndexHeader &header, const TIndexDefinition &definition, const ErrorTexts &texts);

// Appends a secondary descriptor (root 0) and returns its index number. The checks:
// KURA_INDEXLIMIT (30 secondaries or more than 16 fields), KURA_INDEXNAMEREQUIRED,
// KURA_INVALIDINDEXNAME, KURA_INDEXEXISTS, KURA_SEARCHCOLREQD, KURA_INVALIDKEY.
int AddSecondaryIndex(TIndexHeader &header, const TIndexDefinition &definition, const ErrorTexts &texts);

// The number of the index with that name (trimmed, case-insensitive; "" = primary), -1 if none.
int FindIndexByName(const TIndexHeader &header, const std::string &name);

// Removes an index: its tree pages (and pages on its free list) are handed to the system record
// index's free list so that the file does not lose them, and its descriptor is removed
// (secondaries after it move down; the primary index leaves the no-primary-key flag set).
// Every cached page is written and dropped, since index numbers change.
void DeleteIndex(TIndexPageCache &cache, int indexNo);

}  // namespace kura
