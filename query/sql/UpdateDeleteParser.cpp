// UPDATE table [ [AS] alias ] SET column = value { , ... } [FROM sources] [WHERE condition]
//   [NOAUTOINC] [COMMIT clause] [NOJOINOPTIMIZE]
// DELETE FROM sources [WHERE condition] [COMMIT clause] [NOJOINOPTIMIZE]
#include "query/sql/StatementParser.h"

#include "query/sql/QueryStatement.h"

namespace kura {

namespace {

bool SameText(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool SameTable(const TTableRef &a, const TTableRef &b) {
  return a.InMemory == b.InMemory && SameText(a.TableName, b.TableName) &&
         SameText(a.Database, b.Database) && SameText(a.Directory, b.Directory);
}

}  // namespace

void TStatementParser::ParseUpdate(TDataQuery &q) {
  // On UPDATE.
  Next();
  ParseTableReference(q.Target, "Table name expected, instead found '");
  ParseTargetAlias(q, {"SET"});
  if (!Keyword("SET")) FailToken("SET keyword expected, instead found '");
  Next();
  for (;;) {
    TUpdateField field;
    ParseTableColumn(field);
    if (!P.IsKind('='))
      FailToken("Assignment (=) operator expected after column name, instead found '");
    Next();
    TUpdateValue value;
    value.Expression.reset(Expression(contexts::ValueExpression));
    q.UpdateFields.push_back(std::move(field));
    q.UpdateValues.push_back(std::move(value));
    if (!P.IsKind(',')) break;
    Next();
  }

  if (Keyword("FROM")) {
    Next();
    ParseSourceList(q, true);
    const TSourceTable &first = q.Sources.front();
    if (!SameTable(first, q.Target) || !SameText(first.CorrelationName, q.TargetCorrelation))
      Fail(
          "The first source table specified in FROM clause must match the table being updated "
          "in the UPDATE statement");
  } else {
    // The updated table is the only source.
    TSourceTable target;
    static_cast<TTableRef &>(target) = q.Target;
    target.CorrelationName = q.TargetCorrelation;
    target.Position = 1;
    q.Sources.push_back(std::move(target));
  }

  if (Keyword("WHERE")) {
    Next();
    q.Where.reset(Expression(contexts::Where));
  }
  if (Keyword("NOAUTOINC")) {
    q.NoAutoInc = true;
    Next();
  }
  ParseCommitClause(q.Commit);
  if (Keyword("NOJOINOPTIMIZE")) {
    q.NoJoinOptimize = true;
    Next();
  }
}

void TStatementParser::ParseDelete(TDataQuery &q) {
  // On DELETE.
  Next();
  if (!Keyword("FROM")) FailToken("FROM keyword expected, instead found '");
  Next();
  ParseSourceList(q, true);
  const TSourceTable &first = q.Sources.front();
  q.Target = first;
  q.TargetCorrelation = first.CorrelationName;
  if (Keyword("WHERE")) {
    Next();
    q.Where.reset(Expression(contexts::Where));
  }
  ParseCommitClause(q.Commit);
  if (Keyword("NOJOINOPTIMIZE")) {
    q.NoJoinOptimize = true;
    Next();
  }
}

}  // namespace kura
