// CREATE [UNIQUE] [ASC | DESC ...] [NOCASE] INDEX [IF NOT EXISTS] name ON table ( columns )
//   [COMPRESS ...]
// DROP INDEX [IF EXISTS] [MEMORY] [database "\"] table "." index
#include "query/sql/StatementParser.h"

#include "query/sql/QueryStatement.h"

namespace kura {

void TStatementParser::ParseCreateIndex(TDataQuery &q) {
  // On the word after CREATE: INDEX or the first modifier.
  ParseIndexModifiers(q.Index);
  if (!Keyword("INDEX")) FailToken("INDEX keyword expected, instead found '");
  NextIn(contexts::IndexName);
  ParseIfNotExists(q.IfNotExists);
  if (!P.IsSymbol()) FailToken("Index name expected after INDEX keyword, instead found '");
  q.Index.Name = P.TokenText();
  Next();
  if (!Keyword("ON")) FailToken("ON keyword expected after index name, instead found '");
  Next();
  ParseTableReference(q.Target, "Table name expected after ON keyword, instead found '");
  ParseIndexColumns(q.Index.Columns);
  ParseCompression(q.Index);
}

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
