// Page cache of the index file: lookup, loading, eviction, allocation and free lists.
#include "engine/index/IndexPageCache.h"

#include "engine/index/IndexBytes.h"
#include "engine/index/IndexPageChecks.h"

#include <algorithm>

namespace kura {

TPageRef &TPageRef::operator=(TPageRef &&other) noexcept {
  if (this != &other) {
    Release();
    FCache = other.FCache;
    FPage = other.FPage;
    other.FPage = nullptr;
  }
  return *this;
}

void TPageRef::Release() {
  if (FPage) FCache->Unpin(FPage);
  FPage = nullptr;
}

std::unique_ptr<TPage> TPageStack::Pop() {
  if (FPages.empty()) return std::make_unique<TPage>();
  std::unique_ptr<TPage> p = std::move(FPages.back());
  FPages.pop_back();
  return p;
}

void TPageStack::Push(std::unique_ptr<TPage> page) {
  if (FPages.size() < kMaxPooled) {
    page->Entries.clear();
    FPages.push_back(std::move(page));
  }
}

TIndexPageCache::TIndexPageCache(IIndexPageStore &store, ErrorTexts texts)
    : FStore(store), FTexts(std::move(texts)), FHeader(TIndexHeader::CreateEmpty()), FBuffer(kIndexPageSize) {}

TIndexPageCache::~TIndexPageCache() {
  for (TIndexCache &c : FCaches)
    for (const auto &[pageNo, p] : c.Pages) delete p;
  for (TPage *p : FDetached) delete p;
}

void TIndexPageCache::RaiseCorrupt() const { RaiseEngineError(KURA_INDEXCORRUPT, FTexts); }

TIndexDescriptor &TIndexPageCache::Descriptor(int indexNo) {
  if (indexNo < 0 || indexNo >= kIndexSlots) RaiseCorrupt();
  return FHeader.Descriptors[indexNo];
}

void TIndexPageCache::CreateNew() {
  DropPages();
  FHeader = TIndexHeader::CreateEmpty();
  // The new header's page is the same bytes every time: encoded once.
  static const std::vector<uint8_t> emptyPage = [] {
    std::vector<uint8_t> page(kIndexPageSize);
    TIndexHeader::CreateEmpty().Encode(page.data());
    return page;
  }();
  FStore.WritePage(0, emptyPage.data());
  FStore.Truncate(1);
  FHeaderDirty = false;
  FDiskChangeCounter = FHeader.ChangeCounter;
}

void TIndexPageCache::Open() {
  DropPages();
  if (!FStore.ReadPage(0, FBuffer.data())) RaiseEngineError(KURA_HEADERCORRUPT, FTexts);
  FHeader = TIndexHeader::Decode(FBuffer.data(), FTexts);
  FHeaderDirty = false;
  FDiskChangeCounter = FHeader.ChangeCounter;
}

void TIndexPageCache::AddLiveRecords(int32_t delta) {
  int64_t n = static_cast<int64_t>(FHeader.LiveRecordCount) + delta;
  FHeader.LiveRecordCount = static_cast<int32_t>(n < 0 ? 0 : (n > INT32_MAX ? INT32_MAX : n));
  FHeaderDirty = true;
}

void TIndexPageCache::SetNoPrimaryKey(bool noPrimaryKey) {
  FHeader.NoPrimaryKey = noPrimaryKey;
  FHeaderDirty = true;
}

bool TIndexPageCache::WriteHeader(bool force) {
  if (!FHeaderDirty && !force) return false;
  FHeader.ChangeCounter = static_cast<int32_t>(static_cast<uint32_t>(FHeader.ChangeCounter) + 1);
  FHeader.Encode(FBuffer.data());
  FStore.WritePage(0, FBuffer.data());
  FHeaderDirty = false;
  FDiskChangeCounter = FHeader.ChangeCounter;
  return true;
}

void TIndexPageCache::CountChangeInMemory() {
  FHeader.ChangeCounter = static_cast<int32_t>(static_cast<uint32_t>(FHeader.ChangeCounter) + 1);
  FHeaderDirty = true;
}

bool TIndexPageCache::HasDirtyPages() const {
  for (const TIndexCache &c : FCaches)
    for (const auto &[pageNo, p] : c.Pages)
      if (p->Dirty) return true;
  return false;
}

bool TIndexPageCache::RereadHeader() {
  if (!FStore.ReadPage(0, FBuffer.data())) RaiseEngineError(KURA_HEADERCORRUPT, FTexts);
  // Every read lock asks this; the counter alone tells whether there is anything to decode.
  if (indexbytes::GetI32LE(FBuffer.data()) == FDiskChangeCounter) return false;
  TIndexHeader stored = TIndexHeader::Decode(FBuffer.data(), FTexts);
  FHeader = stored;
  FHeaderDirty = false;
  FDiskChangeCounter = stored.ChangeCounter;
  DropPages();
  return true;
}

TPageFormat TIndexPageCache::Format(int indexNo) const {
  return TPageFormat::FromDescriptor(FHeader.Descriptors[indexNo]);
}

void TIndexPageCache::UnlinkMru(TIndexCache &c, TPage *page) {
  if (InChain(c, page)) --c.Chained;
  if (page->MruPrev) page->MruPrev->MruNext = page->MruNext;
  else if (c.MruHead == page) c.MruHead = page->MruNext;
  if (page->MruNext) page->MruNext->MruPrev = page->MruPrev;
  else if (c.MruTail == page) c.MruTail = page->MruPrev;
  page->MruPrev = page->MruNext = nullptr;
}

void TIndexPageCache::Touch(TIndexCache &c, TPage *page) {
  if (c.MruHead == page) return;
  // A parked page stays parked while it still cannot be written back: in the chain it would only
  // be parked again by the next eviction walk, each time touching its neighbours' memory.
  if (page->Dirty && !InChain(c, page) && !CanWriteBack()) return;
  // A page put in front fewer than a quarter of the chain's moves ago is still in its first
  // quarter (every move puts one page before it, nothing else does): moving it again would only
  // touch its neighbours' memory, a cache miss each with thousands of pages cached, and it is
  // far from being the next to go.
  if (InChain(c, page) && c.Moves - page->MovedAt < c.Chained / 4) return;
  page->MovedAt = ++c.Moves;
  UnlinkMru(c, page);
  page->MruNext = c.MruHead;
  if (c.MruHead) c.MruHead->MruPrev = page;
  c.MruHead = page;
  if (!c.MruTail) c.MruTail = page;
  ++c.Chained;
}

void TIndexPageCache::Unpark(TIndexCache &c, TPage *page) {
  if (InChain(c, page)) return;
  page->MovedAt = 0;  // at the old end: the next use moves it to the front
  page->MruNext = nullptr;
  page->MruPrev = c.MruTail;
  if (c.MruTail) c.MruTail->MruNext = page;
  c.MruTail = page;
  if (!c.MruHead) c.MruHead = page;
  ++c.Chained;
}

TPage *TIndexPageCache::Lookup(int indexNo, uint32_t pageNo) {
  TIndexCache &c = FCaches[indexNo];
  // Cursors mostly come back to the pages they just used.
  if (c.MruHead && c.MruHead->PageNo == pageNo) return c.MruHead;
  if (c.MruHead && c.MruHead->MruNext && c.MruHead->MruNext->PageNo == pageNo) return c.MruHead->MruNext;
  return c.Pages.Find(pageNo);
}

void TIndexPageCache::InsertIntoCache(int indexNo, TPage *page) {
  TIndexCache &c = FCaches[indexNo];
  c.Pages.Set(page->PageNo, page);
  Touch(c, page);
}

void TIndexPageCache::RemoveFromCache(int indexNo, TPage *page) {
  TIndexCache &c = FCaches[indexNo];
  if (c.Pages.Find(page->PageNo) == page) c.Pages.Erase(page->PageNo);
  UnlinkMru(c, page);
}

TPage *TIndexPageCache::NewPageObject() { return FPool.Pop().release(); }

void TIndexPageCache::Recycle(TPage *page) { FPool.Push(std::unique_ptr<TPage>(page)); }

void TIndexPageCache::Unpin(TPage *page) {
  if (page->PinCount > 0) --page->PinCount;
  if (page->PinCount == 0) {
    auto it = std::find(FDetached.begin(), FDetached.end(), page);
    if (it != FDetached.end()) {
      FDetached.erase(it);
      Recycle(page);
    }
  }
}

void TIndexPageCache::WritePage(TPage &page) {
  EncodePage(page, FBuffer.data());
  FStore.WritePage(page.PageNo, FBuffer.data());
  page.Dirty = false;
  // A parked page can be evicted again now that it is clean.
  if (page.IndexNo < 0 || page.IndexNo >= kIndexSlots) return;
  TIndexCache &c = FCaches[page.IndexNo];
  if (c.Pages.Find(page.PageNo) == &page) Unpark(c, &page);
}

bool TIndexPageCache::EvictOne(int indexNo) {
  TIndexCache &c = FCaches[indexNo];
  const bool park = !CanWriteBack();
  for (TPage *p = c.MruTail; p;) {
    TPage *older = p;
    p = p->MruPrev;
    if (older->PinCount != 0) continue;
    if (!older->Dirty) {
      RemoveFromCache(indexNo, older);
      Recycle(older);
      return true;
    }
    // Changed and not writable now: out of the walks until it is used or written.
    if (park) UnlinkMru(c, older);
  }
  return false;
}

void TIndexPageCache::MakeRoom(int indexNo) {
  TIndexCache &c = FCaches[indexNo];
  const bool writeBack = CanWriteBack();
  // Parked pages stay in memory whatever the capacity; the capacity bounds the others.
  if ((writeBack ? c.Pages.size() : c.Chained) < static_cast<size_t>(FPagesPerIndex)) return;
  if (EvictOne(indexNo)) return;
  if (writeBack) {
    bool anyDirty = false;
    for (const auto &[pageNo, p] : c.Pages) anyDirty = anyDirty || (p->Dirty && p->PinCount == 0);
    if (anyDirty) {
      WriteDirtyPages(false);
      EvictOne(indexNo);
    }
  }
  // Everything pinned (or held back by a transaction): the list grows and is trimmed later.
}

TPageRef TIndexPageCache::GetPage(int indexNo, int32_t pageNo, int keyOrder, bool likelyLeaf) {
  if (indexNo < 0 || indexNo >= kIndexSlots) RaiseCorrupt();
  if (pageNo <= 0 || pageNo >= FHeader.NextPage) RaiseCorrupt();
  TIndexCache &c = FCaches[indexNo];
  if (likelyLeaf) {
    // The page and its entries are asked for together: reading the page first and then its
    // entries would wait for memory twice.
    const size_t place = c.Pages.Place(static_cast<uint32_t>(pageNo));
    if (place != TPageNumberMap::kNone) {
      TPage *page = c.Pages.PageAt(place);
      const TPageNumberMap::THint &hint = c.Pages.HintAt(place);
      __builtin_prefetch(page);
      __builtin_prefetch(reinterpret_cast<const uint8_t *>(page) + 64);
      for (const uint8_t *line = hint.Entries, *end = hint.Entries + hint.Bytes; line < end; line += 64)
        __builtin_prefetch(line);
      Touch(c, page);
      ++page->PinCount;
      c.Pages.SetHint(place, page->Entries.data(), page->Entries.size());
      return TPageRef(this, page);
    }
  } else if (TPage *page = Lookup(indexNo, static_cast<uint32_t>(pageNo))) {
    Touch(c, page);
    ++page->PinCount;
    return TPageRef(this, page);
  }
  MakeRoom(indexNo);
  if (!FStore.ReadPage(static_cast<uint32_t>(pageNo), FBuffer.data())) RaiseCorrupt();
  std::unique_ptr<TPage> fresh(NewPageObject());
  fresh->Reset(static_cast<uint32_t>(pageNo), indexNo, Format(indexNo));
  const bool recordsChecked = DecodePage(FBuffer.data(), *fresh, FTexts, keyOrder);
  CheckReadPage(*fresh, FHeader.NextPage, FTexts, recordsChecked);
  fresh->LoadSerial = ++FLoadSerial;
  TPage *page = fresh.release();
  InsertIntoCache(indexNo, page);
  ++page->PinCount;
  c.Pages.SetHint(c.Pages.Place(static_cast<uint32_t>(pageNo)), page->Entries.data(), page->Entries.size());
  return TPageRef(this, page);
}

TPageRef TIndexPageCache::AllocatePage(int indexNo, uint8_t type) {
  TIndexDescriptor &d = Descriptor(indexNo);
  TPageRef ref;
  if (d.FirstFreePage != 0) {
    ref = GetPage(indexNo, d.FirstFreePage);
    // A page on the free list that still holds entries, or that links to itself, means the
    // list is damaged; handing it out would give one page two owners.
    if (!ref->Free || ref->NextPage < 0 || ref->NextPage >= FHeader.NextPage ||
        ref->NextPage == static_cast<int32_t>(ref->PageNo))
      RaiseCorrupt();
    d.FirstFreePage = ref->NextPage;
  } else {
    const int64_t pageNo = FHeader.NextPage;
    if (pageNo + 1 > kMaxIndexPageNumber || (pageNo + 1) * kIndexPageSize > kMaxIndexFileBytes)
      RaiseEngineError(KURA_TABLEFULL, FTexts);
    MakeRoom(indexNo);
    TPage *page = NewPageObject();
    page->Reset(static_cast<uint32_t>(pageNo), indexNo, Format(indexNo));
    ++FHeader.NextPage;
    InsertIntoCache(indexNo, page);
    ++page->PinCount;
    ref = TPageRef(this, page);
  }
  TPage &p = *ref;
  p.Format = Format(indexNo);
  p.Entries.clear();
  p.Type = type;
  p.PrevPage = p.NextPage = 0;
  p.UsedBytes = 0;
  p.Free = false;
  p.Dirty = true;
  p.LoadSerial = ++FLoadSerial;
  p.CheckedUnder = 0;
  FHeaderDirty = true;
  return ref;
}

void TIndexPageCache::FreePage(TPage &page) {
  TIndexDescriptor &d = Descriptor(page.IndexNo);
  page.Entries.clear();
  page.UsedBytes = 0;
  page.Free = true;
  page.PrevPage = 0;
  page.NextPage = (d.FirstFreePage == FHeader.NextPage) ? 0 : d.FirstFreePage;
  d.FirstFreePage = static_cast<int32_t>(page.PageNo);
  page.Dirty = true;
  FHeaderDirty = true;
}

void TIndexPageCache::AdoptFreePage(int indexNo, int32_t pageNo) {
  if (pageNo <= 0 || pageNo >= FHeader.NextPage) RaiseCorrupt();
  TPage *page = Lookup(indexNo, static_cast<uint32_t>(pageNo));
  if (!page) {
    MakeRoom(indexNo);
    page = NewPageObject();
    page->Reset(static_cast<uint32_t>(pageNo), indexNo, Format(indexNo));
    InsertIntoCache(indexNo, page);
  }
  FreePage(*page);
}

void TIndexPageCache::WriteDirtyPages(bool includePinned) {
  std::vector<TPage *> dirty;
  for (TIndexCache &c : FCaches)
    for (const auto &[pageNo, p] : c.Pages)
      if (p->Dirty && (includePinned || p->PinCount == 0)) dirty.push_back(p);
  std::sort(dirty.begin(), dirty.end(), [](const TPage *a, const TPage *b) { return a->PageNo < b->PageNo; });
  for (TPage *p : dirty) WritePage(*p);
}

void TIndexPageCache::Flush() {
  WriteDirtyPages();
  WriteHeader(false);
}

void TIndexPageCache::Trim() {
  for (int i = 0; i < kIndexSlots; ++i) {
    TIndexCache &c = FCaches[i];
    // Pages made clean other than by WritePage come back to the chain first.
    if (c.Chained != c.Pages.size())
      for (const auto &[pageNo, p] : c.Pages)
        if (!p->Dirty) Unpark(c, p);
    while (static_cast<int>(c.Pages.size()) > FPagesPerIndex) {
      if (EvictOne(i)) continue;
      bool writable = false;
      if (CanWriteBack())
        for (const auto &[pageNo, p] : c.Pages) writable = writable || (p->Dirty && p->PinCount == 0);
      if (!writable) break;
      WriteDirtyPages(false);
    }
  }
}

void TIndexPageCache::DropIndexPages(int indexNo) {
  TIndexCache &c = FCaches[indexNo];
  for (const auto &[pageNo, p] : c.Pages) {
    p->MruPrev = p->MruNext = nullptr;
    if (p->PinCount > 0)
      FDetached.push_back(p);
    else
      Recycle(p);
  }
  c.Pages.clear();
  c.MruHead = c.MruTail = nullptr;
  c.Chained = 0;
}

void TIndexPageCache::DropPages() {
  for (int i = 0; i < kIndexSlots; ++i) DropIndexPages(i);
}

void TIndexPageCache::EmptyAll() {
  DropPages();
  for (TIndexDescriptor &d : FHeader.Descriptors) {
    d.RootPage = 0;
    d.FirstFreePage = 0;
    d.FullTextPage = 0;
  }
  FHeader.NextPage = 1;
  FHeader.LiveRecordCount = 0;
  WriteHeader(true);
  FStore.Truncate(1);
}

}  // namespace kura
