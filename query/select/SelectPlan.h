#pragma once
// What preparation makes of one parsed SELECT part: the opened sources, the result columns
// with their field definitions, the conditions placed per join level, and the flags that
// decide between a live result and a result table.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/data/DataFile.h"
#include "engine/table/DataDirectory.h"
#include "query/expr/TypeChecker.h"
#include "query/sql/DataQuery.h"

namespace kura {

// A set of field values with its current record image: a source's current record, or a
// result record being built (HAVING reads group records through one of these).
struct TRowSource {
  const std::vector<TFieldDescriptor> *Fields = nullptr;
  const uint8_t *Record = nullptr;
  bool NullRow = false;  // the NULL row of a LEFT OUTER JOIN
  TDataTable *Table = nullptr;  // where Blob values are read from
};

struct TSelectSource {
  const TSourceTable *Parsed = nullptr;
  TDataDirectory *Directory = nullptr;
  TDataTable *Table = nullptr;
  TRowSource Row;
  std::vector<uint8_t> Image;  // the current record
  std::vector<uint8_t> ScanImage;  // the slot being read, before it is known to be live
  int Level = 0;               // place in the nested loop
};

enum class TColumnKind : uint8_t { Plain, Calculated, Aggregate, AvgCount };

struct TSelectColumn {
  TColumnKind Kind = TColumnKind::Plain;
  TFieldDescriptor Field;         // the result table's field (name, type, size)
  std::string DisplayName;        // as the select list names it
  std::string ExpressionText;     // for messages
  TSelectSource *Source = nullptr;  // plain columns
  int SourceField = 0;              // plain columns: 1-based field of the source
  const TExpToken *Expression = nullptr;  // calculated: the column; aggregate: the argument
  TAggregateKind Aggregate = TAggregateKind::None;
  bool CountStar = false;
  int AvgCountColumn = -1;  // AVG: index of its hidden count column
  bool Hidden = false;      // AVG counts, ORDER BY / GROUP BY / HAVING helpers
  bool ReadsColumn = false;  // refers to a source column outside any aggregate
};

struct TSortColumn {
  int Column = 0;  // index into Columns
  bool Descending = false;
};

// One level of the nested loop: a source with the conditions tested on its records.
struct TJoinLevel {
  TSelectSource *Source = nullptr;
  bool LeftOuter = false;
  std::vector<const TExpToken *> Conditions;
};

struct TSelectPlan {
  TDataQuery *Query = nullptr;
  std::vector<std::unique_ptr<TSelectSource>> Sources;  // FROM order
  std::vector<TJoinLevel> Levels;                        // nested-loop order
  std::vector<const TExpToken *> Residual;               // tested on whole combinations
  std::vector<TExpTreePtr> OwnedTrees;                   // rewritten conditions
  std::vector<TSelectColumn> Columns;                    // visible, then hidden
  size_t VisibleCount = 0;
  std::vector<TSortColumn> GroupKey;
  std::vector<TSortColumn> OrderKey;
  TExpTreePtr Having;  // rewritten over the result columns
  TRowSource ResultRow;  // HAVING's view of a group record
  std::vector<TFieldDescriptor> ResultFields;
  bool AggregateOnly = false;
  bool FastCount = false;
  bool Grouped = false;
  bool Distinct = false;
  bool Live = false;
  int LiveIndex = -1;  // index serving ORDER BY of a live result (-1 natural order)
  uint16_t LanguageId = 0;
  uint16_t SortId = 0;
};

}  // namespace kura
