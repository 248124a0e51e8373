// Whole-tree walks: freeing every page of an index and checking the tree's rules.
#include <cstring>
#include <set>

#include "engine/index/IndexTree.h"

namespace kura {

void TIndexTree::CollectPages(int32_t pageNo, int depth, std::vector<int32_t> &pages) {
  TPageRef page = LoadPage(pageNo, depth == 0, depth);
  // More pages than the file holds means a page is reached twice.
  if (static_cast<int64_t>(pages.size()) >= FCache.Header().NextPage) Corrupt();
  pages.push_back(pageNo);
  if (page->IsLeaf()) return;
  std::vector<int32_t> children;
  for (int i = 0; i < page->Count(); ++i) children.push_back(static_cast<int32_t>(page->Value(i)));
  page.Release();
  for (int32_t child : children) CollectPages(child, depth + 1, pages);
}

void TIndexTree::FreeAllPages() {
  TIndexDescriptor &d = Desc();
  if (d.RootPage != 0) {
    std::vector<int32_t> pages;
    CollectPages(d.RootPage, 0, pages);
    std::set<int32_t> seen(pages.begin(), pages.end());
    if (seen.size() != pages.size()) Corrupt();
    for (int32_t p : pages) {
      TPageRef page = FCache.GetPage(FIndexNo, p);
      FCache.FreePage(*page);
    }
  }
  d.RootPage = 0;
  FCache.MarkHeaderDirty();
}

int64_t TIndexTree::CheckSubtree(int32_t pageNo, int depth, bool isRoot, const uint8_t *lowest, int &leafDepth,
                                 std::vector<std::vector<int32_t>> &levels, int64_t &pages) {
  if (++pages > FCache.Header().NextPage) Corrupt();
  TPageRef page = LoadPage(pageNo, isRoot, depth);
  TPage &p = *page;
  if (static_cast<int>(levels.size()) <= depth) levels.resize(static_cast<size_t>(depth) + 1);
  levels[static_cast<size_t>(depth)].push_back(pageNo);
  for (int i = 1; i < p.Count(); ++i)
    if (Cmp(p.Key(i - 1), p.Key(i), FKeyLength) >= 0) Corrupt();
  if (lowest && std::memcmp(lowest, p.Key(0), static_cast<size_t>(FKeyLength)) != 0) Corrupt();
  if (p.Overflows()) Corrupt();
  if (isRoot && (p.PrevPage != 0 || p.NextPage != 0)) Corrupt();
  if (p.IsLeaf()) {
    if (leafDepth < 0) leafDepth = depth;
    if (leafDepth != depth) Corrupt();
    return p.Count();
  }
  if (p.Type != (isRoot ? PageRootInterior : PageInterior)) Corrupt();
  const bool counts = !Desc().NoCounts && !Desc().FullText;
  std::vector<std::pair<int32_t, std::vector<uint8_t>>> children;
  std::vector<uint32_t> claimed;
  for (int i = 0; i < p.Count(); ++i) {
    children.emplace_back(static_cast<int32_t>(p.Value(i)), std::vector<uint8_t>(p.Key(i), p.Key(i) + FKeyLength));
    claimed.push_back(p.KeyCount(i));
  }
  page.Release();
  int64_t sum = 0;
  for (size_t i = 0; i < children.size(); ++i) {
    int64_t below = CheckSubtree(children[i].first, depth + 1, false, children[i].second.data(), leafDepth, levels, pages);
    if (counts && below != static_cast<int64_t>(claimed[i])) Corrupt();
    sum += below;
  }
  return sum;
}

TIndexTreeStats TIndexTree::CheckStructure() {
  TIndexTreeStats stats;
  TIndexDescriptor &d = Desc();
  if (d.RootPage != 0) {
    int leafDepth = -1;
    std::vector<std::vector<int32_t>> levels;
    int64_t pages = 0;
    stats.Keys = CheckSubtree(d.RootPage, 0, true, nullptr, leafDepth, levels, pages);
    stats.Depth = leafDepth + 1;
    stats.TreePages = pages;
    // Each level is chained left to right in tree order, both ways.
    for (const std::vector<int32_t> &level : levels) {
      for (size_t i = 0; i < level.size(); ++i) {
        TPageRef page = FCache.GetPage(FIndexNo, level[i]);
        int32_t prev = i > 0 ? level[i - 1] : 0;
        int32_t next = i + 1 < level.size() ? level[i + 1] : 0;
        if (page->PrevPage != prev || page->NextPage != next) Corrupt();
      }
    }
    // The leaf chain order also holds across pages.
    const std::vector<int32_t> &leaves = levels.back();
    for (size_t i = 1; i < leaves.size(); ++i) {
      TPageRef a = FCache.GetPage(FIndexNo, leaves[i - 1]);
      TPageRef b = FCache.GetPage(FIndexNo, leaves[i]);
      if (Cmp(a->Key(a->Count() - 1), b->Key(0), FKeyLength) >= 0) Corrupt();
    }
  }
  // The free list ends, holds only freed pages and visits none twice.
  std::set<int32_t> seen;
  int32_t free = d.FirstFreePage;
  while (free != 0) {
    if (!seen.insert(free).second) Corrupt();
    TPageRef page = FCache.GetPage(FIndexNo, free);
    if (!page->Free) Corrupt();
    free = page->NextPage;
  }
  stats.FreePages = static_cast<int64_t>(seen.size());
  return stats;
}

}  // namespace kura
