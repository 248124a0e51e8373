// Changing the B+-tree: insert with splits, delete with merge and redistribution, root growth
// and collapse. Interior entries carry the lowest key of their child and the number of keys
// below it; both are kept up to date on the way.
#include <cstring>

#include "engine/index/IndexTree.h"

namespace kura {

void TIndexTree::AddToCounts(TPath &path, int delta) {
  if (Desc().NoCounts || Desc().FullText) return;
  for (TPathStep &step : path) {
    int64_t c = static_cast<int64_t>(step.Page->KeyCount(step.Entry)) + delta;
    step.Page->SetKeyCount(step.Entry, static_cast<uint32_t>(c < 0 ? 0 : c));
    FCache.MarkDirty(*step.Page);
  }
}

void TIndexTree::PropagateLowestKey(TPath &path, size_t level, const uint8_t *key) {
  std::vector<uint8_t> copy(key, key + FKeyLength);  // the source may move while we write
  for (size_t l = level; l-- > 0;) {
    TPathStep &step = path[l];
    step.Page->SetKey(step.Entry, copy.data());
    FCache.MarkDirty(*step.Page);
    if (step.Entry != 0) break;
  }
}

void TIndexTree::Insert(const uint8_t *key, uint32_t recordNumber) { InsertEntry(key, recordNumber, false); }

bool TIndexTree::InsertUnique(const uint8_t *key, uint32_t recordNumber) { return InsertEntry(key, recordNumber, true); }

bool TIndexTree::InsertEntry(const uint8_t *key, uint32_t recordNumber, bool unique) {
  TIndexDescriptor &d = Desc();
  if (d.RootPage == 0) {
    // The first page of an empty index is a leaf that is also the root.
    TPageRef root = FCache.AllocatePage(FIndexNo, PageRootLeaf);
    root->InsertEntry(0, key, recordNumber, 0);
    d.RootPage = static_cast<int32_t>(root->PageNo);
    FCache.MarkHeaderDirty();
    return true;
  }
  TPath path;
  // Routing on "<=" ends in the only leaf that can hold an equal key: an interior entry is its
  // child's lowest key, and every key of a child is below the next entry.
  TPageRef leaf = Descend(key, FKeyLength, false, &path, nullptr);
  int i = LowerBound(*leaf, key, FKeyLength);
  if (unique && i < leaf->Count() && Cmp(leaf->Key(i), key, FKeyLength) == 0) return false;
  leaf->InsertEntry(i, key, recordNumber, 0);
  FCache.MarkDirty(*leaf);
  AddToCounts(path, +1);
  if (i == 0) PropagateLowestKey(path, path.size(), key);
  if (leaf->Overflows()) Split(path, path.size(), *leaf);
  return true;
}

void TIndexTree::Split(TPath &path, size_t level, TPage &page) {
  const bool leaf = page.IsLeaf();
  const bool wasRoot = page.IsRoot();
  TPageRef right = FCache.AllocatePage(FIndexNo, leaf ? PageLeaf : PageInterior);
  const int n = page.Count();
  page.MoveTailTo(*right, (n + 1) / 2);
  if (leaf && page.Format.CompressedLeaves()) {
    // Compressed entries differ in size: move them one at a time until both halves fit.
    while (page.UsedBytes > kPageEntryBytes && page.Count() > 1) page.MoveTailTo(*right, page.Count() - 1);
    while (right->UsedBytes > kPageEntryBytes && right->Count() > 1) right->MoveHeadTo(page, 1);
    if (page.UsedBytes > kPageEntryBytes || right->UsedBytes > kPageEntryBytes) Corrupt();
  }
  page.Type = leaf ? PageLeaf : PageInterior;
  right->Type = leaf ? PageLeaf : PageInterior;
  right->PrevPage = static_cast<int32_t>(page.PageNo);
  right->NextPage = page.NextPage;
  if (page.NextPage != 0) {
    TPageRef after = FCache.GetPage(FIndexNo, page.NextPage);
    if (after->Free) Corrupt();
    after->PrevPage = static_cast<int32_t>(right->PageNo);
    FCache.MarkDirty(*after);
  }
  page.NextPage = static_cast<int32_t>(right->PageNo);
  FCache.MarkDirty(page);
  const bool counts = !Desc().NoCounts && !Desc().FullText;
  const uint32_t leftKeys = counts ? static_cast<uint32_t>(page.SubtreeKeys()) : 0;
  const uint32_t rightKeys = counts ? static_cast<uint32_t>(right->SubtreeKeys()) : 0;
  if (wasRoot) {
    TPageRef root = FCache.AllocatePage(FIndexNo, PageRootInterior);
    root->InsertEntry(0, page.Key(0), page.PageNo, leftKeys);
    root->InsertEntry(1, right->Key(0), right->PageNo, rightKeys);
    page.PrevPage = 0;
    right->NextPage = 0;
    Desc().RootPage = static_cast<int32_t>(root->PageNo);
    FCache.MarkHeaderDirty();
    return;
  }
  TPathStep &parent = path[level - 1];
  parent.Page->SetKeyCount(parent.Entry, leftKeys);
  parent.Page->InsertEntry(parent.Entry + 1, right->Key(0), right->PageNo, rightKeys);
  FCache.MarkDirty(*parent.Page);
  if (parent.Page->Overflows()) Split(path, level - 1, *parent.Page);
}

int TIndexTree::FindEntry(const uint8_t *key, uint32_t recordNumber, TPath &path, TPageRef &leaf) {
  leaf = Descend(key, FKeyLength, false, &path, nullptr);
  int i = LowerBound(*leaf, key, FKeyLength);
  while (i < leaf->Count() && Cmp(leaf->Key(i), key, FKeyLength) == 0 && leaf->Value(i) != recordNumber) ++i;
  if (i >= leaf->Count() || Cmp(leaf->Key(i), key, FKeyLength) != 0) return -1;
  return i;
}

bool TIndexTree::Delete(const uint8_t *key, uint32_t recordNumber) {
  if (RootPage() == 0) return false;
  TPath path;
  TPageRef leaf;
  const int i = FindEntry(key, recordNumber, path, leaf);
  if (i < 0) return false;
  RemoveEntryAt(path, *leaf, i);
  return true;
}

void TIndexTree::RemoveEntryAt(TPath &path, TPage &leaf, int i) {
  leaf.RemoveEntry(i);
  FCache.MarkDirty(leaf);
  AddToCounts(path, -1);
  if (i == 0 && leaf.Count() > 0) PropagateLowestKey(path, path.size(), leaf.Key(0));
  Rebalance(path, path.size(), leaf);
}

bool TIndexTree::Replace(const uint8_t *oldKey, uint32_t oldRecord, const uint8_t *newKey, uint32_t newRecord) {
  if (RootPage() == 0) return false;
  TPath path;
  TPageRef leaf;
  const int i = FindEntry(oldKey, oldRecord, path, leaf);
  if (i < 0) return false;
  // A new key lying strictly between two other keys of the same leaf belongs there and nowhere
  // else: the entry moves within the leaf, with no second descent. The leaf's lowest key and
  // entry count stay, so the interior entries above stay true; entries of fixed size keep the
  // page's fill. Otherwise the entry is deleted and the new one inserted from the root.
  if (i > 0 && !leaf->Format.CompressedLeaves() && Cmp(leaf->Key(0), newKey, FKeyLength) < 0) {
    const int n = leaf->Count();
    const int j = LowerBound(*leaf, newKey, FKeyLength);
    int above = j;
    for (int steps = 0; above < n && steps < 4; ++above, ++steps)
      if (above != i && Cmp(leaf->Key(above), newKey, FKeyLength) > 0) break;
    if (above < n && above != i && Cmp(leaf->Key(above), newKey, FKeyLength) > 0) {
      leaf->RemoveEntry(i);
      leaf->InsertEntry(j > i ? j - 1 : j, newKey, newRecord, 0);
      FCache.MarkDirty(*leaf);
      return true;
    }
  }
  RemoveEntryAt(path, *leaf, i);
  Insert(newKey, newRecord);
  return true;
}

void TIndexTree::UnlinkFromLevel(TPage &page) {
  if (page.PrevPage != 0) {
    TPageRef prev = FCache.GetPage(FIndexNo, page.PrevPage);
    if (prev->Free) Corrupt();
    prev->NextPage = page.NextPage;
    FCache.MarkDirty(*prev);
  }
  if (page.NextPage != 0) {
    TPageRef next = FCache.GetPage(FIndexNo, page.NextPage);
    if (next->Free) Corrupt();
    next->PrevPage = page.PrevPage;
    FCache.MarkDirty(*next);
  }
  page.PrevPage = page.NextPage = 0;
}

void TIndexTree::RemoveChildEntry(TPath &path, size_t level, int entry) {
  TPage &parent = *path[level - 1].Page;
  parent.RemoveEntry(entry);
  FCache.MarkDirty(parent);
  if (entry == 0 && parent.Count() > 0) PropagateLowestKey(path, level - 1, parent.Key(0));
  Rebalance(path, level - 1, parent);
}

void TIndexTree::Rebalance(TPath &path, size_t level, TPage &page) {
  TIndexDescriptor &d = Desc();
  if (level == 0) {
    if (page.Count() == 0) {
      // An empty root: the index is empty.
      FCache.FreePage(page);
      d.RootPage = 0;
      FCache.MarkHeaderDirty();
    } else if (!page.IsLeaf() && page.Count() == 1) {
      // An interior root with one child hands the root over to that child.
      TPageRef child = FCache.GetPage(FIndexNo, static_cast<int32_t>(page.Value(0)));
      if (child->Free || child->Count() == 0) Corrupt();
      child->Type = child->IsLeaf() ? PageRootLeaf : PageRootInterior;
      child->PrevPage = child->NextPage = 0;
      FCache.MarkDirty(*child);
      d.RootPage = static_cast<int32_t>(child->PageNo);
      FCache.FreePage(page);
      FCache.MarkHeaderDirty();
    }
    return;
  }
  TPathStep &parentStep = path[level - 1];
  TPage &parent = *parentStep.Page;
  const int j = parentStep.Entry;
  if (page.IsLeaf() && page.Format.CompressedLeaves()) {
    // Compressed leaves are only removed once empty.
    if (page.Count() == 0) {
      UnlinkFromLevel(page);
      FCache.FreePage(page);
      RemoveChildEntry(path, level, j);
    }
    return;
  }
  const int capacity = page.Capacity();
  if (page.Count() >= capacity / 2) return;
  if (parent.Count() < 2) return;  // nothing to pair with
  const bool siblingLeft = j > 0;
  const int s = siblingLeft ? j - 1 : j + 1;
  TPageRef sibling = FCache.GetPage(FIndexNo, static_cast<int32_t>(parent.Value(s)));
  if (sibling->Free || sibling->IsRoot() || sibling->IsLeaf() != page.IsLeaf()) Corrupt();
  const bool counts = !d.NoCounts && !d.FullText;
  const int total = page.Count() + sibling->Count();
  if (total < capacity) {
    // Merge the page into its sibling and drop the page.
    if (siblingLeft)
      page.MoveHeadTo(*sibling, page.Count());
    else
      page.MoveTailTo(*sibling, 0);
    FCache.MarkDirty(*sibling);
    UnlinkFromLevel(page);
    if (counts) parent.SetKeyCount(s, static_cast<uint32_t>(sibling->SubtreeKeys()));
    if (!siblingLeft) parent.SetKey(s, sibling->Key(0));
    FCache.MarkDirty(parent);
    FCache.FreePage(page);
    RemoveChildEntry(path, level, j);
    return;
  }
  // Redistribute: the sibling keeps ceil(total / 2), the page gets the rest.
  const int siblingWants = (total + 1) / 2;
  if (siblingLeft) {
    sibling->MoveTailTo(page, siblingWants);
    parent.SetKey(j, page.Key(0));
  } else {
    sibling->MoveHeadTo(page, sibling->Count() - siblingWants);
    parent.SetKey(s, sibling->Key(0));
  }
  if (counts) {
    parent.SetKeyCount(j, static_cast<uint32_t>(page.SubtreeKeys()));
    parent.SetKeyCount(s, static_cast<uint32_t>(sibling->SubtreeKeys()));
  }
  FCache.MarkDirty(page);
  FCache.MarkDirty(*sibling);
  FCache.MarkDirty(parent);
}

}  // namespace kura
