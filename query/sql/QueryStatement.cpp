// TQueryStatement: preparing the statements of a script one at a time, collecting their
// parameter markers in written order, and handing every part to the validator.
#include "query/sql/QueryStatement.h"

#include "query/sql/StatementParser.h"

namespace kura {

TQueryStatement::TQueryStatement() { FParser.SetOwner(this); }

TQueryStatement::~TQueryStatement() { ClearStatement(); }

TDataQuery *TQueryStatement::NewQuery() {
  FQueries.push_back(std::make_unique<TDataQuery>(this));
  return FQueries.back().get();
}

void TQueryStatement::ClearStatement() {
  FParameters.clear();
  // Sub-select nodes point into other parts; the parts are freed together.
  FQueries.clear();
  FPrepared = false;
  FResultLive = false;
  FKind = TStatementKind::Unknown;
}

void TQueryStatement::Unprepare() { ClearStatement(); }

bool TQueryStatement::SelectsAllColumns() const {
  const TDataQuery *m = Master();
  return m && FKind == TStatementKind::Select && m->SelectsAllColumns;
}

TDataQuery *TQueryStatement::ParseSubSelect(TExpressionParser &parser) {
  (void)parser;
  if (!FActiveParser) FParser.FailIn("Sub-select queries are not allowed in ");
  return FActiveParser->ParseSubSelect();
}

void TQueryStatement::Prepare(std::string_view text) {
  ClearStatement();
  FScriptFailed = false;
  FParser.SetErrorCode(KURA_SQLPARSE);
  FParser.SetContextName(contexts::SqlStatement.Name);
  FParser.SetText(text);
  try {
    FParser.NextToken();
  } catch (...) {
    ClearStatement();
    FScriptFailed = true;
    throw;
  }
  ParseAndValidate();
}

bool TQueryStatement::HasNextStatement() const { return !FScriptFailed && !FParser.AtEnd(); }

void TQueryStatement::PrepareNext() {
  if (!HasNextStatement()) return;
  ClearStatement();
  FParser.SetContextName(contexts::SqlStatement.Name);
  ParseAndValidate();
}

void TQueryStatement::ParseAndValidate() {
  try {
    TStatementParser parser(*this, FParser);
    FActiveParser = &parser;
    TDataQuery *master = NewQuery();
    try {
      FKind = parser.ParseStatement(*master);
    } catch (...) {
      FActiveParser = nullptr;
      throw;
    }
    FActiveParser = nullptr;
    FParser.SetContextName(contexts::SqlStatement.Name);
    CollectParameters();
    if (FValidator)
      for (size_t i = FQueries.size(); i-- > 0;) FValidator(*this, *FQueries[i]);
    FPrepared = true;
  } catch (...) {
    FParser.SetContextName(contexts::SqlStatement.Name);
    ClearStatement();
    FScriptFailed = true;
    throw;
  }
}

namespace {

// Walks the parts of a statement in the order their text is written, so that parameter
// markers come out in that order whatever order the parts were parsed in.
class ParameterWalk {
 public:
  explicit ParameterWalk(std::vector<TExpToken *> &out) : FOut(out) {}

  void Query(const TDataQuery *q) {
    for (; q; q = q->UnionNext) {
      for (const TResultField &f : q->Fields) Tree(f.Expression.get());
      for (const TUpdateValue &v : q->UpdateValues) Tree(v.Expression.get());
      if (q->InsertSelect) Query(q->InsertSelect);
      for (const TJoinExpression &j : q->Joins) Tree(j.Condition.get());
      Tree(q->Where.get());
      Tree(q->Having.get());
    }
  }

  void Tree(const TExpToken *n) {
    if (!n) return;
    if (n->IsParameter) FOut.push_back(const_cast<TExpToken *>(n));
    if (n->Kind == TExpNodeKind::SubSelect) Query(n->SubQuery);
    Tree(n->Left);
    Tree(n->Right);
    for (const TExpToken *a : n->Args) Tree(a);
  }

 private:
  std::vector<TExpToken *> &FOut;
};

}  // namespace

void TQueryStatement::CollectParameters() {
  FParameters.clear();
  ParameterWalk walk(FParameters);
  walk.Query(Master());
}

}  // namespace kura
