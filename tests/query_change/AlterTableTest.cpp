// ALTER TABLE through the SQL runner: each kind of alteration, positions, messages, and the
// data of kept columns carried over.
#include <fstream>

#include "ChangeTestSupport.h"
#include "engine/data/DataFile.h"
#include "engine/table/DataDirectory.h"

namespace kura::test {
namespace {

using Rows = std::vector<std::string>;

class AlterTable : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    Exec("CREATE TABLE people (ID INTEGER, Name VARCHAR(10), Qty INTEGER, PRIMARY KEY (ID))");
    Exec("INSERT INTO people VALUES (1, 'Sato', 10); INSERT INTO people VALUES (2, 'Aoki', NULL); "
         "INSERT INTO people VALUES (3, 'Yamamoto', 30)");
  }
  template <typename F>
  void Inspect(const std::string &name, F check) {
    TDataDirectory *directory = FRunner->Executor().DefaultDirectory();
    TDataTable *table = directory->OpenTable(name, false, true, false, false);
    auto *index = dynamic_cast<TIndexFile *>(table->IndexFile());
    ASSERT_NE(index, nullptr);
    check(table->DataFile(), index->Header());
    directory->CloseTable(table);
  }
  std::vector<std::string> ColumnNames(const std::string &table) {
    std::vector<std::string> names;
    Inspect(table, [&](TDataFile &data, TIndexHeader &) {
      for (const TFieldDescriptor &f : data.Fields()) names.push_back(f.Name);
    });
    return names;
  }
  bool Exists(const std::string &file) const { return std::filesystem::exists(FRoot / "db" / file); }
};

TEST_F(AlterTable, AddColumnsAtTheEndAndAtAPosition) {
  EXPECT_EQ(Exec("ALTER TABLE people ADD Age INTEGER DEFAULT 7, ADD COLUMN Code CHAR(3) AT 1"), 0);
  EXPECT_EQ(ColumnNames("people"), (std::vector<std::string>{"Code", "ID", "Name", "Qty", "Age"}));
  // Kept columns keep their values (a NULL stays NULL); new ones start from their default.
  EXPECT_EQ(Query("SELECT * FROM people ORDER BY ID"),
            (Rows{"NULL|1|Sato|10|7", "NULL|2|Aoki|NULL|7", "NULL|3|Yamamoto|30|7"}));
  EXPECT_TRUE(Exists("people.DBK"));
  EXPECT_TRUE(Exists("people.IBK"));
  // The primary key still works on ID.
  EXPECT_EQ(FailureOf("INSERT INTO people (ID, Name) VALUES (2, 'again')").Code, KURA_KEYVIOL);
  // AT past the end puts the column last.
  Exec("ALTER TABLE people ADD Last INTEGER AT 99");
  EXPECT_EQ(ColumnNames("people").back(), "Last");
}

TEST_F(AlterTable, RedefineChangesOnlyWhatIsGiven) {
  Exec("ALTER TABLE people REDEFINE Name DESCRIPTION 'family name' NOT NULL");
  ASSERT_TRUE(Exists("people.DBK"));
  const auto backupTime = std::filesystem::last_write_time(FRoot / "db" / "people.DBK");
  Inspect("people", [](TDataFile &data, TIndexHeader &) {
    EXPECT_EQ(data.Field(2).Type, EngineFieldType::String);
    EXPECT_EQ(data.Field(2).DeclaredSize, 10);
    EXPECT_EQ(data.Field(2).Description, "family name");
    EXPECT_TRUE(data.Field(2).Required);
  });
  Exec("ALTER TABLE people REDEFINE Name VARCHAR(8), REDEFINE Qty VARCHAR(6) AT 1 NOBACKUP");
  Inspect("people", [](TDataFile &data, TIndexHeader &header) {
    EXPECT_EQ(data.Field(1).Name, "Qty");
    EXPECT_EQ(data.Field(1).Type, EngineFieldType::String);
    EXPECT_EQ(data.Field(3).DeclaredSize, 8);
    EXPECT_EQ(data.Field(3).Description, "family name");  // kept: not given this time
    EXPECT_TRUE(data.Field(3).Required);
    EXPECT_EQ(header.Descriptors[0].FieldNumbers[0], 2);  // the key follows ID to its new place
  });
  EXPECT_EQ(Query("SELECT Qty, ID, Name FROM people ORDER BY ID"), (Rows{"10|1|Sato", "NULL|2|Aoki", "30|3|Yamamoto"}));
  // NOBACKUP made no copies: the backups there are still those of the first ALTER.
  EXPECT_EQ(std::filesystem::last_write_time(FRoot / "db" / "people.DBK"), backupTime);
}

TEST_F(AlterTable, DescriptionsAloneRewriteNoRecords) {
  const auto indexTime = std::filesystem::last_write_time(FRoot / "db" / "people.IDX");
  Exec("ALTER TABLE people REDEFINE Qty DESCRIPTION 'how many' DESCRIPTION 'staff'");
  Inspect("people", [](TDataFile &data, TIndexHeader &) {
    EXPECT_EQ(data.Field(3).Description, "how many");
    EXPECT_EQ(data.Description(), "staff");
  });
  EXPECT_EQ(std::filesystem::last_write_time(FRoot / "db" / "people.IDX"), indexTime);
  EXPECT_FALSE(Exists("people.DBK"));
  EXPECT_FALSE(Exists("people.IBK"));
  EXPECT_EQ(Query("SELECT * FROM people ORDER BY ID"), (Rows{"1|Sato|10", "2|Aoki|NULL", "3|Yamamoto|30"}));
}

TEST_F(AlterTable, NeedsTheTableAlone) {
  TDataDirectory *directory = FRunner->Executor().DefaultDirectory();
  TDataTable *table = directory->OpenTable("people", false, true, false, false);
  EXPECT_EQ(FailureOf("ALTER TABLE people ADD X INTEGER").Code, KURA_OSEACCES);
  directory->CloseTable(table);
  EXPECT_EQ(ColumnNames("people"), (std::vector<std::string>{"ID", "Name", "Qty"}));
}

TEST_F(AlterTable, CharacterCaseAppliesToKeptValues) {
  Exec("ALTER TABLE people REDEFINE Name CHARCASE UPPER");
  EXPECT_EQ(Query("SELECT Name FROM people ORDER BY ID"), (Rows{"SATO", "AOKI", "YAMAMOTO"}));
  Exec("INSERT INTO people (ID, Name) VALUES (4, 'mori')");
  EXPECT_EQ(Query("SELECT Name FROM people WHERE ID = 4"), (Rows{"MORI"}));
}

TEST_F(AlterTable, DropColumns) {
  EXPECT_EQ(Exec("ALTER TABLE people DROP Qty"), 0);
  EXPECT_EQ(ColumnNames("people"), (std::vector<std::string>{"ID", "Name"}));
  EXPECT_EQ(Query("SELECT * FROM people ORDER BY ID"), (Rows{"1|Sato", "2|Aoki", "3|Yamamoto"}));
  Exec("ALTER TABLE people ADD Qty INTEGER");  // a new column of the old name starts empty
  EXPECT_EQ(Query("SELECT Qty FROM people"), (Rows{"NULL", "NULL", "NULL"}));
  Exec("ALTER TABLE people DROP COLUMN Qty, ADD Note VARCHAR(5) AT 2");
  EXPECT_EQ(ColumnNames("people"), (std::vector<std::string>{"ID", "Note", "Name"}));
}

TEST_F(AlterTable, PrimaryKeys) {
  Failure f = FailureOf("ALTER TABLE people ADD PRIMARY KEY (Name)");
  EXPECT_EQ(f.Code, KURA_SQLPARSE);
  EXPECT_EQ(f.Message, "SQL error - Cannot REDEFINE the primary key using the ADD keyword");

  Exec("ALTER TABLE people REDEFINE PRIMARY KEY (Name)");
  EXPECT_EQ(Query("SELECT ID FROM people ORDER BY Name"), (Rows{"2", "1", "3"}));
  EXPECT_EQ(Exec("INSERT INTO people VALUES (1, 'Kato', 0)"), 1);  // ID no longer unique
  EXPECT_EQ(FailureOf("INSERT INTO people VALUES (9, 'Sato', 0)").Code, KURA_KEYVIOL);

  Exec("ALTER TABLE people DROP PRIMARY KEY");
  Inspect("people", [](TDataFile &, TIndexHeader &header) { EXPECT_TRUE(header.NoPrimaryKey); });
  EXPECT_EQ(Exec("INSERT INTO people VALUES (9, 'Sato', 0)"), 1);
  EXPECT_EQ(FailureOf("ALTER TABLE people DROP CONSTRAINT k PRIMARY KEY").Code, KURA_INVALIDINDEXNAME);

  // A key over records with equal values would lose rows: refused, the table as it was.
  Failure lost = FailureOf("ALTER TABLE people ADD CONSTRAINT pk PRIMARY KEY (Name) COMPRESS FULL");
  EXPECT_EQ(lost.Code, KURA_SQLPARSE);
  EXPECT_EQ(lost.Message, "SQL error - ALTER TABLE would lose rows whose keys repeat in the index 'PRIMARY'; the table is "
                          "left as it was");
  Inspect("people", [](TDataFile &, TIndexHeader &header) { EXPECT_TRUE(header.NoPrimaryKey); });
  EXPECT_EQ(Exec("DELETE FROM people WHERE ID = 9"), 1);
  Exec("ALTER TABLE people ADD CONSTRAINT pk PRIMARY KEY (Name) COMPRESS FULL");
  EXPECT_EQ(Query("SELECT ID, Name FROM people ORDER BY Name"), (Rows{"2|Aoki", "1|Kato", "1|Sato", "3|Yamamoto"}));
  Inspect("people", [](TDataFile &, TIndexHeader &header) {
    EXPECT_FALSE(header.NoPrimaryKey);
    EXPECT_EQ(header.Descriptors[0].Compression, KeyCompression::Full);
  });
  EXPECT_EQ(Exec("DROP INDEX people.primary"), 0);
  Inspect("people", [](TDataFile &, TIndexHeader &header) { EXPECT_TRUE(header.NoPrimaryKey); });
}

TEST_F(AlterTable, MessagesLeaveTheTableAsItWas) {
  Exec("CREATE INDEX byName ON people (Name)");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ALTER TABLE people REDEFINE Nope INTEGER", "SQL error - Column Nope not found"},
      {"ALTER TABLE people DROP Nope", "SQL error - Column Nope not found"},
      {"ALTER TABLE people ADD X INTEGER, DROP X, DROP X", "SQL error - Column X not found"},
      {"ALTER TABLE people DROP ID", "SQL error - Invalid field name 'ID' specified for index 'PRIMARY'"},
      {"ALTER TABLE people DROP Name", "SQL error - Invalid field name 'Name' specified for index 'byName'"},
      {"ALTER TABLE people DROP PRIMARY KEY, ADD CONSTRAINT k PRIMARY KEY (Nope)",
       "SQL error - Invalid field name 'Nope' specified for index 'k'"},
  };
  for (const auto &[sql, message] : cases) {
    Failure f = FailureOf(sql);
    EXPECT_EQ(f.Code, KURA_SQLPARSE) << sql;
    EXPECT_EQ(f.Message, message) << sql;
  }
  // Storage-side checks keep their own codes.
  EXPECT_EQ(FailureOf("ALTER TABLE people ADD name INTEGER").Code, KURA_INVALIDFIELDNAME);
  EXPECT_EQ(FailureOf("ALTER TABLE missing ADD X INTEGER").Code, KURA_OSENOENT);
  EXPECT_EQ(ColumnNames("people"), (std::vector<std::string>{"ID", "Name", "Qty"}));
  EXPECT_EQ(Query("SELECT * FROM people ORDER BY ID"), (Rows{"1|Sato|10", "2|Aoki|NULL", "3|Yamamoto|30"}));
  EXPECT_FALSE(Exists("people.DBK"));
}

TEST_F(AlterTable, ConvertedValues) {
  Exec("ALTER TABLE people REDEFINE Qty FLOAT");
  Exec("ALTER TABLE people REDEFINE Qty SMALLINT, REDEFINE Name VARCHAR(8)");
  EXPECT_EQ(Query("SELECT ID, Name, Qty FROM people ORDER BY ID"), (Rows{"1|Sato|10", "2|Aoki|NULL", "3|Yamamoto|30"}));
}

// A statement has no one to ask whether rows or values may be lost: an ALTER that would lose
// any fails, naming the first loss, and leaves the table as it was.
TEST_F(AlterTable, LossesAreRefused) {
  Exec("INSERT INTO people VALUES (4, 'Ito', 40000)");
  Exec("INSERT INTO people VALUES (5, 'Ono', 10)");
  const Rows before = Query("SELECT * FROM people ORDER BY ID");
  const std::string left = "; the table is left as it was";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"ALTER TABLE people REDEFINE Name INTEGER",
       "ALTER TABLE would lose the value Sato of the column 'Name', which does not fit its new type" + left},
      {"ALTER TABLE people REDEFINE Qty SMALLINT",
       "ALTER TABLE would lose the value 40000 of the column 'Qty', which does not fit its new type" + left},
      {"ALTER TABLE people REDEFINE Name VARCHAR(4)",
       "ALTER TABLE would lose the value Yamamoto of the column 'Name', which does not fit its new type" + left},
      {"ALTER TABLE people REDEFINE Qty AUTOINC", "ALTER TABLE would lose rows whose auto-increment values repeat" + left},
      {"ALTER TABLE people ADD Extra INTEGER NOT NULL",
       "ALTER TABLE would lose rows whose column 'Extra' fails its required, minimum or maximum check" + left},
      {"ALTER TABLE people REDEFINE Qty MAXIMUM 30",
       "ALTER TABLE would lose rows whose column 'Qty' fails its required, minimum or maximum check" + left},
      {"ALTER TABLE people ADD UNIQUE PRIMARY KEY (Qty)", "Cannot REDEFINE the primary key using the ADD keyword"},
      {"ALTER TABLE people REDEFINE PRIMARY KEY (Qty)",
       "ALTER TABLE would lose rows whose keys repeat in the index 'PRIMARY'" + left},
  };
  for (const auto &[sql, message] : cases) {
    Failure f = FailureOf(sql);
    EXPECT_EQ(f.Code, KURA_SQLPARSE) << sql;
    EXPECT_EQ(f.Message, "SQL error - " + message) << sql;
    EXPECT_EQ(Query("SELECT * FROM people ORDER BY ID"), before) << sql;
  }
  // Dropping a column loses its values on purpose.
  Exec("ALTER TABLE people DROP Qty");
  EXPECT_EQ(Query("SELECT * FROM people ORDER BY ID"), (Rows{"1|Sato", "2|Aoki", "3|Yamamoto", "4|Ito", "5|Ono"}));
}

TEST_F(AlterTable, TableOptionsAlone) {
  Exec("ALTER TABLE people DROP Qty DESCRIPTION 'the people' BLOB BLOCK SIZE 2048 USER MAJOR VERSION 4 "
       "USER MINOR VERSION 2 LAST AUTOINC 50 NOBACKUP");
  Inspect("people", [](TDataFile &data, TIndexHeader &) {
    EXPECT_EQ(data.Description(), "the people");
    EXPECT_EQ(data.UserMajorVersion(), 4);
    EXPECT_EQ(data.UserMinorVersion(), 2);
    EXPECT_EQ(data.LastAutoIncValue(), 50);
    EXPECT_EQ(data.BlobBlockSize(), 2048);
  });
  Exec("ALTER TABLE people ADD Seq AUTOINC");
  // Values handed out before are not given again.
  EXPECT_EQ(Exec("INSERT INTO people (ID, Name) VALUES (4, 'Mori')"), 1);
  EXPECT_EQ(Query("SELECT Seq FROM people WHERE ID = 4"), (Rows{"51"}));
}

TEST_F(AlterTable, InMemoryTable) {
  Exec("CREATE TABLE MEMORY scratch (A INTEGER, B VARCHAR(5), PRIMARY KEY (A))");
  Exec("INSERT INTO MEMORY scratch VALUES (1, 'x'); INSERT INTO MEMORY scratch VALUES (2, 'y')");
  Exec("ALTER TABLE MEMORY scratch ADD C INTEGER DEFAULT 9 AT 1, REDEFINE B VARCHAR(1)");
  EXPECT_EQ(Query("SELECT * FROM MEMORY scratch ORDER BY A"), (Rows{"9|1|x", "9|2|y"}));
  // Nothing of it reaches the database directory.
  EXPECT_FALSE(Exists("scratch.DAT"));
  EXPECT_FALSE(Exists("scratch.DBK"));
  Exec("DROP TABLE MEMORY scratch");
}

TEST_F(AlterTable, EncryptedWithAPassword) {
  Exec("ALTER TABLE people ADD Extra INTEGER ENCRYPTED WITH 'pw2'");
  Inspect("people", [](TDataFile &data, TIndexHeader &) { EXPECT_TRUE(data.Encrypted()); });
  EXPECT_EQ(Query("SELECT Name FROM people ORDER BY ID"), (Rows{"Sato", "Aoki", "Yamamoto"}));
  FRunner.reset();
  DefaultSession().RemoveAllPasswords();
  FRunner = std::make_unique<TSqlRunner>(DefaultSession(), DbPath());
  EXPECT_EQ(FailureOf("SELECT * FROM people").Code, KURA_NOTSUFFTABLERIGHTS);
}

}  // namespace
}  // namespace kura::test
