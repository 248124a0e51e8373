#pragma once
// TDataQuery: one parsed statement part (a SELECT, each UNION part, each sub-select, or a
// data-changing or definition statement) with everything its clauses said.
#include <cstdint>
#include <string>
#include <vector>

#include "query/sql/ChangeParts.h"
#include "query/sql/DefinitionParts.h"
#include "query/sql/SelectParts.h"

namespace kura {

class TQueryStatement;

enum class TStatementKind : uint8_t {
  Unknown = 0,
  Select = 1,
  Insert = 2,
  Update = 3,
  Delete = 4,
  CreateTable = 5,
  AlterTable = 6,
  DropTable = 7,
  CreateIndex = 8,
  DropIndex = 9,
  StartTransaction = 10,
  Rollback = 11,
  Commit = 12,
};

// "SELECT", "CREATE TABLE", ... ("UNKNOWN" for none), as messages name them.
const char *StatementKindName(TStatementKind kind);

class TDataQuery {
 public:
  explicit TDataQuery(TQueryStatement *statement = nullptr) : Statement(statement) {}
  TDataQuery(const TDataQuery &) = delete;
  TDataQuery &operator=(const TDataQuery &) = delete;

  TQueryStatement *Statement;
  TStatementKind Kind = TStatementKind::Unknown;

  // Where the part stands in its statement.
  bool IsSubSelect = false;          // IN ( SELECT ... ) or the SELECT of INSERT ... SELECT
  // A sub-select's own statement text, from its SELECT to its last token, as the parser read
  // it (run as a query of its own; never re-cut from the statement by keywords).
  std::string SourceText;
  bool IsUnionPart = false;
  bool BeganWithParenthesis = false;

  // ---- SELECT ----
  bool Distinct = false;
  std::vector<TResultField> Fields;
  bool SelectsAllColumns = false;  // the select list is exactly "*"
  bool NeedsAvgCount = false;      // an AVG column needs a hidden count column
  TIntoTarget Into;
  std::vector<TSourceTable> Sources;  // FROM and JOIN sources, by position
  std::vector<TJoinExpression> Joins;
  bool IsJoinQuery = false;
  TExpTreePtr Where;
  std::vector<TGroupByField> GroupBy;
  TExpTreePtr Having;
  std::vector<TOrderByField> OrderBy;  // of the whole union on the master
  bool OrderByNoCase = false;
  int64_t TopCount = -1;
  bool WithLocks = false;
  TLanguageOption Language;
  std::string Password;  // ENCRYPTED WITH
  bool Encrypted = false;
  bool NoJoinOptimize = false;
  TDataQuery *UnionNext = nullptr;  // the next UNION part
  TDataQuery *UnionMaster = nullptr;  // of a UNION part: the first query of its union
  bool UnionAll = false;            // the link to UnionNext keeps duplicates

  bool HasGroupBy() const { return !GroupBy.empty(); }
  bool HasHaving() const { return Having != nullptr; }
  bool HasOrderBy() const { return !OrderBy.empty(); }
  bool HasUnion() const { return UnionNext != nullptr; }
  bool HasTop() const { return TopCount >= 0; }
  bool HasCalculatedColumns() const;
  bool HasAggregates() const;

  // ---- INSERT, UPDATE, DELETE ----
  // The changed table: INSERT INTO / UPDATE target, the first source of DELETE.
  TTableRef Target;
  std::string TargetCorrelation;
  std::vector<TUpdateField> UpdateFields;
  std::vector<TUpdateValue> UpdateValues;
  TDataQuery *InsertSelect = nullptr;  // INSERT ... SELECT
  bool NoAutoInc = false;
  TCommitOptions Commit;

  // ---- definitions ----
  bool IfExists = false;
  bool IfNotExists = false;
  std::vector<TCreateField> CreateFields;
  bool HasPrimaryKey = false;
  TCreateIndex PrimaryKey;
  TCreateIndex Index;  // CREATE INDEX, DROP INDEX (Index.PrimaryKey when named PRIMARY)
  std::vector<TAlteration> Alterations;
  TTableOptions TableOptions;
  bool NoBackup = false;

  // ---- COMMIT [WORK] [FLUSH] ----
  bool Flush = false;

  // The source with this correlation name (compared without regard to case), or nullptr.
  const TSourceTable *FindSource(const std::string &correlationName) const;
};

}  // namespace kura
