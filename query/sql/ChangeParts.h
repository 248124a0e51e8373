#pragma once
// What INSERT, UPDATE and DELETE are parsed into besides their sources: the target columns,
// their values and the commit clause.
#include <cstdint>
#include <string>

#include "query/expr/ExpToken.h"

namespace kura {

// A target column of INSERT or UPDATE. Field number, type, size and scale are filled when the
// statement is checked against the table.
struct TUpdateField {
  std::string ColumnName;
  std::string CorrelationName;  // "correlation.column" form
  bool AllColumns = false;      // INSERT without a column list: every column in field order
  int FieldNo = 0;
  TDataType DataType = TDataType::Unknown;
  uint32_t Size = 0;
  uint8_t Scale = 0;
};

// The value for the target column at the same position.
struct TUpdateValue {
  TExpTreePtr Expression;
};

// COMMIT ( INTERVAL n [FLUSH] | FLUSH ).
struct TCommitOptions {
  bool Given = false;
  bool IntervalGiven = false;
  int64_t Interval = 0;
  bool Flush = false;
};

}  // namespace kura
