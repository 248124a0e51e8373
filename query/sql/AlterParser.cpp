// ALTER TABLE table alteration { , alteration } { table-option } [NOBACKUP], with the
// alterations ADD / REDEFINE of a column or the primary key, DROP of a column or the key.
#include "query/sql/StatementParser.h"

#include "query/sql/QueryStatement.h"

namespace kura {

void TStatementParser::ParseAlterTable(TDataQuery &q) {
  // On TABLE.
  Next();
  ParseTableReference(q.Target, "Table name expected after ALTER TABLE keywords, instead found '");
  for (;;) {
    ParseAlteration(q);
    if (!P.IsKind(',')) break;
    Next();
  }
  ParseTableOptions(q.TableOptions);
  if (Keyword("NOBACKUP")) {
    q.NoBackup = true;
    Next();
  }
}

void TStatementParser::ParseAlteration(TDataQuery &q) {
  TAlteration a;
  if (Keyword("ADD") || Keyword("REDEFINE")) {
    a.Action = Keyword("ADD") ? TAlterAction::Add : TAlterAction::Redefine;
    Next();
    if (AtPrimaryKeyWords()) {
      a.OnPrimaryKey = true;
      ParsePrimaryKey(a.Index);
    } else {
      if (Keyword("COLUMN")) Next();
      ParseColumnDefinition(a.Field, a.Action == TAlterAction::Redefine, true);
    }
  } else if (Keyword("DROP")) {
    a.Action = TAlterAction::Drop;
    Next();
    if (Keyword("CONSTRAINT") || Keyword("PRIMARY")) {
      a.OnPrimaryKey = true;
      a.Index.PrimaryKey = true;
      a.Index.Drop = true;
      if (Keyword("CONSTRAINT")) {
        Next();
        if (!P.IsSymbol())
          FailToken("Index name expected after CONSTRAINT keyword, instead found '");
        a.Index.Name = P.TokenText();
        Next();
      }
      if (!Keyword("PRIMARY")) FailToken("PRIMARY keyword expected, instead found '");
      Next();
      if (!Keyword("KEY")) FailToken("KEY keyword expected after PRIMARY keyword, instead found '");
      Next();
    } else {
      if (Keyword("COLUMN")) Next();
      if (!P.IsSymbol())
        Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " +
             contexts::TableColumn.Name);
      a.Field.Name = P.TokenText();
      a.Field.Drop = true;
      Next();
    }
  } else {
    FailToken("ADD, DROP, or REDEFINE keyword expected, instead found '");
  }
  q.Alterations.push_back(std::move(a));
}

}  // namespace kura
