// Generated scripts of INSERT (VALUES and INSERT ... SELECT), UPDATE, DELETE and CREATE INDEX
// run here through TSqlRunner and in SQLite through its library, with the outcome of every
// script (success, or failure with the matching kind of constraint error), its rows-affected
// count and then the full contents of both tables (ordered by the key) compared, together with
// a few queries that indexes may serve.
//
// Only statements that mean the same in both engines are generated. The differences avoided:
// - NULL in comparisons: here NULL = NULL is true, NULL <> 5 is true and a NULL string compares
//   as the empty string; in SQLite all of those are NULL (false in WHERE). Conditions use the
//   NOT NULL columns (k, d, u, e) freely and touch the nullable ones (a, b, c) only through
//   IS [NOT] NULL or as "(x IS NOT NULL AND x op value)", which is two-valued in both engines,
//   so that NOT over it means the same too.
// - The empty string is NULL here: no empty string literal is generated, and the values
//   written into string columns are never empty.
// - "/" divides exactly here (7 / 2 is 3.5) and as integers in SQLite for integer operands:
//   no division is generated; halving a float is written as * 0.5.
// - Type affinity: SQLite keeps a 2.5 written into an INTEGER column as a real, where the value
//   is converted to the column's type here. Integer columns get integer expressions only, and
//   integer columns are never compared with non-integer constants (a filter here converts such
//   a constant to the column's type). Float values are quarters, exact in binary, and
//   numbers compare by value (SQLite prints 2.0 where 2 is printed here).
// - String length: strings stay within the declared VARCHAR size, which only Kura enforces.
// - LIKE is case-sensitive here and case-insensitive for ASCII in SQLite by default:
//   SQLite runs with case_sensitive_like on.
// - NULL string concatenation (empty here, NULL in SQLite): no concatenation is generated.
// - Unique indexes: SQLite lets several NULLs into a unique index; the uniquely indexed
//   columns here are NOT NULL. Per-row uniqueness checks make "u = u + 1" depend on the order
//   in which rows are visited (natural order here, key order in SQLite); updates of the unique
//   columns either set every matched row to one constant (refused by both when two rows match
//   or the value is held by another row) or move values into a range no row holds.
// - A failing statement inside a transaction the script opened keeps its earlier rows here
//   (only a transaction the statement started itself is rolled back) while SQLite undoes the
//   statement: scripts with START TRANSACTION hold only statements that cannot fail.
// - A failing statement outside a transaction is undone here only up to the last intermediate
//   commit (every few hundred rows by default): the tables stay well below that size, so a
//   refused statement leaves them unchanged in both engines, which is compared.
// - Data definition inside a transaction is not generated: it is not part of the transaction
//   here, and CREATE INDEX needs the table exclusively, which it cannot have once the open
//   transaction has changed the table.
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "SqliteSide.h"
#include "engine/errors/ErrorCodes.h"

namespace kura::test {
namespace {

using Table = std::vector<std::string>;

// One statement of a script; the texts differ only where the engines spell a statement
// differently (opening a transaction).
struct Statement {
  std::string Kura, Lite;
};

Statement Same(const std::string &sql) { return {sql, sql}; }

struct Outcome {
  bool Failed = false;
  int64_t Rows = 0;
  uint16_t KuraCode = 0;
  int LiteCode = 0;
  std::string Message;
};

// The engine error here that answers SQLite's constraint error.
uint16_t ExpectedKuraCode(int liteCode) {
  switch (liteCode) {
    case SQLITE_CONSTRAINT_PRIMARYKEY:
    case SQLITE_CONSTRAINT_UNIQUE: return KURA_KEYVIOL;
    case SQLITE_CONSTRAINT_NOTNULL: return KURA_REQDERR;
    default: return 0;
  }
}

const char *const kWords[] = {"aka", "ao", "kiiro", "midori", "shiro", "kuro", "momo", "sora", "Hana", "Kaze"};

class ChangeDifferential : public SqliteSideTest {
 protected:
  void SetUp() override {
    SqliteSideTest::SetUp();
    sqlite3_extended_result_codes(FLite, 1);
    ASSERT_EQ(sqlite3_exec(FLite, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr), SQLITE_OK);
  }

 public:
  Outcome RunKura(const std::vector<Statement> &script) {
    std::string text;
    for (const Statement &s : script) text += s.Kura + ";\n";
    Outcome out;
    try {
      out.Rows = FRunner->Run(text).RowsAffected;
    } catch (const EKuraEngineError &e) {
      out.Failed = true;
      out.KuraCode = e.ErrorCode();
      out.Message = e.what();
    } catch (const std::exception &e) {
      out.Failed = true;
      out.Message = e.what();
    }
    return out;
  }

  // Statement by statement, stopping at the first failure as a script does here; the count
  // follows the script rule (START TRANSACTION remembers it, ROLLBACK goes back to it).
  Outcome RunLite(const std::vector<Statement> &script) {
    Outcome out;
    int64_t atStart = 0;
    for (const Statement &s : script) {
      char *error = nullptr;
      const int before = sqlite3_total_changes(FLite);
      const int rc = sqlite3_exec(FLite, s.Lite.c_str(), nullptr, nullptr, &error);
      if (rc != SQLITE_OK) {
        out.Failed = true;
        out.LiteCode = sqlite3_extended_errcode(FLite);
        out.Message = error ? error : "";
        sqlite3_free(error);
        return out;
      }
      if (s.Lite == "BEGIN") atStart = out.Rows;
      else if (s.Lite == "ROLLBACK") out.Rows = atStart;
      else out.Rows += sqlite3_total_changes(FLite) - before;
    }
    return out;
  }

  int64_t LiteCount(const std::string &table) {
    Table rows = Lite("SELECT COUNT(*) FROM " + table);
    return rows.empty() ? 0 : std::atoll(rows[0].c_str());
  }

  // A value of column `column` of the n-th row of t in key order (NULL when t is empty).
  std::string LiteValueAt(const std::string &column, int64_t n) {
    Table rows = Lite("SELECT " + column + " FROM t ORDER BY k LIMIT 1 OFFSET " + std::to_string(n));
    return rows.empty() ? std::string("NULL") : rows[0];
  }

};

// Makes the statements; it may ask SQLite about the current contents (both engines hold the
// same rows whenever a script is made, or the test has already failed).
class Generator {
 public:
  Generator(ChangeDifferential &test, uint32_t seed) : T(test), R(seed) {}

  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(R); }
  std::string Int(int low, int high) { return std::to_string(Pick(low, high)); }
  std::string Word() { return std::string("'") + kWords[Pick(0, 9)] + "'"; }
  std::string Quarter(int low, int high) {
    const int v = Pick(low * 4, high * 4);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%d.%02d", v < 0 ? "-" : "", std::abs(v) / 4, std::abs(v) % 4 * 25);
    return buffer;
  }
  std::string Base() { return std::to_string(100000 * ++FBlocks); }

  // A condition on t (or s: no u, no e there) that is two-valued in both engines.
  std::string Atom(bool onT) {
    static const char *ops[] = {"=", "<>", "<", ">", "<=", ">="};
    switch (Pick(0, onT ? 11 : 8)) {
      case 0: return std::string("d ") + ops[Pick(0, 5)] + " " + Int(0, 1000);
      case 1: {
        const int low = Pick(0, 900);
        return "d BETWEEN " + std::to_string(low) + " AND " + std::to_string(low + Pick(0, 200));
      }
      case 2: return "d IN (" + Int(0, 1000) + ", " + Int(0, 1000) + ", " + Int(0, 1000) + ")";
      case 3: return std::string("k ") + ops[Pick(2, 5)] + " " + Int(0, 1200);
      case 4: return Pick(0, 1) ? "a IS NULL" : "a IS NOT NULL";
      case 5: return std::string("(a IS NOT NULL AND a ") + ops[Pick(0, 5)] + " " + Int(-30, 30) + ")";
      case 6: return std::string("(b IS NOT NULL AND b ") + ops[Pick(0, 5)] + " " + Word() + ")";
      case 7: return "(c IS NOT NULL AND c < " + Quarter(-100, 100) + ")";
      case 8: return Pick(0, 1) ? "b IS NULL" : "(b IS NOT NULL AND b LIKE '" + std::string(kWords[Pick(0, 9)]).substr(0, 2) + "%')";
      case 9: return "e = " + Word();
      case 10: return "e LIKE '" + std::string(kWords[Pick(0, 9)]).substr(0, 1) + "%'";
      default: return std::string("u ") + ops[Pick(2, 5)] + " " + Int(0, 60000);
    }
  }
  // A narrow condition for DELETE, so that the tables keep their size.
  std::string Narrow(bool onT = true) {
    const int low = Pick(0, 950);
    return "d BETWEEN " + std::to_string(low) + " AND " + std::to_string(low + 50) + " AND " + Condition(onT);
  }
  std::string Condition(bool onT = true) {
    switch (Pick(0, 5)) {
      case 0: return Atom(onT) + " AND " + Atom(onT);
      case 1: return "(" + Atom(onT) + " OR " + Atom(onT) + ")";
      case 2: return "NOT (" + Atom(onT) + ")";
      default: return Atom(onT);
    }
  }

  // SET items that cannot fail.
  std::string SafeAssignment() {
    switch (Pick(0, 13)) {
      case 0: return "a = NULL";
      case 1: return "a = " + Int(-30, 30);
      case 2: return "a = a + " + Int(1, 5);
      case 3: return "a = d * 2 - " + Int(0, 50);
      case 4: return "b = NULL";
      case 5: return "b = " + Word();
      case 6: return "b = UPPER(e)";
      case 7: return "b = LOWER(b)";
      case 8: return "c = " + Quarter(-100, 100);
      case 9: return "c = c * 0.5";
      case 10: return "c = a + 0.25";
      case 11: return "d = d + " + Int(-5, 9);
      case 12: return "e = UPPER(e)";
      default: return "e = " + Word();
    }
  }

  std::string FreshInsert() {
    const int key = FNextKey++;
    std::string a = Pick(0, 5) == 0 ? "NULL" : Int(-30, 30);
    std::string b = Pick(0, 5) == 0 ? "NULL" : Word();
    std::string c = Pick(0, 6) == 0 ? "NULL" : Quarter(-100, 100);
    if (Pick(0, 3) == 0)
      return "INSERT INTO t (k, d, u, e) VALUES (" + std::to_string(key) + ", " + Int(0, 1000) + ", " +
             std::to_string(FNextU++) + ", " + Word() + ")";
    return "INSERT INTO t VALUES (" + std::to_string(key) + ", " + a + ", " + b + ", " + c + ", " + Int(0, 1000) +
           ", " + std::to_string(FNextU++) + ", " + Word() + ")";
  }

  // Statements that cannot fail, for scripts inside a transaction.
  std::string SafeUpdate() {
    std::string set = SafeAssignment();
    // A second item for another column (each item starts with its column's name).
    const std::string second = SafeAssignment();
    if (Pick(0, 1) && second[0] != set[0]) set += ", " + second;
    return "UPDATE t SET " + set + " WHERE " + Condition();
  }
  std::string SafeStatement() {
    const int64_t rows = T.LiteCount("t");
    switch (Pick(0, 7)) {
      case 0:
      case 1: return FreshInsert();
      case 2:
      case 3: return SafeUpdate();
      case 4: return rows > 150 ? "DELETE FROM t WHERE " + Narrow() : FreshInsert();
      case 5:
        if (rows < 300) {
          const std::string base = Base();
          return "INSERT INTO t SELECT k + " + base + ", a, b, c, d, u + " + base + ", e FROM t WHERE k < 100000 AND " +
                 Condition();
        }
        return rows > 150 ? "DELETE FROM t WHERE " + Narrow() : FreshInsert();
      case 6:
        if (T.LiteCount("s") < 400)
          return "INSERT INTO s (k, a, b, d) SELECT k + " + Base() + ", d, UPPER(e), a FROM t WHERE k < 100000 AND a IS NOT NULL AND " +
                 Condition();
        return "DELETE FROM s WHERE " + Narrow(false);
      default:
        return "UPDATE t SET k = k + " + Base() + ", u = k + " + Base() + " WHERE k < 100000 AND " + Condition();
    }
  }

  // Statements of which some fail in both engines.
  std::string RiskyStatement() {
    switch (Pick(0, 7)) {
      case 0: return "UPDATE t SET u = " + T.LiteValueAt("u", Pick(0, 400)) + " WHERE " + Condition();
      case 1: return "UPDATE t SET u = " + std::to_string(FNextU++) + " WHERE " + Condition();
      case 2: {
        // An existing key or an existing u value.
        const std::string k = T.LiteValueAt("k", Pick(0, 400));
        const std::string u = T.LiteValueAt("u", Pick(0, 400));
        const bool oldKey = Pick(0, 1) == 1;
        return "INSERT INTO t (k, d, u, e) VALUES (" + (oldKey && k != "NULL" ? k : std::to_string(FNextKey++)) +
               ", 1, " + (!oldKey && u != "NULL" ? u : std::to_string(FNextU++)) + ", " + Word() + ")";
      }
      case 3: return "UPDATE t SET d = a + 1 WHERE " + Condition();
      case 4: return "UPDATE t SET e = b WHERE " + Condition();
      case 5:
        // u copied unchanged collides with every copied row.
        return "INSERT INTO t SELECT k + " + Base() + ", a, b, c, d, u, e FROM t WHERE k < 100000 AND " + Condition();
      case 6: {
        // k is SQLite's row id, which refuses NULL with another error than NOT NULL: only
        // existing keys are written.
        const std::string k = T.LiteValueAt("k", Pick(0, 400));
        return "UPDATE t SET k = " + (k == "NULL" ? std::string("5") : k) + " WHERE " + Condition();
      }
      default:
        if (T.LiteCount("t") > 150) return "DELETE FROM t WHERE " + Narrow();
        return SafeStatement();
    }
  }

  int FNextKey = 50000;
  int FNextU = 60001;
  int FBlocks = 0;

 private:
  ChangeDifferential &T;
  std::mt19937 R;
};

TEST_F(ChangeDifferential, GeneratedChangeScriptsAgree) {
  Generator g(*this, 20261209);
  int scripts = 0, statements = 0, refused = 0, rowsCompared = 0;

  // Compares the outcome of one script and then everything both engines hold.
  auto run = [&](const std::vector<Statement> &script) {
    const Outcome kura = RunKura(script);
    const Outcome lite = RunLite(script);
    std::string text;
    for (const Statement &s : script) text += s.Kura + ";\n";
    ++scripts;
    statements += static_cast<int>(script.size());
    EXPECT_EQ(kura.Failed, lite.Failed) << text << "\nhere: " << kura.Message << "\nsqlite: " << lite.Message;
    if (kura.Failed && lite.Failed) {
      ++refused;
      const uint16_t expected = ExpectedKuraCode(lite.LiteCode);
      EXPECT_NE(expected, 0) << "unexpected SQLite failure " << lite.LiteCode << " " << lite.Message << "\n" << text;
      EXPECT_EQ(kura.KuraCode, expected) << text << "\nhere: " << kura.Message << "\nsqlite: " << lite.Message;
    } else if (!kura.Failed && !lite.Failed) {
      EXPECT_EQ(kura.Rows, lite.Rows) << text;
    }
    for (const char *table : {"t", "s"}) {
      const std::string all = std::string("SELECT * FROM ") + table + " ORDER BY k";
      const Table here = Kura(all), there = Lite(all);
      EXPECT_EQ(here.size(), there.size()) << table << " after\n" << text;
      EXPECT_EQ(here, there) << table << " after\n" << text;
      rowsCompared += static_cast<int>(here.size());
    }
    // A generated condition (indexes serve some of it once they are made), after rows were
    // deleted and moved.
    const std::string where = "SELECT k, u FROM t WHERE " + g.Condition() + " ORDER BY k";
    EXPECT_EQ(Kura(where), Lite(where)) << where << "\nafter\n" << text;
    // Point lookups that the indexes (once made) serve here.
    for (int i = 0; i < 3; ++i) {
      const int64_t n = g.Pick(0, 600);
      std::string lookup;
      switch (i) {
        case 0: lookup = "SELECT k, u FROM t WHERE u = " + LiteValueAt("u", n); break;
        case 1: lookup = "SELECT k, d FROM t WHERE d = " + LiteValueAt("d", n) + " ORDER BY k"; break;
        default: {
          const std::string e = LiteValueAt("e", n);
          lookup = "SELECT k, e FROM t WHERE e = '" + (e == "NULL" ? std::string("aka") : e) + "' ORDER BY k";
        }
      }
      if (lookup.find("= NULL") != std::string::npos) continue;
      EXPECT_EQ(Kura(lookup), Lite(lookup)) << lookup << "\nafter\n" << text;
    }
    // A script that opened a transaction holds only statements that cannot fail; should one
    // fail all the same, the transaction is closed so that the scripts after it still compare.
    if ((kura.Failed || lite.Failed) && script.front().Lite == "BEGIN") {
      ADD_FAILURE() << "a transaction script failed:\n" << text;
      RunKura({Same("ROLLBACK")});
      RunLite({Same("ROLLBACK")});
    }
    return !kura.Failed && !lite.Failed;
  };

  ASSERT_TRUE(run({Same("CREATE TABLE t (k INTEGER NOT NULL, a INTEGER, b VARCHAR(12), c FLOAT, d INTEGER NOT NULL, "
                        "u INTEGER NOT NULL, e VARCHAR(12) NOT NULL, PRIMARY KEY (k))"),
                   Same("CREATE TABLE s (k INTEGER NOT NULL, a INTEGER, b VARCHAR(12), c FLOAT, d INTEGER, "
                        "PRIMARY KEY (k))")}));
  // The first rows, in an order other than the key's, in one transaction.
  {
    std::vector<Statement> load{{"START TRANSACTION", "BEGIN"}};
    std::vector<int> keys;
    for (int k = 1; k <= 200; ++k) keys.push_back(k * 5);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    for (int key : keys) {
      const std::string a = g.Pick(0, 6) == 0 ? "NULL" : g.Int(-30, 30);
      const std::string b = g.Pick(0, 6) == 0 ? "NULL" : g.Word();
      const std::string c = g.Pick(0, 6) == 0 ? "NULL" : g.Quarter(-100, 100);
      load.push_back(Same("INSERT INTO t VALUES (" + std::to_string(key) + ", " + a + ", " + b + ", " + c + ", " +
                          g.Int(0, 1000) + ", " + std::to_string(key * 7919 % 50000) + ", " + g.Word() + ")"));
    }
    load.push_back(Same("COMMIT"));
    ASSERT_TRUE(run(load));
  }
  ASSERT_TRUE(run({Same("CREATE UNIQUE INDEX t_u ON t (u)")}));

  // Indexes made on the way, between the generated scripts. Unique ones only over values that
  // are unique: over duplicates SQLite refuses, and here the duplicates are deleted (see the
  // test below).
  std::vector<std::string> indexes = {"CREATE INDEX t_d ON t (d)",
                                      "CREATE INDEX t_e ON t (e)",
                                      "CREATE INDEX t_ad ON t (a, d)",
                                      "CREATE INDEX t_b ON t (b)",
                                      "CREATE UNIQUE INDEX t_dk ON t (d, k)",
                                      "CREATE INDEX s_b ON s (b)",
                                      "CREATE UNIQUE INDEX s_kb ON s (k, b)"};
  size_t nextIndex = 0;
  for (int round = 0; round < 160 && !HasFailure(); ++round) {
    std::vector<Statement> script;
    if (round % 20 == 10 && nextIndex < indexes.size()) {
      script.push_back(Same(indexes[nextIndex++]));
    } else if (round % 7 == 3) {
      // A transaction of statements that cannot fail, committed or rolled back.
      script.push_back({"START TRANSACTION", "BEGIN"});
      const int count = g.Pick(1, 4);
      for (int i = 0; i < count; ++i) script.push_back(Same(g.SafeStatement()));
      script.push_back(Same(g.Pick(0, 2) == 0 ? "ROLLBACK" : "COMMIT"));
    } else {
      const int count = g.Pick(1, 3);
      for (int i = 0; i < count; ++i) script.push_back(Same(g.Pick(0, 2) == 0 ? g.RiskyStatement() : g.SafeStatement()));
    }
    run(script);
    // A refused statement leaves everything unchanged only while each statement stays within
    // one commit interval.
    ASSERT_LT(LiteCount("t"), 450);
  }
  EXPECT_GE(statements, 300);
  EXPECT_GT(refused, 10);
  EXPECT_GT(rowsCompared, 20000);
  RecordProperty("scripts", scripts);
  RecordProperty("statements", statements);
  RecordProperty("refused", refused);
}

// The unique-index refusals on their own, with what is expected here spelled out.
TEST_F(ChangeDifferential, RefusedUniqueChangesLeaveTablesUnchanged) {
  auto both = [&](const std::string &sql) {
    const Outcome kura = RunKura({Same(sql)});
    const Outcome lite = RunLite({Same(sql)});
    EXPECT_EQ(kura.Failed, lite.Failed) << sql << "\nhere: " << kura.Message << "\nsqlite: " << lite.Message;
    return kura;
  };
  const std::string all = "SELECT * FROM t ORDER BY k";
  both("CREATE TABLE t (k INTEGER NOT NULL, u INTEGER NOT NULL, d INTEGER NOT NULL, PRIMARY KEY (k))");
  for (int k = 1; k <= 50; ++k)
    both("INSERT INTO t VALUES (" + std::to_string(k) + ", " + std::to_string(k * 10) + ", " + std::to_string(k % 7) + ")");
  EXPECT_FALSE(both("CREATE UNIQUE INDEX t_u ON t (u)").Failed);
  const Table before = Kura(all);
  ASSERT_EQ(before.size(), 50u);
  ASSERT_EQ(before, Lite(all));

  // Two matched rows cannot both take one value; the first was already changed when the second
  // was refused, and the statement's own transaction takes it back.
  Outcome out = both("UPDATE t SET u = 5 WHERE k > 40");
  EXPECT_TRUE(out.Failed);
  EXPECT_EQ(out.KuraCode, KURA_KEYVIOL) << out.Message;
  EXPECT_EQ(Kura(all), before);
  EXPECT_EQ(Lite(all), before);
  // A value another row holds.
  out = both("UPDATE t SET u = 100 WHERE k = 3");
  EXPECT_EQ(out.KuraCode, KURA_KEYVIOL) << out.Message;
  out = both("INSERT INTO t VALUES (99, 250, 1)");
  EXPECT_EQ(out.KuraCode, KURA_KEYVIOL) << out.Message;
  // INSERT ... SELECT whose copies collide with the originals: nothing of it stays.
  out = both("INSERT INTO t SELECT k + 1000, u, d FROM t WHERE d = 3");
  EXPECT_EQ(out.KuraCode, KURA_KEYVIOL) << out.Message;
  EXPECT_EQ(Kura(all), before);
  EXPECT_EQ(Lite(all), before);
  // The unique index still works after the refusals: a freed value can be taken.
  EXPECT_FALSE(both("UPDATE t SET u = 7 WHERE k = 1").Failed);
  EXPECT_FALSE(both("UPDATE t SET u = 10 WHERE k = 2").Failed);
  EXPECT_EQ(Kura("SELECT k FROM t WHERE u = 10"), Table{"2"});
  EXPECT_EQ(Kura(all), Lite(all));

  // A unique index over duplicate values: both refuse it, and the table keeps every row and
  // gets no index (the storage side would otherwise keep only the lowest slot of each key).
  const Outcome kura = RunKura({Same("CREATE UNIQUE INDEX t_d ON t (d)")});
  const Outcome lite = RunLite({Same("CREATE UNIQUE INDEX t_d ON t (d)")});
  EXPECT_TRUE(lite.Failed);
  EXPECT_EQ(lite.LiteCode, SQLITE_CONSTRAINT_UNIQUE);
  EXPECT_EQ(kura.KuraCode, KURA_KEYVIOL) << kura.Message;
  EXPECT_NE(kura.Message.find("t_d"), std::string::npos) << kura.Message;
  EXPECT_EQ(Kura(all), Lite(all));
  // No index was left behind: a second record with the same d is still taken, and the same
  // statement succeeds once the values are unique.
  EXPECT_EQ(RunKura({Same("INSERT INTO t VALUES (200, 2000, 3)")}).Rows, 1);
  EXPECT_EQ(RunKura({Same("DELETE FROM t WHERE k > 7")}).Rows, 44);
  EXPECT_FALSE(RunKura({Same("CREATE UNIQUE INDEX t_d ON t (d)")}).Failed);
  EXPECT_EQ(Kura("SELECT COUNT(*) FROM t"), Table{"7"});
  EXPECT_EQ(RunKura({Same("INSERT INTO t VALUES (300, 3000, 3)")}).KuraCode, KURA_KEYVIOL);
}

// A transaction whose first change appends a record, followed by an UPDATE (or DELETE) that
// scans the table: the appended record lies past the end of the file, only in the transaction's
// buffers, and reading ahead over it must not be taken for a damaged file.
TEST_F(ChangeDifferential, ScanAfterInsertInTransaction) {
  const std::vector<Statement> create = {Same("CREATE TABLE t (k INTEGER NOT NULL, a INTEGER, PRIMARY KEY (k))"),
                                         Same("INSERT INTO t VALUES (1, 1)")};
  ASSERT_FALSE(RunKura(create).Failed);
  ASSERT_FALSE(RunLite(create).Failed);
  const std::vector<Statement> script = {{"START TRANSACTION", "BEGIN"}, Same("INSERT INTO t VALUES (500, 1)"),
                                         Same("UPDATE t SET a = a + 5 WHERE k = 1"), Same("COMMIT")};
  const Outcome kura = RunKura(script);
  const Outcome lite = RunLite(script);
  EXPECT_FALSE(kura.Failed) << kura.Message;
  EXPECT_FALSE(lite.Failed) << lite.Message;
  EXPECT_EQ(kura.Rows, 2);
  EXPECT_EQ(Kura("SELECT * FROM t ORDER BY k"), (Table{"1|6", "500|1"}));
  EXPECT_EQ(Lite("SELECT * FROM t ORDER BY k"), (Table{"1|6", "500|1"}));
}

}  // namespace
}  // namespace kura::test
