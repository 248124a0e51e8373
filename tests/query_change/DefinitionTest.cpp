// CREATE TABLE, CREATE INDEX, DROP TABLE, DROP INDEX and ALTER TABLE, read back from the files.
#include "ChangeTestSupport.h"
#include "engine/data/DataFile.h"
#include "engine/table/DataDirectory.h"

namespace kura::test {
namespace {

using Rows = std::vector<std::string>;

class Definition : public ChangeTest {
 protected:
  // Opens the table alone and hands its files to the check.
  template <typename F>
  void Inspect(const std::string &name, F check) {
    TDataDirectory *directory = FRunner->Executor().DefaultDirectory();
    TDataTable *table = directory->OpenTable(name, false, true, false, false);
    auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
    ASSERT_NE(index, nullptr);
    check(table->DataFile(), index->Header());
    directory->CloseTable(table);
  }
};

TEST_F(Definition, CreateTableWithEveryColumnOption) {
  Exec("CREATE TABLE parts (Code VARCHAR(8) DESCRIPTION 'part code' NOT NULL CHARCASE UPPER, "
       "Qty INTEGER DEFAULT 5 MIN 0 MAXIMUM 1000, Price DECIMAL(10,2) MINIMUM -1.5, "
       "Added DATE DEFAULT CURRENT_DATE, Note MEMO, Flag BOOLEAN DEFAULT TRUE CHARCASE NOCHANGE, "
       "Seq AUTOINC, CONSTRAINT pk UNIQUE NOCASE PRIMARY KEY (Code, Qty) COMPRESS FULL "
       "DESCRIPTION 'stock parts' BLOB BLOCK SIZE 1024 USER MAJOR VERSION 3 USER MINOR VERSION 7 "
       "LAST AUTOINC 41)");
  Inspect("parts", [](TDataFile &data, TIndexHeader &header) {
    ASSERT_EQ(data.FieldCount(), 7);
    const TFieldDescriptor &code = data.Field(1);
    EXPECT_EQ(code.Name, "Code");
    EXPECT_EQ(code.Type, EngineFieldType::String);
    EXPECT_EQ(code.DeclaredSize, 8);
    EXPECT_EQ(code.Description, "part code");
    EXPECT_TRUE(code.Required);
    EXPECT_EQ(code.CharCase, FieldCharCase::Upper);
    const TFieldDescriptor &qty = data.Field(2);
    EXPECT_EQ(qty.DefaultValue, "5");
    EXPECT_EQ(qty.MinValue, "0");
    EXPECT_EQ(qty.MaxValue, "1000");
    EXPECT_FALSE(qty.Required);
    EXPECT_EQ(data.Field(3).Type, EngineFieldType::BCD);
    EXPECT_EQ(data.Field(3).DeclaredScale, 2);
    EXPECT_EQ(data.Field(3).MinValue, "-1.5");
    EXPECT_EQ(data.Field(4).DefaultValue, "CURRENT_DATE");
    EXPECT_EQ(data.Field(5).SubType, FieldSubType::Memo);
    EXPECT_EQ(data.Field(6).DefaultValue, "TRUE");
    EXPECT_TRUE(data.Field(7).IsAutoInc());
    EXPECT_EQ(data.Header().DescriptionRaw(), "stock parts");
    EXPECT_EQ(data.Header().BlobBlockSize(), 1024);
    EXPECT_EQ(data.Header().UserMajorVersion(), 3);
    EXPECT_EQ(data.Header().UserMinorVersion(), 7);
    EXPECT_EQ(data.LastAutoIncValue(), 41);
    const TIndexDescriptor &key = header.Descriptors[0];
    EXPECT_FALSE(header.NoPrimaryKey);
    EXPECT_EQ(key.FieldCount, 2);
    EXPECT_EQ(key.FieldNumbers[0], 1);
    EXPECT_EQ(key.FieldNumbers[1], 2);
    EXPECT_TRUE(key.CaseInsensitive);
    EXPECT_EQ(key.Compression, KeyCompression::Full);
  });
  // The options act on records.
  EXPECT_EQ(Exec("INSERT INTO parts (Code) VALUES ('ab')"), 1);
  EXPECT_EQ(Query("SELECT Code, Qty, Flag, Seq FROM parts"), (Rows{"AB|5|True|42"}));
  EXPECT_EQ(FailureOf("INSERT INTO parts (Code, Qty) VALUES ('cd', -1)").Code, KURA_MINVALERR);
  EXPECT_EQ(FailureOf("INSERT INTO parts (Qty) VALUES (1)").Code, KURA_REQDERR);
}

TEST_F(Definition, CreateTableChecks) {
  Exec("CREATE TABLE t (A INTEGER)");
  EXPECT_EQ(FailureOf("CREATE TABLE t (A INTEGER)").Code, KURA_TABLEEXISTS);
  EXPECT_EQ(Exec("CREATE TABLE IF NOT EXISTS t (B VARCHAR(3))"), 0);
  Inspect("t", [](TDataFile &data, TIndexHeader &header) {
    EXPECT_EQ(data.Field(1).Name, "A");  // left as it was
    EXPECT_TRUE(header.NoPrimaryKey);
  });
  Failure f = FailureOf("CREATE TABLE u (A INTEGER, PRIMARY KEY (B))");
  EXPECT_EQ(f.Code, KURA_SQLPARSE);
  EXPECT_EQ(f.Message, "SQL error - Invalid field name 'B' specified for index 'PRIMARY'");
  EXPECT_FALSE(std::filesystem::exists(FRoot / "db" / "u.DAT"));
  f = FailureOf("CREATE TABLE u (A INTEGER, CONSTRAINT k PRIMARY KEY (A) COMPRESS SOME)");
  EXPECT_EQ(f.Message,
            "SQL error - FULL, DUPBYTE, TRAILBYTE, or NONE keyword expected after COMPRESS keyword, instead found "
            "'SOME'");
  EXPECT_NE(FailureOf("CREATE TABLE v (A INTEGER TEXT INDEX (A))").Message.find("not supported yet"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(FRoot / "db" / "v.DAT"));
}

TEST_F(Definition, DropTable) {
  EXPECT_EQ(Exec("DROP TABLE IF EXISTS missing"), 0);
  EXPECT_NE(FailureOf("DROP TABLE missing").Code, 0);
  Exec("CREATE TABLE gone (A INTEGER, B MEMO); INSERT INTO gone VALUES (1, 'text')");
  EXPECT_TRUE(std::filesystem::exists(FRoot / "db" / "gone.DAT"));
  Exec("DROP TABLE gone");
  for (const auto &entry : std::filesystem::directory_iterator(FRoot / "db"))
    ADD_FAILURE() << "left behind: " << entry.path();
}

TEST_F(Definition, CreateAndDropIndex) {
  Exec("CREATE TABLE people (ID INTEGER, Name VARCHAR(10), PRIMARY KEY (ID))");
  Exec("INSERT INTO people VALUES (1, 'Sato'); INSERT INTO people VALUES (2, 'sato'); "
       "INSERT INTO people VALUES (3, 'Aoki')");
  EXPECT_EQ(Exec("CREATE DESC NOCASE INDEX byName ON people (Name) COMPRESS DUPBYTE"), 0);
  Inspect("people", [](TDataFile &, TIndexHeader &header) {
    EXPECT_EQ(header.SecondaryCount, 1);
    EXPECT_EQ(header.Descriptors[1].Name, "byName");
    EXPECT_TRUE(header.Descriptors[1].CaseInsensitive);
    EXPECT_EQ(header.Descriptors[1].Compression, KeyCompression::DuplicateBytes);
  });
  EXPECT_EQ(Exec("CREATE INDEX IF NOT EXISTS byName ON people (ID)"), 0);
  EXPECT_EQ(FailureOf("CREATE INDEX byName ON people (ID)").Code, KURA_INDEXEXISTS);
  Failure f = FailureOf("CREATE INDEX other ON people (Nope)");
  EXPECT_EQ(f.Message, "SQL error - Invalid field name 'Nope' specified for index 'other'");
  // A unique index over records with equal keys is refused and no row is lost.
  f = FailureOf("CREATE UNIQUE NOCASE INDEX oneName ON people (Name)");
  EXPECT_EQ(f.Code, KURA_KEYVIOL);
  EXPECT_EQ(f.Message, "Duplicate key found in the index 'oneName' of the table 'people'");
  EXPECT_EQ(Query("SELECT ID FROM people ORDER BY ID"), (Rows{"1", "2", "3"}));
  Inspect("people", [](TDataFile &, TIndexHeader &header) { EXPECT_EQ(header.SecondaryCount, 1); });
  EXPECT_EQ(Exec("DELETE FROM people WHERE ID = 2"), 1);
  EXPECT_EQ(Exec("CREATE UNIQUE NOCASE INDEX oneName ON people (Name)"), 0);
  EXPECT_EQ(Query("SELECT ID FROM people ORDER BY ID"), (Rows{"1", "3"}));
  EXPECT_EQ(FailureOf("INSERT INTO people VALUES (4, 'AOKI')").Code, KURA_KEYVIOL);

  EXPECT_EQ(Exec("DROP INDEX people.oneName"), 0);
  EXPECT_EQ(Exec("INSERT INTO people VALUES (4, 'AOKI')"), 1);
  EXPECT_EQ(Exec("DROP INDEX IF EXISTS people.oneName"), 0);
  EXPECT_EQ(FailureOf("DROP INDEX people.oneName").Code, KURA_INVALIDINDEXNAME);
  EXPECT_EQ(Exec("DROP INDEX people.PRIMARY"), 0);
  Inspect("people", [](TDataFile &, TIndexHeader &header) { EXPECT_TRUE(header.NoPrimaryKey); });
  EXPECT_EQ(Exec("INSERT INTO people VALUES (1, 'again')"), 1);
  EXPECT_EQ(Exec("DROP INDEX IF EXISTS missing.x"), 0);
}

TEST_F(Definition, EncryptedTableNeedsItsPassword) {
  Exec("CREATE TABLE secret (A INTEGER ENCRYPTED WITH 'pw1')");
  EXPECT_EQ(Exec("INSERT INTO secret VALUES (5)"), 1);  // the creator's session knows it
  EXPECT_EQ(Query("SELECT A FROM secret"), (Rows{"5"}));
  FRunner.reset();
  DefaultSession().RemoveAllPasswords();
  FRunner = std::make_unique<TSqlRunner>(DefaultSession(), DbPath());
  EXPECT_EQ(FailureOf("INSERT INTO secret VALUES (6)").Code, KURA_NOTSUFFTABLERIGHTS);
  EXPECT_EQ(FailureOf("DELETE FROM secret").Code, KURA_NOTSUFFTABLERIGHTS);
  DefaultSession().AddPassword("pw1");
  EXPECT_EQ(Exec("INSERT INTO secret VALUES (6)"), 1);
  EXPECT_EQ(Query("SELECT A FROM secret ORDER BY A"), (Rows{"5", "6"}));
}

}  // namespace
}  // namespace kura::test
