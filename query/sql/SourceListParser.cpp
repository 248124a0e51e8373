// FROM source lists: table references with correlation names, INNER / LEFT / RIGHT joins with
// their ON conditions, and the parentheses around joins. Shared by SELECT, UPDATE and DELETE.
#include "query/sql/StatementParser.h"

#include "query/sql/QueryStatement.h"

namespace kura {

namespace {

bool SameName(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

// Words that end a FROM source instead of naming its correlation. FULL and OUTER are among
// them so that an unsupported FULL OUTER JOIN is reported rather than read as a correlation
// name followed by an inner join.
const char *const kSourceEndWords[] = {
    "LEFT",  "RIGHT", "INNER",     "JOIN",     "WHERE",          "ORDER", "GROUP", "HAVING",
    "TOP",   "RANGE", "WITH",      "ENCRYPTED", "LANGUAGE", "NOJOINOPTIMIZE", "UNION", "FULL",
    "OUTER"};

}  // namespace

const TSourceTable *TDataQuery::FindSource(const std::string &correlationName) const {
  for (const TSourceTable &s : Sources)
    if (SameName(s.CorrelationName, correlationName)) return &s;
  return nullptr;
}

void TStatementParser::AddSource(TDataQuery &q, TSourceTable source) {
  if (q.FindSource(source.CorrelationName))
    Fail("Duplicate table correlation name '" + source.CorrelationName +
         "' found in source tables");
  source.Position = static_cast<int>(q.Sources.size()) + 1;
  q.Sources.push_back(std::move(source));
}

void TStatementParser::ParseSource(TDataQuery &q, TSourceTable &source, const char *missing,
                                   bool joined, bool commitMayFollow) {
  (void)q;
  ParseTableReference(source, missing);
  source.CorrelationName = source.TableName;
  if (Keyword("AS")) {
    Next();
    if (!P.IsSymbol()) FailToken("Symbol or string expected after AS keyword, instead found '");
    source.CorrelationName = P.TokenText();
    Next();
    return;
  }
  if (!P.IsSymbol()) return;
  if (joined) {
    if (Keyword("ON")) return;
  } else {
    for (const char *w : kSourceEndWords)
      if (Keyword(w)) return;
    if (commitMayFollow && (Keyword("NOAUTOINC") || Keyword("COMMIT"))) return;
  }
  source.CorrelationName = P.TokenText();
  Next();
}

bool TStatementParser::ParseJoin(TDataQuery &q, int outerPosition, int &openParens,
                                 bool commitMayFollow) {
  TJoinKind kind = TJoinKind::Inner;
  if (Keyword("JOIN")) {
    Next();
  } else if (Keyword("INNER")) {
    Next();
    if (!Keyword("JOIN")) FailToken("JOIN keyword expected after INNER keyword, instead found '");
    Next();
  } else if (Keyword("LEFT") || Keyword("RIGHT")) {
    bool left = Keyword("LEFT");
    kind = left ? TJoinKind::LeftOuter : TJoinKind::RightOuter;
    Next();
    if (Keyword("OUTER")) Next();
    if (!Keyword("JOIN"))
      FailToken(left ? "JOIN keyword expected after LEFT or OUTER keyword, instead found '"
                     : "JOIN keyword expected after RIGHT or OUTER keyword, instead found '");
    Next();
  } else if (Keyword("FULL")) {
    Fail("Full outer joins are currently not supported in SQL SELECT statements");
  } else {
    return false;
  }

  TSourceTable joined;
  ParseSource(q, joined, "Table name expected after JOIN keyword, instead found '", true,
              commitMayFollow);
  AddSource(q, std::move(joined));
  if (!Keyword("ON")) FailToken("ON keyword expected in JOIN clause, instead found '");
  Next();
  TJoinExpression join;
  join.OuterPosition = outerPosition;
  join.JoinedPosition = static_cast<int>(q.Sources.size());
  join.Kind = kind;
  join.Condition.reset(Expression(contexts::Join));
  q.Joins.push_back(std::move(join));
  q.IsJoinQuery = true;
  while (openParens > 0 && P.IsKind(')')) {
    --openParens;
    Next();
  }
  return true;
}

void TStatementParser::ParseSourceList(TDataQuery &q, bool commitMayFollow) {
  // FROM has been read.
  int openParens = 0;
  for (;;) {
    while (P.IsKind('(')) {
      ++openParens;
      Next();
    }
    TSourceTable source;
    ParseSource(q, source, "Table name expected after FROM keyword, instead found '", false,
                commitMayFollow);
    AddSource(q, std::move(source));
    const int outer = static_cast<int>(q.Sources.size());
    while (ParseJoin(q, outer, openParens, commitMayFollow)) {
    }
    if (!P.IsKind(',')) break;
    Next();
  }
  if (openParens > 0) Fail("Mismatched join parentheses");
  if (q.Sources.size() > 1) q.IsJoinQuery = true;
}

}  // namespace kura
