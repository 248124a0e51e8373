// Generated SELECT statements run on the same random data here and in SQLite, with the
// results compared. The SQLite side is written so that it means what the statement means
// here: comparisons are two-valued (a comparison with NULL is false, except that NULL <> value
// is true and a NULL string compares as the empty string), NULL equals NULL in join
// conditions and IN ( SELECT ... ), and an aggregate-only query
// without qualifying rows yields NULL in every column.
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "SelectTestSupport.h"

namespace kura::test {
namespace {

using T = EngineFieldType;

struct Generated {
  std::string Kura, Lite;
  bool Ordered = false;       // the ORDER BY covers every output column
  size_t TopNoOrder = 0;      // TOP without ORDER BY: only the row count is known
  bool CheckOnlyCount = false;
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : R(seed) {}

  int Pick(int n) { return static_cast<int>(R() % static_cast<uint32_t>(n)); }
  std::string Int() { return std::to_string(Pick(9) - 3); }

  // One atom on columns of the given correlation name with two-valued meaning.
  void Atom(const std::string &t, bool withS, bool withF, std::string &k, std::string &l) {
    const bool third = t == "t3";
    const std::string col = t + (Pick(2) ? (third ? ".c" : ".a") : (third ? ".d" : ".b"));
    static const char *ops[] = {"=", "<>", "<", ">", "<=", ">="};
    std::string atom, lite;
    switch (Pick(withS ? 7 : 5)) {
      case 0:
      case 1: {
        const std::string op = ops[Pick(6)], value = Int();
        atom = col + " " + op + " " + value;
        // NULL <> value is true here.
        if (op == "<>") lite = "(" + col + " is not " + value + ")";
        break;
      }
      case 2: {
        std::string lo = Int(), hi = Int();
        atom = col + " between " + lo + " and " + hi;
        break;
      }
      case 3: atom = col + " in (" + Int() + ", " + Int() + ", " + Int() + ")"; break;
      case 4: atom = col + (Pick(2) ? " is null" : " is not null"); break;
      case 5: {
        static const char *patterns[] = {"a%", "%b", "%a%", "b_", "c"};
        atom = t + ".s like '" + patterns[Pick(5)] + "'";
        break;
      }
      default: {
        // A NULL string compares as the empty string.
        const std::string op = ops[Pick(6)], word = Word();
        atom = t + ".s " + op + " '" + word + "'";
        lite = "(coalesce(" + t + ".s, '') " + op + " '" + word + "')";
        break;
      }
    }
    if (withF && Pick(4) == 0) {
      atom = t + ".f > " + std::to_string(Pick(8) - 2) + ".5";
      lite.clear();
    }
    k = "(" + atom + ")";
    l = lite.empty() ? "coalesce((" + atom + "), 0)" : lite;
  }

  std::string Word() {
    static const char *words[] = {"ab", "b", "ba", "c", "abc", "d"};
    return words[Pick(6)];
  }

  // A condition tree of up to `depth` levels.
  void Condition(const std::string &t, int depth, bool withS, std::string &k, std::string &l) {
    if (depth == 0 || Pick(3) == 0) {
      Atom(t, withS, t == "t1", k, l);
      return;
    }
    std::string k1, l1, k2, l2;
    switch (Pick(3)) {
      case 0:
        Condition(t, depth - 1, withS, k1, l1);
        k = "not (" + k1 + ")";
        l = "(not " + l1 + ")";
        return;
      default: {
        const char *op = Pick(2) ? " and " : " or ";
        Condition(t, depth - 1, withS, k1, l1);
        Condition(t, depth - 1, withS, k2, l2);
        k = "(" + k1 + op + k2 + ")";
        l = "(" + l1 + op + l2 + ")";
      }
    }
  }

  Generated Next() {
    Generated g;
    std::string k, l;
    switch (Pick(9)) {
      case 0:
      case 1: {  // single table, projection, WHERE, ORDER BY, TOP
        Condition("t1", 3, true, k, l);
        std::string cols = "t1.a, t1.b, t1.s, t1.a + t1.b";
        std::string where = Pick(5) ? " where " : "";
        g.Kura = "select " + cols + " from t1" + (where.empty() ? "" : where + k);
        g.Lite = "select " + cols + " from t1" + (where.empty() ? "" : where + l);
        if (Pick(2)) {
          std::string order = std::string(" order by ") + (Pick(2) ? "2 desc, 1, 3, 4" : "3, 1 desc, 2, 4");
          g.Kura += order;
          g.Lite += order;
          g.Ordered = true;
          if (Pick(2)) {
            std::string n = std::to_string(Pick(6) + 1);
            g.Kura += " top " + n;
            g.Lite += " limit " + n;
          }
        } else if (Pick(4) == 0) {
          g.TopNoOrder = Pick(5) + 1;
          g.Kura += " top " + std::to_string(g.TopNoOrder);
        }
        break;
      }
      case 2: {  // DISTINCT [TOP]
        Condition("t1", 2, true, k, l);
        const bool one = Pick(2);
        const std::string cols = one ? "t1.a" : "t1.s, t1.b";
        g.Kura = "select distinct " + cols + " from t1 where " + k;
        g.Lite = "select distinct " + cols + " from t1 where " + l + " order by " + (one ? "1" : "1, 2");
        g.Ordered = true;
        if (Pick(2)) {
          std::string n = std::to_string(Pick(4) + 1);
          g.Kura += " top " + n;
          g.Lite += " limit " + n;
        }
        break;
      }
      case 3:
      case 4: {  // GROUP BY with aggregates, HAVING
        Condition("t1", 2, true, k, l);
        const std::string key = Pick(2) ? "t1.a" : "t1.s";
        std::string aggK = key + ", count(*), count(t1.b), sum(t1.b), min(t1.b), max(t1.f), avg(t1.b)";
        std::string aggL = key + ", count(*), count(t1.b), sum(t1.b), min(t1.b), max(t1.f), avg(t1.b)";
        g.Kura = "select " + aggK + " from t1 where " + k + " group by " + key;
        g.Lite = "select " + aggL + " from t1 where " + l + " group by " + key;
        if (Pick(2)) {
          std::string n = Int();
          g.Kura += " having count(t1.b) > " + n.substr(n[0] == '-' ? 1 : 0);
          g.Lite += " having count(t1.b) > " + n.substr(n[0] == '-' ? 1 : 0);
        }
        if (Pick(2)) {
          g.Kura += " order by 2 desc, 1";
          g.Lite += " order by 2 desc, 1";
        }
        break;
      }
      case 5: {  // aggregate-only
        Condition("t1", 2, true, k, l);
        g.Kura = "select count(*), sum(t1.a), min(t1.f), max(t1.b), avg(t1.a), count(t1.s) from t1 where " + k;
        g.Lite =
            "select case when count(*) = 0 then null else count(*) end, sum(t1.a), min(t1.f), max(t1.b), "
            "avg(t1.a), "
            "case when count(*) = 0 then null else count(t1.s) end from t1 where " + l;
        break;
      }
      case 6: {  // two-way joins
        Condition("t1", 2, false, k, l);
        static const char *kinds[] = {"inner", "left outer", "right outer"};
        std::string kind = kinds[Pick(3)];
        std::string liteKind = kind == "inner" ? "inner" : (kind == "left outer" ? "left" : "right");
        g.Kura = "select t1.a, t1.b, t2.c, t2.s from t1 " + kind + " join t2 on t1.a = t2.a";
        g.Lite = "select t1.a, t1.b, t2.c, t2.s from t1 " + liteKind + " join t2 on t1.a is t2.a";
        if (kind == "inner" && Pick(2)) {
          g.Kura += " where " + k;
          g.Lite += " where " + l;
        }
        break;
      }
      case 7: {  // three-way join through WHERE
        Condition("t3", 1, false, k, l);
        g.Kura = "select t1.a, t2.c, t3.d from t1, t2, t3 where t1.a = t2.a and t2.c = t3.c and " + k;
        g.Lite = "select t1.a, t2.c, t3.d from t1, t2, t3 where t1.a is t2.a and t2.c is t3.c and " + l;
        break;
      }
      default: {  // UNION and IN ( SELECT ... )
        std::string k2, l2;
        Condition("t1", 2, false, k, l);
        Condition("t3", 1, false, k2, l2);
        if (Pick(2)) {
          const char *u = Pick(2) ? " union " : " union all ";
          g.Kura = "select t1.a, t1.b from t1 where " + k + u + "select t3.c, t3.d from t3 where " + k2;
          g.Lite = "select t1.a, t1.b from t1 where " + l + u + "select t3.c, t3.d from t3 where " + l2;
        } else {
          const bool negate = Pick(2);
          g.Kura = std::string("select t1.a, t1.b from t1 where ") + (negate ? "not " : "") +
                   "(t1.b in (select t3.d from t3 where " + k2 + "))";
          // The sub-select is run with "value = column" added, and NULL = NULL holds.
          g.Lite = std::string("select t1.a, t1.b from t1 where ") + (negate ? "not " : "") +
                   "exists (select 1 from t3 where " + l2 + " and t3.d is t1.b)";
        }
        break;
      }
    }
    return g;
  }

  std::mt19937 R;
};

class DifferentialTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    ASSERT_EQ(sqlite3_open(":memory:", &FLite), SQLITE_OK);
    std::mt19937 random(20261209);
    auto cell = [&](std::function<std::string()> make) -> Cell {
      if (random() % 6 == 0) return std::nullopt;
      return make();
    };
    auto small = [&]() { return std::to_string(static_cast<int>(random() % 9) - 3); };
    auto word = [&]() {
      static const char *words[] = {"ab", "b", "ba", "c", "abc", "d"};
      return std::string(words[random() % 6]);
    };
    auto quarter = [&]() { return std::to_string((static_cast<int>(random() % 33) - 8) / 4.0); };
    Rows t1, t2, t3;
    for (int i = 0; i < 40; ++i) t1.push_back({cell(small), cell(small), cell(word), cell(quarter)});
    for (int i = 0; i < 25; ++i) t2.push_back({cell(small), cell(small), cell(word)});
    for (int i = 0; i < 15; ++i) t3.push_back({cell(small), cell(small)});
    MakeTable("t1", {Field("a", T::Integer), Field("b", T::Integer), Field("s", T::String, 6), Field("f", T::Float)},
              t1);
    MakeTable("t2", {Field("a", T::Integer), Field("c", T::Integer), Field("s", T::String, 6)}, t2);
    MakeTable("t3", {Field("c", T::Integer), Field("d", T::Integer)}, t3);
    LiteTable("t1", "a integer, b integer, s text, f real", t1);
    LiteTable("t2", "a integer, c integer, s text", t2);
    LiteTable("t3", "c integer, d integer", t3);
  }
  void TearDown() override {
    sqlite3_close(FLite);
    SelectTest::TearDown();
  }

  void LiteTable(const std::string &name, const std::string &columns, const Rows &rows) {
    Exec("create table " + name + " (" + columns + ")");
    for (const auto &row : rows) {
      std::string values;
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) values += ", ";
        if (!row[i]) values += "null";
        else if (std::isdigit(static_cast<unsigned char>((*row[i])[0])) || (*row[i])[0] == '-') values += *row[i];
        else values += "'" + *row[i] + "'";
      }
      Exec("insert into " + name + " values (" + values + ")");
    }
  }
  void Exec(const std::string &sql) {
    char *error = nullptr;
    ASSERT_EQ(sqlite3_exec(FLite, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << sql << ": " << error;
  }

  static std::string Canonical(const std::string &text) {
    if (text == "NULL") return text;
    char *end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end && *end == '\0' && end != text.c_str()) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.9g", std::fabs(v) < 1e-12 ? 0.0 : v);
      return buffer;
    }
    return text;
  }

  R LiteRows(const std::string &sql) {
    sqlite3_stmt *statement = nullptr;
    R rows;
    EXPECT_EQ(sqlite3_prepare_v2(FLite, sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(FLite);
    if (!statement) return rows;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::vector<std::string> row;
      for (int c = 0; c < sqlite3_column_count(statement); ++c) {
        if (sqlite3_column_type(statement, c) == SQLITE_NULL) row.push_back("NULL");
        else row.push_back(Canonical(reinterpret_cast<const char *>(sqlite3_column_text(statement, c))));
      }
      rows.push_back(row);
    }
    sqlite3_finalize(statement);
    return rows;
  }

  sqlite3 *FLite = nullptr;
};

TEST_F(DifferentialTest, GeneratedStatementsAgreeWithSqlite) {
  constexpr int kStatements = 3000;
  Generator generator(7);
  int ran = 0, withRows = 0;
  for (int i = 0; i < kStatements; ++i) {
    Generated g = generator.Next();
    R kura;
    try {
      kura = Run(g.Kura);
    } catch (const std::exception &e) {
      ADD_FAILURE() << g.Kura << "\n" << e.what();
      break;
    }
    for (auto &row : kura)
      for (auto &c : row) c = Canonical(c);
    R lite = LiteRows(g.Lite);
    ++ran;
    if (!lite.empty()) ++withRows;
    if (g.TopNoOrder) {
      EXPECT_EQ(kura.size(), std::min(lite.size(), g.TopNoOrder)) << g.Kura;
      if (HasFailure()) break;
      continue;
    }
    if (g.Ordered) {
      EXPECT_EQ(kura, lite) << g.Kura << "\n" << g.Lite;
      if (HasFailure()) break;
      continue;
    }
    std::sort(kura.begin(), kura.end());
    std::sort(lite.begin(), lite.end());
    EXPECT_EQ(kura, lite) << g.Kura << "\n" << g.Lite;
    if (HasFailure()) break;
  }
  EXPECT_EQ(ran, kStatements);
  // The data and conditions are such that most statements return rows.
  EXPECT_GT(withRows, kStatements / 2);
}

}  // namespace
}  // namespace kura::test

namespace kura::test {
namespace {

// Statements cut and spliced at random either run or fail with an engine error; nothing else
// escapes and nothing is left in the private directory.
TEST_F(DifferentialTest, MangledStatementsFailCleanly) {
  Generator generator(11);
  std::mt19937 random(5);
  int failed = 0, ran = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string a = generator.Next().Kura, b = generator.Next().Kura;
    std::string text;
    switch (random() % 3) {
      case 0: text = a.substr(0, random() % (a.size() + 1)); break;
      case 1: text = a.substr(0, random() % (a.size() + 1)) + b.substr(random() % (b.size() + 1)); break;
      default: {
        text = a;
        const size_t at = random() % text.size();
        text.erase(at, std::min<size_t>(random() % 8, text.size() - at));
      }
    }
    try {
      auto q = Query(text);
      q->Execute();
      (void)q->RowCount();
      ++ran;
    } catch (const EKuraEngineError &) {
      ++failed;
    } catch (const std::exception &e) {
      ADD_FAILURE() << text << "\n" << e.what();
      break;
    }
  }
  EXPECT_GT(failed, 100);
  EXPECT_GT(ran, 10);
  EXPECT_TRUE(PrivateFiles().empty());
}

}  // namespace
}  // namespace kura::test
