// The SELECT grammar: select list with aliases, INTO, FROM (SourceListParser.cpp), WHERE,
// GROUP BY, HAVING, ORDER BY, the options, and UNION chains.
#include "query/sql/StatementParser.h"

#include <limits>

#include "query/sql/QueryStatement.h"

namespace kura {

namespace {

bool IsAggregate(const TExpToken *n) {
  return n && n->Kind == TExpNodeKind::Function && IsAggregateCode(n->Code);
}

// Whether an all-columns node stands anywhere but at the root or as COUNT's argument.
bool MisplacedAllColumns(const TExpToken *n, const TExpToken *root) {
  if (!n) return false;
  if (n->IsAllColumns && n != root) {
    const TExpToken *p = n->Parent;
    bool countStar = p == root && IsAggregate(p) && p->Code == TExpCode::Count &&
                     n->TableName.empty();
    if (!countStar) return true;
  }
  if (MisplacedAllColumns(n->Left, root) || MisplacedAllColumns(n->Right, root)) return true;
  for (const TExpToken *a : n->Args)
    if (MisplacedAllColumns(a, root)) return true;
  return false;
}

}  // namespace

TAggregateKind AggregateKindOf(TExpCode code) {
  switch (code) {
    case TExpCode::Sum: return TAggregateKind::Sum;
    case TExpCode::RunSum: return TAggregateKind::RunSum;
    case TExpCode::Min: return TAggregateKind::Min;
    case TExpCode::Max: return TAggregateKind::Max;
    case TExpCode::Avg: return TAggregateKind::Avg;
    case TExpCode::Count: return TAggregateKind::Count;
    default: return TAggregateKind::None;
  }
}

bool TDataQuery::HasCalculatedColumns() const {
  for (const TResultField &f : Fields)
    if (f.Calculated) return true;
  return false;
}

bool TDataQuery::HasAggregates() const {
  for (const TResultField &f : Fields)
    if (f.Aggregate != TAggregateKind::None) return true;
  return false;
}

std::string TResultField::DisplayName() const {
  if (!Alias.empty()) return Alias;
  if (Aggregate == TAggregateKind::None && !Calculated && !ColumnName.empty()) return ColumnName;
  return ExpressionText;
}

void TStatementParser::ParseSelect(TDataQuery &q, TSelectRole role, bool beganWithParen) {
  q.BeganWithParenthesis = beganWithParen;
  // In INSERT ... SELECT every part's source list may be followed by NOAUTOINC or COMMIT.
  const bool commitMayFollow = role == TSelectRole::InsertSource;
  ParseSelectPart(q, role, commitMayFollow);

  // UNION parts, each parsed as a part of its own; ORDER BY and TOP of the whole union follow
  // the last one.
  TDataQuery *last = &q;
  bool unioned = false;
  while (Keyword("UNION")) {
    if (q.HasOrderBy())
      Fail("You cannot use an ORDER BY clause within a UNIONed query");
    Next();
    bool all = false;
    if (Keyword("ALL")) {
      all = true;
      Next();
    }
    bool paren = false;
    if (P.IsKind('(')) {
      paren = true;
      Next();
    }
    if (!Keyword("SELECT")) FailToken("SELECT keyword expected, instead found '");
    TDataQuery *part = S.NewQuery();
    part->Kind = TStatementKind::Select;
    part->IsUnionPart = true;
    part->UnionMaster = &q;
    part->IsSubSelect = q.IsSubSelect;
    last->UnionNext = part;
    last->UnionAll = all;
    part->BeganWithParenthesis = paren;
    ParseSelectPart(*part, TSelectRole::UnionPart, commitMayFollow);
    last = part;
    unioned = true;
  }
  if (unioned) {
    if (Keyword("ORDER")) ParseOrderBy(q);
    if (Keyword("TOP")) ParseTop(q);
    if (Keyword("UNION")) Fail("You cannot use an ORDER BY clause within a UNIONed query");
  }
}

void TStatementParser::ParseSelectPart(TDataQuery &q, TSelectRole role, bool commitMayFollow) {
  // On SELECT.
  Next();
  if (Keyword("ALL")) Next();
  if (Keyword("DISTINCT")) {
    q.Distinct = true;
    Next();
  }
  ParseSelectList(q);
  ParseInto(q, role);

  if (!Keyword("FROM")) FailToken("FROM keyword expected, instead found '");
  Next();
  ParseSourceList(q, commitMayFollow);

  if (Keyword("WHERE")) {
    Next();
    q.Where.reset(Expression(contexts::Where));
  }
  if (Keyword("GROUP")) ParseGroupBy(q);
  if (Keyword("HAVING")) {
    Next();
    q.Having.reset(Expression(contexts::Having));
  }
  if (role != TSelectRole::UnionPart && Keyword("ORDER")) ParseOrderBy(q);
  ParseSelectOptions(q, role != TSelectRole::UnionPart);
  if (q.BeganWithParenthesis) {
    if (!P.IsKind(')'))
      FailToken("Right parentheses expected after SELECT statement, instead found '");
    Next();
  }
}

void TStatementParser::ParseSelectList(TDataQuery &q) {
  for (;;) {
    ParseSelectColumn(q);
    if (!P.IsKind(',')) break;
    Next();
  }
  q.SelectsAllColumns = q.Fields.size() == 1 && q.Fields[0].AllColumns &&
                        q.Fields[0].CorrelationName.empty();
}

void TStatementParser::ParseSelectColumn(TDataQuery &q) {
  if (P.AtEnd() || P.IsKind(',') || P.IsKind(';') || P.IsKind(')') || Keyword("FROM") ||
      Keyword("INTO"))
    Fail("Source column expression is empty");

  TResultField field;
  field.Expression.reset(Expression(contexts::SourceColumn, &field.ExpressionText));
  field.Position = static_cast<int>(q.Fields.size()) + 1;
  const TExpToken *root = field.Expression.get();

  // The misplaced aggregate is named before the "*" it may hold (COUNT(*) + 1).
  if (IsAggregate(root)) {
    for (const TExpToken *a : root->Args)
      if (ContainsAggregate(a)) Fail("Aggregate functions cannot be nested");
  } else if (ContainsAggregate(root)) {
    Fail("Aggregate functions cannot be used within expressions");
  }
  if (MisplacedAllColumns(root, root))
    Fail(std::string("* (all columns) symbol is not allowed in ") + contexts::SourceColumn.Name);
  if (IsAggregate(root)) {
    field.Aggregate = AggregateKindOf(root->Code);
    const TExpToken *arg = root->Args.empty() ? nullptr : root->Args[0];
    if (arg && arg->IsAllColumns) {
      field.CountStar = true;
    } else if (arg && arg->Kind == TExpNodeKind::Column) {
      field.ColumnName = arg->ColumnName;
      field.CorrelationName = arg->TableName;
    }
    if (field.Aggregate == TAggregateKind::Avg) q.NeedsAvgCount = true;
  } else if (root->Kind == TExpNodeKind::Column) {
    field.ColumnName = root->ColumnName;
    field.CorrelationName = root->TableName;
    field.AllColumns = root->IsAllColumns;
  } else {
    field.Calculated = true;
  }

  // [ [AS] alias [ "." alias ] ]
  bool haveAlias = false;
  if (Keyword("AS")) {
    Next();
    if (!P.IsSymbol()) FailToken("Symbol or string expected after AS keyword, instead found '");
    haveAlias = true;
  } else if (P.IsSymbol() && !Keyword("INTO") && !Keyword("FROM")) {
    haveAlias = true;
  }
  if (haveAlias) {
    field.Alias = P.TokenText();
    Next();
    if (P.IsKind('.')) {
      Next();
      if (!P.IsSymbol())
        FailToken("Symbol or string expected after table correlation name, instead found '");
      field.Alias = P.TokenText();
      Next();
    }
  }
  q.Fields.push_back(std::move(field));
}

void TStatementParser::ParseInto(TDataQuery &q, TSelectRole role) {
  if (!Keyword("INTO")) return;
  if (role != TSelectRole::Master)
    Fail("The INTO clause can only be used with the master query");
  Next();
  q.Into.Given = true;
  if (Keyword("MEMORY")) {
    q.Into.InMemory = true;
    Next();
    if (P.IsSymbol() && !Keyword("FROM")) {
      q.Into.TableName = P.TokenText();
      Next();
    }
    return;
  }
  if (!P.IsSymbol()) FailToken("Result table name expected in INTO clause, instead found '");
  std::string first = P.TokenText();
  Next();
  if (P.IsKind('\\')) {
    Next();
    if (!P.IsSymbol()) FailToken("Result table name expected in INTO clause, instead found '");
    q.Into.Database = first;
    q.Into.TableName = first + "\\" + P.TokenText();
    Next();
    return;
  }
  // A path names the result table as FROM names a source: directory and file name.
  TTableRef ref;
  SplitTablePath(first, ref, "Result table name expected in INTO clause, instead found '");
  q.Into.TableName = ref.TableName;
  q.Into.Directory = ref.Directory;
}

namespace {

// name | correlation "." name | column number; false when none stands here.
template <typename Item>
bool ParseColumnItem(TExpressionParser &p, Item &item) {
  if (p.IsKind(TK_INTEGER)) {
    // Any number is a column number here; one that no column has is refused when the select
    // list is known, with the number as written.
    int64_t n = 0;
    for (char c : p.TokenText()) {
      n = n * 10 + (c - '0');
      if (n > std::numeric_limits<int>::max()) {
        n = std::numeric_limits<int>::max();
        break;
      }
    }
    item.ByNumber = true;
    item.ColumnNumber = static_cast<int>(n);
    item.ColumnName = p.TokenText();
    p.NextToken();
    return true;
  }
  if (!p.IsSymbol()) return false;
  item.ColumnName = p.TokenText();
  p.NextToken();
  if (!p.IsKind('.')) return true;
  p.NextToken();
  if (!p.IsSymbol()) return false;
  item.CorrelationName = item.ColumnName;
  item.ColumnName = p.TokenText();
  p.NextToken();
  return true;
}

}  // namespace

void TStatementParser::ParseGroupBy(TDataQuery &q) {
  Next();
  if (!Keyword("BY")) FailToken("BY keyword expected after GROUP keyword, instead found '");
  Next();
  for (;;) {
    TGroupByField item;
    if (!ParseColumnItem(P, item))
      FailToken("Column name or column number expected in GROUP BY clause, instead found '");
    q.GroupBy.push_back(std::move(item));
    if (!P.IsKind(',')) break;
    Next();
  }
}

void TStatementParser::ParseOrderBy(TDataQuery &q) {
  Next();
  if (!Keyword("BY")) FailToken("BY keyword expected after ORDER keyword, instead found '");
  Next();
  for (;;) {
    TOrderByField item;
    if (!ParseColumnItem(P, item))
      FailToken("Column name or column number expected in ORDER BY clause, instead found '");
    if (Keyword("ASC") || Keyword("ASCENDING")) {
      Next();
    } else if (Keyword("DESC") || Keyword("DESCENDING")) {
      item.Descending = true;
      Next();
    }
    q.OrderBy.push_back(std::move(item));
    if (!P.IsKind(',')) break;
    Next();
  }
  if (Keyword("NOCASE")) {
    q.OrderByNoCase = true;
    Next();
  }
}

void TStatementParser::ParseTop(TDataQuery &q) {
  Next();
  int64_t n = 0;
  if (!IntegerToken(n)) FailToken("Integer value expected after TOP keyword, instead found '");
  q.TopCount = n;
  Next();
}

void TStatementParser::ParseSelectOptions(TDataQuery &q, bool withTop) {
  if (withTop && Keyword("TOP")) ParseTop(q);
  if (Keyword("WITH")) {
    Next();
    if (!Keyword("LOCKS")) FailToken("LOCKS keyword expected after WITH keyword, instead found '");
    q.WithLocks = true;
    Next();
  }
  if (Keyword("LANGUAGE")) ParseLanguage(q.Language);
  if (Keyword("ENCRYPTED")) ParseEncrypted(q.Password, q.Encrypted);
  if (Keyword("NOJOINOPTIMIZE")) {
    q.NoJoinOptimize = true;
    Next();
  }
}

}  // namespace kura
