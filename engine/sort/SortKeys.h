#pragma once
// Sort keys of records: per sort field a null-indicator byte and the field's index key bytes,
// then the record's auto-increment value as a tie-break that keeps equal keys in insertion
// order. Keys are built and compared with the index key rules, so a sort and an index on the
// same fields agree.
#include <cstdint>
#include <vector>

#include "engine/index/IndexKey.h"
#include "engine/sort/SortRequest.h"

namespace kura {

class TSortKeys {
 public:
  TSortKeys(const std::vector<TSortField> &fields, bool caseInsensitive, uint16_t languageId, uint16_t sortId);

  // Whole key: fields and the 4-byte tie-break.
  int FullLength() const { return FFullLength; }
  // The fields alone (what DISTINCT and grouping compare).
  int GroupLength() const { return FFullLength - 4; }

  void Build(const uint8_t *record, size_t recordSize, uint8_t *key) const {
    FDefinition.BuildKey(record, recordSize, key);
  }
  int CompareFull(const uint8_t *a, const uint8_t *b) const { return FDefinition.Compare(a, b, FFullLength); }
  bool SameGroup(const uint8_t *a, const uint8_t *b) const {
    return FDefinition.Compare(a, b, GroupLength()) == 0;
  }
  int CompareGroup(const uint8_t *a, const uint8_t *b) const { return FDefinition.Compare(a, b, GroupLength()); }
  // Whether text fields compare through a collation: keys that differ in their bytes may then
  // still be equal.
  bool UsesLocale() const { return FDefinition.UsesLocale(); }

 private:
  TIndexKeyDefinition FDefinition;
  int FFullLength = 4;
};

}  // namespace kura
