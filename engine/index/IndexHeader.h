#pragma once
// The index file header: 33 index descriptors, the live-record count and the no-primary-key
// flag, with their 4096-byte on-disk form.
#include <array>
#include <cstdint>
#include <string>

#include "engine/errors/EngineError.h"

namespace kura {

constexpr int kIndexPageSize = 4096;
constexpr int kPageHeaderBytes = 13;
constexpr int kPageEntryBytes = kIndexPageSize - kPageHeaderBytes;  // 4083
constexpr int kIndexFormatVersion = 5;
constexpr int kPrimaryIndex = 0;
constexpr int kMaxSecondaryIndexes = 30;
constexpr int kSystemRecordIndex = 31;
constexpr int kFullTextIndex = 32;
constexpr int kIndexSlots = 33;
constexpr int kMaxKeyFields = 16;
constexpr int kMaxKeyLength = 522;
constexpr int kSystemKeyLength = 5;
constexpr int kFullTextKeyLength = 68;
constexpr int kMaxIndexNameLength = 30;
constexpr int32_t kMaxIndexPageNumber = 2000000000;
constexpr int64_t kMaxIndexFileBytes = 4000000000LL;
constexpr int kIndexDescriptorBytes = 120;

enum class KeyCompression : uint8_t { None = 0, DuplicateBytes = 1, TrailingBytes = 2, Full = 3 };

struct TIndexDescriptor {
  std::string Name;  // empty for the primary index
  int16_t KeyLength = 0;
  bool Descending = false;
  bool CaseInsensitive = false;
  bool Unique = false;
  KeyCompression Compression = KeyCompression::None;
  uint8_t FieldCount = 0;
  std::array<uint8_t, kMaxKeyFields> FieldDescending{};
  std::array<uint16_t, kMaxKeyFields> FieldNumbers{};
  int32_t RootPage = 0;
  int32_t FirstFreePage = 0;
  int32_t FullTextPage = 0;
  bool NoCounts = false;
  bool FullText = false;

  void Encode(uint8_t *out) const;  // 120 bytes
  // Reads 120 bytes; false when the bytes cannot be a descriptor (name too long, bad flags).
  bool Decode(const uint8_t *in);
};

struct TIndexHeader {
  int32_t ChangeCounter = 0;
  uint8_t Version = kIndexFormatVersion;
  int32_t NextPage = 1;  // number of pages after the header + 1
  uint8_t SecondaryCount = 0;
  std::array<TIndexDescriptor, kIndexSlots> Descriptors;
  int32_t LiveRecordCount = 0;
  bool NoPrimaryKey = false;

  // A new file's header: version 5, next page 1, "Sys Deleted" and "Sys Text" in place.
  static TIndexHeader CreateEmpty();
  static TIndexDescriptor SystemRecordDescriptor();
  static TIndexDescriptor FullTextDescriptor();

  void Encode(uint8_t *page) const;  // kIndexPageSize bytes
  // Decodes and validates: KURA_OLDVERSION for another version, KURA_HEADERCORRUPT for any
  // value that cannot be right (index counts, page numbers, key lengths, field counts).
  static TIndexHeader Decode(const uint8_t *page, const ErrorTexts &texts);

  // Whether slot n holds a live index (primary only with a key; secondaries up to the count;
  // the system record index always; the full-text index when it has fields).
  bool IndexInUse(int indexNo) const;
};

}  // namespace kura
