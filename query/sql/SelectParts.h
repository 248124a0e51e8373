#pragma once
// What a SELECT is parsed into, piece by piece: the table references, the sources with their
// correlation names, the joins, the select list and the GROUP BY / ORDER BY items.
#include <cstdint>
#include <string>

#include "query/expr/ExpToken.h"

namespace kura {

// A table as written: [MEMORY] name [ "\" name ], or a path to a table's data file.
struct TTableRef {
  std::string WrittenName;  // the name (or both names, joined by "\") as written
  std::string TableName;    // the table itself (a path's file name without extension)
  std::string Database;     // the first of two names joined by "\"; empty otherwise
  std::string Directory;    // the directory of a path; empty otherwise
  bool InMemory = false;    // MEMORY: the in-memory database
  bool IsPath() const { return !Directory.empty(); }
};

// One FROM or JOIN source.
struct TSourceTable : TTableRef {
  std::string CorrelationName;  // the table name unless one was given
  int Position = 0;             // 1-based, in the order the sources are written
};

enum class TJoinKind : uint8_t { Inner = 1, LeftOuter = 2, RightOuter = 3 };

// JOIN source ON condition.
struct TJoinExpression {
  int OuterPosition = 0;   // position of the FROM source the join follows
  int JoinedPosition = 0;  // position of the joined source
  TJoinKind Kind = TJoinKind::Inner;
  TExpTreePtr Condition;
};

// Aggregate kinds of a select-list column.
enum class TAggregateKind : uint8_t {
  None = 0,
  Sum = 1,
  RunSum = 2,
  Min = 3,
  Max = 4,
  Avg = 5,
  Count = 6,
};
TAggregateKind AggregateKindOf(TExpCode code);

// One select-list column.
struct TResultField {
  // The column the item reads: a plain column reference, or the column directly under an
  // aggregate. Empty for calculated columns and aggregates over expressions.
  std::string ColumnName;
  std::string CorrelationName;
  std::string Alias;           // AS alias (or an alias written without AS)
  std::string ExpressionText;  // source text without line breaks: the default display name
  TExpTreePtr Expression;
  TAggregateKind Aggregate = TAggregateKind::None;
  bool Calculated = false;   // neither a plain column nor an aggregate over one
  bool AllColumns = false;   // "*" or "correlation.*"
  bool CountStar = false;    // COUNT(*)
  int Position = 0;          // 1-based position in the select list as written

  // The name the column is shown under: the alias, else a plain column's name, else the text.
  std::string DisplayName() const;
};

// A GROUP BY or ORDER BY item: a column name, or the number of a select-list column.
struct TColumnItem {
  std::string ColumnName;       // for a number: its digits as written
  std::string CorrelationName;  // "correlation.name" form
  bool ByNumber = false;
  int ColumnNumber = 0;  // 1-based number of a select-list column (INT_MAX when too large)
};

struct TGroupByField : TColumnItem {};

struct TOrderByField : TColumnItem {
  bool Descending = false;
};

// INTO of a SELECT.
struct TIntoTarget {
  bool Given = false;
  bool InMemory = false;
  std::string TableName;  // empty for INTO MEMORY without a name; "db\name" for two names
  std::string Database;   // the first of two names
  std::string Directory;  // the directory of a path (then TableName is the file name without extension)
};

// LANGUAGE 'name' [SORT 'name'].
struct TLanguageOption {
  bool LanguageGiven = false;
  uint16_t LanguageId = 0;
  bool SortGiven = false;
  uint16_t SortId = 0;
};

}  // namespace kura
