// DROP TABLE [IF EXISTS] table
// DROP INDEX [IF EXISTS] [MEMORY] [database "\"] table "." index
#include "query/sql/StatementParser.h"

#include "query/sql/QueryStatement.h"

namespace kura {

void TStatementParser::ParseIfExists(bool &ifExists) {
  if (!Keyword("IF")) return;
  Next();
  if (!Keyword("EXISTS")) FailToken("EXISTS keyword expected after IF keyword, instead found '");
  Next();
  ifExists = true;
}

void TStatementParser::ParseDropIndex(TDataQuery &q) {
  // On INDEX.
  Next();
  ParseIfExists(q.IfExists);
  ParseTableReference(q.Target, "Table name expected after DROP INDEX keywords, instead found '");
  if (!P.IsKind('.')) FailToken("Index name expected after table name, instead found '");
  Next();
  if (!P.IsSymbol()) FailToken("Index name expected after table name, instead found '");
  q.Index.Name = P.TokenText();
  q.Index.Drop = true;
  // PRIMARY (in any case) names the primary key.
  q.Index.PrimaryKey = Keyword("PRIMARY");
  Next();
}

void TStatementParser::ParseDropTable(TDataQuery &q) {
  // On TABLE.
  Next();
  ParseIfExists(q.IfExists);
  ParseTableReference(q.Target, "Table name expected after DROP TABLE keywords, instead found '");
}

}  // namespace kura
