// In-memory page entries and the page codec with its three leaf compression modes.
#include "engine/index/IndexPage.h"

#include <algorithm>
#include <cstring>

#include "engine/index/IndexBytes.h"
#include "engine/index/IndexPageChecks.h"

namespace kura {

using namespace indexbytes;

TPageFormat TPageFormat::FromDescriptor(const TIndexDescriptor &d) {
  TPageFormat f;
  f.KeyLength = d.KeyLength;
  f.Unique = d.Unique;
  f.NoCounts = d.NoCounts || d.FullText;
  f.Compression = d.Compression;
  return f;
}

void TPage::Reset(uint32_t pageNo, int indexNo, const TPageFormat &format) {
  PageNo = pageNo;
  IndexNo = indexNo;
  Format = format;
  Type = PageLeaf;
  PrevPage = NextPage = 0;
  UsedBytes = 0;
  Dirty = false;
  PinCount = 0;
  Free = false;
  KeysChecked = true;
  LoadSerial = 0;
  CheckedUnder = 0;
  Entries.clear();
  MruPrev = MruNext = nullptr;
}

uint32_t TPage::Value(int i) const { return GetU32LE(Key(i) + Format.KeyLength); }
uint32_t TPage::KeyCount(int i) const { return IsLeaf() ? 0 : GetU32LE(Key(i) + Format.KeyLength + 4); }
void TPage::SetKey(int i, const uint8_t *key) { std::memmove(Key(i), key, static_cast<size_t>(Format.KeyLength)); }
void TPage::SetValue(int i, uint32_t v) { PutU32LE(Key(i) + Format.KeyLength, v); }
void TPage::SetKeyCount(int i, uint32_t v) {
  if (!IsLeaf()) PutU32LE(Key(i) + Format.KeyLength + 4, v);
}

void TPage::InsertEntry(int i, const uint8_t *key, uint32_t value, uint32_t count) {
  const size_t stride = static_cast<size_t>(Stride());
  const bool compressedLeaf = IsLeaf() && Format.CompressedLeaves();
  int oldNextBytes = (compressedLeaf && i < Count()) ? EntryBytes(i) : 0;
  // The key may point into this page's own entries (a moved lowest key), so copy it first.
  uint8_t entry[kMaxKeyLength + 4 + 8];
  if (stride > sizeof entry) RaiseEngineError(KURA_INVALIDKEY);
  std::memcpy(entry, key, static_cast<size_t>(Format.KeyLength));
  PutU32LE(entry + Format.KeyLength, value);
  PutU32LE(entry + Format.KeyLength + 4, count);  // past a leaf's stride: not copied
  Entries.insert(static_cast<size_t>(i) * stride, entry, entry + stride);
  if (compressedLeaf) {
    int used = UsedBytes + EntryBytes(i);
    if (i + 1 < Count()) used += EntryBytes(i + 1) - oldNextBytes;
    UsedBytes = static_cast<uint16_t>(used < 0xFFFF ? used : 0xFFFF);
  } else {
    RecalcUsedBytes();
  }
}

void TPage::RemoveEntry(int i) {
  const size_t stride = static_cast<size_t>(Stride());
  const size_t at = static_cast<size_t>(i) * stride;
  if (IsLeaf() && Format.CompressedLeaves()) {
    int used = UsedBytes - EntryBytes(i);
    if (i + 1 < Count()) used -= EntryBytes(i + 1);
    Entries.erase(at, at + stride);
    if (i < Count()) used += EntryBytes(i);
    UsedBytes = static_cast<uint16_t>(used < 0 ? 0 : (used < 0xFFFF ? used : 0xFFFF));
  } else {
    Entries.erase(at, at + stride);
    RecalcUsedBytes();
  }
}

void TPage::MoveTailTo(TPage &other, int from) {
  const size_t cut = static_cast<size_t>(from) * static_cast<size_t>(Stride());
  other.Entries.insert(0, Entries.data() + cut, Entries.data() + Entries.size());
  Entries.truncate(cut);
  RecalcUsedBytes();
  other.RecalcUsedBytes();
}

void TPage::MoveHeadTo(TPage &other, int count) {
  const size_t cut = static_cast<size_t>(count) * static_cast<size_t>(Stride());
  other.Entries.insert(other.Entries.size(), Entries.data(), Entries.data() + cut);
  Entries.erase(0, cut);
  RecalcUsedBytes();
  other.RecalcUsedBytes();
}

int64_t TPage::SubtreeKeys() const {
  if (IsLeaf()) return Count();
  int64_t sum = 0;
  const size_t stride = static_cast<size_t>(Stride());
  const uint8_t *count = Entries.data() + Format.KeyLength + 4;
  for (int i = Count(); i > 0; --i, count += stride) sum += GetU32LE(count);
  return sum;
}

namespace {

// Copies n entries of `bytes` bytes each between layouts of different strides (both at least 8
// bytes). Entries of at most 16 bytes but the last go as one 16-byte copy each: what lands past
// an entry is the next one's place, written over when that one is copied. Where the destination
// keeps 4 zero bytes after each entry (clearTail; its entries start zeroed), those are zeroed
// again after such a copy. The last entry is copied exactly, so nothing is read or written past
// either layout's end.
void CopyEntries(uint8_t *dst, size_t dstStride, const uint8_t *src, size_t srcStride, int n, size_t bytes,
                 bool clearTail) {
  if (n <= 0) return;
  int i = 0;
  if (bytes < 16 && dstStride >= 8 && srcStride >= 8 && (!clearTail || dstStride == bytes + 4)) {
    static const uint8_t kZero[4] = {0, 0, 0, 0};
    for (; i + 1 < n; ++i, dst += dstStride, src += srcStride) {
      std::memcpy(dst, src, 16);
      if (clearTail) std::memcpy(dst + bytes, kZero, 4);
    }
  }
  for (; i < n; ++i, dst += dstStride, src += srcStride) std::memcpy(dst, src, bytes);
}

int CommonPrefix(const uint8_t *a, const uint8_t *b, int k) {
  int d = 0;
  while (d < k && d < 255 && a[d] == b[d]) ++d;
  return d;
}

// Zero bytes at the end of key[from, to), at most 255.
int TrailingZeros(const uint8_t *key, int from, int to) {
  int t = 0;
  while (to - t > from && t < 255 && key[to - 1 - t] == 0) ++t;
  return t;
}

struct TLeafEntryShape {
  int Dup = 0;       // leading bytes shared with the previous key
  int Trail = 0;     // zero bytes dropped before the tie-break / at the end
  bool TieBreakApart = false;  // the 4-byte tie-break is written after the shortened part
};

TLeafEntryShape ShapeOf(const TPageFormat &f, const uint8_t *prev, const uint8_t *key) {
  TLeafEntryShape s;
  const int k = f.KeyLength;
  switch (f.Compression) {
    case KeyCompression::None:
      break;
    case KeyCompression::DuplicateBytes:
      s.Dup = prev ? CommonPrefix(prev, key, k) : 0;
      break;
    case KeyCompression::TrailingBytes:
      s.TieBreakApart = !f.Unique && k >= 4;
      s.Trail = TrailingZeros(key, 0, s.TieBreakApart ? k - 4 : k);
      break;
    case KeyCompression::Full:
      s.Dup = prev ? CommonPrefix(prev, key, k) : 0;
      s.TieBreakApart = !f.Unique && k - s.Dup >= 5;
      s.Trail = TrailingZeros(key, s.Dup, s.TieBreakApart ? k - 4 : k);
      break;
  }
  return s;
}

int ShapeBytes(const TPageFormat &f, const TLeafEntryShape &s) {
  const int k = f.KeyLength;
  switch (f.Compression) {
    case KeyCompression::None:
      return k + 4;
    case KeyCompression::DuplicateBytes:
      return 1 + (k - s.Dup) + 4;
    case KeyCompression::TrailingBytes:
      return 1 + (k - s.Trail) + 4;
    case KeyCompression::Full:
      return 2 + (k - s.Dup - s.Trail) + 4;
  }
  return k + 4;
}

}  // namespace

int TPage::EntryBytes(int i) const {
  if (!IsLeaf()) return Format.InteriorEntryBytes();
  return ShapeBytes(Format, ShapeOf(Format, i > 0 ? Key(i - 1) : nullptr, Key(i)));
}

void TPage::RecalcUsedBytes() {
  int n = Count();
  int used;
  if (!IsLeaf())
    used = n * Format.InteriorEntryBytes();
  else if (!Format.CompressedLeaves())
    used = n * (Format.KeyLength + 4);
  else {
    used = 0;
    for (int i = 0; i < n; ++i) used += EntryBytes(i);
  }
  UsedBytes = static_cast<uint16_t>(used < 0xFFFF ? used : 0xFFFF);
}

bool TPage::Overflows() const {
  if (!IsLeaf()) return Count() > Format.InteriorCapacity();
  if (!Format.CompressedLeaves()) return Count() > Format.LeafCapacity();
  return UsedBytes > kPageEntryBytes;
}

void EncodePage(const TPage &page, uint8_t *raw) {
  raw[0] = page.Type;
  const int n = page.Free ? 0 : page.Count();
  PutU16LE(raw + 1, static_cast<uint16_t>(n));
  PutI32LE(raw + 3, page.PrevPage);
  PutI32LE(raw + 7, page.NextPage);
  const TPageFormat &f = page.Format;
  const int k = f.KeyLength;
  uint8_t *out = raw + kPageHeaderBytes;
  uint8_t *const end = raw + kIndexPageSize;
  if (!page.IsLeaf() || !f.CompressedLeaves()) {
    // Fixed-size entries: key and value (and count on interior pages with counts) go out as
    // they lie in memory; the rest of the page is zero.
    const int diskBytes = page.IsLeaf() ? k + 4 : f.InteriorEntryBytes();
    const size_t stride = static_cast<size_t>(page.Stride());
    const size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(diskBytes);
    if (bytes > static_cast<size_t>(end - out)) RaiseEngineError(KURA_INDEXCORRUPT);
    if (static_cast<size_t>(diskBytes) == stride) {
      if (bytes > 0) std::memcpy(out, page.Entries.data(), bytes);
    } else {
      CopyEntries(out, static_cast<size_t>(diskBytes), page.Entries.data(), stride, n, static_cast<size_t>(diskBytes), false);
    }
    out += bytes;
    std::memset(out, 0, static_cast<size_t>(end - out));
    PutU16LE(raw + 11, static_cast<uint16_t>(bytes));
    return;
  }
  std::memset(out, 0, static_cast<size_t>(end - out));
  auto put = [&](const uint8_t *src, int count) {
    if (count <= 0) return;
    if (out + count > end) RaiseEngineError(KURA_INDEXCORRUPT);
    std::memcpy(out, src, static_cast<size_t>(count));
    out += count;
  };
  auto putByte = [&](int v) {
    uint8_t b = static_cast<uint8_t>(v);
    put(&b, 1);
  };
  // Leaves with compressed keys: entries of their own sizes.
  for (int i = 0; i < n; ++i) {
    const uint8_t *key = page.Key(i);
    const uint8_t *value = key + k;
    TLeafEntryShape s = ShapeOf(f, i > 0 ? page.Key(i - 1) : nullptr, key);
    switch (f.Compression) {
      case KeyCompression::None:
        put(key, k);
        break;
      case KeyCompression::DuplicateBytes:
        putByte(s.Dup);
        put(key + s.Dup, k - s.Dup);
        break;
      case KeyCompression::TrailingBytes:
        putByte(s.Trail);
        if (s.TieBreakApart) {
          put(key, k - 4 - s.Trail);
          put(key + k - 4, 4);
        } else {
          put(key, k - s.Trail);
        }
        break;
      case KeyCompression::Full:
        putByte(s.Dup);
        putByte(s.Trail);
        if (s.TieBreakApart) {
          put(key + s.Dup, k - 4 - s.Trail - s.Dup);
          put(key + k - 4, 4);
        } else {
          put(key + s.Dup, k - s.Trail - s.Dup);
        }
        break;
    }
    put(value, 4);
  }
  PutU16LE(raw + 11, static_cast<uint16_t>(out - (raw + kPageHeaderBytes)));
}

bool DecodePage(const uint8_t *raw, TPage &page, const ErrorTexts &texts, int keyOrder) {
  auto corrupt = [&]() { RaiseEngineError(KURA_INDEXCORRUPT, texts); };
  const TPageFormat &f = page.Format;
  const int k = f.KeyLength;
  if (k < 1 || k > kMaxKeyLength + 4) corrupt();
  page.Type = raw[0];
  if (page.Type > PageRootLeaf) corrupt();  // raw full-text pages are not tree pages
  const int n = GetU16LE(raw + 1);
  page.PrevPage = GetI32LE(raw + 3);
  page.NextPage = GetI32LE(raw + 7);
  const int used = GetU16LE(raw + 11);
  if (used > kPageEntryBytes) corrupt();
  page.Entries.assign(static_cast<size_t>(n) * static_cast<size_t>(page.Stride()));
  page.Free = (n == 0);
  const uint8_t *in = raw + kPageHeaderBytes;
  const uint8_t *const limit = raw + kPageHeaderBytes + (page.IsLeaf() && f.CompressedLeaves() ? used : kPageEntryBytes);
  auto take = [&](uint8_t *dst, int count) {
    if (count < 0 || in + count > limit) corrupt();
    std::memcpy(dst, in, static_cast<size_t>(count));
    in += count;
  };
  auto takeByte = [&]() {
    uint8_t b = 0;
    take(&b, 1);
    return static_cast<int>(b);
  };
  if (!page.IsLeaf()) {
    if (n > f.InteriorCapacity()) corrupt();
  } else if (!f.CompressedLeaves()) {
    if (n > f.LeafCapacity()) corrupt();
  }
  bool checkedOnTheWay = false;
  if (!page.IsLeaf() || !f.CompressedLeaves()) {
    // Fixed-size entries: key and value (and count on interior pages with counts) lie on disk
    // as they lie in memory, a missing count stays 0. The count checks above keep them inside
    // the page.
    const int diskBytes = page.IsLeaf() ? k + 4 : f.InteriorEntryBytes();
    const size_t stride = static_cast<size_t>(page.Stride());
    if (static_cast<size_t>(diskBytes) == stride) {
      take(page.Entries.data(), n * diskBytes);
      // Checked while the copy is in the processor's cache: key order and record numbers in one
      // walk, instead of two walks later over a page that may have left it.
      if (keyOrder != 0 && page.IsLeaf() && k <= 8 && n > 0) {
        if (!ShortKeysInOrder(page.Entries.data(), n, stride, k, keyOrder < 0, true)) corrupt();
        checkedOnTheWay = true;
      }
    } else {
      if (in + static_cast<ptrdiff_t>(n) * diskBytes > limit) corrupt();
      CopyEntries(page.Entries.data(), stride, in, static_cast<size_t>(diskBytes), n, static_cast<size_t>(diskBytes), true);
      in += static_cast<ptrdiff_t>(n) * diskBytes;
    }
  }
  for (int i = 0; i < n && page.IsLeaf() && f.CompressedLeaves(); ++i) {
    uint8_t *key = page.Key(i);
    uint8_t *value = key + k;
    switch (f.Compression) {
      case KeyCompression::None:
        break;
      case KeyCompression::DuplicateBytes: {
        int d = takeByte();
        if (d > k || (i == 0 && d != 0)) corrupt();
        if (d > 0) std::memcpy(key, page.Key(i - 1), static_cast<size_t>(d));
        take(key + d, k - d);
        break;
      }
      case KeyCompression::TrailingBytes: {
        int t = takeByte();
        bool apart = !f.Unique && k >= 4;
        int part = apart ? k - 4 : k;
        if (t > part) corrupt();
        take(key, part - t);  // the dropped zeros are already in place
        if (apart) take(key + k - 4, 4);
        break;
      }
      case KeyCompression::Full: {
        int d = takeByte();
        int t = takeByte();
        if (d > k || (i == 0 && d != 0)) corrupt();
        if (d > 0) std::memcpy(key, page.Key(i - 1), static_cast<size_t>(d));
        bool apart = !f.Unique && k - d >= 5;
        int part = apart ? k - 4 : k;
        if (t > part - d) corrupt();
        take(key + d, part - t - d);
        if (apart) take(key + k - 4, 4);
        break;
      }
    }
    take(value, 4);
  }
  if (page.IsLeaf() && f.CompressedLeaves() && in != limit) corrupt();  // bytes used must match the entries
  if (!StoredUsedBytesAgree(page, used)) corrupt();
  page.RecalcUsedBytes();
  page.KeysChecked = page.Free || checkedOnTheWay;
  return checkedOnTheWay;
}

}  // namespace kura
