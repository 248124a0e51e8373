#pragma once
// The table both crash tests write: "log" with 1 Code Integer (primary key), 2 Name String(16),
// 3 Value Integer, and the secondary indexes "ByName" (Name) and "ByValueName" (Value, Name),
// both with duplicates. ReadBack opens it with a fresh engine and reads it through every access
// path, noting where an index disagrees with the records.
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"

namespace kura::crashtest {

inline TFieldDescriptor MakeField(const std::string &name, EngineFieldType type, uint8_t size = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  return f;
}

inline TIndexDefinition MakeIndex(const std::string &name, std::vector<uint16_t> fields) {
  TIndexDefinition d;
  d.Name = name;
  for (uint16_t n : fields) {
    TIndexDefinitionField f;
    f.FieldNumber = n;
    d.Fields.push_back(f);
  }
  d.Unique = name.empty();
  return d;
}

// Creates the empty table in path (the engine must be started).
inline void CreateLogTable(const std::string &path) {
  TDataDirectory *dir = DefaultSession().OpenDataDirectory("crash", path);
  TDataFileDefinition def;
  def.Fields = {MakeField("Code", EngineFieldType::Integer), MakeField("Name", EngineFieldType::String, 16),
                MakeField("Value", EngineFieldType::Integer)};
  TDataCursor creator(dir, "log");
  creator.CreateTable(def, {MakeIndex("", {1}), MakeIndex("ByName", {2}), MakeIndex("ByValueName", {3, 2})});
}

struct TRow {
  std::string Name;
  int32_t Value = 0;
  bool operator==(const TRow &o) const { return Name == o.Name && Value == o.Value; }
};
using TModel = std::map<int32_t, TRow>;  // by Code

// What the reopened table holds, read through every access path.
struct TSnapshot {
  TModel Natural;                     // read in natural order
  std::vector<std::string> Problems;  // index structure findings
  std::vector<TModel> IndexContents;  // what each index leads to
  int64_t RecordCount = 0;
};

inline std::tuple<int32_t, std::string, int32_t> ReadRow(TDataCursor &c, const std::vector<uint8_t> &r) {
  return {static_cast<int32_t>(c.GetInteger(1, r.data())), c.GetString(2, r.data()),
          static_cast<int32_t>(c.GetInteger(3, r.data()))};
}

// Reads the table through an open cursor, in natural order and along every index.
inline TSnapshot ReadThrough(TDataCursor &c) {
  TSnapshot s;
  {
    c.SetIndexNo(kNaturalOrder);
    c.SetToBegin();
    s.RecordCount = c.RecordCount();
    std::vector<uint8_t> r = c.NewRecordBuffer();
    while (c.GetNextRecord(r.data()) == KURA_NONE) {
      auto [code, name, value] = ReadRow(c, r);
      if (!s.Natural.emplace(code, TRow{name, value}).second)
        s.Problems.push_back("code " + std::to_string(code) + " twice in natural order");
    }
    if (static_cast<int64_t>(s.Natural.size()) != s.RecordCount)
      s.Problems.push_back("record count " + std::to_string(s.RecordCount) + " but " +
                           std::to_string(s.Natural.size()) + " records in natural order");
    for (const std::string &index : {std::string(), std::string("ByName"), std::string("ByValueName")}) {
      const std::string label = index.empty() ? "primary index" : "index " + index;
      c.SetIndexName(index);
      std::vector<std::tuple<int32_t, std::string, int32_t>> forward, backward;
      c.SetToBegin();
      while (c.GetNextRecord(r.data()) == KURA_NONE) forward.push_back(ReadRow(c, r));
      c.SetToEnd();
      while (c.GetPriorRecord(r.data()) == KURA_NONE) backward.push_back(ReadRow(c, r));
      std::reverse(backward.begin(), backward.end());
      if (forward != backward) s.Problems.push_back(label + ": walking backward differs from walking forward");
      auto keyOf = [&](const std::tuple<int32_t, std::string, int32_t> &t) {
        if (index.empty()) return std::make_tuple(std::get<0>(t), std::string(), 0);
        if (index == "ByName") return std::make_tuple(0, std::get<1>(t), 0);
        return std::make_tuple(std::get<2>(t), std::get<1>(t), 0);
      };
      for (size_t i = 1; i < forward.size(); ++i)
        if (keyOf(forward[i]) < keyOf(forward[i - 1])) {
          s.Problems.push_back(label + ": keys out of order at position " + std::to_string(i));
          break;
        }
      TModel seen;
      for (const auto &[code, name, value] : forward)
        if (!seen.emplace(code, TRow{name, value}).second)
          s.Problems.push_back(label + ": code " + std::to_string(code) + " twice");
      s.IndexContents.push_back(seen);
      if (seen != s.Natural)
        s.Problems.push_back(label + ": holds " + std::to_string(seen.size()) +
                             " records that differ from the " + std::to_string(s.Natural.size()) +
                             " of natural order");
    }
  }
  return s;
}

// Starts and stops its own engine; opening failures propagate. exclusive: open the table
// exclusively (no locking at all).
inline TSnapshot ReadBack(const std::string &path, bool exclusive = false) {
  TSnapshot s;
  StartEngine();
  TDataDirectory *dir = DefaultSession().OpenDataDirectory("crash", path);
  {
    TDataCursor c(dir, "log");
    if (exclusive) {
      TCursorOptions options = c.Options();
      options.Exclusive = true;
      c.SetOptions(options);
    }
    c.OpenCursor();
    s = ReadThrough(c);
    c.CloseCursor();
  }
  StopEngine();
  return s;
}

}  // namespace kura::crashtest
