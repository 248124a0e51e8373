// Encoding, decoding and validation of the index file header.
#include "engine/index/IndexHeader.h"

#include <cstring>

#include "engine/index/IndexBytes.h"

namespace kura {

using namespace indexbytes;

namespace {

void PutShortString(uint8_t *out, const std::string &text, size_t maxLength) {
  size_t n = text.size() < maxLength ? text.size() : maxLength;
  out[0] = static_cast<uint8_t>(n);
  std::memset(out + 1, 0, maxLength);
  std::memcpy(out + 1, text.data(), n);
}

// Whether every value of the descriptor is zero, so that its encoding is all zero bytes.
bool EncodesToZeros(const TIndexDescriptor &d) {
  if (!d.Name.empty() || d.KeyLength != 0 || d.Descending || d.CaseInsensitive || d.Unique) return false;
  if (d.Compression != KeyCompression::None || d.FieldCount != 0) return false;
  if (d.RootPage != 0 || d.FirstFreePage != 0 || d.FullTextPage != 0 || d.NoCounts || d.FullText) return false;
  for (int i = 0; i < kMaxKeyFields; ++i)
    if (d.FieldDescending[i] || d.FieldNumbers[i] != 0) return false;
  return true;
}

}  // namespace

void TIndexDescriptor::Encode(uint8_t *out) const {
  std::memset(out, 0, kIndexDescriptorBytes);
  PutShortString(out, Name, kMaxIndexNameLength);
  PutU16LE(out + 31, static_cast<uint16_t>(KeyLength));
  out[33] = Descending ? 1 : 0;
  out[34] = CaseInsensitive ? 1 : 0;
  out[35] = Unique ? 1 : 0;
  out[36] = static_cast<uint8_t>(Compression);
  out[37] = FieldCount;
  for (int i = 0; i < kMaxKeyFields; ++i) {
    out[38 + i] = FieldDescending[i] ? 1 : 0;
    PutU16LE(out + 54 + 2 * i, FieldNumbers[i]);
  }
  PutI32LE(out + 86, RootPage);
  PutI32LE(out + 90, FirstFreePage);
  out[94] = 0;
  PutI32LE(out + 96, FullTextPage);
  out[100] = NoCounts ? 1 : 0;
  out[101] = FullText ? 1 : 0;
}

bool TIndexDescriptor::Decode(const uint8_t *in) {
  uint8_t nameLength = in[0];
  if (nameLength > kMaxIndexNameLength) return false;
  Name.assign(reinterpret_cast<const char *>(in + 1), nameLength);
  KeyLength = GetI16LE(in + 31);
  Descending = in[33] != 0;
  CaseInsensitive = in[34] != 0;
  Unique = in[35] != 0;
  if (in[36] > 3) return false;
  Compression = static_cast<KeyCompression>(in[36]);
  FieldCount = in[37];
  if (FieldCount > kMaxKeyFields) return false;
  for (int i = 0; i < kMaxKeyFields; ++i) {
    FieldDescending[i] = in[38 + i] != 0;
    FieldNumbers[i] = GetU16LE(in + 54 + 2 * i);
  }
  RootPage = GetI32LE(in + 86);
  FirstFreePage = GetI32LE(in + 90);
  FullTextPage = GetI32LE(in + 96);
  NoCounts = in[100] != 0;
  FullText = in[101] != 0;
  return true;
}

TIndexDescriptor TIndexHeader::SystemRecordDescriptor() {
  TIndexDescriptor d;
  d.Name = "Sys Deleted";
  d.KeyLength = kSystemKeyLength;
  d.Unique = true;
  d.Compression = KeyCompression::None;
  return d;
}

TIndexDescriptor TIndexHeader::FullTextDescriptor() {
  TIndexDescriptor d;
  d.Name = "Sys Text";
  d.KeyLength = kFullTextKeyLength;
  d.Compression = KeyCompression::Full;
  d.NoCounts = true;
  d.FullText = true;
  return d;
}

TIndexHeader TIndexHeader::CreateEmpty() {
  // Built once and copied: every index file opened or created (each SELECT's result table
  // among them) starts from this header, some more than once.
  static const TIndexHeader empty = [] {
    TIndexHeader h;
    h.Descriptors[kSystemRecordIndex] = SystemRecordDescriptor();
    h.Descriptors[kFullTextIndex] = FullTextDescriptor();
    return h;
  }();
  return empty;
}

bool TIndexHeader::IndexInUse(int indexNo) const {
  if (indexNo == kPrimaryIndex) return Descriptors[0].KeyLength > 0;
  if (indexNo >= 1 && indexNo <= kMaxSecondaryIndexes) return indexNo <= SecondaryCount;
  if (indexNo == kSystemRecordIndex) return true;
  if (indexNo == kFullTextIndex) return Descriptors[kFullTextIndex].FieldCount > 0;
  return false;
}

void TIndexHeader::Encode(uint8_t *page) const {
  std::memset(page, 0, kIndexPageSize);
  PutI32LE(page + 0, ChangeCounter);
  page[4] = Version;
  PutI32LE(page + 5, NextPage);
  page[9] = SecondaryCount;
  // An unused slot is all zero bytes, which the page already is; most slots are unused.
  for (int i = 0; i <= 30; ++i)
    if (!EncodesToZeros(Descriptors[i])) Descriptors[i].Encode(page + 10 + i * kIndexDescriptorBytes);
  Descriptors[kSystemRecordIndex].Encode(page + 3730);
  Descriptors[kFullTextIndex].Encode(page + 3850);
  PutI32LE(page + 3970, LiveRecordCount);
  page[3974] = NoPrimaryKey ? 1 : 0;
}

TIndexHeader TIndexHeader::Decode(const uint8_t *page, const ErrorTexts &texts) {
  TIndexHeader h;
  h.ChangeCounter = GetI32LE(page + 0);
  h.Version = page[4];
  if (h.Version != kIndexFormatVersion) RaiseEngineError(KURA_OLDVERSION, texts);
  auto corrupt = [&]() { RaiseEngineError(KURA_HEADERCORRUPT, texts); };
  h.NextPage = GetI32LE(page + 5);
  if (h.NextPage < 1 || h.NextPage > kMaxIndexPageNumber) corrupt();
  h.SecondaryCount = page[9];
  // Slots 31 and 32 are the system indexes, so no more than 30 secondaries can exist.
  if (h.SecondaryCount > kMaxSecondaryIndexes) corrupt();
  for (int i = 0; i <= 30; ++i)
    if (!h.Descriptors[i].Decode(page + 10 + i * kIndexDescriptorBytes)) corrupt();
  if (!h.Descriptors[kSystemRecordIndex].Decode(page + 3730)) corrupt();
  if (!h.Descriptors[kFullTextIndex].Decode(page + 3850)) corrupt();
  h.LiveRecordCount = GetI32LE(page + 3970);
  if (h.LiveRecordCount < 0) corrupt();
  h.NoPrimaryKey = page[3974] != 0;

  const TIndexDescriptor &sys = h.Descriptors[kSystemRecordIndex];
  if (sys.KeyLength != kSystemKeyLength || sys.Compression != KeyCompression::None || sys.NoCounts) corrupt();
  for (int i = 0; i < kIndexSlots; ++i) {
    const TIndexDescriptor &d = h.Descriptors[i];
    bool inUse = h.IndexInUse(i);
    if (!inUse) {
      // An unused slot must not claim pages; the primary slot may keep its free list.
      if (i != kPrimaryIndex && i != kFullTextIndex) continue;
    }
    // Fields take up to 522 bytes; a non-unique index adds its 4-byte tie-break.
    const int maxKey = kMaxKeyLength + (d.Unique ? 0 : 4);
    if (inUse && i != kFullTextIndex && (d.KeyLength < 1 || d.KeyLength > maxKey)) corrupt();
    if (d.RootPage < 0 || d.RootPage >= h.NextPage) corrupt();
    if (d.FirstFreePage < 0 || d.FirstFreePage >= h.NextPage) corrupt();
    if (inUse && i != kSystemRecordIndex && i != kFullTextIndex && d.FieldCount == 0) corrupt();
    if (!inUse && d.RootPage != 0) corrupt();
  }
  return h;
}

}  // namespace kura
