// Moving a cursor: index and natural order, record counts and sequence numbers, bookmarks,
// key searches and ranges.
#include <array>
#include <cstring>
#include <limits>

#include "engine/cursor/CursorReadScope.h"
#include "engine/cursor/DataCursor.h"
#include "engine/index/IndexFile.h"
#include "engine/index/IndexPageChecks.h"
#include "engine/table/DataTable.h"
#include "engine/table/SessionSettings.h"
#include "engine/util/Bytes.h"

namespace kura {

// ---------------------------------------------------------------------------------------------
// Reading records

bool TDataCursor::ReadStored(int32_t recordNumber, std::vector<uint8_t> &image, TReadDirection direction,
                             int readAhead) {
  TDataFile &data = FTable->DataFile();
  if (recordNumber < 1 || recordNumber > data.SlotCount()) return false;
  ++FRecordReads;
  TRecord *r = data.GetRecord(recordNumber, direction, readAhead);
  if (!r) {
    // The table changed before the read could be made; the caller works on what it knows.
    r = data.GetRecord(recordNumber, direction, readAhead);
    if (!r) Raise(KURA_KEYORRECDELETED);
  }
  const bool live = r->Image[0] == 0;
  if (live) image.assign(r->Image.begin(), r->Image.begin() + static_cast<long>(FStoredSize));
  data.ReleaseRecord(r);
  return live;
}

bool TDataCursor::ReadRecordInto(int32_t recordNumber, uint8_t *buffer, int readAhead) {
  std::vector<uint8_t> &image = FReadImage;
  if (!ReadStored(recordNumber, image, ReadForward, readAhead)) return false;
  if (buffer) {
    std::memcpy(buffer, image.data(), FStoredSize);
    FinishCalculated(buffer);
  }
  return true;
}

void TDataCursor::ReadCurrent(uint32_t recordNumber, TReadDirection direction, int readAhead) {
  std::vector<uint8_t> &image = FReadImage;
  // An index entry or visible-set member naming a slot without a live record: the index file
  // does not match the data file.
  if (!ReadStored(static_cast<int32_t>(recordNumber), image, direction, readAhead)) Raise(KURA_INDEXCORRUPT);
  FCurRecord.assign(FBufferSize, 0);
  std::memcpy(FCurRecord.data(), image.data(), FStoredSize);
  FinishCalculated(FCurRecord.data());
  FCurRecNo = static_cast<int32_t>(recordNumber);
  FCurrentGone = false;
}

void TDataCursor::CopyOut(uint8_t *buffer) const {
  if (buffer) std::memcpy(buffer, FCurRecord.data(), FBufferSize);
}

void TDataCursor::ClearCurrent() {
  FCurRecNo = 0;
  FCurKey.clear();
  FCurRecord.assign(FBufferSize, 0);
  FCurrentGone = false;
  FPos = TIndexPosition{};
  FPosPending = false;
}

// ---------------------------------------------------------------------------------------------
// Ranges

void TDataCursor::ComputeRangeOrdinals() const {
  TakeRangeOrdinals();
  FRangeOrdinalsStale = false;
}

void TDataCursor::TakeRangeOrdinals() const {
  if (InNaturalOrder()) {
    FRangeFirstOrdinal = 1;
    FRangeLastOrdinal = std::numeric_limits<int64_t>::max();
    return;
  }
  TIndexTree tree = CurrentTree();
  const int64_t total = tree.KeyCount();
  if (!FRangeActive) {
    FRangeFirstOrdinal = 1;
    FRangeLastOrdinal = total;
    if (FIndexNo == kSystemRecordIndex) {
      // The system record index also holds the freed slots (deleted flag 1, after the live
      // ones); as an order it shows the live records only.
      const uint8_t live[1] = {0};
      TIndexPosition last = tree.SearchLastAtOrBefore(live, 1);
      FRangeLastOrdinal = last.Page == 0 ? 0 : last.Ordinal;
    }
    return;
  }
  const TIndexKeyDefinition &keys = CurrentKeys();
  const int k = keys.KeyLength();
  std::vector<uint8_t> found(static_cast<size_t>(k));
  TIndexPosition start = tree.SearchFirstAtOrAfter(FRangeStart.data(), FRangeStartLength);
  if (FRangeStartExclusive) {
    while (tree.OnEntry(start)) {
      tree.ReadEntry(start, found.data(), nullptr);
      if (keys.Compare(found.data(), FRangeStart.data(), FRangeStartLength) != 0) break;
      tree.Next(start);
    }
  }
  TIndexPosition end = tree.SearchLastAtOrBefore(FRangeEnd.data(), FRangeEndLength);
  if (FRangeEndExclusive) {
    while (tree.OnEntry(end)) {
      tree.ReadEntry(end, found.data(), nullptr);
      if (keys.Compare(found.data(), FRangeEnd.data(), FRangeEndLength) != 0) break;
      tree.Prior(end);
    }
  }
  FRangeFirstOrdinal = start.Page == 0 ? 1 : start.Ordinal;
  FRangeLastOrdinal = end.Page == 0 ? 0 : end.Ordinal;
  if (FRangeFirstOrdinal < 1) FRangeFirstOrdinal = 1;
  if (FRangeLastOrdinal > total) FRangeLastOrdinal = total;
  // A start above the end leaves the range empty.
  if (FRangeLastOrdinal < FRangeFirstOrdinal - 1) FRangeLastOrdinal = FRangeFirstOrdinal - 1;
}

bool TDataCursor::OrdinalInRange(int64_t ordinal) const { return ordinal >= RangeFirst() && ordinal <= RangeLast(); }

bool TDataCursor::KeyInRange(const uint8_t *key) const {
  if (!FRangeActive || InNaturalOrder()) return true;
  const TIndexKeyDefinition &keys = CurrentKeys();
  int c = keys.Compare(key, FRangeStart.data(), FRangeStartLength);
  if (c < 0 || (c == 0 && FRangeStartExclusive)) return false;
  c = keys.Compare(key, FRangeEnd.data(), FRangeEndLength);
  if (c > 0 || (c == 0 && FRangeEndExclusive)) return false;
  return true;
}

void TDataCursor::SetRange(const uint8_t *start, const uint8_t *end, bool isKey, int fieldCount, int partialLength,
                           bool startExclusive, bool endExclusive) {
  TReadScope scope(*this);
  if (InNaturalOrder()) return;
  const TIndexKeyDefinition &keys = CurrentKeys();
  const int k = keys.KeyLength();
  const int fields = fieldCount <= 0 ? (partialLength > 0 ? 0 : static_cast<int>(keys.Fields.size())) : fieldCount;
  const int length = keys.PrefixLength(fields, partialLength);
  auto makeKey = [&](const uint8_t *source, std::vector<uint8_t> &key) {
    key.assign(static_cast<size_t>(k), 0);
    if (isKey)
      std::memcpy(key.data(), source, static_cast<size_t>(k));
    else
      keys.BuildKey(source, FStoredSize, key.data());
  };
  makeKey(start, FRangeStart);
  makeKey(end, FRangeEnd);
  FRangeStartLength = FRangeEndLength = length > 0 ? length : k;
  FRangeStartExclusive = startExclusive;
  FRangeEndExclusive = endExclusive;
  FRangeActive = true;
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
}

void TDataCursor::ResetRange() {
  TReadScope scope(*this);
  if (!FRangeActive) return;
  FRangeActive = false;
  ComputeRangeOrdinals();
  if (UsesVisibleSet()) RebuildVisibleSet();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
}

// ---------------------------------------------------------------------------------------------
// Index order

bool TDataCursor::SettleIndex(TIndexPosition &pos, bool forward) {
  TIndexTree tree = CurrentTree();
  uint32_t recNo = 0;
  for (;;) {
    if (!tree.OnEntry(pos)) return false;
    if (forward) {
      if (pos.Ordinal > RangeLast()) return false;
      if (pos.Ordinal < RangeFirst()) {
        if (!tree.Next(pos)) return false;
        continue;
      }
    } else {
      if (pos.Ordinal < RangeFirst()) return false;
      if (pos.Ordinal > RangeLast()) {
        if (!tree.Prior(pos)) return false;
        continue;
      }
    }
    tree.ReadEntry(pos, nullptr, &recNo);
    if (Visible(recNo)) return true;
    if (!(forward ? tree.Next(pos) : tree.Prior(pos))) return false;
  }
}

void TDataCursor::TakeIndexEntry(const TIndexPosition &pos) {
  TIndexTree tree = CurrentTree();
  std::vector<uint8_t> key(static_cast<size_t>(tree.KeyLength()));
  uint32_t recNo = 0;
  tree.ReadEntry(pos, key.data(), &recNo);
  ReadCurrent(recNo);
  if (IndexPageChecksEnabled()) {
    // The record must have the key its entry has: a damaged key or RecordNumber in a leaf
    // would otherwise show another record, or this one in the wrong place.
    std::array<uint8_t, kMaxKeyLength + 8> built;
    if (key.size() > built.size()) Raise(KURA_INDEXCORRUPT);
    tree.Keys().BuildKey(FCurRecord.data(), FStoredSize, built.data());
    if (std::memcmp(built.data(), key.data(), key.size()) != 0) Raise(KURA_INDEXCORRUPT);
  }
  FPos = pos;
  FPosPending = false;
  FCurKey = std::move(key);
  FState = TPosState::OnRecord;
}

bool TDataCursor::MoveIndex(bool forward) {
  if (FState == TPosState::OnRecord || FState == TPosState::Between) ResolvePosition();
  TIndexTree tree = CurrentTree();
  TIndexPosition pos;
  switch (FState) {
    case TPosState::BeforeFirst:
      if (!forward) return false;
      pos = tree.PositionOfOrdinal(RangeFirst());
      break;
    case TPosState::AfterLast:
      if (forward) return false;
      pos = tree.PositionOfOrdinal(RangeLast());
      break;
    case TPosState::OnRecord:
      pos = FPos;
      if (!(forward ? tree.Next(pos) : tree.Prior(pos))) {
        FState = forward ? TPosState::AfterLast : TPosState::BeforeFirst;
        return false;
      }
      break;
    case TPosState::Between:
      pos = FPos;
      if (!forward && !tree.Prior(pos)) {
        FState = TPosState::BeforeFirst;
        return false;
      }
      break;
    case TPosState::None:
      FState = forward ? TPosState::AfterLast : TPosState::BeforeFirst;
      return false;
  }
  if (!SettleIndex(pos, forward)) {
    FState = forward ? TPosState::AfterLast : TPosState::BeforeFirst;
    return false;
  }
  TakeIndexEntry(pos);
  return true;
}

void TDataCursor::LocateKey(const std::vector<uint8_t> &key, bool keepGap) {
  FPosPending = false;
  TIndexTree tree = CurrentTree();
  const int k = tree.KeyLength();
  if (key.size() != static_cast<size_t>(k)) {
    FState = TPosState::BeforeFirst;
    ClearCurrent();
    return;
  }
  TIndexPosition pos = tree.SearchFirstAtOrAfter(key.data(), k);
  const bool found = SettleIndex(pos, true);
  bool exact = false;
  if (found) {
    std::vector<uint8_t> entry(static_cast<size_t>(k));
    tree.ReadEntry(pos, entry.data(), nullptr);
    exact = CurrentKeys().Compare(entry.data(), key.data(), k) == 0;
  }
  if (found && (exact || !keepGap)) {
    TakeIndexEntry(pos);
    return;
  }
  if (keepGap) {
    FPos = found ? pos : tree.PositionOfOrdinal(RangeLast() + 1);
    FCurKey = key;
    FState = TPosState::Between;
    return;
  }
  // Nothing at or after the key: the last visible record, with the end flag set.
  pos = tree.PositionOfOrdinal(RangeLast());
  if (SettleIndex(pos, false)) {
    TakeIndexEntry(pos);
    FState = TPosState::AfterLast;
  } else {
    FState = TPosState::None;
    ClearCurrent();
  }
}

void TDataCursor::ResolvePosition() {
  if (!FPosPending) return;
  FPosPending = false;
  if (InNaturalOrder()) return;
  TIndexTree tree = CurrentTree();
  const int k = tree.KeyLength();
  if (FCurKey.size() != static_cast<size_t>(k)) Raise(KURA_INDEXCORRUPT);
  TIndexPosition pos = tree.SearchFirstAtOrAfter(FCurKey.data(), k);
  if (FState == TPosState::OnRecord) {
    // The record's own entry: its key, and its RecordNumber among entries with an equal key.
    std::vector<uint8_t> entry(static_cast<size_t>(k));
    uint32_t recNo = 0;
    while (tree.OnEntry(pos)) {
      tree.ReadEntry(pos, entry.data(), &recNo);
      if (CurrentKeys().Compare(entry.data(), FCurKey.data(), k) != 0) break;
      if (recNo == static_cast<uint32_t>(FCurRecNo)) {
        FPos = pos;
        return;
      }
      if (!tree.Next(pos)) break;
    }
    // A live record without its entry: the index does not match the data file.
    Raise(KURA_INDEXCORRUPT);
  }
  // A gap: the first visible entry at or after its key, or the end of the range.
  FPos = SettleIndex(pos, true) ? pos : tree.PositionOfOrdinal(RangeLast() + 1);
}

// ---------------------------------------------------------------------------------------------
// Natural order

void TDataCursor::TakeNaturalRecord(uint32_t recordNumber, TReadDirection direction, int readAhead) {
  ReadCurrent(recordNumber, direction, readAhead);
  FCurKey.clear();
  FPosPending = false;
  FState = TPosState::OnRecord;
}

bool TDataCursor::MoveNatural(bool forward) {
  uint32_t n = 0;
  switch (FState) {
    case TPosState::BeforeFirst:
      if (forward) n = FVisible.NextMember(1);
      break;
    case TPosState::AfterLast:
      if (!forward) n = FVisible.PriorMember(std::numeric_limits<uint32_t>::max());
      break;
    case TPosState::OnRecord:
    case TPosState::Between: {
      const uint32_t cur = static_cast<uint32_t>(FCurRecNo);
      n = forward ? FVisible.NextMember(cur + 1) : (cur > 1 ? FVisible.PriorMember(cur - 1) : 0);
      break;
    }
    case TPosState::None:
      break;
  }
  if (n == 0) {
    FState = forward ? TPosState::AfterLast : TPosState::BeforeFirst;
    return false;
  }
  // Natural order reads slots in order: the data file's read-ahead pays.
  TakeNaturalRecord(n, forward ? ReadForward : ReadBackward, 0);
  return true;
}

void TDataCursor::LocateNatural(uint32_t recordNumber, bool keepGap) {
  if (recordNumber > 0 && FVisible.Test(recordNumber)) {
    TakeNaturalRecord(recordNumber);
    return;
  }
  if (keepGap) {
    FCurRecNo = static_cast<int32_t>(recordNumber);
    FState = recordNumber > 0 ? TPosState::Between : TPosState::BeforeFirst;
    return;
  }
  uint32_t n = FVisible.NextMember(recordNumber + 1);
  if (n == 0 && recordNumber > 1) n = FVisible.PriorMember(recordNumber - 1);
  if (n == 0) {
    FState = TPosState::None;
    ClearCurrent();
    return;
  }
  TakeNaturalRecord(n);
}

// ---------------------------------------------------------------------------------------------
// Public moves

void TDataCursor::SetToBegin() {
  CheckOpen();
  FState = TPosState::BeforeFirst;
  ClearCurrent();
}

void TDataCursor::SetToEnd() {
  CheckOpen();
  FState = TPosState::AfterLast;
  ClearCurrent();
}

uint16_t TDataCursor::GetNextRecord(uint8_t *buffer) {
  TReadScope scope(*this);
  const bool moved = InNaturalOrder() ? MoveNatural(true) : MoveIndex(true);
  if (!moved) {
    if (buffer) std::memset(buffer, 0, FBufferSize);
    return KURA_EOF;
  }
  CopyOut(buffer);
  return KURA_NONE;
}

uint16_t TDataCursor::GetPriorRecord(uint8_t *buffer) {
  TReadScope scope(*this);
  const bool moved = InNaturalOrder() ? MoveNatural(false) : MoveIndex(false);
  if (!moved) {
    if (buffer) std::memset(buffer, 0, FBufferSize);
    return KURA_BOF;
  }
  CopyOut(buffer);
  return KURA_NONE;
}

uint16_t TDataCursor::GetCurRecord(uint8_t *buffer, bool lockRecord) {
  TReadScope scope(*this);
  switch (FState) {
    case TPosState::None:
      return KURA_NOCURRREC;
    case TPosState::BeforeFirst:
      return KURA_BOF;
    case TPosState::AfterLast:
      return KURA_EOF;
    case TPosState::Between:
      CopyOut(buffer);
      return FCurrentGone ? KURA_KEYORRECDELETED : KURA_NOCURRREC;
    case TPosState::OnRecord:
      break;
  }
  if (lockRecord) {
    const bool pessimistic = FTable->Settings().LockProtocol == TLockProtocol::Pessimistic;
    if (pessimistic) LockForEdit(FCurRecNo, true);
    if (!FTable->Exclusive() && buffer) {
      std::vector<uint8_t> stored;
      if (!ReadStored(FCurRecNo, stored) || !StoredEquals(stored.data(), buffer)) {
        if (pessimistic) UnlockEdit();
        Raise(KURA_KEYORRECDELETED);
      }
    }
  }
  // The current record as now stored.
  ReadCurrent(static_cast<uint32_t>(FCurRecNo));
  CopyOut(buffer);
  return KURA_NONE;
}

int64_t TDataCursor::RecordCount() {
  TReadScope scope(*this);
  if (UsesVisibleSet()) return FVisible.Count();
  return RangeLast() >= RangeFirst() ? RangeLast() - RangeFirst() + 1 : 0;
}

int64_t TDataCursor::SequenceNumber() {
  TReadScope scope(*this);
  if (FState != TPosState::OnRecord) return 0;
  if (InNaturalOrder()) return FVisible.Rank(static_cast<uint32_t>(FCurRecNo));
  ResolvePosition();
  if (!FiltersInUse()) return FPos.Ordinal - RangeFirst() + 1;
  // Index order with filters: the visible entries of the range up to the current one.
  TIndexTree tree = CurrentTree();
  TIndexPosition pos = tree.PositionOfOrdinal(RangeFirst());
  int64_t seq = 0;
  uint32_t recNo = 0;
  while (tree.OnEntry(pos) && pos.Ordinal <= FPos.Ordinal) {
    tree.ReadEntry(pos, nullptr, &recNo);
    if (FVisible.Test(recNo)) ++seq;
    if (!tree.Next(pos)) break;
  }
  return seq;
}

bool TDataCursor::SetToRecNo(int64_t position) {
  TReadScope scope(*this);
  const int64_t count = UsesVisibleSet() ? static_cast<int64_t>(FVisible.Count())
                                         : (RangeLast() >= RangeFirst() ? RangeLast() - RangeFirst() + 1 : 0);
  if (count == 0) {
    FState = TPosState::BeforeFirst;
    ClearCurrent();
    return false;
  }
  const bool exact = position >= 1 && position <= count;
  const int64_t target = position < 1 ? 1 : (position > count ? count : position);
  if (InNaturalOrder()) {
    TakeNaturalRecord(FVisible.Select(static_cast<uint32_t>(target)));
    return exact;
  }
  TIndexTree tree = CurrentTree();
  if (!FiltersInUse()) {
    TakeIndexEntry(tree.PositionOfOrdinal(RangeFirst() + target - 1));
    return exact;
  }
  TIndexPosition pos = tree.PositionOfOrdinal(RangeFirst());
  int64_t seen = 0;
  while (SettleIndex(pos, true)) {
    if (++seen == target) {
      TakeIndexEntry(pos);
      return exact;
    }
    if (!tree.Next(pos)) break;
  }
  FState = TPosState::BeforeFirst;
  ClearCurrent();
  return false;
}

std::vector<uint8_t> TDataCursor::GetBookmark() const {
  CheckOpen();
  const bool current = FState == TPosState::OnRecord;
  if (InNaturalOrder()) {
    std::vector<uint8_t> b(4, 0);
    if (current) PutI32(b.data(), FCurRecNo);
    return b;
  }
  std::vector<uint8_t> b(static_cast<size_t>(KeyLength()), 0);
  if (current && FCurKey.size() == b.size()) b = FCurKey;
  return b;
}

void TDataCursor::SetToBookmark(const std::vector<uint8_t> &bookmark) {
  TReadScope scope(*this);
  bool empty = true;
  for (uint8_t b : bookmark) empty = empty && b == 0;
  if (InNaturalOrder()) {
    if (bookmark.size() != 4 || empty) {
      FState = TPosState::BeforeFirst;
      ClearCurrent();
      return;
    }
    LocateNatural(static_cast<uint32_t>(GetI32(bookmark.data())), false);
    return;
  }
  if (bookmark.size() != static_cast<size_t>(KeyLength()) || empty) {
    FState = TPosState::BeforeFirst;
    ClearCurrent();
    return;
  }
  LocateKey(bookmark, false);
}

bool TDataCursor::SetToRecordNumber(int32_t recordNumber, uint8_t *buffer, int readAhead) {
  TReadScope scope(*this);
  std::vector<uint8_t> &image = FReadImage;  // used up before anything reads another record
  if (!ReadStored(recordNumber, image, ReadForward, readAhead)) return false;
  if (InNaturalOrder()) {
    LocateNatural(static_cast<uint32_t>(recordNumber), false);
  } else if (FiltersInUse() || FRangeActive) {
    // Whether the record is visible is the search's to tell.
    LocateKey(KeyOf(FIndexNo, image.data()), false);
  } else {
    // Every live record has its entry in the index: the record itself is the position, its
    // entry is searched when the cursor moves on.
    KeyInto(FIndexNo, image.data(), FCurKey);
    FCurRecord.assign(FBufferSize, 0);
    std::memcpy(FCurRecord.data(), image.data(), FStoredSize);
    FinishCalculated(FCurRecord.data());
    FCurRecNo = recordNumber;
    FCurrentGone = false;
    FPos = TIndexPosition{};
    FPosPending = true;
    FState = TPosState::OnRecord;
  }
  if (FState != TPosState::OnRecord || FCurRecNo != recordNumber) return false;
  CopyOut(buffer);
  return true;
}

uint16_t TDataCursor::SetToCursor(TDataCursor &other) {
  TReadScope scope(*this);
  if (!other.IsOpen() || other.FTable != FTable) Raise(KURA_NOCURRREC);
  if (other.FState != TPosState::OnRecord) return KURA_NOCURRREC;
  std::vector<uint8_t> stored;
  if (!ReadStored(other.FCurRecNo, stored)) return KURA_KEYORRECDELETED;
  if (InNaturalOrder())
    LocateNatural(static_cast<uint32_t>(other.FCurRecNo), false);
  else
    LocateKey(KeyOf(FIndexNo, stored.data()), false);
  return FState == TPosState::OnRecord && FCurRecNo == other.FCurRecNo ? KURA_NONE : KURA_RECNOTFOUND;
}

bool TDataCursor::Find(const uint8_t *keyOrRecord, bool isKey, int fieldCount, int partialLength, bool nearest,
                       uint8_t *buffer) {
  TReadScope scope(*this);
  if (InNaturalOrder()) return false;
  const TIndexKeyDefinition &keys = CurrentKeys();
  const int k = keys.KeyLength();
  std::vector<uint8_t> key(static_cast<size_t>(k), 0);
  if (isKey)
    std::memcpy(key.data(), keyOrRecord, static_cast<size_t>(k));
  else
    keys.BuildKey(keyOrRecord, FStoredSize, key.data());
  const int allFields = static_cast<int>(keys.Fields.size());
  const int fields =
      fieldCount <= 0 ? (partialLength > 0 ? 0 : allFields) : (fieldCount > allFields ? allFields : fieldCount);
  const bool partial = fields < allFields || !keys.Unique || partialLength > 0;
  const int length = partial ? keys.PrefixLength(fields, partialLength) : k;
  if (partial) keys.FillKeyTail(key.data(), length, keys.Descending);
  TIndexTree tree = CurrentTree();
  TIndexPosition pos = tree.SearchFirstAtOrAfter(key.data(), length);
  bool found = false;
  if (SettleIndex(pos, true)) {
    std::vector<uint8_t> entry(static_cast<size_t>(k));
    tree.ReadEntry(pos, entry.data(), nullptr);
    found = keys.Compare(entry.data(), key.data(), length) == 0;
    TakeIndexEntry(pos);
  } else {
    // Past the last entry: the last record.
    pos = tree.PositionOfOrdinal(RangeLast());
    if (SettleIndex(pos, false)) {
      TakeIndexEntry(pos);
    } else {
      FState = TPosState::BeforeFirst;
      ClearCurrent();
      if (buffer) std::memset(buffer, 0, FBufferSize);
      return false;
    }
  }
  (void)nearest;  // a miss stays on the next greater key either way
  CopyOut(buffer);
  return found;
}

}  // namespace kura
