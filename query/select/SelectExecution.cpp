#include "query/select/SelectExecution.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "engine/cursor/DataCursor.h"
#include "engine/data/FieldTypes.h"
#include "engine/index/IndexFile.h"
#include "query/filter/CandidateRecords.h"
#include "query/filter/FilterIndexRanges.h"
#include "query/select/SelectWhereFilter.h"
#include "engine/data/FieldCodec.h"
#include "engine/sort/SortRecords.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/util/Bytes.h"
#include "query/select/SelectAggregates.h"
#include "query/select/SelectBlobs.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

// Result rows up to this size are sorted in memory in one piece; larger ones go through run
// files, which take about as long and hold far less.
constexpr size_t kSortInMemoryBytes = 16 * 1024 * 1024;

// Reads slot n of the source's table into its image. A pass over many slots reads through the
// data file's block buffer rather than its record cache (which it would otherwise churn record
// by record); a few scattered slots go through the cache, whose records later statements reuse.
// A lone record (a key looked up) is read by itself: the block around it would only cost its
// copy, and its neighbours are no likelier to be asked for than any other record.
// False when the slot holds no live record or the table changed before the read; the image
// stays as it was then.
// A pass reads blocks of `block` slots (0: the data file's read-ahead).
bool ReadLiveSlot(TSelectSource &source, TDataFile &file, uint32_t n, bool pass, bool lone = false, int block = 0) {
  if (!pass) {
    TRecord *record = file.GetRecord(static_cast<int32_t>(n), ReadForward, lone ? 1 : 0);
    if (!record) return false;
    const bool live = record->Image[0] == 0;
    if (live) source.Image.assign(record->Image.begin(), record->Image.end());
    file.ReleaseRecord(record);
    return live;
  }
  if (!file.ReadRecordForScan(static_cast<int32_t>(n), source.ScanImage, block) || source.ScanImage[0] != 0) return false;
  source.Image.swap(source.ScanImage);
  return true;
}

// Whether reading these candidates is a pass over many slots.
bool WidePass(const TCandidateRecords &records, bool filtered) { return !filtered || records.Count() > 64; }

void CollectRows(const TExpToken *n, std::vector<const TRowSource *> &out) {
  if (!n) return;
  if (n->Kind == TExpNodeKind::Column && !n->IsAllColumns && n->Source) {
    const auto *row = static_cast<const TRowSource *>(n->Source);
    if (std::find(out.begin(), out.end(), row) == out.end()) out.push_back(row);
  }
  if (n->Kind == TExpNodeKind::SubSelect) return;
  CollectRows(n->Left, out);
  CollectRows(n->Right, out);
  for (const TExpToken *a : n->Args) CollectRows(a, out);
}

bool HasSubSelect(const TExpToken *n) {
  if (!n) return false;
  if (n->Kind == TExpNodeKind::SubSelect || n->SubQuery) return true;
  if (HasSubSelect(n->Left) || HasSubSelect(n->Right)) return true;
  for (const TExpToken *a : n->Args)
    if (HasSubSelect(a)) return true;
  return false;
}

// Whether a condition reads no source but `row` (and no sub-select, whose rows are not seen).
bool OnlyReads(const TExpToken *condition, const TRowSource *row) {
  if (HasSubSelect(condition)) return false;
  std::vector<const TRowSource *> rows;
  CollectRows(condition, rows);
  return rows.empty() || (rows.size() == 1 && rows[0] == row);
}

bool IsIntegerValued(const TExpToken &n) { return IsIntegerType(n.DataType); }

// Whether a result field takes a source field's stored bytes as they are: the same type and
// size, of a type whose value read and written back gives the same bytes (a String needs the
// writing rule for blanks, size and case only where the stored text could not come from it).
bool CopiesStored(const TFieldDescriptor &from, const TFieldDescriptor &to) {
  if (from.Type != to.Type || from.DataSize != to.DataSize || from.DataScale != to.DataScale || from.IsAutoInc() ||
      to.IsAutoInc())
    return false;
  switch (from.Type) {
    case TDataType::SmallInt:
    case TDataType::Word:
    case TDataType::Integer:
    case TDataType::LongWord:
    case TDataType::LargeInt:
    case TDataType::Date:
    case TDataType::Time:
    case TDataType::Float:
    case TDataType::TimeStamp: return true;
    case TDataType::String: return to.CharCase == FieldCharCase::Unchanged && from.DeclaredSize == to.DeclaredSize;
    default: return false;
  }
}

// Copies the field's stored bytes (NULL as NULL); false for a text the writing rule would
// change (trailing blanks, longer than the declared size), which takes the value path.
bool CopyStored(const TFieldDescriptor &from, const uint8_t *source, const TFieldDescriptor &to, uint8_t *target) {
  if (!source || FieldIsNull(from, source)) {
    SetFieldNull(to, target);
    return true;
  }
  const uint8_t *data = source + from.Offset + 1;
  uint8_t *out = target + to.Offset + 1;
  if (from.Type == TDataType::String) {
    const std::string_view text = ZeroTerminatedText(data, from.DataSize);
    if (text.empty()) {
      SetFieldNull(to, target);
      return true;
    }
    if (text.back() == ' ' || text.size() > to.DeclaredSize) return false;
    std::memset(out, 0, to.DataSize);
    std::memcpy(out, text.data(), text.size());
  } else {
    std::memcpy(out, data, to.DataSize);
  }
  target[to.Offset] = 1;
  return true;
}

// Inner levels hold the images of their qualifying records up to this size in all.
constexpr size_t kInnerImageBytes = size_t{64} << 20;

// Record images of one size, appended in chunks of about 64 KiB: holding many does not copy
// the ones held already each time the store grows, nor touch twice the memory they need.
class TImageStore {
 public:
  void Start(size_t imageSize) {
    Clear();
    FImageSize = imageSize;
    FPerChunk = std::max<size_t>(1, (size_t{64} << 10) / std::max<size_t>(1, imageSize));
  }
  void Append(const uint8_t *image) {
    if (FCount % FPerChunk == 0) FChunks.emplace_back(new uint8_t[FPerChunk * FImageSize]);
    std::memcpy(At(FCount), image, FImageSize);
    ++FCount;
  }
  uint8_t *At(size_t p) const { return FChunks[p / FPerChunk].get() + (p % FPerChunk) * FImageSize; }
  size_t Bytes() const { return FCount * FImageSize; }
  bool Empty() const { return FCount == 0; }
  void Clear() {
    FChunks.clear();
    FChunks.shrink_to_fit();
    FCount = 0;
  }

 private:
  size_t FImageSize = 0, FPerChunk = 1, FCount = 0;
  std::vector<std::unique_ptr<uint8_t[]>> FChunks;
};

}  // namespace

// The records of one source that its index-answered conditions leave.
struct TSelectExecution::TSourceRows {
  const TSelectSource *Source = nullptr;
  bool Filtered = false;  // false: every slot
  TCandidateRecords Records;
};

// An inner level of a join. With an equality between an integer column of the level and a
// value of the earlier levels (the probe), each row of those meets only the records holding its
// value: found through an index on the column while few rows have asked, otherwise from the
// level's qualifying records read once (those passing the conditions on its source alone, in
// slot order, the order a walk of the level meets them) and grouped by value. Without a probe
// the records read once are walked for every row of the earlier levels.
struct TSelectExecution::TInnerRows {
  const TExpToken *Probe = nullptr;   // the earlier levels' side of the equality
  const TExpToken *Column = nullptr;  // the level's side
  const TExpToken *Equality = nullptr;  // the condition they come from
  // Index probing: a cursor on the level's table, the index and an equality to ask it.
  std::unique_ptr<TDataCursor> Cursor;
  int IndexNo = -1;
  TExpToken KeyColumn, KeyValue, KeyEquality;
  int64_t Probes = 0;
  int64_t ProbeLimit = 0;  // index probes before reading the level once pays more
  // Read once.
  bool Read = false;
  std::vector<uint32_t> Records;
  TImageStore Images;  // ImageSize bytes per record; empty when too large to hold
  size_t ImageSize = 0;
  std::unordered_map<int64_t, std::vector<uint32_t>> Buckets;  // value -> positions in Records
  std::vector<uint32_t> NullBucket;                             // NULL equals NULL in Kura SQL
  // What a held record still has to pass when it is met: the level's conditions but those on
  // its source alone (passed when it was read) and the equality its bucket answers.
  TSourceConditions HeldTests;
};

TSelectExecution::~TSelectExecution() = default;

TSelectExecution::TSourceRows &TSelectExecution::SourceRows(TSelectSource &source,
                                                            const std::vector<const TExpToken *> &conditions) {
  for (auto &rows : FSourceRows)
    if (rows->Source == &source) return *rows;
  auto rows = std::make_unique<TSourceRows>();
  rows->Source = &source;
  rows->Filtered = FilteredRecords(source, conditions, rows->Records, FOwner.FCursorCache.get());
  FSourceRows.push_back(std::move(rows));
  return *FSourceRows.back();
}

namespace {

// Whether an integer fits the integer column type (an index key holds nothing else).
bool FitsColumn(TDataType type, int64_t v) {
  switch (type) {
    case TDataType::SmallInt: return v >= -32767 && v <= 32767;
    case TDataType::Word: return v >= 0 && v <= 65535;
    case TDataType::Integer: return v >= -2147483647 && v <= 2147483647;
    default: return true;
  }
}

}  // namespace

TSelectExecution::TInnerRows &TSelectExecution::InnerRows(size_t index) {
  if (FInnerRows.size() < FPlan.Levels.size()) FInnerRows.resize(FPlan.Levels.size());
  if (FInnerRows[index]) return *FInnerRows[index];
  auto inner = std::make_unique<TInnerRows>();
  TJoinLevel &level = FPlan.Levels[index];
  TSelectSource &source = *level.Source;
  for (const TExpToken *c : level.Conditions) {
    if (!c || (c->Kind != TExpNodeKind::Binary && c->Kind != TExpNodeKind::Compare) || c->Code != TExpCode::Equal ||
        !c->Left || !c->Right)
      continue;
    for (int side = 0; side < 2 && !inner->Probe; ++side) {
      const TExpToken *mine = side == 0 ? c->Left : c->Right;
      const TExpToken *other = side == 0 ? c->Right : c->Left;
      if (mine->Kind != TExpNodeKind::Column || mine->IsAllColumns || mine->Source != &source.Row) continue;
      if (!IsIntegerValued(*mine) || !IsIntegerValued(*other) || HasSubSelect(other)) continue;
      std::vector<const TRowSource *> rows;
      CollectRows(other, rows);
      bool earlier = true;
      for (const TRowSource *row : rows) {
        bool found = false;
        for (size_t j = 0; j < index; ++j) found = found || &FPlan.Levels[j].Source->Row == row;
        earlier = earlier && found;
      }
      if (!earlier) continue;
      inner->Probe = other;
      inner->Column = mine;
      inner->Equality = c;
    }
    if (inner->Probe) break;
  }
  // A cursor on a table without a primary key opens in natural order, whose set of live
  // records costs the pass over the table that probing would save.
  TIndexFile *indexFile = TableIndexFile(*source.Table);
  const bool keyed = indexFile && !indexFile->Header().NoPrimaryKey && indexFile->Header().IndexInUse(kPrimaryIndex);
  if (inner->Probe && keyed) {
    // An index whose first field is the column answers "column = value" in a descent.
    inner->KeyColumn.Kind = TExpNodeKind::Column;
    inner->KeyColumn.DataType = inner->Column->DataType;
    inner->KeyColumn.FieldNo = inner->Column->FieldNo;
    inner->KeyValue.Kind = TExpNodeKind::Constant;
    inner->KeyValue.DataType = inner->Column->DataType;
    inner->KeyEquality.Kind = TExpNodeKind::Binary;
    inner->KeyEquality.Code = TExpCode::Equal;
    inner->KeyEquality.DataType = TDataType::Boolean;
    inner->KeyEquality.Left = &inner->KeyColumn;
    inner->KeyEquality.Right = &inner->KeyValue;
    std::unique_ptr<TDataCursor> cursor = OpenIndexCursor(source);
    if (cursor->FieldCount() == source.Table->DataFile().FieldCount() && cursor->HasPrimaryKey()) {
      inner->IndexNo = ServingIndex(*cursor, inner->KeyEquality);
      // A probe costs a few descents; reading the level once costs a pass over it.
      inner->ProbeLimit = std::max<int64_t>(16, source.Table->DataFile().SlotCount() / 64);
    }
    if (inner->IndexNo >= 0) inner->Cursor = std::move(cursor);
    else cursor->CloseCursor();
  }
  FInnerRows[index] = std::move(inner);
  return *FInnerRows[index];
}

void TSelectExecution::ReadInnerOnce(size_t index, TInnerRows &inner) {
  inner.Read = true;
  if (inner.Cursor) {
    inner.Cursor->CloseCursor();
    inner.Cursor.reset();
  }
  TJoinLevel &level = FPlan.Levels[index];
  TSelectSource &source = *level.Source;
  TDataFile &file = source.Table->DataFile();
  std::vector<const TExpToken *> own, rest;
  for (const TExpToken *c : level.Conditions) {
    if (OnlyReads(c, &source.Row)) own.push_back(c);
    else if (c != inner.Equality) rest.push_back(c);
  }
  TSourceConditions ownTests;
  ownTests.Build(own, source.Row);
  inner.HeldTests.Build(rest, source.Row);
  TSourceRows &candidates = SourceRows(source, level.Conditions);
  const bool pass = WidePass(candidates.Records, candidates.Filtered);
  const int block = candidates.Filtered ? 0 : file.ScanBlockRecords();
  const uint32_t slots = static_cast<uint32_t>(std::max<int32_t>(0, file.SlotCount()));
  inner.ImageSize = file.RecordSize();
  inner.Images.Start(inner.ImageSize);
  bool holdImages = true;
  auto take = [&](uint32_t n) {
    if (!ReadLiveSlot(source, file, n, pass, false, block)) return true;
    source.Row.Record = source.Image.data();
    source.Row.NullRow = false;
    if (!ownTests.AllHold(FEvaluator, source.Row.Record)) return true;
    inner.Records.push_back(n);
    if (holdImages && (inner.Images.Bytes() + inner.ImageSize > kInnerImageBytes ||
                       source.Image.size() != inner.ImageSize)) {
      holdImages = false;
      inner.Images.Clear();
    }
    if (holdImages) inner.Images.Append(source.Image.data());
    // The value the probe looks for.
    if (inner.Column) {
      TExpValue value;
      FEvaluator.Eval(*inner.Column, value);
      const uint32_t position = static_cast<uint32_t>(inner.Records.size() - 1);
      if (value.Null) inner.NullBucket.push_back(position);
      else inner.Buckets[value.Int].push_back(position);
    }
    return true;
  };
  if (candidates.Filtered) {
    candidates.Records.ForEach([&](uint32_t n) { return n > slots || take(n); });
  } else {
    for (uint32_t n = 1; n <= slots; ++n) take(n);
  }
}

void TSelectExecution::OrderJoin() {
  if (FPlan.Levels.size() < 2 || FPlan.Query->NoJoinOptimize) return;
  for (const TJoinLevel &level : FPlan.Levels)
    if (level.LeftOuter) return;
  // Every condition of an inner join may be tested as soon as its sources are all read.
  std::vector<const TExpToken *> conditions;
  for (const TJoinLevel &level : FPlan.Levels)
    conditions.insert(conditions.end(), level.Conditions.begin(), level.Conditions.end());
  // The source with the fewest records under the conditions on it alone drives the join (the
  // first in the written order among equals). Only that choice matters, so the sources are
  // counted smallest first (by the records their indexes leave), and a count stops as soon as
  // it can no longer win: a large table is not read whole only to learn that it is large.
  const size_t levels = FPlan.Levels.size();
  std::vector<std::vector<const TExpToken *>> own(levels);
  std::vector<TSourceRows *> candidates(levels);
  std::vector<size_t> order(levels);
  std::vector<uint64_t> estimate(levels);
  for (size_t i = 0; i < levels; ++i) {
    TSelectSource &source = *FPlan.Levels[i].Source;
    for (const TExpToken *c : conditions) {
      std::vector<const TRowSource *> rows;
      CollectRows(c, rows);
      if (rows.size() == 1 && rows[0] == &source.Row) own[i].push_back(c);
    }
    // Where indexes answer its conditions, only their records are read.
    candidates[i] = &SourceRows(source, own[i]);
    const uint64_t slots = static_cast<uint64_t>(std::max<int32_t>(0, source.Table->DataFile().SlotCount()));
    estimate[i] = candidates[i]->Filtered ? std::min<uint64_t>(slots, candidates[i]->Records.Count()) : slots;
    order[i] = i;
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return estimate[a] < estimate[b]; });
  size_t smallest = levels;  // none counted yet
  int64_t best = 0;
  for (size_t i : order) {
    TSelectSource &source = *FPlan.Levels[i].Source;
    TDataFile &file = source.Table->DataFile();
    const uint32_t slots = static_cast<uint32_t>(std::max<int32_t>(0, file.SlotCount()));
    TSourceRows &rows = *candidates[i];
    const bool pass = WidePass(rows.Records, rows.Filtered);
    // A source written before the best so far wins a tie; one written after it does not.
    const int64_t limit = smallest == levels ? INT64_MAX : (i < smallest ? best + 1 : best);
    TSourceConditions ownTests;
    ownTests.Build(own[i], source.Row);
    int64_t count = 0;
    auto countRecord = [&](uint32_t n) {
      if (n > slots || count >= limit) return false;
      if (!ReadLiveSlot(source, file, n, pass, false, rows.Filtered ? 0 : file.ScanBlockRecords())) return true;
      source.Row.Record = source.Image.data();
      source.Row.NullRow = false;
      if (!ownTests.AllHold(FEvaluator, source.Row.Record)) return true;
      ++count;
      return count < limit;
    };
    if (rows.Filtered) rows.Records.ForEach(countRecord);
    else for (uint32_t n = 1; n <= slots && countRecord(n);) ++n;
    if (count < limit && (smallest == levels || count < best || (count == best && i < smallest))) {
      smallest = i;
      best = count;
    }
  }
  if (smallest != 0 && smallest < levels) {
    TJoinLevel driving = FPlan.Levels[smallest];
    FPlan.Levels.erase(FPlan.Levels.begin() + static_cast<std::ptrdiff_t>(smallest));
    FPlan.Levels.insert(FPlan.Levels.begin(), driving);
  }
  for (size_t i = 0; i < FPlan.Levels.size(); ++i) {
    FPlan.Levels[i].Conditions.clear();
    FPlan.Levels[i].Source->Level = static_cast<int>(i);
  }
  for (const TExpToken *c : conditions) {
    std::vector<const TRowSource *> rows;
    CollectRows(c, rows);
    int deepest = 0;
    for (const TRowSource *row : rows)
      for (size_t i = 0; i < FPlan.Levels.size(); ++i)
        if (&FPlan.Levels[i].Source->Row == row) deepest = std::max(deepest, static_cast<int>(i));
    FPlan.Levels[deepest].Conditions.push_back(c);
  }
}

TSelectExecution::TSelectExecution(TSelectQuery &owner, TSelectPlan &plan)
    : FOwner(owner), FPlan(plan), FContext(owner), FEvaluator(&FContext, plan.LanguageId, plan.SortId) {
  FContext.SetPlan(&plan);
}

void TSelectExecution::Report(int percent) {
  if (!FOwner.OnProgress) return;
  const uint16_t steps = FPlan.Sources.empty() ? 20
                                               : FPlan.Sources[0]->Table->Settings().ProgressSteps;
  const int step = steps == 0 ? 100 : std::max(1, 100 / steps);
  if (percent != 100 && FLastReported >= 0 && percent - FLastReported < step) return;
  FLastReported = percent;
  bool abort = false;
  FOwner.OnProgress(percent, abort);
  if (abort) FAborted = true;
}

const TSourceConditions &TSelectExecution::LevelTests(size_t index) {
  if (FLevelTests.size() < FPlan.Levels.size()) FLevelTests.resize(FPlan.Levels.size());
  if (!FLevelTests[index]) {
    FLevelTests[index] = std::make_unique<TSourceConditions>();
    FLevelTests[index]->Build(FPlan.Levels[index].Conditions, FPlan.Levels[index].Source->Row);
  }
  return *FLevelTests[index];
}

bool TSelectExecution::VisitRecord(size_t index, const uint8_t *image, const TSourceConditions &tests,
                                   const std::function<bool()> &row, bool &stop) {
  TSelectSource &source = *FPlan.Levels[index].Source;
  source.Row.Record = image;
  source.Row.NullRow = false;
  if (!tests.AllHold(FEvaluator, image)) return false;
  ProduceLevel(index + 1, row, stop);
  return true;
}

bool TSelectExecution::ProduceLevel(size_t index, const std::function<bool()> &row, bool &stop) {
  if (index == FPlan.Levels.size()) {
    for (const TExpToken *c : FPlan.Residual)
      if (!FEvaluator.Condition(*c)) return true;
    if (!row()) stop = true;
    return true;
  }
  TJoinLevel &level = FPlan.Levels[index];
  TSelectSource &source = *level.Source;
  TDataFile &file = source.Table->DataFile();
  bool matched = false;
  // Reads the record in slot n and goes on with it when it is live.
  int block = 0;  // a walk over every slot reads large blocks
  auto visitSlot = [&](uint32_t n, bool pass, bool lone = false) {
    if (ReadLiveSlot(source, file, n, pass, lone, block) && VisitRecord(index, source.Image.data(), LevelTests(index), row, stop))
      matched = true;
  };
  if (index == 0) {
    // The driving level walks the records its index-answered conditions leave, or every slot.
    const uint32_t slots = static_cast<uint32_t>(std::max<int32_t>(0, file.SlotCount()));
    TSourceRows &candidates = SourceRows(source, level.Conditions);
    const bool pass = WidePass(candidates.Records, candidates.Filtered);
    const bool lone = candidates.Filtered && candidates.Records.Count() == 1;
    if (!candidates.Filtered) block = file.ScanBlockRecords();
    auto visit = [&](uint32_t n) {
      if (n > slots || stop || FAborted) return false;
      Report(static_cast<int>(static_cast<int64_t>(n - 1) * 100 / slots));
      if (FAborted) return false;
      visitSlot(n, pass, lone);
      return !stop && !FAborted;
    };
    if (candidates.Filtered) candidates.Records.ForEach(visit);
    else for (uint32_t n = 1; n <= slots && visit(n);) ++n;
  } else {
    // Inner levels: an equality with the earlier levels picks the records of the value at hand.
    TInnerRows &inner = InnerRows(index);
    auto visitAt = [&](uint32_t p) {
      if (inner.Images.Empty()) visitSlot(inner.Records[p], false);
      else if (VisitRecord(index, inner.Images.At(p), inner.HeldTests, row, stop)) matched = true;
    };
    if (inner.Probe) {
      TExpValue value;
      FEvaluator.Eval(*inner.Probe, value);
      if (!inner.Read && inner.Cursor && ++inner.Probes <= inner.ProbeLimit) {
        // NULL finds the NULL keys (NULL equals NULL); a value beyond the column's type none.
        if (value.Null || FitsColumn(inner.KeyColumn.DataType, value.Int)) {
          inner.KeyValue.Value = value;
          TCandidateRecords found;
          const uint32_t slots = static_cast<uint32_t>(std::max<int32_t>(0, file.SlotCount()));
          IndexMatchSet(*inner.Cursor, inner.IndexNo, inner.KeyEquality, TCandidateRecords::AllSlots(slots), found);
          const bool lone = found.Count() == 1;
          found.ForEach([&](uint32_t n) {
            visitSlot(n, false, lone);
            return !stop && !FAborted;
          });
        }
      } else {
        if (!inner.Read) ReadInnerOnce(index, inner);
        const std::vector<uint32_t> *positions = &inner.NullBucket;
        if (!value.Null) {
          const auto it = inner.Buckets.find(value.Int);
          positions = it == inner.Buckets.end() ? nullptr : &it->second;
        }
        if (positions)
          for (size_t i = 0; i < positions->size() && !stop && !FAborted; ++i) visitAt((*positions)[i]);
      }
    } else {
      if (!inner.Read) ReadInnerOnce(index, inner);
      for (uint32_t p = 0; p < inner.Records.size() && !stop && !FAborted; ++p) visitAt(p);
    }
  }
  if (!matched && level.LeftOuter && !stop && !FAborted) {
    source.Row.NullRow = true;
    ProduceLevel(index + 1, row, stop);
    source.Row.NullRow = false;
  }
  return true;
}

bool TSelectExecution::Produce(const std::function<bool()> &row) {
  bool stop = false;
  FLastReported = -1;
  if (FPlan.Levels.empty()) return true;
  // Conditions on a level's source alone are answered by a filter on that source (from its
  // indexes where they serve); the record-by-record test still follows.
  FInnerRows.clear();
  FLevelTests.clear();
  ProduceLevel(0, row, stop);
  if (!FAborted) Report(100);
  return !FAborted;
}

void TSelectExecution::ColumnValue(const TSelectColumn &column, TExpValue &value) {
  value.Clear();
  switch (column.Kind) {
    case TColumnKind::Plain:
      if (!column.Source->Row.NullRow) {
        const TFieldDescriptor &field = column.Source->Table->DataFile().Field(column.SourceField);
        if (field.Type == TDataType::Blob) ReadBlobValue(*column.Source->Table, field, column.Source->Row.Record, value);
        else ReadFieldValue(field, column.Source->Row.Record, value);
      }
      return;
    case TColumnKind::Calculated: {
      TExpValue raw;
      FEvaluator.Eval(*column.Expression, raw);
      if (raw.Null) return;
      const TTypeInfo from{column.Expression->DataType, column.Expression->SubType, column.Expression->Size,
                           column.Expression->Scale};
      const TTypeInfo to = FieldTypeInfo(column.Field);
      if (from.Type == to.Type && from.Scale == to.Scale) value = raw;
      else if (!ConvertValue(from, raw, to, value)) value.Clear();
      return;
    }
    case TColumnKind::Aggregate: {
      if (column.CountStar || !column.Expression) {
        value = TExpValue::OfInt(1);
        return;
      }
      TExpValue raw;
      FEvaluator.Eval(*column.Expression, raw);
      if (column.Aggregate == TAggregateKind::Count) {
        value = TExpValue::OfInt(raw.Null ? 0 : 1);
        return;
      }
      if (raw.Null) return;
      const TTypeInfo from{column.Expression->DataType, column.Expression->SubType, column.Expression->Size,
                           column.Expression->Scale};
      const TTypeInfo to = FieldTypeInfo(column.Field);
      if (from.Type == to.Type && from.Scale == to.Scale) value = raw;
      else if (!ConvertValue(from, raw, to, value)) value.Clear();
      return;
    }
    case TColumnKind::AvgCount:
      return;
  }
}

void TSelectExecution::RowValues(std::vector<TExpValue> &values) {
  values.resize(FPlan.Columns.size());
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) ColumnValue(FPlan.Columns[i], values[i]);
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (c.Aggregate == TAggregateKind::Avg && c.AvgCountColumn >= 0)
      values[c.AvgCountColumn] = TExpValue::OfInt(values[i].Null ? 0 : 1);
  }
}

void TSelectExecution::BuildRecord(uint8_t *image, std::vector<TExpValue> *runningTotals) {
  // One list for every row: each value is cleared before it is read, and keeps its room.
  std::vector<TExpValue> &values = FRowValues;
  const size_t count = FPlan.Columns.size();
  if (FCopiesStored.size() != count) {
    FCopiesStored.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
      const TSelectColumn &c = FPlan.Columns[i];
      FCopiesStored[i] = c.Kind == TColumnKind::Plain && c.Source &&
                         CopiesStored(c.Source->Table->DataFile().Field(c.SourceField), FPlan.ResultFields[i]);
    }
  }
  // Plain columns of fixed-size types go across as stored; the rest as values.
  values.resize(count);
  FCopied.assign(count, 0);
  for (size_t i = 0; i < count; ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (FCopiesStored[i] &&
        CopyStored(c.Source->Table->DataFile().Field(c.SourceField), c.Source->Row.NullRow ? nullptr : c.Source->Row.Record,
                   FPlan.ResultFields[i], image))
      FCopied[i] = 1;
    else
      ColumnValue(c, values[i]);
  }
  for (size_t i = 0; i < count; ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (c.Aggregate == TAggregateKind::Avg && c.AvgCountColumn >= 0)
      values[c.AvgCountColumn] = TExpValue::OfInt(values[i].Null ? 0 : 1);
  }
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    const TSelectColumn &c = FPlan.Columns[i];
    if (runningTotals && c.Aggregate == TAggregateKind::RunSum) {
      // A running total that overflowed stays NULL for the rest of the rows.
      if (FRunningOverflow.size() < runningTotals->size()) FRunningOverflow.resize(runningTotals->size(), 0);
      if (!FRunningOverflow[i] && !CombineAggregate(TAggregateKind::Sum, c.Field.Type, (*runningTotals)[i], values[i]))
        FRunningOverflow[i] = 1;
      values[i] = (*runningTotals)[i];
    }
  }
  for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
    if (FCopied[i]) continue;
    if (FPlan.ResultFields[i].Type == TDataType::Blob && FTarget) {
      if (!values[i].Null) FBlobBytes += static_cast<int64_t>(values[i].Str.size());
      WriteBlobValue(*FTarget, FPlan.ResultFields[i], image, values[i]);
    } else {
      WriteFieldValue(FPlan.ResultFields[i], image, values[i], FPlan.LanguageId);
    }
  }
}

bool TSelectExecution::GroupKeyIsOrderKey() const {
  if (FPlan.OrderKey.empty()) return true;
  if (FPlan.Query->OrderByNoCase) return false;
  std::vector<TSortColumn> key = FPlan.GroupKey;
  if (FPlan.Distinct) {
    key.clear();
    for (size_t i = 0; i < FPlan.VisibleCount; ++i) key.push_back({static_cast<int>(i), false});
  }
  if (key.size() != FPlan.OrderKey.size()) return false;
  for (size_t i = 0; i < key.size(); ++i)
    if (key[i].Column != FPlan.OrderKey[i].Column || FPlan.OrderKey[i].Descending) return false;
  return true;
}

void TSelectExecution::SpillIfLarge() {
  if (!OnSpill || !FTarget->InMemory()) return;
  const TDataFile &file = FTarget->DataFile();
  const int64_t bytes = static_cast<int64_t>(file.SlotCount()) * static_cast<int64_t>(file.RecordSize()) + FBlobBytes;
  if (bytes > MemoryLimit) FTarget = OnSpill(*FTarget);
}

void TSelectExecution::Append(const std::vector<TExpValue> *values, const uint8_t *image) {
  TDataFile &file = FTarget->DataFile();
  TRecord *record = file.AllocateRecord(FTarget->NoPrimaryKey());
  uint8_t *target = record->Image.data();
  if (image) {
    std::memcpy(target + kRecordPrefixSize, image + kRecordPrefixSize, file.RecordSize() - kRecordPrefixSize);
  } else if (values) {
    for (size_t i = 0; i < values->size(); ++i)
      WriteFieldValue(FPlan.ResultFields[i], target, (*values)[i], FPlan.LanguageId);
  } else {
    BuildRecord(target, FPlan.Grouped ? nullptr : &FRunningTotals);
  }
  file.MarkRecordDirty(record);
  file.ReleaseRecord(record);
  SpillIfLarge();
}

bool TSelectExecution::FillResultTable(TDataTable &table, int64_t maxRows, bool sort) {
  FTarget = &table;
  FBlobBytes = 0;
  // The TOP of a union limits the whole union (FinishUnion), not its first part.
  const int64_t top = FPlan.Query->HasUnion() ? -1 : FPlan.Query->TopCount;
  const bool topWhileProducing = top >= 0 && FPlan.OrderKey.empty() && !FPlan.Grouped && !FPlan.Distinct &&
                                 !FPlan.AggregateOnly;
  int64_t appended = 0;

  if (FPlan.FastCount) {
    // The table's own record count: no record is read.
    TSelectSource &source = *FPlan.Sources[0];
    TDataCursor cursor(source.Directory, source.Parsed->TableName);
    TCursorOptions options;
    options.InMemory = source.Directory->IsMemory();
    options.NaturalOrder = true;
    options.ReadOnly = source.Table->ReadOnly();
    cursor.SetOptions(options);
    cursor.OpenCursor();
    const int64_t count = cursor.RecordCount();
    cursor.CloseCursor();
    std::vector<TExpValue> values{TExpValue::OfInt(count)};
    Append(&values);
    return false;
  }

  FRunningTotals.assign(FPlan.Columns.size(), TExpValue());
  FRunningOverflow.assign(FPlan.Columns.size(), 0);
  OrderJoin();
  if (FPlan.AggregateOnly) {
    std::vector<TExpValue> totals(FPlan.Columns.size());
    std::vector<char> overflowed(FPlan.Columns.size(), 0);
    std::vector<TExpValue> row;
    bool any = false;
    Produce([&]() {
      RowValues(row);
      for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
        const TSelectColumn &c = FPlan.Columns[i];
        const TAggregateKind kind = c.Kind == TColumnKind::AvgCount ? TAggregateKind::Sum : c.Aggregate;
        if (!any) totals[i] = row[i];
        else if (!overflowed[i] && !CombineAggregate(kind, c.Field.Type, totals[i], row[i])) overflowed[i] = 1;
      }
      any = true;
      return true;
    });
    if (any) {
      for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
        const TSelectColumn &c = FPlan.Columns[i];
        if (c.Aggregate == TAggregateKind::Avg && c.AvgCountColumn >= 0)
          FinishAverage(c.Field.Type, totals[i], totals[c.AvgCountColumn].Null ? 0 : totals[c.AvgCountColumn].Int);
      }
    } else {
      for (TExpValue &v : totals) v.Clear();
    }
    Append(&totals);
    return FAborted;
  }

  if (FPlan.Grouped) {
    if (FillGroups(maxRows, GroupKeyIsOrderKey() ? top : -1)) {
      if (sort) SortByOrder(*FTarget);
      return FAborted;
    }
  }
  Produce([&]() {
    if (maxRows >= 0 && appended >= maxRows) return false;
    if (topWhileProducing && appended >= top) return false;
    Append(nullptr);
    ++appended;
    return true;
  });
  if (FPlan.Grouped) {
    SortGroups(*FTarget, GroupKeyIsOrderKey() ? top : -1, {});
  } else if (FPlan.Distinct) {
    TSortRequest request;
    request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
    request.MaxRows = GroupKeyIsOrderKey() ? top : -1;
    for (size_t i = 0; i < FPlan.VisibleCount; ++i) request.Fields.push_back({FPlan.ResultFields[i], false});
    request.Distinct = true;
    SortRecords(*FTarget, request);
  }
  if (sort) SortByOrder(*FTarget);
  return FAborted;
}

void TSelectExecution::SortByOrder(TDataTable &table) {
  if (FPlan.OrderKey.empty()) return;
  if ((FPlan.Grouped || FPlan.Distinct) && GroupKeyIsOrderKey()) return;
  SortByOrderKey(table);
}

void TSelectExecution::SortByOrderKey(TDataTable &table) {
  const int64_t top = FPlan.Query->TopCount;
  TSortRequest request;
  request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
  for (const TSortColumn &k : FPlan.OrderKey) request.Fields.push_back({FPlan.ResultFields[k.Column], k.Descending});
  request.CaseInsensitive = FPlan.Query->OrderByNoCase;
  request.MaxRows = top;
  SortRecords(table, request);
}

void TSelectExecution::FinishUnion(TDataTable &table, bool distinct) {
  const int64_t top = FPlan.Query->TopCount;
  if (distinct) RemoveDuplicates(table);
  if (!FPlan.OrderKey.empty()) {
    SortByOrderKey(table);
    return;
  }
  if (top < 0) return;
  // No order: the first rows in the order the parts produced them.
  TDataFile &file = table.DataFile();
  int64_t kept = 0;
  for (int32_t n = 1; n <= file.SlotCount(); ++n) {
    TRecord *record = file.GetRecord(n);
    if (!record) continue;
    const bool live = record->Image[0] == 0;
    file.ReleaseRecord(record);
    if (!live) continue;
    if (kept < top) ++kept;
    else file.FreeRecord(n, table.NoPrimaryKey());
  }
}

void TSelectExecution::RemoveDuplicates(TDataTable &table) {
  TSortRequest request;
  request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
  for (size_t i = 0; i < FPlan.VisibleCount; ++i) request.Fields.push_back({FPlan.ResultFields[i], false});
  request.Distinct = true;
  SortRecords(table, request);
}

}  // namespace kura
