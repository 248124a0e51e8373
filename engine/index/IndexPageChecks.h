#pragma once
// Structural checks made on index pages as they are read, so that a damaged index file is
// reported (KURA_INDEXCORRUPT) instead of giving short or wrong results. The page format has no
// checksums; these checks use what every sound page must satisfy:
//   - on every page read from disk (CheckReadPage): the entry count fits the page and agrees
//     with the bytes used; previous, next and child page numbers lie inside the file and are not
//     the page itself; a root page has no neighbours; interior counts are at least 1; leaf
//     RecordNumbers are at least 1;
//   - once per page read from disk, by the B+-tree (it alone knows the key order of the index):
//     keys strictly ascending within the page;
//   - on a step down the tree, once after the parent or the child was read from disk (pages in
//     memory change only through the B+-tree, which keeps them consistent): the parent entry's
//     key is the child's lowest key, the child's highest key lies below the parent's next key,
//     and the parent's count equals the keys below the child.
// Each is one pass over a page read, or a few comparisons per level descended.
#include <cstdint>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexPage.h"

namespace kura {

// Whether the checks run (on unless switched off, which only measurements do).
bool &IndexPageChecksEnabled();

// Pages are written with their used-bytes field counting exactly the entries' bytes: false when
// a decoded page's stored field says otherwise (its entry count was damaged).
bool StoredUsedBytesAgree(const TPage &page, int storedUsedBytes);

// Whether n keys of keyLength <= 8 bytes that compare bytewise, stride bytes apart, are strictly
// in the index's order (descending: reversed); with records also whether the 4-byte value after
// each key is a record number in 1..2^31-1. Keys are loaded 8 bytes at a time: the 8 bytes from
// each key's start must be readable (a page's entries are followed by spare bytes).
bool ShortKeysInOrder(const uint8_t *firstKey, int n, size_t stride, int keyLength, bool descending, bool records);

// The checks of a page just decoded that need no key comparison. nextPageNumber is the index
// file's first page number past its end.
// leafRecordsChecked: the record numbers of a leaf were checked while it was decoded.
void CheckReadPage(const TPage &page, int32_t nextPageNumber, const ErrorTexts &texts,
                   bool leafRecordsChecked = false);

}  // namespace kura
