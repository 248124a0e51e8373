#pragma once
// The cached pages of one index by page number. Every page a search passes is looked up here,
// and with thousands of pages cached a node-based hash map costs a cache miss or two per
// lookup beyond the page itself: this one keeps (page number, page) pairs in one array, open
// addressing with linear probing, at most half full. Page number 0 (the header) is never
// cached and marks an empty slot; removal shifts the following entries back instead of leaving
// markers, so lookups never grow longer with churn. Each slot also holds where the page's
// entries were when it was last handed out, so that a leaf's entries can be asked for from memory
// together with the page instead of after it.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kura {

class TPage;

class TPageNumberMap {
 public:
  // Where the page's entries were the last time it was handed out (for asking for them before
  // the page itself is read; possibly out of date, which costs nothing but the wasted request).
  struct THint {
    const uint8_t *Entries = nullptr;
    size_t Bytes = 0;
  };

  TPage *Find(uint32_t pageNo) const {
    const size_t i = Place(pageNo);
    return i == kNone ? nullptr : FSlots[i].Page;
  }
  static constexpr size_t kNone = ~size_t{0};
  // The slot holding the number, kNone when there is none.
  size_t Place(uint32_t pageNo) const {
    if (FCount == 0) return kNone;
    for (size_t i = Home(pageNo);; i = (i + 1) & FMask) {
      const TSlot &slot = FSlots[i];
      if (slot.PageNo == pageNo) return i;
      if (slot.PageNo == 0) return kNone;
    }
  }
  TPage *PageAt(size_t place) const { return FSlots[place].Page; }
  const THint &HintAt(size_t place) const { return FSlots[place].Hint; }
  void SetHint(size_t place, const uint8_t *entries, size_t bytes) { FSlots[place].Hint = {entries, bytes}; }

  // Adds the page or replaces the one held under its number (pageNo > 0).
  void Set(uint32_t pageNo, TPage *page) {
    if ((FCount + 1) * 2 > FSlots.size()) Grow();
    size_t i = Home(pageNo);
    while (FSlots[i].PageNo != 0 && FSlots[i].PageNo != pageNo) i = (i + 1) & FMask;
    if (FSlots[i].PageNo == 0) ++FCount;
    FSlots[i] = {pageNo, page, {}};
  }

  // Removes the page held under the number; false when there is none.
  bool Erase(uint32_t pageNo) {
    if (FCount == 0) return false;
    size_t i = Home(pageNo);
    while (FSlots[i].PageNo != pageNo) {
      if (FSlots[i].PageNo == 0) return false;
      i = (i + 1) & FMask;
    }
    // Entries after the hole that could not sit where they wanted move into it.
    for (size_t j = (i + 1) & FMask; FSlots[j].PageNo != 0; j = (j + 1) & FMask) {
      const size_t home = Home(FSlots[j].PageNo);
      const bool between = i <= j ? (home > i && home <= j) : (home > i || home <= j);
      if (between) continue;
      FSlots[i] = FSlots[j];
      i = j;
    }
    FSlots[i] = TSlot{};
    --FCount;
    return true;
  }

  size_t size() const { return FCount; }
  bool empty() const { return FCount == 0; }
  void clear() {
    FSlots.clear();
    FMask = 0;
    FCount = 0;
  }

 private:
  // A slot holds the hint beside the page: one cache line gives both.
  struct TSlot {
    uint32_t PageNo = 0;
    TPage *Page = nullptr;
    THint Hint;
  };

 public:
  // The (page number, page) pairs in no particular order; the map must not change meanwhile.
  class TIterator {
   public:
    TIterator(const TSlot *at, const TSlot *end) : FAt(at), FEnd(end) { Skip(); }
    std::pair<uint32_t, TPage *> operator*() const { return {FAt->PageNo, FAt->Page}; }
    TIterator &operator++() {
      ++FAt;
      Skip();
      return *this;
    }
    bool operator!=(const TIterator &other) const { return FAt != other.FAt; }

   private:
    void Skip() {
      while (FAt != FEnd && FAt->PageNo == 0) ++FAt;
    }
    const TSlot *FAt;
    const TSlot *FEnd;
  };
  TIterator begin() const { return {FSlots.data(), FSlots.data() + FSlots.size()}; }
  TIterator end() const { return {FSlots.data() + FSlots.size(), FSlots.data() + FSlots.size()}; }

 private:
  size_t Home(uint32_t pageNo) const {
    // Neighbouring page numbers spread over the table (Fibonacci hashing).
    return static_cast<size_t>((static_cast<uint64_t>(pageNo) * 0x9E3779B97F4A7C15ull) >> 32) & FMask;
  }
  void Grow() {
    std::vector<TSlot> old;
    old.swap(FSlots);
    FSlots.assign(old.empty() ? 16 : old.size() * 2, TSlot{});
    FMask = FSlots.size() - 1;
    FCount = 0;
    for (const TSlot &slot : old)
      if (slot.PageNo != 0) {
        Set(slot.PageNo, slot.Page);
        FSlots[Place(slot.PageNo)].Hint = slot.Hint;
      }
  }

  std::vector<TSlot> FSlots;
  size_t FMask = 0;
  size_t FCount = 0;
};

}  // namespace kura
