// Preparation: every check of a SELECT fails at prepare time with its exact message, and the
// choice between a live result and a result table.
#include "SelectTestSupport.h"

namespace kura::test {
namespace {

using T = EngineFieldType;

class PrepareTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    MakeTable("t", {Field("A", T::Integer), Field("S", T::String, 20), Field("M", T::Blob, 0, 0, FieldSubType::Memo),
                    Field("F", T::Float)},
              {{"1", "x", std::nullopt, "1.5"}, {"2", "y", std::nullopt, "2.5"}},
              {{"ByA", {"A"}}, {"ByADesc", {"A"}, true}, {"ByS", {"S"}, false, true}});
    MakeTable("u", {Field("A", T::Integer), Field("B", T::Integer)}, {{"1", "10"}});
    MakeTable("v", {Field("C", T::Integer)}, {{"1"}});
  }
};

struct MessageCase {
  const char *Sql;
  const char *Message;
};

TEST_F(PrepareTest, EveryCheckGivesItsMessage) {
  const MessageCase cases[] = {
      {"select * as x from t",
       "Invalid use of column correlation name 'x' for * specified in source columns"},
      {"select Nope from t",
       "Invalid column name 'Nope' or table correlation name '' specified in source columns"},
      {"select z.A from t",
       "Invalid column name 'A' or table correlation name 'z' specified in source columns"},
      {"select z.* from t", "Invalid column name '*' or table correlation name 'z' specified in source columns"},
      {"select NULL from t",
       "Column expression cannot be a NULL constant, use the CAST() function to specify a data type"},
      {"select A, count(*) from t",
       "Invalid use of aggregate function(s), the necessary GROUP BY clause is missing"},
      {"select A + 1, sum(A) from t",
       "Invalid use of aggregate function(s), the necessary GROUP BY clause is missing"},
      {"select A from t having A > 1", "A GROUP BY clause must exist in order to use the HAVING clause"},
      {"select A from t order by 2", "Invalid column number '2' specified in ORDER BY clause"},
      {"select A from t order by Q", "Invalid column name 'Q' specified in ORDER BY clause"},
      {"select A from t group by 3", "Invalid column number '3' specified in GROUP BY clause"},
      {"select A from t group by Q", "Invalid column name 'Q' specified in GROUP BY clause"},
      {"select M from t group by M", "Invalid BLOB column 'M' specified in GROUP BY clause"},
      {"select distinct M from t", "Invalid BLOB column 'M' specified in DISTINCT clause"},
      {"select A from t where A + 1", "WHERE or JOIN clause must be a boolean expression"},
      {"select t.A from t inner join u on t.A + 1", "WHERE or JOIN clause must be a boolean expression"},
      {"select A from t group by A having sum(A)", "HAVING clause must be a boolean expression"},
      {"select A from t where z.A = 1",
       "Table correlation name 'z' referenced in WHERE clause is not defined in the FROM clause"},
      {"select t.A from t, u, v where t.A + u.A = v.C",
       "The join condition cannot contain multiple table correlation names in either the left or right "
       "operand in WHERE or JOIN clause"},
      {"select A from t union select A, B from u",
       "The number of columns  in the UNION query must match the  number of columns in the master query"},
      {"select A from t union all select A, B from u",
       "The number of columns  in the UNION ALL query must match the  number of columns in the master query"},
      {"select A from t union select S from t",
       "Type mismatch between column expression 'S' in the UNION query and column expression 'A' in the master query"},
      {"insert into t (A) values (1)", "INSERT statements are not supported yet"},
      {"select t.A from t inner join u on t.A = u.A inner join v on v.C = t.A and v.C = u.B",
       "Internal join error - table correlation name \"v\" is target of multiple join conditions in WHERE or "
       "JOIN clause"},
      {"select t.A from t inner join u on t.A = u.A right outer join v on v.C = u.B",
       "Internal join error - table correlation name \"t\" cannot be the target of a RIGHT OUTER JOIN"},
      {"select t.A from t left outer join u on u.A = v.C inner join v on v.C = t.A",
       "Internal join error - JOIN clause expression for table \"u\" is invalid"},
      {"select lastautoinc('nothing') from t", "Illegal use of LASTAUTOINC() or IDENT_CURRENT() functions"},
  };
  for (const MessageCase &c : cases) EXPECT_EQ(PrepareError(c.Sql), c.Message) << c.Sql;
}

TEST_F(PrepareTest, ColumnLimits) {
  std::string many = "select ";
  for (int i = 0; i < 1025; ++i) many += (i ? ", A" : "A");
  EXPECT_EQ(PrepareError(many + " from t"), "Maximum number of columns (1024) in result set exceeded");
  std::string order = "select A from t order by ";
  for (int i = 0; i < 1025; ++i) order += (i ? ", A" : "A");
  EXPECT_EQ(PrepareError(order), "Maximum number of columns (1024) in ORDER BY clause exceeded");
  std::string group = "select A from t group by ";
  for (int i = 0; i < 1025; ++i) group += (i ? ", A" : "A");
  EXPECT_EQ(PrepareError(group), "Maximum number of columns (1024) in GROUP BY clause exceeded");
}

TEST_F(PrepareTest, HavingRejectsAllColumnsSymbol) {
  EXPECT_EQ(PrepareError("select A from t group by A having count(*) > 1"),
            "* (all columns) symbol is not allowed in HAVING clause");
  EXPECT_EQ(PrepareError("select A from t group by A having count(A) > 1"), "(no error)");
}

TEST_F(PrepareTest, AggregatesOverConstantsNeedNoGroupBy) {
  EXPECT_EQ(PrepareError("select 1 + 2, count(*) from t"), "(no error)");
  EXPECT_EQ(PrepareError("select A from t where A in (select count(*) from u)"), "(no error)");
}

TEST_F(PrepareTest, CalculatedStringColumnsAreAtMost250Wide) {
  auto q = Query("select S || S || S || S || S || S || S || S || S || S || S || S || S as Long from t");
  EXPECT_EQ(q->Column(0).Type.Size, 251u);
}

TEST_F(PrepareTest, NamesCompareWithoutCase) {
  EXPECT_EQ(PrepareError("select a, T.s from T where t.A > 0 order by S"), "(no error)");
}

TEST_F(PrepareTest, FailedPrepareLeavesNothingOpen) {
  TSelectQuery q(DefaultSession(), DbPath());
  EXPECT_THROW(q.Prepare("select Nope from t"), EKuraEngineError);
  EXPECT_FALSE(q.Prepared());
  // The source table was closed again: it can be replaced.
  EXPECT_NO_THROW(FDirectory->DeleteTable("v", false));
}

struct LiveCase {
  const char *Sql;
  bool Live;
};

TEST_F(PrepareTest, LiveOnlyWhenTheTableServesTheQuery) {
  const LiveCase cases[] = {
      {"select * from t", true},
      {"select * from t where A > 0", true},
      {"select A, S from t order by A", true},
      {"select * from t order by A desc", true},
      {"select * from t order by S nocase", true},
      {"select * from t order by S", false},  // the index on S is case-insensitive
      {"select * from t order by F", false},  // no index on F
      {"select * from t order by A, S", false},
      {"select A * 2 from t", true},
      {"select A * 2 as D from t order by D", false},
      {"select distinct A from t", false},
      {"select A from t top 1", false},
      {"select A from t group by A", false},
      {"select count(*) from t", false},
      {"select t.A from t, u where t.A = u.A", false},
      {"select A from t union select A from u", false},
      {"select A from t where A in (select A from u)", false},
      {"select * into w from t", false},
  };
  for (const LiveCase &c : cases) {
    auto q = Query(c.Sql, true);
    EXPECT_EQ(q->Live(), c.Live) << c.Sql;
    EXPECT_EQ(q->Statement().ResultLive(), c.Live) << c.Sql;
  }
  auto notRequested = Query("select * from t", false);
  EXPECT_FALSE(notRequested->Live());
}

}  // namespace
}  // namespace kura::test

namespace kura::test {
namespace {

TEST_F(SelectTest, EncryptedSourcesNeedTheirPassword) {
  DefaultSession().AddPassword("kagi");
  {
    TDataFileDefinition def;
    def.Fields = {Field("X", EngineFieldType::Integer)};
    def.Encrypted = true;
    def.Password = "kagi";
    TDataTable *table = FDirectory->CreateTable("secret", def, false);
    TDataFile &file = table->DataFile();
    TRecord *r = file.AllocateRecord(true);
    SetIntegerField(file.Field(1), r->Image.data(), 42);
    file.MarkRecordDirty(r);
    file.ReleaseRecord(r);
    FDirectory->CloseTable(table);
  }
  EXPECT_EQ(Run("select X from secret"), (R{{"42"}}));
  DefaultSession().RemoveAllPasswords();
  try {
    Query("select X from secret");
    ADD_FAILURE() << "the table was read without its password";
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_NOTSUFFTABLERIGHTS);
  }
  int asked = 0;
  DefaultSession().PasswordCallback = [&]() {
    ++asked;
    DefaultSession().AddPassword("kagi");
    return true;
  };
  EXPECT_EQ(Run("select X from secret"), (R{{"42"}}));
  EXPECT_EQ(asked, 1);
  DefaultSession().PasswordCallback = nullptr;
}

}  // namespace
}  // namespace kura::test
