// CREATE TABLE, CREATE INDEX, ALTER TABLE, DROP TABLE and DROP INDEX: what they are parsed
// into, and their messages.
#include "SqlTestSupport.h"
#include "engine/locale/Collation.h"

using namespace kura;
using namespace kura::test;

namespace {

struct ErrorCase {
  const char *Text;
  const char *Message;
};

TEST(DefinitionStatementTest, CreateTableColumnsWithEveryOption) {
  auto s = Prepare(
      "CREATE TABLE IF NOT EXISTS figure (\n"
      "  MNB INTEGER NOT NULL,\n"
      "  TES SMALLINT DESCRIPTION 'move number' DEFAULT -1 MIN -5 MAX +400,\n"
      "  CMT VARCHAR(40) DEFAULT 'none' CHARCASE UPPER,\n"
      "  DAY DATE DEFAULT CURRENT_DATE MINIMUM '2000-01-01' MAXIMUM CURRENT_DATE,\n"
      "  OK BOOLEAN DEFAULT TRUE,\n"
      "  PRICE DECIMAL(10, 2) DEFAULT 1.25 CHARCASE NOCHANGE,\n"
      "  NOTE MEMO CHARCASE LOWER,\n"
      "  ID AUTOINC,\n"
      "  CONSTRAINT pk UNIQUE DESC NOCASE PRIMARY KEY (MNB, TES) COMPRESS FULL\n"
      "  DESCRIPTION 'figures' BLOB BLOCK SIZE 1024 LANGUAGE 'ANSI Standard' SORT 'Default Order'\n"
      "  ENCRYPTED WITH 'pw' USER MAJOR VERSION 2 USER MINOR VERSION 7 LAST AUTOINC 99)");
  const TDataQuery &q = *s->Master();
  EXPECT_TRUE(q.IfNotExists);
  EXPECT_EQ(q.Target.TableName, "figure");
  ASSERT_EQ(q.CreateFields.size(), 8u);
  const TCreateField &mnb = q.CreateFields[0];
  EXPECT_EQ(mnb.Name, "MNB");
  EXPECT_EQ(mnb.DataType, TDataType::Integer);
  EXPECT_EQ(mnb.Size, 4u);
  EXPECT_TRUE(mnb.Required);
  EXPECT_TRUE(mnb.RequiredGiven);
  EXPECT_FALSE(mnb.Default.Given);
  const TCreateField &tes = q.CreateFields[1];
  EXPECT_EQ(tes.DataType, TDataType::SmallInt);
  EXPECT_EQ(tes.Description, "move number");
  EXPECT_EQ(tes.Default.Text, "-1");
  EXPECT_EQ(tes.Minimum.Text, "-5");
  EXPECT_EQ(tes.Maximum.Text, "+400");
  EXPECT_FALSE(tes.Required);
  const TCreateField &cmt = q.CreateFields[2];
  EXPECT_EQ(cmt.DataType, TDataType::String);
  EXPECT_EQ(cmt.Size, 41u);
  EXPECT_EQ(cmt.Default.Text, "none");
  EXPECT_TRUE(cmt.Default.IsString);
  EXPECT_EQ(cmt.CharCase, TCharCase::Upper);
  EXPECT_TRUE(cmt.CharCaseGiven);
  const TCreateField &day = q.CreateFields[3];
  EXPECT_EQ(day.Default.Text, "CURRENT_DATE");
  EXPECT_FALSE(day.Default.IsString);
  EXPECT_EQ(day.Minimum.Text, "2000-01-01");
  EXPECT_TRUE(day.Minimum.IsString);
  EXPECT_EQ(day.Maximum.Text, "CURRENT_DATE");
  EXPECT_EQ(q.CreateFields[4].Default.Text, "TRUE");
  const TCreateField &price = q.CreateFields[5];
  EXPECT_EQ(price.DataType, TDataType::BCD);
  EXPECT_EQ(price.Scale, 2);
  EXPECT_EQ(price.Default.Text, "1.25");
  EXPECT_EQ(price.CharCase, TCharCase::NoChange);
  EXPECT_TRUE(price.CharCaseGiven);
  EXPECT_EQ(q.CreateFields[6].SubType, FieldSubType::Memo);
  EXPECT_EQ(q.CreateFields[6].CharCase, TCharCase::Lower);
  EXPECT_EQ(q.CreateFields[7].SubType, FieldSubType::AutoInc);

  ASSERT_TRUE(q.HasPrimaryKey);
  const TCreateIndex &pk = q.PrimaryKey;
  EXPECT_EQ(pk.Name, "pk");
  EXPECT_TRUE(pk.PrimaryKey);
  EXPECT_TRUE(pk.Unique);
  EXPECT_TRUE(pk.Descending);
  EXPECT_TRUE(pk.NoCase);
  EXPECT_EQ(pk.Columns, (std::vector<std::string>{"MNB", "TES"}));
  EXPECT_EQ(pk.Compression, TIndexCompression::Full);

  const TTableOptions &o = q.TableOptions;
  EXPECT_TRUE(o.DescriptionGiven);
  EXPECT_EQ(o.Description, "figures");
  EXPECT_EQ(o.BlobBlockSize, 1024);
  EXPECT_TRUE(o.Language.LanguageGiven);
  EXPECT_TRUE(o.Language.SortGiven);
  EXPECT_TRUE(o.EncryptedGiven);
  EXPECT_TRUE(o.Encrypted);
  EXPECT_EQ(o.Password, "pw");
  EXPECT_EQ(o.UserMajorVersion, 2);
  EXPECT_EQ(o.UserMinorVersion, 7);
  EXPECT_TRUE(o.LastAutoIncGiven);
  EXPECT_EQ(o.LastAutoInc, 99);
}

TEST(DefinitionStatementTest, CreateTableTextIndexAndMinimalForms) {
  auto s = Prepare(
      "CREATE TABLE MEMORY notes (a INTEGER, b CHAR(10), PRIMARY KEY (a) COMPRESS DUPBYTE "
      "TEXT INDEX (b) STOP WORDS 'a the' SPACE CHARS ' -' INCLUDE CHARS '_' USER MINOR VERSION 3)");
  const TDataQuery &q = *s->Master();
  EXPECT_TRUE(q.Target.InMemory);
  EXPECT_FALSE(q.IfNotExists);
  EXPECT_TRUE(q.HasPrimaryKey);
  EXPECT_EQ(q.PrimaryKey.Name, "");
  EXPECT_FALSE(q.PrimaryKey.Unique);
  EXPECT_EQ(q.PrimaryKey.Compression, TIndexCompression::DupByte);
  const TTableOptions &o = q.TableOptions;
  EXPECT_TRUE(o.TextIndexGiven);
  EXPECT_EQ(o.TextIndexColumns, std::vector<std::string>{"b"});
  EXPECT_EQ(o.StopWords, "a the");
  EXPECT_EQ(o.SpaceChars, " -");
  EXPECT_EQ(o.IncludeChars, "_");
  EXPECT_FALSE(o.UserMajorVersionGiven);
  EXPECT_TRUE(o.UserMinorVersionGiven);
  EXPECT_EQ(o.UserMinorVersion, 3);

  auto m = Prepare("CREATE TABLE t (a INTEGER)");
  EXPECT_FALSE(m->Master()->HasPrimaryKey);
  EXPECT_FALSE(m->Master()->TableOptions.DescriptionGiven);
  EXPECT_FALSE(m->Master()->TableOptions.EncryptedGiven);
  auto c = Prepare("CREATE TABLE t (a INTEGER, PRIMARY KEY (a) COMPRESS TRAILBYTE)");
  EXPECT_EQ(c->Master()->PrimaryKey.Compression, TIndexCompression::TrailByte);
  auto n = Prepare("CREATE TABLE t (a INTEGER, ASC PRIMARY KEY (a) COMPRESS NONE)");
  EXPECT_EQ(n->Master()->PrimaryKey.Compression, TIndexCompression::None);
  EXPECT_FALSE(n->Master()->PrimaryKey.Descending);
}

TEST(DefinitionStatementTest, CreateTableMessages) {
  const ErrorCase cases[] = {
      {"CREATE TABLE", "Table name expected after CREATE TABLE keywords, instead found ''"},
      {"CREATE TABLE (a INTEGER)", "Table name expected after CREATE TABLE keywords, instead found '('"},
      {"CREATE TABLE IF EXISTS t (a INTEGER)", "NOT keyword expected after IF keyword, instead found 'EXISTS'"},
      {"CREATE TABLE IF NOT t (a INTEGER)", "EXISTS keyword expected after NOT keyword, instead found 't'"},
      {"CREATE TABLE t a INTEGER", "Left parentheses expected before list of table columns, instead found 'a'"},
      {"CREATE TABLE t (a INTEGER", "Right parentheses expected after CREATE TABLE statement, instead found ''"},
      {"CREATE TABLE t (a INTEGER b CHAR(5))",
       "Right parentheses expected after CREATE TABLE statement, instead found 'b'"},
      {"CREATE TABLE t (a WHATEVER)", "SQL data type keyword expected, instead found 'WHATEVER' in table column"},
      {"CREATE TABLE t (a CHAR(300))",
       "Length argument must be an integer greater than 0 and less than or equal to 250 in table column"},
      {"CREATE TABLE t (5 INTEGER)", "Unknown or unexpected symbol '5' found in table column"},
      {"CREATE TABLE t (a INTEGER NOT 1)", "NULL keyword expected after NOT keyword, instead found '1'"},
      {"CREATE TABLE t (a INTEGER DEFAULT x)", "Default expression expected after DEFAULT keyword, instead found 'x'"},
      {"CREATE TABLE t (a INTEGER DEFAULT ?)", "Default expression expected after DEFAULT keyword, instead found '?'"},
      {"CREATE TABLE t (a INTEGER DEFAULT - NULL)", "Default expression expected after DEFAULT keyword, instead found 'NULL'"},
      {"CREATE TABLE t (a INTEGER DEFAULT \"x\")", "Default expression expected after DEFAULT keyword, instead found 'x'"},
      {"CREATE TABLE t (a INTEGER MIN )", "Minimum expression expected after MIN or MINIMUM keyword, instead found ')'"},
      {"CREATE TABLE t (a INTEGER MINIMUM MAX 1)", "Minimum expression expected after MIN or MINIMUM keyword, instead found 'MAX'"},
      {"CREATE TABLE t (a INTEGER MAX y)", "Maximum expression expected after MAX or MAXIMUM keyword, instead found 'y'"},
      {"CREATE TABLE t (a INTEGER MAXIMUM ,)", "Maximum expression expected after MAX or MAXIMUM keyword, instead found ','"},
      {"CREATE TABLE t (a CHAR(5) CHARCASE TITLE)",
       "UPPER, LOWER, or NOCHANGE keyword expected after CHARCASE keyword, instead found 'TITLE'"},
      {"CREATE TABLE t (a INTEGER DESCRIPTION x)", "Unknown or unexpected symbol 'x' found in SQL statement"},
      {"CREATE TABLE t (a INTEGER, UNIQUE KEY (a))", "PRIMARY keyword expected, instead found 'KEY'"},
      {"CREATE TABLE t (a INTEGER, PRIMARY (a))", "KEY keyword expected after PRIMARY keyword, instead found '('"},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY a)", "Left parentheses expected, instead found 'a'"},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY (a b))", "Right parentheses expected, instead found 'b'"},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY (t.a))",
       "Invalid use of table correlation name 't' specified in indexed columns"},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY (1))", "Unknown or unexpected symbol '1' found in index column"},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY (a) COMPRESS ALL)",
       "FULL, DUPBYTE, TRAILBYTE, or NONE keyword expected after COMPRESS keyword, instead found 'ALL'"},
      {"CREATE TABLE t (a INTEGER, CONSTRAINT 5 PRIMARY KEY (a))",
       "Index name expected after CONSTRAINT keyword, instead found '5'"},
      {"CREATE TABLE t (a INTEGER, PRIMARY KEY (a), b INTEGER)",
       "Right parentheses expected after CREATE TABLE statement, instead found ','"},
      // After a comma TEXT names a column.
      {"CREATE TABLE t (a CHAR(9), TEXT (a))", "SQL data type keyword expected, instead found '(' in table column"},
      {"CREATE TABLE t (a CHAR(9) TEXT (a))", "INDEX keyword expected after TEXT keyword, instead found '('"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) STOP 'x')",
       "WORDS keyword expected after STOP keyword, instead found 'x'"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) STOP WORDS x)",
       "Unknown or unexpected symbol 'x' found in stop words"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) SPACE ' ')",
       "CHARS keyword expected after SPACE keyword, instead found ' '"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) SPACE CHARS 5)",
       "Unknown or unexpected symbol '5' found in character set"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) INCLUDE '_')",
       "CHARS keyword expected after INCLUDE keyword, instead found '_'"},
      {"CREATE TABLE t (a INTEGER BLOB SIZE 512)", "BLOCK keyword expected after BLOB keyword, instead found 'SIZE'"},
      {"CREATE TABLE t (a INTEGER BLOB BLOCK 512)", "SIZE keyword expected after BLOCK keyword, instead found '512'"},
      {"CREATE TABLE t (a INTEGER BLOB BLOCK SIZE big)", "Integer value expected after SIZE keyword, instead found 'big'"},
      {"CREATE TABLE t (a INTEGER LANGUAGE 'Nowhere')",
       "Invalid language constant 'Nowhere' specified after LANGUAGE keyword"},
      {"CREATE TABLE t (a INTEGER ENCRYPTED 'x')", "WITH keyword expected after ENCRYPTED keyword, instead found 'x'"},
      {"CREATE TABLE t (a INTEGER USER VERSION 1)", "MAJOR or MINOR keyword expected after USER keyword, instead found 'VERSION'"},
      {"CREATE TABLE t (a INTEGER USER MAJOR 1)", "VERSION keyword expected after MAJOR keyword, instead found '1'"},
      {"CREATE TABLE t (a INTEGER USER MINOR 1)", "VERSION keyword expected after MINOR keyword, instead found '1'"},
      {"CREATE TABLE t (a INTEGER USER MAJOR VERSION x)", "Integer value expected after VERSION keyword, instead found 'x'"},
      {"CREATE TABLE t (a INTEGER USER MINOR VERSION 1 USER MAJOR VERSION 2)",
       "Right parentheses expected after CREATE TABLE statement, instead found 'USER'"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) STOP WORDS 'a b",
       "Missing single quote after 'a b' in stop words"},
      {"CREATE TABLE t (a CHAR(9) TEXT INDEX (a) INCLUDE CHARS [x",
       "Missing right bracket after 'x' in character set"},
      {"CREATE TABLE t (a INTEGER LAST AUTOINC /* 5",
       "Missing ending comment slash and asterisk in next auto-increment number"},
      {"CREATE INDEX [i ON t (a)", "Missing right bracket after 'i ON t (a)' in index name expression"},
      {"CREATE TABLE t (a INTEGER LAST 5)", "AUTOINC keyword expected after LAST keyword, instead found '5'"},
      {"CREATE TABLE t (a INTEGER LAST AUTOINC -5)", "Integer constant expected after AUTOINC keyword, instead found '-'"},
      {"CREATE TABLE t (a INTEGER DESCRIPTION 'x' LAST AUTOINC 1 DESCRIPTION 'y')",
       "Right parentheses expected after CREATE TABLE statement, instead found 'DESCRIPTION'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(DefinitionStatementTest, CreateIndex) {
  auto s = Prepare("CREATE UNIQUE DESCENDING NOCASE INDEX IF NOT EXISTS byName ON db\\t (a, b) COMPRESS FULL");
  const TDataQuery &q = *s->Master();
  EXPECT_EQ(q.Kind, TStatementKind::CreateIndex);
  EXPECT_TRUE(q.IfNotExists);
  EXPECT_EQ(q.Index.Name, "byName");
  EXPECT_TRUE(q.Index.Unique);
  EXPECT_TRUE(q.Index.Descending);
  EXPECT_TRUE(q.Index.NoCase);
  EXPECT_FALSE(q.Index.PrimaryKey);
  EXPECT_EQ(q.Index.Columns, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(q.Index.Compression, TIndexCompression::Full);
  EXPECT_EQ(q.Target.Database, "db");
  EXPECT_EQ(q.Target.TableName, "t");

  auto plain = Prepare("CREATE INDEX i ON t (a)");
  EXPECT_FALSE(plain->Master()->Index.Unique);
  EXPECT_FALSE(plain->Master()->IfNotExists);
  EXPECT_EQ(plain->Master()->Index.Compression, TIndexCompression::None);

  const ErrorCase cases[] = {
      {"CREATE UNIQUE i ON t (a)", "INDEX keyword expected, instead found 'i'"},
      {"CREATE NOCASE UNIQUE INDEX i ON t (a)", "INDEX keyword expected, instead found 'UNIQUE'"},
      {"CREATE INDEX ON t (a)", "ON keyword expected after index name, instead found 't'"},
      {"CREATE INDEX (a)", "Index name expected after INDEX keyword, instead found '('"},
      {"CREATE INDEX i t (a)", "ON keyword expected after index name, instead found 't'"},
      {"CREATE INDEX i ON (a)", "Table name expected after ON keyword, instead found '('"},
      {"CREATE INDEX i ON t a", "Left parentheses expected, instead found 'a'"},
      {"CREATE INDEX i ON t (a", "Right parentheses expected, instead found ''"},
      {"CREATE INDEX i ON t (x.a)", "Invalid use of table correlation name 'x' specified in indexed columns"},
      {"CREATE INDEX IF EXISTS i ON t (a)", "NOT keyword expected after IF keyword, instead found 'EXISTS'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(DefinitionStatementTest, AlterTableAlterationsInOrder) {
  auto s = Prepare(
      "ALTER TABLE figure ADD COLUMN X1 INTEGER NOT NULL DEFAULT 0 AT 2, "
      "ADD X2 CHAR(5) AT 1 DESCRIPTION 'two', "
      "REDEFINE CMT VARCHAR(80), REDEFINE COLUMN TES DEFAULT 5, REDEFINE BFR AT 3, "
      "DROP COLUMN OLD, DROP OLDER, DROP PRIMARY KEY, "
      "ADD CONSTRAINT k UNIQUE PRIMARY KEY (MNB) COMPRESS FULL, "
      "REDEFINE PRIMARY KEY (MNB, TES), DROP CONSTRAINT k PRIMARY KEY "
      "DESCRIPTION 'changed' LAST AUTOINC 7 NOBACKUP");
  const TDataQuery &q = *s->Master();
  ASSERT_EQ(q.Alterations.size(), 11u);
  const auto &a = q.Alterations;
  EXPECT_EQ(a[0].Action, TAlterAction::Add);
  EXPECT_FALSE(a[0].OnPrimaryKey);
  EXPECT_EQ(a[0].Field.Name, "X1");
  EXPECT_TRUE(a[0].Field.TypeGiven);
  EXPECT_TRUE(a[0].Field.Required);
  EXPECT_TRUE(a[0].Field.PositionGiven);
  EXPECT_EQ(a[0].Field.Position, 2);
  EXPECT_EQ(a[1].Field.Position, 1);
  EXPECT_EQ(a[1].Field.Description, "two");
  EXPECT_EQ(a[2].Action, TAlterAction::Redefine);
  EXPECT_TRUE(a[2].Field.TypeGiven);
  EXPECT_EQ(a[2].Field.Size, 81u);
  EXPECT_FALSE(a[3].Field.TypeGiven);
  EXPECT_EQ(a[3].Field.Name, "TES");
  EXPECT_EQ(a[3].Field.Default.Text, "5");
  EXPECT_FALSE(a[3].Field.RequiredGiven);
  EXPECT_FALSE(a[4].Field.TypeGiven);
  EXPECT_EQ(a[4].Field.Position, 3);
  EXPECT_EQ(a[5].Action, TAlterAction::Drop);
  EXPECT_TRUE(a[5].Field.Drop);
  EXPECT_EQ(a[5].Field.Name, "OLD");
  EXPECT_EQ(a[6].Field.Name, "OLDER");
  EXPECT_TRUE(a[7].OnPrimaryKey);
  EXPECT_TRUE(a[7].Index.Drop);
  EXPECT_EQ(a[8].Action, TAlterAction::Add);
  EXPECT_TRUE(a[8].OnPrimaryKey);
  EXPECT_EQ(a[8].Index.Name, "k");
  EXPECT_TRUE(a[8].Index.Unique);
  EXPECT_EQ(a[8].Index.Compression, TIndexCompression::Full);
  EXPECT_EQ(a[9].Action, TAlterAction::Redefine);
  EXPECT_TRUE(a[9].OnPrimaryKey);
  EXPECT_EQ(a[9].Index.Columns.size(), 2u);
  EXPECT_TRUE(a[10].Index.Drop);
  EXPECT_EQ(a[10].Index.Name, "k");
  EXPECT_EQ(q.TableOptions.Description, "changed");
  EXPECT_EQ(q.TableOptions.LastAutoInc, 7);
  EXPECT_TRUE(q.NoBackup);
  EXPECT_FALSE(Prepare("ALTER TABLE t DROP a")->Master()->NoBackup);
}

TEST(DefinitionStatementTest, AlterTableMessages) {
  const ErrorCase cases[] = {
      {"ALTER TABLE", "Table name expected after ALTER TABLE keywords, instead found ''"},
      {"ALTER TABLE t", "ADD, DROP, or REDEFINE keyword expected, instead found ''"},
      {"ALTER TABLE t MODIFY a INTEGER", "ADD, DROP, or REDEFINE keyword expected, instead found 'MODIFY'"},
      {"ALTER TABLE t ADD a INTEGER, b INTEGER", "ADD, DROP, or REDEFINE keyword expected, instead found 'b'"},
      {"ALTER TABLE t ADD a", "SQL data type keyword expected, instead found '' in table column"},
      {"ALTER TABLE t ADD a INTEGER AT x", "Integer value expected after AT keyword, instead found 'x'"},
      {"ALTER TABLE t REDEFINE a AT", "Integer value expected after AT keyword, instead found ''"},
      {"ALTER TABLE t REDEFINE a NOT 5", "NULL keyword expected after NOT keyword, instead found '5'"},
      {"ALTER TABLE t REDEFINE a DEFAULT", "Default expression expected after DEFAULT keyword, instead found ''"},
      {"ALTER TABLE t REDEFINE a MIN", "Minimum expression expected after MIN or MINIMUM keyword, instead found ''"},
      {"ALTER TABLE t REDEFINE a MAX", "Maximum expression expected after MAX or MAXIMUM keyword, instead found ''"},
      {"ALTER TABLE t REDEFINE a CHARCASE", "UPPER, LOWER, or NOCHANGE keyword expected after CHARCASE keyword, instead found ''"},
      {"ALTER TABLE t ADD PRIMARY (a)", "KEY keyword expected after PRIMARY keyword, instead found '('"},
      {"ALTER TABLE t ADD UNIQUE KEY (a)", "PRIMARY keyword expected, instead found 'KEY'"},
      {"ALTER TABLE t DROP CONSTRAINT k KEY", "PRIMARY keyword expected, instead found 'KEY'"},
      {"ALTER TABLE t DROP PRIMARY", "KEY keyword expected after PRIMARY keyword, instead found ''"},
      {"ALTER TABLE t DROP", "Unknown or unexpected symbol '' found in table column"},
      {"ALTER TABLE t DROP a NOBACKUP x", "End of ALTER TABLE statement expected, instead found 'x'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

TEST(DefinitionStatementTest, DropTableAndDropIndex) {
  auto t = Prepare("DROP TABLE IF EXISTS MEMORY scratch");
  EXPECT_TRUE(t->Master()->IfExists);
  EXPECT_TRUE(t->Master()->Target.InMemory);
  EXPECT_EQ(t->Master()->Target.TableName, "scratch");
  EXPECT_FALSE(Prepare("DROP TABLE 'c:/data/t.dat'")->Master()->IfExists);
  EXPECT_EQ(Prepare("DROP TABLE 'c:/data/t.dat'")->Master()->Target.Directory, "c:/data");

  auto i = Prepare("DROP INDEX IF EXISTS MEMORY db\\t.byName");
  const TDataQuery &q = *i->Master();
  EXPECT_TRUE(q.IfExists);
  EXPECT_TRUE(q.Target.InMemory);
  EXPECT_EQ(q.Target.Database, "db");
  EXPECT_EQ(q.Target.TableName, "t");
  EXPECT_EQ(q.Index.Name, "byName");
  EXPECT_TRUE(q.Index.Drop);
  EXPECT_FALSE(q.Index.PrimaryKey);
  EXPECT_TRUE(Prepare("DROP INDEX t.primary")->Master()->Index.PrimaryKey);
  EXPECT_TRUE(Prepare("DROP INDEX [my table].Primary")->Master()->Index.PrimaryKey);

  const ErrorCase cases[] = {
      {"DROP TABLE", "Table name expected after DROP TABLE keywords, instead found ''"},
      {"DROP TABLE IF t", "EXISTS keyword expected after IF keyword, instead found 't'"},
      {"DROP TABLE IF NOT EXISTS t", "EXISTS keyword expected after IF keyword, instead found 'NOT'"},
      {"DROP INDEX", "Table name expected after DROP INDEX keywords, instead found ''"},
      {"DROP INDEX IF x.i", "EXISTS keyword expected after IF keyword, instead found 'x'"},
      {"DROP INDEX t", "Index name expected after table name, instead found ''"},
      {"DROP INDEX t.", "Index name expected after table name, instead found ''"},
      {"DROP INDEX t.5", "Index name expected after table name, instead found '.5'"},
  };
  for (const ErrorCase &c : cases) EXPECT_EQ(ParseError(c.Text), c.Message) << c.Text;
}

}  // namespace
