// The record sort: choosing the path, sorting chunks, merging runs and writing the result back.
#include "engine/sort/SortRecords.h"

#include <algorithm>
#include <numeric>
#include <cstring>
#include <vector>

#include "engine/data/DataFile.h"
#include "engine/data/Scramble.h"
#include "engine/errors/EngineError.h"
#include "engine/sort/SortEmitter.h"
#include "engine/sort/SortKeys.h"
#include "engine/table/TableSync.h"
#include "engine/sort/SortMerge.h"
#include "engine/sort/SortOutput.h"
#include "engine/sort/SortRuns.h"
#include "engine/sort/SortedTableState.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataSession.h"
#include "engine/table/DataTable.h"

namespace kura {

namespace {

constexpr size_t kRunBytes = 1048576;

void CheckFields(const TDataTable &table, const TDataFile &file, const TSortRequest &request) {
  if (request.Fields.size() > kMaxSortFields) table.Raise(KURA_INDEXLIMIT);
  const size_t recordSize = file.RecordSize();
  for (const TSortField &f : request.Fields) {
    const TFieldDescriptor &d = f.Field;
    if (d.Type == EngineFieldType::Blob) {
      ErrorTexts texts;
      texts.Table = table.Name();
      texts.Database = table.Directory()->DatabaseName();
      texts.Field = d.Name;
      RaiseEngineError(KURA_SEARCHCOLREQD, texts);
    }
    if (d.IsAutoInc()) continue;
    if (d.Offset < kRecordPrefixSize || static_cast<size_t>(d.Offset) + 1 + d.DataSize > recordSize)
      table.Raise(KURA_INVALIDIDXDESC);
  }
}

// Sorted chunk of records with their keys: indexes into the chunk in full-key order; equal
// keys stay in slot order.
std::vector<uint32_t> SortChunk(const TSortKeys &keys, const std::vector<uint8_t> &keyBuffer, size_t count) {
  const size_t keyLength = static_cast<size_t>(keys.FullLength());
  std::vector<uint32_t> order(count);
  std::iota(order.begin(), order.end(), 0u);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return keys.CompareFull(keyBuffer.data() + a * keyLength, keyBuffer.data() + b * keyLength) < 0;
  });
  return order;
}

// Live records of the chunk moved to the front of the buffer; returns their count.
size_t KeepLiveRecords(std::vector<uint8_t> &records, size_t count, size_t recordSize) {
  size_t live = 0;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t *image = records.data() + i * recordSize;
    // Deleted slots keep their old bytes; they are not rows and must not come back as such.
    if (image[0] != 0) continue;
    if (live != i) std::memmove(records.data() + live * recordSize, image, recordSize);
    ++live;
  }
  return live;
}

int32_t SortInMemory(TDataTable &table, const TSortKeys &keys, const TSortRequest &request, bool cached) {
  TDataFile &file = table.DataFile();
  const size_t recordSize = file.RecordSize();
  const size_t keyLength = static_cast<size_t>(keys.FullLength());
  const int32_t slots = file.SlotCount();

  std::vector<uint8_t> records(static_cast<size_t>(slots) * recordSize);
  if (cached) {
    for (int32_t n = 1; n <= slots; ++n) {
      TRecord *record = file.GetRecord(n);
      if (!record) table.Raise(KURA_FILECORRUPT);
      std::memcpy(records.data() + static_cast<size_t>(n - 1) * recordSize, record->Image.data(), recordSize);
      file.ReleaseRecord(record);
    }
  } else {
    // Read in one pass past the record cache, which would only churn.
    file.WriteDirtyRecords(true);
    file.DropCache();
    file.ReadAt(FirstSlotOffset(file), records.data(), static_cast<int64_t>(records.size()));
    if (file.Encrypted())
      for (int32_t n = 0; n < slots; ++n)
        Scramble(records.data() + static_cast<size_t>(n) * recordSize, recordSize, kRecordKey);
  }
  const size_t live = KeepLiveRecords(records, static_cast<size_t>(slots), recordSize);
  std::vector<uint8_t> keyBuffer(live * keyLength);
  for (size_t i = 0; i < live; ++i)
    keys.Build(records.data() + i * recordSize, recordSize, keyBuffer.data() + i * keyLength);
  const std::vector<uint32_t> order = SortChunk(keys, keyBuffer, live);

  // A cached table: everything is emitted before anything is written, so a failing callback
  // leaves the table as it was. A table read from its file is written through a buffer of the
  // cache's size instead (as the merge of the external sort writes it): the records are not
  // held twice.
  TSortOutput output(file, cached ? 0 : std::max<size_t>(1, file.CacheCapacity()));
  TSortEmitter emitter(keys, recordSize, request, output);
  for (uint32_t i : order)
    if (!emitter.Push(records.data() + static_cast<size_t>(i) * recordSize,
                      keyBuffer.data() + static_cast<size_t>(i) * keyLength))
      break;
  emitter.Close();
  // The cached images are superseded (dirty ones included).
  file.DropCache();
  output.Flush();
  return output.Count();
}

int32_t SortExternally(TDataTable &table, const TSortKeys &keys, const TSortRequest &request, TSortOutcome &outcome) {
  TDataFile &file = table.DataFile();
  const size_t recordSize = file.RecordSize();
  const size_t keyLength = static_cast<size_t>(keys.FullLength());
  const int32_t slots = file.SlotCount();
  const bool encrypted = file.Encrypted();

  file.WriteDirtyRecords(true);
  file.DropCache();

  const size_t runLength = std::max<size_t>(
      1, std::min<size_t>(table.Settings().DataBufferCount, kRunBytes / std::max<size_t>(1, recordSize)));
  TSortRuns runs(table.Directory()->Session()->PrivateDir(), recordSize, encrypted);
  try {
    // 1. Sorted runs.
    {
      std::vector<uint8_t> chunk, sorted, keyBuffer;
      const int64_t slotsStart = FirstSlotOffset(file);
      for (int32_t first = 1; first <= slots;) {
        const size_t count = std::min<size_t>(runLength, static_cast<size_t>(slots - first + 1));
        chunk.resize(count * recordSize);
        file.ReadAt(slotsStart + static_cast<int64_t>(first - 1) * static_cast<int64_t>(recordSize), chunk.data(),
                    static_cast<int64_t>(chunk.size()));
        if (encrypted)
          for (size_t i = 0; i < count; ++i) Scramble(chunk.data() + i * recordSize, recordSize, kRecordKey);
        first += static_cast<int32_t>(count);
        const size_t live = KeepLiveRecords(chunk, count, recordSize);
        if (live == 0) continue;
        keyBuffer.resize(live * keyLength);
        for (size_t i = 0; i < live; ++i)
          keys.Build(chunk.data() + i * recordSize, recordSize, keyBuffer.data() + i * keyLength);
        const std::vector<uint32_t> order = SortChunk(keys, keyBuffer, live);
        sorted.resize(live * recordSize);
        for (size_t i = 0; i < live; ++i)
          std::memcpy(sorted.data() + i * recordSize, chunk.data() + static_cast<size_t>(order[i]) * recordSize,
                      recordSize);
        runs.AddRun(sorted.data(), live);
        ++outcome.RunCount;
        outcome.IntermediateMerges += MergeTrailingRuns(runs, kMaxMergeWidth, keys, recordSize);
      }
    }

    // 2. Merge, emitting in key order until the runs are exhausted or the limit stops it.
    TRunMerger merger(runs, 0, runs.Count(), keys, recordSize);
    TSortOutput output(file, std::max<size_t>(1, file.CacheCapacity()));
    TSortEmitter emitter(keys, recordSize, request, output);
    const uint8_t *record;
    const uint8_t *key;
    while (merger.Next(record, key))
      if (!emitter.Push(record, key)) break;
    emitter.Close();
    output.Flush();
    runs.Discard();
    return output.Count();
  } catch (...) {
    runs.Discard();
    throw;
  }
}

// The records went to disk directly, so the headers must follow at once, also inside a
// transaction (whose rollback re-reads them): a sort is never rolled back.
void WriteSortedTable(TDataTable &table) {
  const bool flush = TableSyncAsked(table, false);
  table.DataFile().WriteChanges(true, flush);
  if (TTableSideFile *index = table.IndexFile()) index->WriteChanges(true, flush);
  table.DataFile().TrimCache();
}

}  // namespace

TSortOutcome SortRecords(TDataTable &table, const TSortRequest &request) {
  TSortOutcome outcome;
  if (!table.Exclusive()) table.Raise(KURA_NEEDEXCLACCESS);
  if (table.ReadOnly()) table.Raise(KURA_OSEACCES);
  if (!table.NoPrimaryKey() || HasSecondaryIndex(table)) return outcome;

  TDataFile &file = table.DataFile();
  CheckFields(table, file, request);
  const TSortKeys keys(request.Fields, request.CaseInsensitive, file.LanguageId(), file.SortId());

  const int32_t slots = file.SlotCount();
  int32_t count;
  const bool cached = static_cast<int64_t>(file.CachedRecordCount()) >= slots;
  const size_t bytes = static_cast<size_t>(slots) * (file.RecordSize() + static_cast<size_t>(keys.FullLength()) + 4);
  if (cached || bytes <= request.InMemoryBytes) {
    count = SortInMemory(table, keys, request, cached);
  } else {
    outcome.External = true;
    count = SortExternally(table, keys, request, outcome);
  }

  // Records 1 to count, nothing after them.
  const int64_t end = FirstSlotOffset(file) + static_cast<int64_t>(count) * file.RecordSize();
  if (file.Size() > end) file.TruncateAt(end);
  SetSortedRecordCount(file, count);
  table.ChangePosted();
  if (request.RebuildIndex) RebuildIndexAfterSort(table);
  WriteSortedTable(table);

  outcome.Sorted = true;
  outcome.RowCount = count;
  return outcome;
}

}  // namespace kura
