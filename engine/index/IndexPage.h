#pragma once
// One index page in memory (`TPage`) and its 4096-byte on-disk form with the leaf
// compression modes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexHeader.h"

namespace kura {

enum PageType : uint8_t {
  PageRootInterior = 0,
  PageInterior = 1,
  PageLeaf = 2,
  PageRootLeaf = 3,
  PageRawFullText = 4,
};

// The properties of an index that decide how its pages are laid out.
struct TPageFormat {
  int KeyLength = 0;
  bool Unique = true;
  bool NoCounts = false;
  KeyCompression Compression = KeyCompression::None;

  static TPageFormat FromDescriptor(const TIndexDescriptor &d);
  // Bytes one entry takes in memory: key and value on a leaf (as an uncompressed leaf holds
  // them on disk), key, value and count on an interior page.
  int LeafStride() const { return KeyLength + 4; }
  int InteriorStride() const { return KeyLength + 8; }
  int InteriorEntryBytes() const { return KeyLength + (NoCounts ? 4 : 8); }
  int InteriorCapacity() const { return kPageEntryBytes / InteriorEntryBytes(); }
  // Entries of an uncompressed leaf.
  int LeafCapacity() const { return kPageEntryBytes / (KeyLength + 4); }
  bool CompressedLeaves() const { return Compression != KeyCompression::None; }
};

// The entries of a page in memory, followed by kTail zero bytes that are not part of them: an
// 8-byte load from the start of any key, or from its ninth byte when it has more than 8, stays
// inside the buffer (searches compare short keys as whole numbers).
class TEntryBytes {
 public:
  static constexpr size_t kTail = 8;
  TEntryBytes() : FBytes(kTail, 0) {}
  size_t size() const { return FBytes.size() - kTail; }
  uint8_t *data() { return FBytes.data(); }
  const uint8_t *data() const { return FBytes.data(); }
  void clear() { FBytes.assign(kTail, 0); }
  // n zero bytes.
  void assign(size_t n) { FBytes.assign(n + kTail, 0); }
  // Cuts to n bytes (n <= size()).
  void truncate(size_t n) {
    FBytes.resize(n + kTail);
    std::memset(FBytes.data() + n, 0, kTail);
  }
  // Puts bytes [first, last) (not of this buffer) before byte `at`.
  void insert(size_t at, const uint8_t *first, const uint8_t *last) {
    FBytes.insert(FBytes.begin() + static_cast<std::ptrdiff_t>(at), first, last);
  }
  // Removes bytes [from, to).
  void erase(size_t from, size_t to) {
    FBytes.erase(FBytes.begin() + static_cast<std::ptrdiff_t>(from), FBytes.begin() + static_cast<std::ptrdiff_t>(to));
  }

 private:
  std::vector<uint8_t> FBytes;
};

class TPage {
 public:
  uint32_t PageNo = 0;
  int IndexNo = 0;
  TPageFormat Format;
  // Leaf or interior decides the layout of Entries: a page changes kind only while it is empty.
  uint8_t Type = PageLeaf;
  int32_t PrevPage = 0;
  int32_t NextPage = 0;
  uint16_t UsedBytes = 0;  // on-disk bytes of the entries
  bool Dirty = false;
  int PinCount = 0;
  bool Free = false;
  // False for a page just read from disk until the B+-tree has checked its key order.
  bool KeysChecked = true;
  // Set by the cache each time the page is read from disk or allocated, never twice the same.
  uint64_t LoadSerial = 0;
  // The LoadSerial of the parent page this page was last checked against (0: not yet). A page
  // and its parent entry are checked again only when either was read from disk since.
  uint64_t CheckedUnder = 0;
  // Entries of a fixed stride: key and 4-byte value (child page or RecordNumber), on interior
  // pages then the 4-byte key count of the child's subtree. Leaf keys stored compressed are
  // expanded to their full length.
  TEntryBytes Entries;

  // Cache bookkeeping: the recency chain of the owning index.
  TPage *MruPrev = nullptr;
  TPage *MruNext = nullptr;
  uint64_t MovedAt = 0;  // the chain's move count when this page was last put in front

  void Reset(uint32_t pageNo, int indexNo, const TPageFormat &format);

  bool IsLeaf() const { return Type == PageLeaf || Type == PageRootLeaf; }
  bool IsRoot() const { return Type == PageRootInterior || Type == PageRootLeaf; }
  // Bytes an entry of this page takes in Entries.
  int Stride() const { return IsLeaf() ? Format.LeafStride() : Format.InteriorStride(); }
  int Count() const { return static_cast<int>(Entries.size() / static_cast<size_t>(Stride())); }

  const uint8_t *Key(int i) const { return Entries.data() + static_cast<size_t>(i) * Stride(); }
  uint8_t *Key(int i) { return Entries.data() + static_cast<size_t>(i) * Stride(); }
  uint32_t Value(int i) const;
  // The subtree count of an interior entry (0 on a leaf).
  uint32_t KeyCount(int i) const;
  void SetKey(int i, const uint8_t *key);
  void SetValue(int i, uint32_t v);
  void SetKeyCount(int i, uint32_t v);

  void InsertEntry(int i, const uint8_t *key, uint32_t value, uint32_t count);
  void RemoveEntry(int i);
  // Moves entries [from, Count()) to the front of `other` (appending when toEnd).
  void MoveTailTo(TPage &other, int from);
  void MoveHeadTo(TPage &other, int count);

  // Keys below this page: the entry count of a leaf, the sum of its counts for an interior page.
  int64_t SubtreeKeys() const;
  // Recomputes UsedBytes from the entries (the on-disk size in the page's compression).
  void RecalcUsedBytes();
  // On-disk bytes of entry i given entry i - 1 (for compressed leaves).
  int EntryBytes(int i) const;
  // Whether the page holds more than it may.
  bool Overflows() const;
  // Capacity in entries for the rebalancing rules (interior and uncompressed leaves).
  int Capacity() const { return IsLeaf() ? Format.LeafCapacity() : Format.InteriorCapacity(); }
};

// Writes the page's on-disk form (kIndexPageSize bytes).
void EncodePage(const TPage &page, uint8_t *raw);
// Reads a page into `page` (whose number, index and format are already set). Every value is
// checked; anything that cannot be right raises KURA_INDEXCORRUPT with the given texts.
//
// keyOrder (+1 ascending, -1 descending, 0 none) is the order of keys that compare bytewise,
// for the page checks of a B+-tree. A leaf of fixed-size entries with keys of up to 8 bytes is
// then also checked as it is read: keys strictly in that order, record numbers in range.
// The page comes back with KeysChecked set; true is returned when its record numbers were
// checked too. Otherwise false, and the caller's checks do both.
bool DecodePage(const uint8_t *raw, TPage &page, const ErrorTexts &texts, int keyOrder = 0);

}  // namespace kura
