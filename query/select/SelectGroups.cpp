// GROUP BY: the groups are gathered while the rows are produced, keyed by the bytes of their
// sort key (a hash), or through the key comparison where a collation decides which texts are
// equal; only the groups are sorted then, and HAVING and TOP apply to them in key order. The
// result is the one the sort of every produced row would give: each group's row is its first
// row with the aggregates combined in production order.
//
// Very many groups would hold too much memory: past a limit the gathered groups are written
// as rows of their own (their aggregates combined so far) and the remaining rows are appended
// as they come, and the record sort combines them all, partial groups first (they were
// written first, and equal keys keep their order).
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>

#include "engine/sort/SortKeys.h"
#include "engine/sort/SortRecords.h"
#include "query/select/SelectAggregates.h"
#include "query/select/SelectBlobs.h"
#include "query/select/SelectExecution.h"
#include "query/select/SelectQuery.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

constexpr size_t kSortInMemoryBytes = 16 * 1024 * 1024;

struct TGroup {
  std::string Key;                // the group-key part of the sort key
  std::vector<uint8_t> Image;     // the group's first row
  std::vector<TExpValue> Totals;  // per column; aggregates only
  std::vector<char> Overflowed;   // sums that left their type's range: NULL for good
};

bool Combines(const TSelectColumn &c) { return c.Kind == TColumnKind::Aggregate || c.Kind == TColumnKind::AvgCount; }

TAggregateKind CombineKind(const TSelectColumn &c) {
  return c.Kind == TColumnKind::AvgCount ? TAggregateKind::Sum : c.Aggregate;
}

}  // namespace

bool TSelectExecution::FillGroups(int64_t maxRows, int64_t top) {
  std::vector<TSortField> fields;
  for (const TSortColumn &k : FPlan.GroupKey) {
    const TFieldDescriptor &field = FPlan.ResultFields[k.Column];
    if (field.Type == TDataType::Blob) return false;
    fields.push_back({field, false});
  }
  const size_t columns = FPlan.Columns.size();
  const size_t recordSize = FTarget->DataFile().RecordSize();
  const TSortKeys keys(fields, false, FTarget->DataFile().LanguageId(), FTarget->DataFile().SortId());
  const size_t groupLength = static_cast<size_t>(keys.GroupLength());
  auto keyLess = [&keys](const std::string &a, const std::string &b) {
    return keys.CompareGroup(reinterpret_cast<const uint8_t *>(a.data()), reinterpret_cast<const uint8_t *>(b.data())) < 0;
  };
  const bool collated = keys.UsesLocale();
  std::unordered_map<std::string, size_t> byBytes;
  std::map<std::string, size_t, decltype(keyLess)> byCollation(keyLess);

  std::vector<TGroup> groups;
  std::vector<std::pair<std::string, size_t>> overflowed;  // of groups written as partial rows
  std::vector<uint8_t> scratch(recordSize, 0), key(static_cast<size_t>(keys.FullLength()));
  std::vector<TExpValue> values;
  int64_t produced = 0, held = 0;
  bool partial = false;

  auto writeTotals = [&](TGroup &g) {
    for (size_t i = 0; i < columns; ++i)
      if (Combines(FPlan.Columns[i])) WriteFieldValue(FPlan.ResultFields[i], g.Image.data(), g.Totals[i], FPlan.LanguageId);
  };
  auto writePartialGroups = [&]() {
    for (TGroup &g : groups) {
      writeTotals(g);
      for (size_t i = 0; i < columns; ++i)
        if (g.Overflowed[i]) overflowed.emplace_back(g.Key, i);
      Append(nullptr, g.Image.data());
    }
    groups.clear();
    byBytes.clear();
    byCollation.clear();
    partial = true;
  };

  Produce([&]() {
    if (maxRows >= 0 && produced >= maxRows) return false;
    ++produced;
    if (partial) {
      Append(nullptr);
      return true;
    }
    RowValues(values);
    for (const TSortColumn &k : FPlan.GroupKey)
      WriteFieldValue(FPlan.ResultFields[k.Column], scratch.data(), values[k.Column], FPlan.LanguageId);
    keys.Build(scratch.data(), recordSize, key.data());
    std::string groupKey(reinterpret_cast<const char *>(key.data()), groupLength);
    const auto [index, added] = [&]() {
      if (collated) {
        auto [it, fresh] = byCollation.try_emplace(groupKey, groups.size());
        return std::pair<size_t, bool>(it->second, fresh);
      }
      auto [it, fresh] = byBytes.try_emplace(groupKey, groups.size());
      return std::pair<size_t, bool>(it->second, fresh);
    }();
    if (!added) {
      TGroup &g = groups[index];
      for (size_t i = 0; i < columns; ++i) {
        const TSelectColumn &c = FPlan.Columns[i];
        if (!Combines(c) || g.Overflowed[i]) continue;
        if (!CombineAggregate(CombineKind(c), c.Field.Type, g.Totals[i], values[i])) g.Overflowed[i] = 1;
      }
      return true;
    }
    TGroup g;
    g.Key = std::move(groupKey);
    g.Image.assign(recordSize, 0);
    g.Totals.resize(columns);
    g.Overflowed.assign(columns, 0);
    for (size_t i = 0; i < columns; ++i) {
      if (FPlan.ResultFields[i].Type == TDataType::Blob) {
        if (!values[i].Null) FBlobBytes += static_cast<int64_t>(values[i].Str.size());
        WriteBlobValue(*FTarget, FPlan.ResultFields[i], g.Image.data(), values[i]);
      } else {
        WriteFieldValue(FPlan.ResultFields[i], g.Image.data(), values[i], FPlan.LanguageId);
      }
      if (Combines(FPlan.Columns[i])) g.Totals[i] = std::move(values[i]);
    }
    groups.push_back(std::move(g));
    held += static_cast<int64_t>(recordSize + 2 * groupLength + columns * (sizeof(TExpValue) + 1) + 160);
    // Groups may hold four times what a result table holds in memory.
    if (held > 4 * FOwner.FResultMemoryLimit) writePartialGroups();
    return true;
  });

  if (partial) {
    SortGroups(*FTarget, top, std::move(overflowed));
    return true;
  }
  std::vector<size_t> order;
  order.reserve(groups.size());
  if (collated) {
    for (const auto &entry : byCollation) order.push_back(entry.second);
  } else {
    for (size_t i = 0; i < groups.size(); ++i) order.push_back(i);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return keyLess(groups[a].Key, groups[b].Key); });
  }
  int64_t written = 0;
  for (size_t index : order) {
    if (top >= 0 && written >= top) break;
    TGroup &g = groups[index];
    for (size_t i = 0; i < columns; ++i) {
      const TSelectColumn &c = FPlan.Columns[i];
      if (c.Aggregate != TAggregateKind::Avg || c.AvgCountColumn < 0) continue;
      const TExpValue &count = g.Totals[c.AvgCountColumn];
      FinishAverage(c.Field.Type, g.Totals[i], count.Null ? 0 : count.Int);
    }
    writeTotals(g);
    if (FPlan.Having) {
      FPlan.ResultRow.Record = g.Image.data();
      const bool keep = FEvaluator.Condition(*FPlan.Having);
      FPlan.ResultRow.Record = nullptr;
      if (!keep) continue;
    }
    Append(nullptr, g.Image.data());
    ++written;
  }
  return true;
}

void TSelectExecution::SortGroups(TDataTable &table, int64_t top, std::vector<std::pair<std::string, size_t>> overflowed) {
  TSortRequest request;
  request.InMemoryBytes = kSortInMemoryBytes;
  request.RebuildIndex = false;
  request.MaxRows = top;
  for (const TSortColumn &k : FPlan.GroupKey) request.Fields.push_back({FPlan.ResultFields[k.Column], false});
  request.Query = this;
  const size_t columns = FPlan.Columns.size();
  auto keys = std::make_shared<TSortKeys>(request.Fields, false, table.DataFile().LanguageId(), table.DataFile().SortId());
  const size_t recordSize = table.DataFile().RecordSize();
  // Groups are combined one after the other; a sum that overflowed in the group at hand stays
  // NULL until the next group starts.
  auto flags = std::make_shared<std::vector<char>>(columns, 0);
  auto seen = std::make_shared<std::vector<std::pair<std::string, size_t>>>(std::move(overflowed));
  request.Callbacks.Accumulate = [this, flags, seen, keys, recordSize](void *, bool start, const uint8_t *source,
                                                                       uint8_t *target) {
    if (start) {
      std::fill(flags->begin(), flags->end(), 0);
      if (!seen->empty()) {
        std::vector<uint8_t> key(static_cast<size_t>(keys->FullLength()));
        keys->Build(target, recordSize, key.data());
        for (const auto &[groupKey, column] : *seen)
          if (keys->CompareGroup(reinterpret_cast<const uint8_t *>(groupKey.data()), key.data()) == 0)
            (*flags)[column] = 1;
      }
      return;
    }
    for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
      const TSelectColumn &c = FPlan.Columns[i];
      if (!Combines(c) || (*flags)[i]) continue;
      TExpValue total, next;
      ReadFieldValue(FPlan.ResultFields[i], target, total);
      ReadFieldValue(FPlan.ResultFields[i], source, next);
      if (!CombineAggregate(CombineKind(c), c.Field.Type, total, next)) (*flags)[i] = 1;
      WriteFieldValue(FPlan.ResultFields[i], target, total, FPlan.LanguageId);
    }
  };
  request.Callbacks.Finish = [this](void *, uint8_t *row) {
    for (size_t i = 0; i < FPlan.Columns.size(); ++i) {
      const TSelectColumn &c = FPlan.Columns[i];
      if (c.Aggregate != TAggregateKind::Avg || c.AvgCountColumn < 0) continue;
      TExpValue sum, count;
      ReadFieldValue(FPlan.ResultFields[i], row, sum);
      ReadFieldValue(FPlan.ResultFields[c.AvgCountColumn], row, count);
      FinishAverage(c.Field.Type, sum, count.Null ? 0 : count.Int);
      WriteFieldValue(FPlan.ResultFields[i], row, sum, FPlan.LanguageId);
    }
  };
  request.Callbacks.Accept = [this](void *, const uint8_t *row) {
    if (!FPlan.Having) return true;
    FPlan.ResultRow.Record = row;
    const bool keep = FEvaluator.Condition(*FPlan.Having);
    FPlan.ResultRow.Record = nullptr;
    return keep;
  };
  SortRecords(table, request);
}

}  // namespace kura
