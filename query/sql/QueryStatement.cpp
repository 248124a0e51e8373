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
  FParser.SetText(text);
  PrepareText();
}

void TQueryStatement::PrepareBorrowed(std::string_view text) {
  FParser.BorrowText(text);
  PrepareText();
}

void TQueryStatement::PrepareText() {
  ClearStatement();
  FScriptFailed = false;
  FParser.SetErrorCode(KURA_SQLPARSE);
  FParser.SetContextName(contexts::SqlStatement.Name);
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
    ValidateParts();
  } catch (...) {
    FParser.SetContextName(contexts::SqlStatement.Name);
    ClearStatement();
    FScriptFailed = true;
    throw;
  }
}

void TQueryStatement::ValidateParts() {
  if (FValidator)
    for (size_t i = FQueries.size(); i-- > 0;) FValidator(*this, *FQueries[i]);
  FPrepared = true;
}

void TQueryStatement::AdoptParsed(TQueryStatement &parsed) {
  ClearStatement();
  // This object's own text is empty: nothing follows the adopted statement here.
  FParser.SetText(std::string_view());
  FScriptFailed = true;
  FQueries = std::move(parsed.FQueries);
  FParameters = std::move(parsed.FParameters);
  FKind = parsed.FKind;
  parsed.ClearStatement();
  // The parts' expression nodes come from the process-wide pool and hold no link to the
  // parser that made them; only the parts' back links change owner.
  for (auto &query : FQueries) query->Statement = this;
  try {
    ValidateParts();
  } catch (...) {
    ClearStatement();
    throw;
  }
}

namespace {

// Walks the parts of a statement in the order their text is written, so that parameter
// markers come out in that order whatever order the parts were parsed in. The walk keeps its
// own list of pending work, so that tall trees inside nested sub-selects cannot exhaust the
// machine stack.
class ParameterWalk {
 public:
  explicit ParameterWalk(std::vector<TExpToken *> &out) : FOut(out) {}

  void Run(const TDataQuery *master) {
    FPending.reserve(16);
    PushQuery(master);
    while (!FPending.empty()) {
      Item item = FPending.back();
      FPending.pop_back();
      if (item.Query) {
        PushQuery(item.Query);
        continue;
      }
      const TExpToken *n = item.Node;
      if (n->IsParameter) FOut.push_back(const_cast<TExpToken *>(n));
      // Children go on in reverse, so that they come off in written order.
      for (size_t i = n->Args.size(); i-- > 0;) PushNode(n->Args[i]);
      PushNode(n->Right);
      PushNode(n->Left);
      if (n->Kind == TExpNodeKind::SubSelect && n->SubQuery) FPending.push_back({nullptr, n->SubQuery});
    }
  }

 private:
  struct Item {
    const TExpToken *Node;
    const TDataQuery *Query;
  };

  void PushNode(const TExpToken *n) {
    if (n) FPending.push_back({n, nullptr});
  }

  // A query's expressions in written order (pushed in reverse): select list, INSERT / UPDATE
  // values, the SELECT of INSERT, JOIN conditions, WHERE, HAVING, then the next UNION part.
  void PushQuery(const TDataQuery *q) {
    if (!q) return;
    if (q->UnionNext) FPending.push_back({nullptr, q->UnionNext});
    PushNode(q->Having.get());
    PushNode(q->Where.get());
    for (size_t i = q->Joins.size(); i-- > 0;) PushNode(q->Joins[i].Condition.get());
    if (q->InsertSelect) FPending.push_back({nullptr, q->InsertSelect});
    for (size_t i = q->UpdateValues.size(); i-- > 0;) PushNode(q->UpdateValues[i].Expression.get());
    for (size_t i = q->Fields.size(); i-- > 0;) PushNode(q->Fields[i].Expression.get());
  }

  std::vector<TExpToken *> &FOut;
  std::vector<Item> FPending;
};

}  // namespace

void TQueryStatement::CollectParameters() {
  FParameters.clear();
  ParameterWalk walk(FParameters);
  walk.Run(Master());
}

}  // namespace kura
