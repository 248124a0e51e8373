// CREATE [UNIQUE] [ASC | DESC ...] [NOCASE] INDEX [IF NOT EXISTS] name ON table ( columns )
//   [COMPRESS ...]
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

}  // namespace kura
