// Checks of index pages read from disk.
#include "engine/index/IndexPageChecks.h"

#include <algorithm>

#include "engine/index/IndexBytes.h"

namespace kura {

bool &IndexPageChecksEnabled() {
  static bool enabled = true;
  return enabled;
}

namespace {

template <bool Descending, bool Records>
bool ShortKeysInOrderAs(const uint8_t *key, int n, size_t stride, int keyLength) {
  // Compared as big-endian numbers, which is their bytewise order, without a call per pair.
  const int shift = 8 * (8 - keyLength);
  auto number = [shift](const uint8_t *p) { return indexbytes::GetU64BE(p) >> shift; };
  uint64_t previous = number(key);
  // The largest record number - 1 (0 - 1 wraps to the largest of all).
  uint32_t worst = Records ? indexbytes::GetU32LE(key + keyLength) - 1u : 0;
  bool disorder = false;
  for (int i = 1; i < n; ++i) {
    key += stride;
    const uint64_t current = number(key);
    disorder |= Descending ? current >= previous : current <= previous;
    previous = current;
    if (Records) worst = std::max(worst, indexbytes::GetU32LE(key + keyLength) - 1u);
  }
  return !disorder && worst < 0x7FFFFFFFu;
}

}  // namespace

bool ShortKeysInOrder(const uint8_t *firstKey, int n, size_t stride, int keyLength, bool descending, bool records) {
  if (n <= 0) return true;
  if (records)
    return descending ? ShortKeysInOrderAs<true, true>(firstKey, n, stride, keyLength)
                      : ShortKeysInOrderAs<false, true>(firstKey, n, stride, keyLength);
  return descending ? ShortKeysInOrderAs<true, false>(firstKey, n, stride, keyLength)
                    : ShortKeysInOrderAs<false, false>(firstKey, n, stride, keyLength);
}

bool StoredUsedBytesAgree(const TPage &page, int storedUsedBytes) {
  if (!IndexPageChecksEnabled() || page.Free) return true;
  const TPageFormat &f = page.Format;
  if (!page.IsLeaf()) return storedUsedBytes == page.Count() * f.InteriorEntryBytes();
  if (!f.CompressedLeaves()) return storedUsedBytes == page.Count() * (f.KeyLength + 4);
  return true;  // compressed leaves are decoded up to exactly their used bytes
}

void CheckReadPage(const TPage &page, int32_t nextPageNumber, const ErrorTexts &texts, bool leafRecordsChecked) {
  if (!IndexPageChecksEnabled()) return;
  auto corrupt = [&]() { RaiseEngineError(KURA_INDEXCORRUPT, texts); };
  const int32_t self = static_cast<int32_t>(page.PageNo);
  auto inFile = [&](int32_t pageNo) { return pageNo > 0 && pageNo < nextPageNumber && pageNo != self; };
  if (page.Free) {
    // A freed page links only to the next free page.
    if (page.NextPage != 0 && !inFile(page.NextPage)) corrupt();
    return;
  }
  if (page.PrevPage != 0 && !inFile(page.PrevPage)) corrupt();
  if (page.NextPage != 0 && !inFile(page.NextPage)) corrupt();
  if (page.PrevPage != 0 && page.PrevPage == page.NextPage) corrupt();
  if (page.IsRoot() && (page.PrevPage != 0 || page.NextPage != 0)) corrupt();
  const TPageFormat &f = page.Format;
  const int n = page.Count();
  const size_t stride = static_cast<size_t>(page.Stride());
  const uint8_t *value = page.Entries.data() + f.KeyLength;  // then the count, on interior pages
  if (!page.IsLeaf()) {
    const bool counts = !f.NoCounts;
    for (int i = 0; i < n; ++i, value += stride) {
      if (!inFile(static_cast<int32_t>(indexbytes::GetU32LE(value)))) corrupt();
      if (counts && indexbytes::GetU32LE(value + 4) == 0) corrupt();
    }
    return;
  }
  if (leafRecordsChecked) return;
  for (int i = 0; i < n; ++i, value += stride) {
    const uint32_t record = indexbytes::GetU32LE(value);
    if (record == 0 || record > 0x7FFFFFFFu) corrupt();
  }
}

}  // namespace kura
