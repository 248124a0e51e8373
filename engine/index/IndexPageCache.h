#pragma once
// The index file's page cache: the header copy, one cache per index (pages by number, with a
// most-recently-used chain), a pool of free TPage objects, page allocation and
// the per-index free lists.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexHeader.h"
#include "engine/index/IndexPage.h"
#include "engine/index/PageNumberMap.h"
#include "engine/index/IndexPageStore.h"

namespace kura {

class TIndexPageCache;

// A page pinned for its holder; the pin is released when the reference goes.
class TPageRef {
 public:
  TPageRef() = default;
  TPageRef(TIndexPageCache *cache, TPage *page) : FCache(cache), FPage(page) {}
  TPageRef(const TPageRef &) = delete;
  TPageRef &operator=(const TPageRef &) = delete;
  TPageRef(TPageRef &&other) noexcept : FCache(other.FCache), FPage(other.FPage) { other.FPage = nullptr; }
  TPageRef &operator=(TPageRef &&other) noexcept;
  ~TPageRef() { Release(); }

  TPage *Get() const { return FPage; }
  TPage *operator->() const { return FPage; }
  TPage &operator*() const { return *FPage; }
  explicit operator bool() const { return FPage != nullptr; }
  void Release();

 private:
  TIndexPageCache *FCache = nullptr;
  TPage *FPage = nullptr;
};

// Released TPage objects kept for reuse.
class TPageStack {
 public:
  static constexpr size_t kMaxPooled = 64;
  std::unique_ptr<TPage> Pop();
  void Push(std::unique_ptr<TPage> page);
  size_t Size() const { return FPages.size(); }

 private:
  std::vector<std::unique_ptr<TPage>> FPages;
};

class TIndexPageCache {
 public:
  explicit TIndexPageCache(IIndexPageStore &store, ErrorTexts texts = {});
  ~TIndexPageCache();
  TIndexPageCache(const TIndexPageCache &) = delete;
  TIndexPageCache &operator=(const TIndexPageCache &) = delete;

  const ErrorTexts &Texts() const { return FTexts; }
  [[noreturn]] void RaiseCorrupt() const;

  // A new, empty index file: the fresh header is written and the store cut after it.
  void CreateNew();
  // Reads and validates the header (KURA_OLDVERSION, KURA_HEADERCORRUPT).
  void Open();

  TIndexHeader &Header() { return FHeader; }
  const TIndexHeader &Header() const { return FHeader; }
  TIndexDescriptor &Descriptor(int indexNo);
  void MarkHeaderDirty() { FHeaderDirty = true; }
  // The live-record count moves by +1 on insert and -1 on delete; it never goes below 0.
  void AddLiveRecords(int32_t delta);
  void SetNoPrimaryKey(bool noPrimaryKey);
  bool HeaderDirty() const { return FHeaderDirty; }
  // Writes the header when dirty or forced, counting the write in its ChangeCounter. True
  // when it was written.
  bool WriteHeader(bool force = false);
  // Reads the stored header again; when its ChangeCounter differs from the one last seen on
  // disk, takes it over, drops every cached page and reports true.
  bool RereadHeader();
  // The ChangeCounter of the header last read from or written to the store.
  int32_t DiskChangeCounter() const { return FDiskChangeCounter; }
  // A change of an exclusive table or inside a transaction: counted in memory only.
  void CountChangeInMemory();

  // Pages kept per index when trimming (IndexBufferSize div 8192; at least 1).
  void SetPagesPerIndex(int pages) { FPagesPerIndex = pages < 1 ? 1 : pages; }
  int PagesPerIndex() const { return FPagesPerIndex; }
  // While false (inside a transaction), dirty pages stay in memory until written explicitly.
  void SetWriteBackAllowed(bool allowed) { FWriteBackAllowed = allowed; }

  TPageFormat Format(int indexNo) const;

  // Page n of an index, pinned. Page 0, a number past the end, or a page that cannot be read
  // or decoded: KURA_INDEXCORRUPT. keyOrder as for DecodePage: a B+-tree that checks the key
  // order of the pages it reads has a page read from disk checked while it is decoded.
  // likelyLeaf: the page is probably a leaf, which may have left the processor's cache.
  TPageRef GetPage(int indexNo, int32_t pageNo, int keyOrder = 0, bool likelyLeaf = false);
  // A page for an index: its first free page, else a new page at the end (KURA_TABLEFULL when
  // the file cannot grow). The page comes back empty, dirty and pinned.
  TPageRef AllocatePage(int indexNo, uint8_t type);
  // Puts a page on its index's free list.
  void FreePage(TPage &page);
  // Puts page n on another index's free list whatever it held (deleting an index).
  void AdoptFreePage(int indexNo, int32_t pageNo);
  void MarkDirty(TPage &page) { page.Dirty = true; }

  // Pages pinned by an operation under way may be half changed; eviction leaves them alone.
  void WriteDirtyPages(bool includePinned = true);
  bool HasDirtyPages() const;
  // Dirty pages, then the header when dirty.
  void Flush();
  // Cuts each index's cache to its capacity (after writes).
  void Trim();
  // Forgets every cached page, dirty or not (after another process changed the file, or a
  // rollback). Pinned pages are detached and released when their holders let go.
  void DropPages();
  void DropIndexPages(int indexNo);
  // Emptying: every index empty, next page 1, live-record count 0; header written, store cut.
  void EmptyAll();

  size_t CachedPages(int indexNo) const { return FCaches[indexNo].Pages.size(); }
  // Levels of interior pages above an index's leaves, as its last descent found them (-1: none yet).
  int LeafDepth(int indexNo) const { return FCaches[indexNo].LeafDepth; }
  void NoteLeafDepth(int indexNo, int depth) { FCaches[indexNo].LeafDepth = depth; }
  // The LoadSerial of the page read from disk or allocated last.
  uint64_t LoadSerial() const { return FLoadSerial; }
  size_t PooledPages() const { return FPool.Size(); }

 private:
  friend class TPageRef;
  // Inside a transaction changed pages cannot be written back to make room: an eviction walk
  // that passes one takes it out of the recency chain ("parks" it), and only the chained pages
  // count against the capacity. A parked page comes back to the chain once it is written (or
  // used again when changed pages may be written back).
  struct TIndexCache {
    TPageNumberMap Pages;
    TPage *MruHead = nullptr;
    TPage *MruTail = nullptr;
    size_t Chained = 0;  // pages in the recency chain
    uint64_t Moves = 0;  // pages put in front so far
    int LeafDepth = -1;
  };
  static bool InChain(const TIndexCache &c, const TPage *page) { return page == c.MruHead || page->MruPrev; }
  // Puts a parked page back at the old end of the chain.
  void Unpark(TIndexCache &c, TPage *page);

  void Unpin(TPage *page);
  TPage *Lookup(int indexNo, uint32_t pageNo);
  void Touch(TIndexCache &c, TPage *page);
  void UnlinkMru(TIndexCache &c, TPage *page);
  void InsertIntoCache(int indexNo, TPage *page);
  void RemoveFromCache(int indexNo, TPage *page);
  TPage *NewPageObject();
  void Recycle(TPage *page);
  // Frees room for one more page of an index when its list is at capacity.
  void MakeRoom(int indexNo);
  bool EvictOne(int indexNo);
  bool CanWriteBack() { return FWriteBackAllowed && FStore.WriteBackAllowed(); }
  void WritePage(TPage &page);

  IIndexPageStore &FStore;
  ErrorTexts FTexts;
  TIndexHeader FHeader;
  bool FHeaderDirty = false;
  int FPagesPerIndex = 2;
  bool FWriteBackAllowed = true;
  int32_t FDiskChangeCounter = 0;
  uint64_t FLoadSerial = 0;  // the last serial given to a page read or allocated
  std::array<TIndexCache, kIndexSlots> FCaches;
  std::vector<TPage *> FDetached;  // dropped while pinned
  TPageStack FPool;
  std::vector<uint8_t> FBuffer;
};

}  // namespace kura
