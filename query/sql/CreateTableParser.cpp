// CREATE TABLE [IF NOT EXISTS] table ( column-definition { , column-definition }
//   [ , primary-key ] { table-option } ), and the column definitions, primary keys and table
// options that ALTER TABLE shares.
#include "query/sql/StatementParser.h"

#include "query/sql/QueryStatement.h"

namespace kura {

void TStatementParser::ParseIfNotExists(bool &ifNotExists) {
  if (!Keyword("IF")) return;
  Next();
  if (!Keyword("NOT")) FailToken("NOT keyword expected after IF keyword, instead found '");
  Next();
  if (!Keyword("EXISTS")) FailToken("EXISTS keyword expected after NOT keyword, instead found '");
  Next();
  ifNotExists = true;
}

void TStatementParser::ParseCreateTable(TDataQuery &q) {
  // On TABLE.
  Next();
  ParseIfNotExists(q.IfNotExists);
  ParseTableReference(q.Target, "Table name expected after CREATE TABLE keywords, instead found '");
  if (!P.IsKind('('))
    FailToken("Left parentheses expected before list of table columns, instead found '");
  Next();
  for (;;) {
    if (AtPrimaryKeyWords()) {
      q.HasPrimaryKey = true;
      ParsePrimaryKey(q.PrimaryKey);
      break;  // the primary key comes last
    }
    TCreateField field;
    ParseColumnDefinition(field, false, false);
    q.CreateFields.push_back(std::move(field));
    if (!P.IsKind(',')) break;
    Next();
  }
  ParseTableOptions(q.TableOptions);
  if (!P.IsKind(')'))
    FailToken("Right parentheses expected after CREATE TABLE statement, instead found '");
  Next();
}

bool TStatementParser::AtPrimaryKeyWords() const {
  return Keyword("CONSTRAINT") || Keyword("UNIQUE") || Keyword("ASC") || Keyword("ASCENDING") ||
         Keyword("DESC") || Keyword("DESCENDING") || Keyword("NOCASE") || Keyword("PRIMARY");
}

void TStatementParser::ParseColumnDefinition(TCreateField &field, bool typeOptional,
                                             bool allowAt) {
  if (!P.IsSymbol())
    Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " +
         contexts::TableColumn.Name);
  field.Name = P.TokenText();
  Next();
  if (!typeOptional || (P.IsKind(TK_SYMBOL) && IsDataTypeWord(P.TokenText()))) {
    TExpToken scratch;
    std::string saved = P.ContextName();
    P.SetContextName(contexts::TableColumn.Name);
    P.ParseDataType(scratch);
    P.SetContextName(saved);
    field.TypeGiven = true;
    field.DataType = scratch.DataType;
    field.SubType = scratch.SubType;
    field.Size = scratch.Size;
    field.Scale = scratch.Scale;
  }
  ParseColumnOptions(field, allowAt);
}

void TStatementParser::ParseAtPosition(TCreateField &field) {
  Next();
  int64_t n = 0;
  if (!IntegerToken(n)) FailToken("Integer value expected after AT keyword, instead found '");
  field.PositionGiven = true;
  field.Position = n;
  Next();
}

void TStatementParser::ParseColumnOptions(TCreateField &field, bool allowAt) {
  if (allowAt && Keyword("AT")) ParseAtPosition(field);
  if (Keyword("DESCRIPTION")) {
    Next();
    field.DescriptionGiven = true;
    field.Description = StringConstant(contexts::SqlStatement);
  }
  if (Keyword("NOT")) {
    Next();
    if (!Keyword("NULL")) FailToken("NULL keyword expected after NOT keyword, instead found '");
    Next();
    field.RequiredGiven = true;
    field.Required = true;
  }
  if (Keyword("DEFAULT")) {
    Next();
    ParseColumnValue(field.Default,
                     "Default expression expected after DEFAULT keyword, instead found '");
  }
  if (Keyword("MIN") || Keyword("MINIMUM")) {
    Next();
    ParseColumnValue(field.Minimum,
                     "Minimum expression expected after MIN or MINIMUM keyword, instead found '");
  }
  if (Keyword("MAX") || Keyword("MAXIMUM")) {
    Next();
    ParseColumnValue(field.Maximum,
                     "Maximum expression expected after MAX or MAXIMUM keyword, instead found '");
  }
  if (Keyword("CHARCASE")) {
    Next();
    if (Keyword("UPPER"))
      field.CharCase = TCharCase::Upper;
    else if (Keyword("LOWER"))
      field.CharCase = TCharCase::Lower;
    else if (Keyword("NOCHANGE"))
      field.CharCase = TCharCase::NoChange;
    else
      FailToken("UPPER, LOWER, or NOCHANGE keyword expected after CHARCASE keyword, instead found '");
    field.CharCaseGiven = true;
    Next();
  }
  if (allowAt && !field.PositionGiven && Keyword("AT")) ParseAtPosition(field);
}

void TStatementParser::ParseColumnValue(TColumnValueText &value, const char *missing) {
  std::string sign;
  if (P.IsKind('-') || P.IsKind('+')) {
    sign = P.TokenText();
    Next();
  }
  bool ok = P.IsKind(TK_SQUOTED) || P.IsKind(TK_INTEGER) || P.IsKind(TK_REAL) ||
            Keyword("CURRENT_DATE") || Keyword("CURRENT_TIME") || Keyword("CURRENT_TIMESTAMP") ||
            Keyword("TRUE") || Keyword("FALSE");
  if (!ok) FailToken(missing);
  value.Given = true;
  value.IsString = P.IsKind(TK_SQUOTED);
  value.Text = sign + P.TokenText();
  Next();
}

void TStatementParser::ParseIndexModifiers(TCreateIndex &index) {
  if (Keyword("UNIQUE")) {
    index.Unique = true;
    Next();
  }
  if (Keyword("ASC") || Keyword("ASCENDING")) {
    Next();
  } else if (Keyword("DESC") || Keyword("DESCENDING")) {
    index.Descending = true;
    Next();
  }
  if (Keyword("NOCASE")) {
    index.NoCase = true;
    Next();
  }
}

void TStatementParser::ParseIndexColumns(std::vector<std::string> &columns) {
  if (!P.IsKind('(')) FailToken("Left parentheses expected, instead found '");
  Next();
  for (;;) {
    if (!P.IsSymbol())
      Fail("Unknown or unexpected symbol '" + P.TokenText() + "' found in " +
           contexts::IndexColumn.Name);
    std::string name = P.TokenText();
    Next();
    if (P.IsKind('.'))
      Fail("Invalid use of table correlation name '" + name + "' specified in indexed columns");
    columns.push_back(std::move(name));
    if (!P.IsKind(',')) break;
    Next();
  }
  if (!P.IsKind(')')) FailToken("Right parentheses expected, instead found '");
  Next();
}

void TStatementParser::ParseCompression(TCreateIndex &index) {
  if (!Keyword("COMPRESS")) return;
  Next();
  if (Keyword("FULL"))
    index.Compression = TIndexCompression::Full;
  else if (Keyword("DUPBYTE"))
    index.Compression = TIndexCompression::DupByte;
  else if (Keyword("TRAILBYTE"))
    index.Compression = TIndexCompression::TrailByte;
  else if (Keyword("NONE"))
    index.Compression = TIndexCompression::None;
  else
    FailToken(
        "FULL, DUPBYTE, TRAILBYTE, or NONE keyword expected after COMPRESS keyword, instead "
        "found '");
  Next();
}

void TStatementParser::ParsePrimaryKey(TCreateIndex &key) {
  key.PrimaryKey = true;
  if (Keyword("CONSTRAINT")) {
    Next();
    if (!P.IsSymbol())
      FailToken("Index name expected after CONSTRAINT keyword, instead found '");
    key.Name = P.TokenText();
    Next();
  }
  ParseIndexModifiers(key);
  if (!Keyword("PRIMARY")) FailToken("PRIMARY keyword expected, instead found '");
  Next();
  if (!Keyword("KEY")) FailToken("KEY keyword expected after PRIMARY keyword, instead found '");
  Next();
  ParseIndexColumns(key.Columns);
  ParseCompression(key);
}

void TStatementParser::ParseTableOptions(TTableOptions &o) {
  if (Keyword("TEXT")) {
    Next();
    if (!Keyword("INDEX")) FailToken("INDEX keyword expected after TEXT keyword, instead found '");
    Next();
    o.TextIndexGiven = true;
    ParseIndexColumns(o.TextIndexColumns);
    if (Keyword("STOP")) {
      Next();
      if (!Keyword("WORDS")) FailToken("WORDS keyword expected after STOP keyword, instead found '");
      NextIn(contexts::StopWords);
      o.StopWordsGiven = true;
      o.StopWords = StringConstant(contexts::StopWords);
    }
    if (Keyword("SPACE")) {
      Next();
      if (!Keyword("CHARS")) FailToken("CHARS keyword expected after SPACE keyword, instead found '");
      NextIn(contexts::CharacterSet);
      o.SpaceCharsGiven = true;
      o.SpaceChars = StringConstant(contexts::CharacterSet);
    }
    if (Keyword("INCLUDE")) {
      Next();
      if (!Keyword("CHARS"))
        FailToken("CHARS keyword expected after INCLUDE keyword, instead found '");
      NextIn(contexts::CharacterSet);
      o.IncludeCharsGiven = true;
      o.IncludeChars = StringConstant(contexts::CharacterSet);
    }
  }
  if (Keyword("DESCRIPTION")) {
    Next();
    o.DescriptionGiven = true;
    o.Description = StringConstant(contexts::SqlStatement);
  }
  if (Keyword("BLOB")) {
    Next();
    if (!Keyword("BLOCK")) FailToken("BLOCK keyword expected after BLOB keyword, instead found '");
    Next();
    if (!Keyword("SIZE")) FailToken("SIZE keyword expected after BLOCK keyword, instead found '");
    Next();
    int64_t n = 0;
    if (!IntegerToken(n)) FailToken("Integer value expected after SIZE keyword, instead found '");
    o.BlobBlockSizeGiven = true;
    o.BlobBlockSize = n;
    Next();
  }
  if (Keyword("LANGUAGE")) ParseLanguage(o.Language);
  if (Keyword("ENCRYPTED")) {
    ParseEncrypted(o.Password, o.Encrypted);
    o.EncryptedGiven = true;
  }
  // USER MAJOR VERSION n, then USER MINOR VERSION n.
  for (int round = 0; round < 2 && Keyword("USER"); ++round) {
    Next();
    bool major = Keyword("MAJOR");
    if (!major && !Keyword("MINOR"))
      FailToken("MAJOR or MINOR keyword expected after USER keyword, instead found '");
    if (major && (round > 0 || o.UserMinorVersionGiven)) break;
    Next();
    if (!Keyword("VERSION"))
      FailToken(major ? "VERSION keyword expected after MAJOR keyword, instead found '"
                      : "VERSION keyword expected after MINOR keyword, instead found '");
    Next();
    int64_t n = 0;
    if (!IntegerToken(n))
      FailToken("Integer value expected after VERSION keyword, instead found '");
    Next();
    if (major) {
      o.UserMajorVersionGiven = true;
      o.UserMajorVersion = n;
    } else {
      o.UserMinorVersionGiven = true;
      o.UserMinorVersion = n;
      break;
    }
  }
  if (Keyword("LAST")) {
    Next();
    if (!Keyword("AUTOINC")) FailToken("AUTOINC keyword expected after LAST keyword, instead found '");
    NextIn(contexts::NextAutoInc);
    int64_t n = 0;
    if (!IntegerToken(n))
      FailToken("Integer constant expected after AUTOINC keyword, instead found '");
    o.LastAutoIncGiven = true;
    o.LastAutoInc = n;
    Next();
  }
}

}  // namespace kura
