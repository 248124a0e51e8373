// INSERT INTO table [ [AS] alias ] [ ( columns ) ] ( VALUES ( values ) | SELECT ... )
//   [NOAUTOINC] [COMMIT clause]
#include "query/sql/StatementParser.h"

#include <algorithm>

#include "query/sql/QueryStatement.h"

namespace kura {

void TStatementParser::ParseTableColumn(TUpdateField &field) {
  if (!P.IsSymbol())
    Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " +
         contexts::TableColumn.Name);
  field.ColumnName = P.TokenText();
  Next();
  if (!P.IsKind('.')) return;
  Next();
  if (!P.IsSymbol())
    FailToken("Column name expected after table correlation name, instead found '");
  field.CorrelationName = field.ColumnName;
  field.ColumnName = P.TokenText();
  Next();
}

void TStatementParser::ParseTargetAlias(TDataQuery &q, std::initializer_list<const char *> stopWords) {
  q.TargetCorrelation = q.Target.TableName;
  if (Keyword("AS")) {
    Next();
    if (!P.IsSymbol()) FailToken("Symbol or string expected after AS keyword, instead found '");
    q.TargetCorrelation = P.TokenText();
    Next();
    return;
  }
  if (!P.IsSymbol()) return;
  for (const char *w : stopWords)
    if (Keyword(w)) return;
  q.TargetCorrelation = P.TokenText();
  Next();
}

void TStatementParser::ParseInsert(TDataQuery &q) {
  // On INSERT.
  Next();
  if (!Keyword("INTO")) FailToken("INTO keyword expected, instead found '");
  Next();
  ParseTableReference(q.Target, "Table name expected after INTO keyword, instead found '");
  ParseTargetAlias(q, {"VALUES", "SELECT"});

  bool columnList = false;
  if (P.IsKind('(')) {
    columnList = true;
    Next();
    // Room for a usual column list at once rather than growing one column at a time.
    q.UpdateFields.reserve(8);
    for (;;) {
      TUpdateField field;
      ParseTableColumn(field);
      q.UpdateFields.push_back(std::move(field));
      if (!P.IsKind(',')) break;
      Next();
    }
    if (!P.IsKind(')'))
      FailToken("Right parentheses expected after list of table columns, instead found '");
    Next();
  } else {
    TUpdateField all;
    all.AllColumns = true;
    all.ColumnName = "*";
    q.UpdateFields.push_back(std::move(all));
  }

  if (Keyword("VALUES")) {
    Next();
    if (!P.IsKind('('))
      FailToken("Left parentheses expected after VALUES keyword, instead found '");
    Next();
    q.UpdateValues.reserve(std::max<size_t>(q.UpdateFields.size(), 8));
    for (;;) {
      TUpdateValue value;
      value.Expression.reset(Expression(contexts::ValueExpression));
      q.UpdateValues.push_back(std::move(value));
      if (!P.IsKind(',')) break;
      Next();
    }
    if (!P.IsKind(')'))
      FailToken("Right parentheses expected after list of values, instead found '");
    Next();
    // With a column list the counts can be compared now; without one the table decides.
    if (columnList && q.UpdateValues.size() != q.UpdateFields.size())
      Fail("The number of values must match the number of table columns");
  } else if (Keyword("SELECT")) {
    TDataQuery *sub = S.NewQuery();
    sub->Kind = TStatementKind::Select;
    sub->IsSubSelect = true;
    q.InsertSelect = sub;
    const size_t mark = P.TokenStart();
    ParseSelect(*sub, TSelectRole::InsertSource, false);
    sub->SourceText = P.Text().substr(mark, P.PreviousTokenEnd() - mark);
  } else {
    FailToken("VALUES or SELECT  keyword expected, instead found '");
  }

  if (Keyword("NOAUTOINC")) {
    q.NoAutoInc = true;
    Next();
  }
  ParseCommitClause(q.Commit);
}

}  // namespace kura
