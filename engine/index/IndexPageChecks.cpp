// Checks of index pages read from disk.
#include "engine/index/IndexPageChecks.h"

#include <algorithm>
#include <array>
#include <memory>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

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

#if defined(__x86_64__) && defined(__GNUC__)
#define KURA_KEY_CHECK_VBMI 1
// Where the processor can gather any bytes of 64 into any order in one instruction, several
// entries are checked a step: the walk above takes 2-3 cycles an entry, which for a leaf read
// from memory is about as long as the copy of the page.
bool HaveByteGather() {
  static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                           __builtin_cpu_supports("avx512vbmi");
  return have;
}

// For each stride (up to 16) and key length (1 to 8): where each lane's bytes come from.
struct TGatherOrder {
  alignas(64) uint8_t Key[64] = {};
  alignas(64) uint8_t Record[64] = {};
  uint64_t KeyBytes = 0, RecordBytes = 0;  // the lanes' bytes that are taken (the rest are zero)
};
const TGatherOrder &GatherOrder(size_t stride, int keyLength) {
  static const auto orders = [] {
    auto all = std::make_unique<std::array<std::array<TGatherOrder, 9>, 17>>();
    for (int s = 1; s <= 16; ++s)
      for (int k = 1; k <= 8 && k <= s; ++k) {
        TGatherOrder &o = (*all)[static_cast<size_t>(s)][static_cast<size_t>(k)];
        const int per = std::min(8, 64 / s);
        for (int lane = 0; lane < per; ++lane)
          for (int b = 0; b < 8; ++b) {
            const int at = lane * 8 + b;
            if (b < k) {
              o.Key[at] = static_cast<uint8_t>(lane * s + k - 1 - b);
              o.KeyBytes |= uint64_t{1} << at;
            }
            if (b < 4 && lane * s + k + b < 64) {
              o.Record[at] = static_cast<uint8_t>(lane * s + k + b);
              o.RecordBytes |= uint64_t{1} << at;
            }
          }
      }
    return all;
  }();
  return (*orders)[stride][static_cast<size_t>(keyLength)];
}

// Each step loads `per` entries (the last one compared before and per - 1 new ones) and turns
// them into one number per 64-bit lane: the key's bytes reversed (big-endian made a number),
// and the record number behind it. Needs n >= 2 * per; the rest goes to the walk above.
template <bool Descending, bool Records>
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) bool ShortKeysInOrderGathered(const uint8_t *first, int n,
                                                                                      size_t stride, int keyLength) {
  const int per = std::min(8, static_cast<int>(64 / stride));
  const TGatherOrder &order = GatherOrder(stride, keyLength);
  const uint8_t *const keyIndex = order.Key;
  const uint8_t *const recordIndex = order.Record;
  const uint64_t keyBytes = order.KeyBytes, recordBytes = order.RecordBytes;
  const __m512i keyOrder = _mm512_load_si512(keyIndex);
  const __m512i recordOrder = _mm512_load_si512(recordIndex);
  const __m512i recordLimit = _mm512_set1_epi64(0x80000000LL);
  const __mmask64 loaded = per * stride >= 64 ? ~__mmask64{0} : (__mmask64{1} << (per * stride)) - 1;
  const __mmask8 pairs = static_cast<__mmask8>(((1u << per) - 1) & ~1u);  // lanes 1 .. per - 1
  __mmask8 good = pairs;
  int i = 1;  // the first entry not compared with the one before it
  for (; i - 1 + per <= n; i += per - 1) {
    const __m512i bytes = _mm512_maskz_loadu_epi8(loaded, first + static_cast<size_t>(i - 1) * stride);
    const __m512i key = _mm512_maskz_permutexvar_epi8(keyBytes, keyOrder, bytes);
    const __m512i before = _mm512_maskz_alignr_epi64(0xFF, key, key, 7);  // lane j: the key of lane j - 1
    good &= Descending ? _mm512_cmpgt_epu64_mask(before, key) : _mm512_cmpgt_epu64_mask(key, before);
    if (Records) {
      const __m512i record = _mm512_maskz_permutexvar_epi8(recordBytes, recordOrder, bytes);
      good &= _mm512_cmpgt_epu64_mask(record, _mm512_setzero_si512());
      good &= _mm512_cmplt_epu64_mask(record, recordLimit);
    }
  }
  if (good != pairs) return false;
  if (Records && indexbytes::GetU32LE(first + keyLength) - 1u >= 0x7FFFFFFFu) return false;
  return ShortKeysInOrderAs<Descending, Records>(first + static_cast<size_t>(i - 1) * stride, n - (i - 1), stride,
                                                 keyLength);
}
#endif

}  // namespace

bool ShortKeysInOrder(const uint8_t *firstKey, int n, size_t stride, int keyLength, bool descending, bool records) {
  if (n <= 0) return true;
#ifdef KURA_KEY_CHECK_VBMI
  if (stride <= 16 && keyLength >= 1 && keyLength <= 8 && static_cast<int>(stride) >= keyLength + (records ? 4 : 0) &&
      n >= 16 && HaveByteGather()) {
    if (records)
      return descending ? ShortKeysInOrderGathered<true, true>(firstKey, n, stride, keyLength)
                        : ShortKeysInOrderGathered<false, true>(firstKey, n, stride, keyLength);
    return descending ? ShortKeysInOrderGathered<true, false>(firstKey, n, stride, keyLength)
                      : ShortKeysInOrderGathered<false, false>(firstKey, n, stride, keyLength);
  }
#endif
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
