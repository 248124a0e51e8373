// INSERT, UPDATE and DELETE: values and conversion, their messages, storage errors with their
// own codes, the statement's own transaction, commit intervals and rows affected.
#include <sys/resource.h>

#include <csignal>

#include "ChangeTestSupport.h"

namespace kura::test {
namespace {

using Rows = std::vector<std::string>;

class DataChange : public ChangeTest {
 protected:
  void SetUp() override {
    ChangeTest::SetUp();
    Exec("CREATE TABLE items (ID INTEGER NOT NULL, Name VARCHAR(20), Qty INTEGER MAXIMUM 100, "
         "PRIMARY KEY (ID))");
    Exec("INSERT INTO items VALUES (1, 'one', 10)");
    Exec("INSERT INTO items VALUES (2, 'two', 20)");
    Exec("INSERT INTO items VALUES (3, 'three', 30)");
    Exec("INSERT INTO items VALUES (4, 'four', 40)");
  }
  Rows All() { return Query("SELECT ID, Name, Qty FROM items ORDER BY ID"); }
  const Rows kStart{"1|one|10", "2|two|20", "3|three|30", "4|four|40"};
};

TEST_F(DataChange, InsertValuesWithAndWithoutColumnList) {
  EXPECT_EQ(Exec("INSERT INTO items (Name, ID) VALUES ('five', 2 + 3)"), 1);
  EXPECT_EQ(Exec("INSERT INTO items VALUES (6, NULL, '7')"), 1);
  EXPECT_EQ(Query("SELECT ID, Name, Qty FROM items WHERE ID > 4 ORDER BY ID"), (Rows{"5|five|NULL", "6|NULL|7"}));
}

TEST_F(DataChange, InsertMessages) {
  Failure f = FailureOf("INSERT INTO items (ID, Name, Qty) VALUES (9, 'x')");
  EXPECT_EQ(f.Code, KURA_SQLPARSE);
  EXPECT_EQ(f.Message, "SQL error - The number of values must match the number of table columns");
  f = FailureOf("INSERT INTO items VALUES (9, 'x')");
  EXPECT_EQ(f.Message, "SQL error - The number of values must match the number of table columns");
  f = FailureOf("INSERT INTO items VALUES ('abc', 'x', 1)");
  EXPECT_EQ(f.Code, KURA_SQLPARSE);
  EXPECT_EQ(f.Message, "SQL error - Type mismatch between column ID and constant value abc in INSERT statement");
  f = FailureOf("INSERT INTO items (ID, Nope) VALUES (9, 'x')");
  EXPECT_EQ(f.Message,
            "SQL error - Invalid column name 'Nope' or table correlation name items specified in table columns");
  f = FailureOf("INSERT items VALUES (1)");
  EXPECT_EQ(f.Message, "SQL error - INTO keyword expected, instead found 'items'");
  EXPECT_EQ(All(), kStart);  // nothing was written by any of them
}

TEST_F(DataChange, StorageFailuresKeepTheirCodes) {
  EXPECT_EQ(FailureOf("INSERT INTO items VALUES (1, 'again', 1)").Code, KURA_KEYVIOL);
  EXPECT_EQ(FailureOf("INSERT INTO items (Name) VALUES ('no id')").Code, KURA_REQDERR);
  EXPECT_EQ(FailureOf("INSERT INTO items VALUES (7, 'big', 101)").Code, KURA_MAXVALERR);
  EXPECT_EQ(FailureOf("UPDATE items SET ID = 1 WHERE ID = 2").Code, KURA_KEYVIOL);
  EXPECT_EQ(All(), kStart);
}

TEST_F(DataChange, UpdateAndDelete) {
  EXPECT_EQ(Exec("UPDATE items SET Qty = Qty + 1, Name = UPPER(Name) WHERE ID >= 3"), 2);
  EXPECT_EQ(Exec("DELETE FROM items WHERE Name = 'two'"), 1);
  EXPECT_EQ(All(), (Rows{"1|one|10", "3|THREE|31", "4|FOUR|41"}));
  EXPECT_EQ(Exec("UPDATE items SET Qty = NULL"), 3);
  EXPECT_EQ(Exec("DELETE FROM items"), 3);
  EXPECT_TRUE(All().empty());
}

TEST_F(DataChange, UpdateMessages) {
  Failure f = FailureOf("UPDATE items SET Qty = 'many'");
  EXPECT_EQ(f.Code, KURA_SQLPARSE);
  EXPECT_EQ(f.Message, "SQL error - Type mismatch between column Qty and constant value many in UPDATE statement");
  EXPECT_EQ(All(), kStart);  // the statement's own transaction was rolled back
  EXPECT_FALSE(FRunner->Executor().DefaultDirectory()->InTransaction());
}

TEST_F(DataChange, NoMatchingRowLeavesNoTransactionOpen) {
  EXPECT_EQ(Exec("UPDATE items SET Qty = 1 WHERE ID = 99"), 0);
  EXPECT_FALSE(FRunner->Executor().DefaultDirectory()->InTransaction());
  EXPECT_EQ(Exec("DELETE FROM items WHERE ID = 99"), 0);
  EXPECT_FALSE(FRunner->Executor().DefaultDirectory()->InTransaction());
}

TEST_F(DataChange, FailureRollsBackTheStatementsOwnTransaction) {
  // Rows are visited in the order they were added: 40, 80 pass the maximum, 120 fails.
  EXPECT_EQ(FailureOf("UPDATE items SET Qty = ID * 40").Code, KURA_MAXVALERR);
  EXPECT_EQ(All(), kStart);
  EXPECT_FALSE(FRunner->Executor().DefaultDirectory()->InTransaction());
}

TEST_F(DataChange, CommitIntervalKeepsCommittedRows) {
  // Interval 1: rows 1 and 2 are committed before row 3 fails.
  EXPECT_EQ(FailureOf("UPDATE items SET Qty = ID * 40 COMMIT INTERVAL 1").Code, KURA_MAXVALERR);
  EXPECT_EQ(All(), (Rows{"1|one|40", "2|two|80", "3|three|30", "4|four|40"}));
  // Interval 0: one commit at the end.
  EXPECT_EQ(Exec("UPDATE items SET Qty = 5 COMMIT INTERVAL 0 FLUSH"), 4);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM items WHERE Qty = 5"), (Rows{"4"}));
}

// UPDATE and DELETE over candidates read in blocks reaching several of them, across the
// blocks of a table wider than one, with intermediate commits that write the changed records
// and forget the block: every matched row is changed exactly once, and the rest stay as they were.
TEST_F(DataChange, BlockReadsAcrossCommitIntervalsChangeEveryMatchedRowOnce) {
  Exec("CREATE TABLE wide (ID INTEGER NOT NULL, V INTEGER, G INTEGER, H INTEGER, Pad VARCHAR(200), "
       "PRIMARY KEY (ID))");
  constexpr int kRows = 3000;
  std::vector<int64_t> model(kRows + 1);
  Exec("START TRANSACTION");
  for (int id = 1; id <= kRows; ++id) {
    model[id] = id;
    Exec("INSERT INTO wide VALUES (" + std::to_string(id) + ", " + std::to_string(id) + ", " + std::to_string(id % 6) +
         ", " + std::to_string(id % 300) + ", 'p')");
  }
  Exec("COMMIT");
  struct Case {
    const char *where;  // G is ID mod 6, H is ID mod 300
    bool (*matches)(int id);
    const char *interval;
  };
  const Case cases[] = {
      {"G = 0 OR G = 3", [](int id) { return id % 3 == 0; }, ""},                          // dense, default interval
      {"G = 1 OR G = 3 OR G = 5", [](int id) { return id % 2 == 1; }, " COMMIT INTERVAL 7"},  // short intervals
      {"G = 2", [](int id) { return id % 6 == 2; }, " COMMIT INTERVAL 1"},                    // a commit per row
      {"H = 7", [](int id) { return id % 300 == 7; }, " COMMIT INTERVAL 3"},                  // far apart
      {"ID > 1000 AND ID <= 2600", [](int id) { return id > 1000 && id <= 2600; }, " COMMIT INTERVAL 0"},
  };
  auto check = [&] {
    int64_t count = 0, sum = 0;
    for (int id = 1; id <= kRows; ++id)
      if (model[id] != 0) ++count, sum += model[id];
    EXPECT_EQ(Query("SELECT COUNT(*), SUM(V) FROM wide"), (Rows{std::to_string(count) + "|" + std::to_string(sum)}));
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.where) + c.interval);
    int64_t matched = 0;
    for (int id = 1; id <= kRows; ++id)
      if (model[id] != 0 && c.matches(id)) ++matched, model[id] = model[id] * 2 + 1;
    EXPECT_EQ(Exec(std::string("UPDATE wide SET V = V * 2 + 1 WHERE ") + c.where + c.interval), matched);
    check();
  }
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string("DELETE ") + c.where + c.interval);
    int64_t matched = 0;
    for (int id = 1; id <= kRows; ++id)
      if (model[id] != 0 && c.matches(id)) ++matched, model[id] = 0;
    EXPECT_EQ(Exec(std::string("DELETE FROM wide WHERE ") + c.where + c.interval), matched);
    check();
  }
}

TEST_F(DataChange, InsideTheCallersTransactionNothingIsCommitted) {
  Exec("START TRANSACTION");
  EXPECT_EQ(Exec("DELETE FROM items WHERE ID <= 2"), 2);
  EXPECT_TRUE(FRunner->Executor().DefaultDirectory()->InTransaction());
  EXPECT_EQ(Exec("UPDATE items SET Qty = 1"), 2);
  Exec("ROLLBACK");
  EXPECT_EQ(All(), kStart);
  // An explicit interval commits even inside it.
  Exec("START TRANSACTION");
  EXPECT_EQ(FailureOf("UPDATE items SET Qty = ID * 40 COMMIT INTERVAL 1").Code, KURA_MAXVALERR);
  EXPECT_TRUE(FRunner->Executor().DefaultDirectory()->InTransaction());
  Exec("ROLLBACK");
  EXPECT_EQ(All(), (Rows{"1|one|40", "2|two|80", "3|three|30", "4|four|40"}));
}

TEST_F(DataChange, TransactionStatements) {
  Failure f = FailureOf("COMMIT");
  EXPECT_EQ(f.Code, KURA_SQLPARSE);
  EXPECT_EQ(f.Message, "SQL error - Transaction not in progress for database '" + DbPath() + "'");
  EXPECT_EQ(FailureOf("ROLLBACK WORK").Message,
            "SQL error - Transaction not in progress for database '" + DbPath() + "'");
  Exec("START TRANSACTION");
  EXPECT_EQ(FailureOf("START TRANSACTION").Message,
            "SQL error - Transaction already in progress for database '" + DbPath() + "'");
  Exec("INSERT INTO items VALUES (5, 'five', 50)");
  Exec("COMMIT WORK FLUSH");
  EXPECT_EQ(All().size(), 5u);
}

TEST_F(DataChange, RowsAffectedOfScripts) {
  EXPECT_EQ(Exec("START TRANSACTION; DELETE FROM items; ROLLBACK"), 0);
  EXPECT_EQ(All(), kStart);
  EXPECT_EQ(Exec("INSERT INTO items VALUES (5, 'five', 50); START TRANSACTION; DELETE FROM items WHERE ID > 2; "
                 "ROLLBACK; UPDATE items SET Qty = 1 WHERE ID < 3"),
            3);
  EXPECT_EQ(Exec("DELETE FROM items WHERE ID = 5; START TRANSACTION; DELETE FROM items WHERE ID = 4; COMMIT"), 2);
  EXPECT_EQ(All(), (Rows{"1|one|1", "2|two|1", "3|three|30"}));
}

// INSERT, UPDATE and DELETE inside a transaction keep one cursor on their table between
// statements; it must see what came in between, survive a refused row, and be given back at
// the end of the transaction (CREATE INDEX needs the table alone) and outside transactions
// (DROP TABLE needs it closed).
TEST_F(DataChange, ChangesInATransactionShareACursorAndGiveItBack) {
  Exec("CREATE TABLE other (ID INTEGER NOT NULL, PRIMARY KEY (ID))");
  Exec("START TRANSACTION; INSERT INTO items VALUES (5, 'five', 50); INSERT INTO other VALUES (1); "
       "INSERT INTO items VALUES (6, 'six', 60)");
  EXPECT_EQ(Query("SELECT COUNT(*) FROM items"), (Rows{"6"}));
  EXPECT_EQ(FailureOf("INSERT INTO items VALUES (6, 'again', 1)").Code, KURA_KEYVIOL);
  EXPECT_EQ(Exec("DELETE FROM items WHERE ID = 1; INSERT INTO items VALUES (1, 'uno', 11); "
                 "INSERT INTO items VALUES (7, 'seven', 70); UPDATE items SET Name = 'sieben' WHERE ID = 7; "
                 "INSERT INTO other VALUES (3); UPDATE items SET Qty = Qty + 1 WHERE ID >= 6"),
            7);
  EXPECT_EQ(Query("SELECT ID, Name, Qty FROM items WHERE ID IN (1, 6, 7) ORDER BY ID"),
            (Rows{"1|uno|11", "6|six|61", "7|sieben|71"}));
  Exec("ROLLBACK");
  EXPECT_EQ(All(), kStart);
  EXPECT_EQ(Query("SELECT COUNT(*) FROM other"), (Rows{"0"}));
  Exec("START TRANSACTION; INSERT INTO items VALUES (8, 'eight', 80); COMMIT");
  Exec("CREATE INDEX items_qty ON items (Qty)");
  EXPECT_EQ(Query("SELECT ID FROM items WHERE Qty = 80"), (Rows{"8"}));
  Exec("INSERT INTO other VALUES (2)");
  Exec("DROP TABLE other");
  EXPECT_EQ(All().size(), 5u);
}

TEST_F(DataChange, InsertSelect) {
  Exec("CREATE TABLE copy (N AUTOINC, Name VARCHAR(10), Qty SMALLINT)");
  EXPECT_EQ(Exec("INSERT INTO copy (Name, Qty) SELECT Name, Qty FROM items WHERE ID > 2 ORDER BY ID"), 2);
  EXPECT_EQ(Exec("INSERT INTO copy SELECT ID * 10, Name, Qty FROM items WHERE ID = 1 NOAUTOINC"), 1);
  EXPECT_EQ(Exec("INSERT INTO copy (Name) SELECT Name FROM items WHERE ID = 2 COMMIT INTERVAL 1"), 1);
  EXPECT_EQ(Query("SELECT N, Name, Qty FROM copy ORDER BY N"),
            (Rows{"1|three|30", "2|four|40", "10|one|10", "11|two|NULL"}));
  EXPECT_EQ(FailureOf("INSERT INTO copy (Name) SELECT Name, Qty FROM items").Message,
            "SQL error - The number of values must match the number of table columns");
  // A key violation in the middle leaves nothing of the statement behind.
  EXPECT_EQ(FailureOf("INSERT INTO items SELECT ID + 3, Name, Qty FROM items").Code, KURA_KEYVIOL);
  EXPECT_EQ(All(), kStart);
}

TEST_F(DataChange, UpdateAndDeleteWithFurtherSources) {
  Exec("CREATE TABLE prices (Item INTEGER, Qty INTEGER); INSERT INTO prices VALUES (1, 11); "
       "INSERT INTO prices VALUES (3, 33); INSERT INTO prices VALUES (3, 99)");
  // The first matching record of the other source supplies the value.
  EXPECT_EQ(Exec("UPDATE items SET Qty = p.Qty FROM items, prices p WHERE items.ID = p.Item"), 2);
  EXPECT_EQ(All(), (Rows{"1|one|11", "2|two|20", "3|three|33", "4|four|40"}));
  EXPECT_EQ(Exec("UPDATE items i SET Name = 'none' FROM items i LEFT OUTER JOIN prices p ON i.ID = p.Item "
                 "WHERE p.Item IS NULL"),
            2);
  EXPECT_EQ(Exec("DELETE FROM items, prices WHERE items.ID = prices.Item AND prices.Qty > 50"), 1);
  EXPECT_EQ(Exec("UPDATE items SET Qty = 0 FROM items INNER JOIN prices ON items.ID = prices.Item"), 1);
  EXPECT_EQ(All(), (Rows{"1|one|0", "2|none|20", "4|none|40"}));
  Failure f = FailureOf("UPDATE items SET Qty = 1 FROM prices, items");
  EXPECT_EQ(f.Message,
            "SQL error - The first source table specified in FROM clause must match the table being updated in the "
            "UPDATE statement");
  EXPECT_NE(FailureOf("DELETE FROM items RIGHT OUTER JOIN prices ON items.ID = prices.Item").Message.find(
                "not supported yet"),
            std::string::npos);
}

TEST_F(DataChange, BlobValuesAreRewrittenInPlace) {
  Exec("CREATE TABLE notes (ID INTEGER, Body MEMO, Raw BLOB, PRIMARY KEY (ID))");
  const std::string text(3000, 'k');
  EXPECT_EQ(Exec("INSERT INTO notes VALUES (1, '" + text + "', 'raw bytes')"), 1);
  const auto blobFile = FRoot / "db" / "notes.BLB";
  const auto firstSize = std::filesystem::file_size(blobFile);
  for (int i = 0; i < 40; ++i) {
    const char c = static_cast<char>('a' + i % 26);
    EXPECT_EQ(Exec("UPDATE notes SET Body = '" + std::string(3000, c) + "', Raw = Body WHERE ID = 1"), 1);
  }
  // Each rewrite reuses the chain: the file does not grow by forty values.
  EXPECT_LT(std::filesystem::file_size(blobFile), firstSize * 3);
  EXPECT_EQ(Query("SELECT Body FROM notes"), (Rows{std::string(3000, 'n')}));
  // SET values see the record as it was: Raw got the Body from before the last change.
  EXPECT_EQ(Query("SELECT Raw FROM notes"), (Rows{std::string(3000, 'm')}));
  // A failed insert leaves no blob behind; a deleted record's blobs are freed for reuse.
  EXPECT_EQ(FailureOf("INSERT INTO notes VALUES (1, '" + text + "', NULL)").Code, KURA_KEYVIOL);
  const auto before = std::filesystem::file_size(blobFile);
  for (int i = 0; i < 10; ++i) {
    Exec("DELETE FROM notes");
    Exec("INSERT INTO notes VALUES (2, '" + text + "', 'again')");
  }
  EXPECT_LE(std::filesystem::file_size(blobFile), before);
  EXPECT_EQ(Exec("UPDATE notes SET Body = NULL"), 1);
  EXPECT_EQ(Query("SELECT ID, Body, Raw FROM notes"), (Rows{"2|NULL|again"}));
}

TEST_F(DataChange, ScriptsRunEveryStatementAndStopAtAFailure) {
  std::vector<int64_t> counts;
  TRunResult r = FRunner->Run(
      "INSERT INTO items VALUES (5, 'x', 1); SELECT COUNT(*) FROM items; DELETE FROM items WHERE ID = 5;"
      "SELECT COUNT(*) FROM items",
      [&](TSelectQuery &q) { counts.push_back(q.Row(0)[0].Int); });
  EXPECT_EQ(r.StatementCount, 4);
  EXPECT_EQ(r.RowsAffected, 2);
  EXPECT_EQ(counts, (std::vector<int64_t>{5, 4}));
  ASSERT_NE(r.Select, nullptr);
  EXPECT_EQ(r.Select->RowCount(), 1);
  EXPECT_EQ(r.Select->Row(0)[0].Int, 4);
  r.Select.reset();  // its sources stay open (read-only) while the result lives
  // Statements before the failing one keep their effect; those after it do not run.
  EXPECT_EQ(FailureOf("DELETE FROM items WHERE ID = 4; UPDATE items SET Nope = 1; DELETE FROM items").Message,
            "SQL error - Invalid column name 'Nope' or table correlation name items specified in table columns");
  EXPECT_EQ(All(), (Rows{"1|one|10", "2|two|20", "3|three|30"}));
}

TEST_F(DataChange, MangledStatementsFailWithEngineErrors) {
  const std::vector<std::string> statements = {
      "INSERT INTO items (ID, Name) VALUES (7, 'seven') NOAUTOINC COMMIT INTERVAL 5 FLUSH",
      "UPDATE items AS i SET Qty = i.Qty + 1, Name = 'n' WHERE ID IN (1, 2) COMMIT FLUSH",
      "DELETE FROM items WHERE Name LIKE 't%' AND Qty BETWEEN 1 AND 50",
      "CREATE TABLE x (A INTEGER NOT NULL DEFAULT 1, B CHAR(3) CHARCASE LOWER, PRIMARY KEY (A) COMPRESS NONE)",
      "CREATE UNIQUE INDEX IF NOT EXISTS q ON items (Name, Qty)",
      "INSERT INTO items SELECT ID + 100, Name, Qty FROM items WHERE ID < 3",
  };
  int runs = 0;
  for (const std::string &statement : statements) {
    for (size_t cut = 0; cut < statement.size(); ++cut) {
      std::string text = statement.substr(0, cut);
      if (cut % 3 == 1) text += "'";
      if (cut % 5 == 2) text += " ) , (";
      try {
        FRunner->Run(text);
      } catch (const EKuraEngineError &) {
      } catch (const std::exception &e) {
        ADD_FAILURE() << text << ": " << e.what();
      }
      ++runs;
    }
  }
  EXPECT_GT(runs, 300);
  EXPECT_FALSE(FRunner->Executor().DefaultDirectory()->InTransaction());
}

TEST_F(DataChange, SubSelectsInWhere) {
  Exec("CREATE TABLE picks (ID INTEGER); INSERT INTO picks VALUES (2); INSERT INTO picks VALUES (4)");
  EXPECT_EQ(Exec("UPDATE items SET Qty = 0 WHERE ID IN (SELECT ID FROM picks WHERE ID > 3)"), 1);
  // A sub-select on the changed table itself is read before anything changes.
  EXPECT_EQ(Exec("DELETE FROM items WHERE ID IN (SELECT ID FROM items WHERE Qty >= 20) AND "
                 "ID IN (SELECT ID FROM picks)"),
            1);
  EXPECT_EQ(All(), (Rows{"1|one|10", "3|three|30", "4|four|0"}));
  EXPECT_EQ(Exec("DELETE FROM items, picks WHERE items.ID = picks.ID AND items.ID IN (SELECT ID FROM picks)"), 1);
  EXPECT_EQ(FailureOf("DELETE FROM items WHERE ID IN (SELECT ID, ID FROM picks)").Message,
            "SQL error - More than 1 column for sub-select  specified in WHERE clause");
  EXPECT_EQ(All(), (Rows{"1|one|10", "3|three|30"}));
}

TEST_F(DataChange, ExecutorFindsTheStatementTextItself) {
  Exec("CREATE TABLE copy (ID INTEGER, Name VARCHAR(20), Qty INTEGER)");
  TQueryStatement statement;
  statement.Prepare("INSERT INTO copy SELECT * FROM items WHERE ID = 1; "
                    "INSERT INTO copy SELECT * FROM items WHERE ID IN (SELECT ID FROM items WHERE ID > 3);"
                    "DELETE FROM copy WHERE ID IN (SELECT ID FROM items WHERE Qty = 10)");
  TChangeExecutor executor(DefaultSession(), DbPath());
  EXPECT_EQ(executor.Execute(statement), 1);
  statement.PrepareNext();
  EXPECT_EQ(executor.Execute(statement), 1);
  statement.PrepareNext();
  EXPECT_EQ(executor.Execute(statement), 1);
  EXPECT_EQ(Query("SELECT ID FROM copy"), (Rows{"4"}));
}

TEST_F(DataChange, InMemoryTables) {
  Exec("CREATE TABLE MEMORY scratch (A INTEGER, B VARCHAR(5))");
  EXPECT_EQ(Exec("INSERT INTO MEMORY scratch VALUES (1, 'x'); INSERT INTO MEMORY scratch VALUES (2, 'y')"), 2);
  EXPECT_EQ(Exec("UPDATE MEMORY scratch SET B = 'z' WHERE A = 2"), 1);
  EXPECT_EQ(Query("SELECT A, B FROM MEMORY scratch ORDER BY A"), (Rows{"1|x", "2|z"}));
  Exec("DROP TABLE MEMORY scratch");
}

// A transaction writing more memo text than the blob cache holds sends it to the table's journal
// as it goes. A write there that fails (here: the file may grow no further) fails the statement
// that made it; the statements before and after it commit whole, and nothing else is lost.
TEST_F(DataChange, AJournalWriteFailingInsideATransactionFailsOnlyItsStatement) {
  Exec("CREATE TABLE m (id INTEGER NOT NULL, note MEMO, PRIMARY KEY (id))");
  auto note = [](int id) { return std::string(3000 + id % 97, static_cast<char>('a' + id % 26)); };
  auto insert = [&](int id) { return FailureOf("INSERT INTO m VALUES (" + std::to_string(id) + ", '" + note(id) + "')"); };
  Exec("START TRANSACTION");
  int id = 1;
  for (; id <= 500; ++id) ASSERT_EQ(insert(id).Code, 0);  // past the megabyte held in memory
  const std::string journal = DbPath() + "m.JNL";
  ASSERT_GT(std::filesystem::file_size(journal), 0u);
  std::vector<int> failed, kept;
  for (int i = 1; i <= 500; ++i) kept.push_back(i);
  {
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limit = old;
    limit.rlim_cur = std::filesystem::file_size(journal);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    for (int tries = 0; tries < 800 && failed.size() < 3; ++tries, ++id) {
      const Failure f = insert(id);
      if (f.Code == 0) kept.push_back(id);
      else failed.push_back(id);
      if (f.Code != 0) EXPECT_EQ(f.Message, "Error writing to the table 'm'");
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
  }
  ASSERT_EQ(failed.size(), 3u) << "the journal never had to grow";
  for (int more = 0; more < 50; ++more, ++id) {
    ASSERT_EQ(insert(id).Code, 0);
    kept.push_back(id);
  }
  Exec("COMMIT");
  FRunner = std::make_unique<TSqlRunner>(DefaultSession(), DbPath());
  EXPECT_EQ(Query("SELECT COUNT(*) FROM m"), (Rows{std::to_string(kept.size())}));
  for (int f : failed) EXPECT_TRUE(Query("SELECT id FROM m WHERE id = " + std::to_string(f)).empty()) << f;
  const Rows notes = Query("SELECT id, note FROM m ORDER BY id");
  ASSERT_EQ(notes.size(), kept.size());
  for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(notes[i], std::to_string(kept[i]) + "|" + note(kept[i]));
}

}  // namespace
}  // namespace kura::test
