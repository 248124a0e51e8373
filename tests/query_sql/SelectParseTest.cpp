// Accepted SELECT statements and what they are parsed into.
#include "SqlTestSupport.h"
#include "engine/locale/Collation.h"

using namespace kura;
using namespace kura::test;

namespace {

struct ColumnCase {
  const char *Text;  // a select list
  const char *Display;
  const char *Column;
  const char *Correlation;
  TAggregateKind Aggregate;
  bool Calculated;
};

TEST(SelectParseTest, SelectListColumnsTheirNamesAndKinds) {
  const ColumnCase cases[] = {
      {"a", "a", "a", "", TAggregateKind::None, false},
      {"t.a", "a", "a", "t", TAggregateKind::None, false},
      {"[first name]", "first name", "first name", "", TAggregateKind::None, false},
      {"a AS x", "x", "a", "", TAggregateKind::None, false},
      {"a x", "x", "a", "", TAggregateKind::None, false},
      {"a AS 'quoted alias'", "quoted alias", "a", "", TAggregateKind::None, false},
      {"a AS t.x", "x", "a", "", TAggregateKind::None, false},
      {"a + 1", "a + 1", "", "", TAggregateKind::None, true},
      {"a+1", "a+1", "", "", TAggregateKind::None, true},
      {"UPPER( s )", "UPPER( s )", "", "", TAggregateKind::None, true},
      {"'const'", "'const'", "", "", TAggregateKind::None, true},
      {"SUM(a)", "SUM(a)", "a", "", TAggregateKind::Sum, false},
      {"RUNSUM(t.a)", "RUNSUM(t.a)", "a", "t", TAggregateKind::RunSum, false},
      {"MIN(a)", "MIN(a)", "a", "", TAggregateKind::Min, false},
      {"MAX(a) AS top", "top", "a", "", TAggregateKind::Max, false},
      {"AVG(a)", "AVG(a)", "a", "", TAggregateKind::Avg, false},
      {"COUNT(a)", "COUNT(a)", "a", "", TAggregateKind::Count, false},
      {"COUNT(*)", "COUNT(*)", "", "", TAggregateKind::Count, false},
      {"SUM(a * 2)", "SUM(a * 2)", "", "", TAggregateKind::Sum, false},
  };
  for (const ColumnCase &c : cases) {
    SCOPED_TRACE(c.Text);
    auto s = Prepare(std::string("SELECT ") + c.Text + " FROM t");
    ASSERT_EQ(s->Master()->Fields.size(), 1u);
    const TResultField &f = s->Master()->Fields[0];
    EXPECT_EQ(f.DisplayName(), c.Display);
    EXPECT_EQ(f.ColumnName, c.Column);
    EXPECT_EQ(f.CorrelationName, c.Correlation);
    EXPECT_EQ(f.Aggregate, c.Aggregate);
    EXPECT_EQ(f.Calculated, c.Calculated);
    EXPECT_EQ(f.Position, 1);
    ASSERT_TRUE(f.Expression);
  }
}

TEST(SelectParseTest, ExpressionTextLosesLineBreaks) {
  auto s = Prepare("SELECT a +\r\n  b,\n  c\n FROM t");
  const auto &f = s->Master()->Fields;
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].ExpressionText, "a +  b");
  EXPECT_EQ(f[0].DisplayName(), "a +  b");
  EXPECT_EQ(f[1].ExpressionText, "c");
  EXPECT_EQ(f[1].Position, 2);
}

TEST(SelectParseTest, AllColumnsAndCountStar) {
  auto star = Prepare("SELECT * FROM t");
  EXPECT_TRUE(star->SelectsAllColumns());
  EXPECT_TRUE(star->Master()->Fields[0].AllColumns);

  auto corr = Prepare("SELECT t.* FROM t");
  EXPECT_FALSE(corr->SelectsAllColumns());
  EXPECT_TRUE(corr->Master()->Fields[0].AllColumns);
  EXPECT_EQ(corr->Master()->Fields[0].CorrelationName, "t");

  auto two = Prepare("SELECT *, a FROM t");
  EXPECT_FALSE(two->SelectsAllColumns());

  auto count = Prepare("SELECT COUNT(*) FROM t");
  EXPECT_TRUE(count->Master()->Fields[0].CountStar);
  EXPECT_FALSE(count->Master()->Fields[0].AllColumns);
}

TEST(SelectParseTest, AvgNeedsAHiddenCountColumn) {
  EXPECT_TRUE(Prepare("SELECT AVG(a) FROM t")->Master()->NeedsAvgCount);
  EXPECT_FALSE(Prepare("SELECT SUM(a) FROM t")->Master()->NeedsAvgCount);
}

TEST(SelectParseTest, AllAndDistinct) {
  EXPECT_TRUE(Prepare("SELECT DISTINCT a FROM t")->Master()->Distinct);
  EXPECT_TRUE(Prepare("SELECT ALL DISTINCT a FROM t")->Master()->Distinct);
  EXPECT_FALSE(Prepare("SELECT ALL a FROM t")->Master()->Distinct);
}

TEST(SelectParseTest, IntoTargets) {
  {
    auto s = Prepare("SELECT a INTO MEMORY result FROM t");
    const TIntoTarget &i = s->Master()->Into;
    EXPECT_TRUE(i.Given);
    EXPECT_TRUE(i.InMemory);
    EXPECT_EQ(i.TableName, "result");
  }
  {
    auto s = Prepare("SELECT a INTO MEMORY FROM t");
    EXPECT_TRUE(s->Master()->Into.InMemory);
    EXPECT_EQ(s->Master()->Into.TableName, "");
    EXPECT_EQ(s->Master()->Sources[0].TableName, "t");
  }
  {
    auto s = Prepare("SELECT a INTO kept FROM t");
    EXPECT_FALSE(s->Master()->Into.InMemory);
    EXPECT_EQ(s->Master()->Into.TableName, "kept");
  }
  {
    auto s = Prepare("SELECT a INTO other\\kept FROM t");
    EXPECT_EQ(s->Master()->Into.TableName, "other\\kept");
    EXPECT_EQ(s->Master()->Into.Database, "other");
  }
  EXPECT_FALSE(Prepare("SELECT a FROM t")->Master()->Into.Given);
}

TEST(SelectParseTest, SourcesWithCorrelationNamesAndPositions) {
  auto s = Prepare("SELECT * FROM mokuji m, figure AS f, MEMORY tmp, other\\names n, 'dir/sub/tab.dat'");
  const auto &src = s->Master()->Sources;
  ASSERT_EQ(src.size(), 5u);
  EXPECT_EQ(src[0].TableName, "mokuji");
  EXPECT_EQ(src[0].CorrelationName, "m");
  EXPECT_EQ(src[0].Position, 1);
  EXPECT_EQ(src[1].CorrelationName, "f");
  EXPECT_EQ(src[1].Position, 2);
  EXPECT_TRUE(src[2].InMemory);
  EXPECT_EQ(src[2].TableName, "tmp");
  EXPECT_EQ(src[2].CorrelationName, "tmp");
  EXPECT_EQ(src[3].Database, "other");
  EXPECT_EQ(src[3].TableName, "names");
  EXPECT_EQ(src[3].WrittenName, "other\\names");
  EXPECT_EQ(src[3].CorrelationName, "n");
  EXPECT_TRUE(src[4].IsPath());
  EXPECT_EQ(src[4].Directory, "dir/sub");
  EXPECT_EQ(src[4].TableName, "tab");
  EXPECT_EQ(src[4].CorrelationName, "tab");
  EXPECT_EQ(src[4].Position, 5);
  EXPECT_TRUE(s->Master()->IsJoinQuery);

  auto win = Prepare("SELECT * FROM \"C:\\Data\\Kyozai\\Mokuji.DAT\"");
  EXPECT_EQ(win->Master()->Sources[0].Directory, "C:\\Data\\Kyozai");
  EXPECT_EQ(win->Master()->Sources[0].TableName, "Mokuji");
  EXPECT_FALSE(win->Master()->IsJoinQuery);
  EXPECT_EQ(win->Master()->FindSource("mokuji"), &win->Master()->Sources[0]);
}

TEST(SelectParseTest, WordsThatEndASourceAreNotCorrelationNames) {
  const char *const tails[] = {"WHERE a = 1", "ORDER BY a", "GROUP BY a", "HAVING a > 1",
                               "TOP 3", "WITH LOCKS", "ENCRYPTED WITH 'pw'",
                               "LANGUAGE 'ANSI Standard'", "NOJOINOPTIMIZE",
                               "UNION SELECT a FROM u", "JOIN u ON t.a = u.a",
                               "LEFT JOIN u ON t.a = u.a", "INNER JOIN u ON t.a = u.a",
                               "RIGHT OUTER JOIN u ON t.a = u.a"};
  for (const char *tail : tails) {
    SCOPED_TRACE(tail);
    auto s = Prepare(std::string("SELECT a FROM t ") + tail);
    EXPECT_EQ(s->Master()->Sources[0].CorrelationName, "t");
  }
  // COMMIT and NOAUTOINC only end a source where a commit clause may follow.
  EXPECT_EQ(Prepare("SELECT a FROM t commit")->Master()->Sources[0].CorrelationName, "commit");
}

TEST(SelectParseTest, JoinKindsConditionsAndPositions) {
  auto s = Prepare(
      "SELECT * FROM a JOIN b ON a.x = b.x INNER JOIN c cc ON b.y = cc.y "
      "LEFT OUTER JOIN d ON d.z = a.z LEFT JOIN e ON e.z = a.z RIGHT JOIN f AS ff ON ff.w = a.w "
      "RIGHT OUTER JOIN g ON g.v = ?");
  const TDataQuery &q = *s->Master();
  ASSERT_EQ(q.Sources.size(), 7u);
  ASSERT_EQ(q.Joins.size(), 6u);
  const TJoinKind kinds[] = {TJoinKind::Inner,     TJoinKind::Inner,      TJoinKind::LeftOuter,
                             TJoinKind::LeftOuter, TJoinKind::RightOuter, TJoinKind::RightOuter};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(q.Joins[i].Kind, kinds[i]);
    EXPECT_EQ(q.Joins[i].OuterPosition, 1);
    EXPECT_EQ(q.Joins[i].JoinedPosition, int(i) + 2);
    ASSERT_TRUE(q.Joins[i].Condition);
    EXPECT_EQ(q.Joins[i].Condition->Code, TExpCode::Equal);
  }
  EXPECT_EQ(q.Sources[2].CorrelationName, "cc");
  EXPECT_EQ(q.Sources[5].CorrelationName, "ff");
  EXPECT_TRUE(q.IsJoinQuery);
  EXPECT_EQ(s->ParameterCount(), 1u);
}

TEST(SelectParseTest, JoinsInParentheses) {
  auto s = Prepare("SELECT * FROM ((a JOIN b ON a.x = b.x) LEFT JOIN c ON c.x = b.x), d");
  const TDataQuery &q = *s->Master();
  ASSERT_EQ(q.Sources.size(), 4u);
  ASSERT_EQ(q.Joins.size(), 2u);
  EXPECT_EQ(q.Joins[1].Kind, TJoinKind::LeftOuter);
  EXPECT_EQ(q.Sources[3].Position, 4);

  auto p = Prepare("(SELECT * FROM (a JOIN b ON a.x = b.x))");
  EXPECT_TRUE(p->Master()->BeganWithParenthesis);
  EXPECT_EQ(p->Master()->Joins.size(), 1u);
}

TEST(SelectParseTest, WhereGroupByHavingOrderBy) {
  auto s = Prepare(
      "SELECT t.a, COUNT(b) FROM t WHERE a LIKE 'x%' AND b BETWEEN 1 AND 5 "
      "GROUP BY t.a, 2 HAVING COUNT(b) > 1 ORDER BY 2 DESC, t.a ASCENDING, c DESCENDING, d ASC NOCASE");
  const TDataQuery &q = *s->Master();
  ASSERT_TRUE(q.Where);
  EXPECT_EQ(q.Where->Code, TExpCode::And);
  ASSERT_EQ(q.GroupBy.size(), 2u);
  EXPECT_EQ(q.GroupBy[0].CorrelationName, "t");
  EXPECT_EQ(q.GroupBy[0].ColumnName, "a");
  EXPECT_EQ(q.GroupBy[1].ColumnNumber, 2);
  EXPECT_TRUE(q.GroupBy[1].ByNumber);
  EXPECT_EQ(q.GroupBy[1].ColumnName, "2");  // the digits as written, for messages
  ASSERT_TRUE(q.Having);
  EXPECT_EQ(q.Having->Code, TExpCode::Greater);
  ASSERT_EQ(q.OrderBy.size(), 4u);
  EXPECT_EQ(q.OrderBy[0].ColumnNumber, 2);
  EXPECT_TRUE(q.OrderBy[0].Descending);
  EXPECT_EQ(q.OrderBy[1].CorrelationName, "t");
  EXPECT_FALSE(q.OrderBy[1].Descending);
  EXPECT_TRUE(q.OrderBy[2].Descending);
  EXPECT_FALSE(q.OrderBy[3].Descending);
  EXPECT_TRUE(q.OrderByNoCase);
  EXPECT_TRUE(q.HasGroupBy());
  EXPECT_FALSE(Prepare("SELECT a FROM t ORDER BY a")->Master()->OrderByNoCase);
}

TEST(SelectParseTest, OptionsInTheirOrder) {
  auto s = Prepare(
      "SELECT a FROM t TOP 10 WITH LOCKS LANGUAGE 'german (standard)' SORT 'German Phone Book Order' "
      "ENCRYPTED WITH 'secret' NOJOINOPTIMIZE");
  const TDataQuery &q = *s->Master();
  EXPECT_EQ(q.TopCount, 10);
  EXPECT_TRUE(q.WithLocks);
  EXPECT_TRUE(q.Language.LanguageGiven);
  uint16_t german = 0;
  ASSERT_TRUE(LanguageIdFromName("German (Standard)", german));
  EXPECT_EQ(q.Language.LanguageId, german);
  EXPECT_TRUE(q.Language.SortGiven);
  EXPECT_NE(q.Language.SortId, 0);
  EXPECT_EQ(q.Password, "secret");
  EXPECT_TRUE(q.Encrypted);
  EXPECT_TRUE(q.NoJoinOptimize);

  auto plain = Prepare("SELECT a FROM t");
  EXPECT_EQ(plain->Master()->TopCount, -1);
  EXPECT_FALSE(plain->Master()->WithLocks);
  EXPECT_FALSE(plain->Master()->Language.LanguageGiven);

  auto empty = Prepare("SELECT a FROM t ENCRYPTED WITH ''");
  EXPECT_FALSE(empty->Master()->Encrypted);

  auto lang = Prepare("SELECT a FROM t LANGUAGE 'ANSI Standard' SORT 'default order'");
  EXPECT_TRUE(lang->Master()->Language.LanguageGiven);
  EXPECT_EQ(lang->Master()->Language.LanguageId, 0);
  EXPECT_TRUE(lang->Master()->Language.SortGiven);
  EXPECT_EQ(lang->Master()->Language.SortId, 0);
}

TEST(SelectParseTest, UnionChains) {
  auto s = Prepare(
      "SELECT a FROM t UNION SELECT b FROM u UNION ALL (SELECT c FROM v) ORDER BY 1 DESC TOP 5");
  ASSERT_EQ(s->Queries().size(), 3u);
  TDataQuery *m = s->Master();
  TDataQuery *p1 = s->Queries()[1].get();
  TDataQuery *p2 = s->Queries()[2].get();
  EXPECT_EQ(m->UnionNext, p1);
  EXPECT_FALSE(m->UnionAll);
  EXPECT_EQ(p1->UnionNext, p2);
  EXPECT_TRUE(p1->UnionAll);
  EXPECT_EQ(p2->UnionNext, nullptr);
  EXPECT_TRUE(p1->IsUnionPart);
  EXPECT_TRUE(p2->IsUnionPart);
  EXPECT_TRUE(p2->BeganWithParenthesis);
  EXPECT_FALSE(m->IsUnionPart);
  EXPECT_EQ(p1->UnionMaster, m);
  EXPECT_EQ(p2->UnionMaster, m);
  EXPECT_EQ(m->UnionMaster, nullptr);
  ASSERT_EQ(m->OrderBy.size(), 1u);
  EXPECT_TRUE(m->OrderBy[0].Descending);
  EXPECT_EQ(m->TopCount, 5);
  EXPECT_TRUE(p2->OrderBy.empty());
  EXPECT_EQ(p2->TopCount, -1);
  EXPECT_EQ(p1->Sources[0].TableName, "u");
}

TEST(SelectParseTest, SubSelectsOfIn) {
  auto s = Prepare(
      "SELECT a FROM t WHERE a IN (SELECT b FROM u WHERE b NOT IN (SELECT c FROM v)) AND a > 0");
  ASSERT_EQ(s->Queries().size(), 3u);
  const TDataQuery *sub = s->Queries()[1].get();
  EXPECT_TRUE(sub->IsSubSelect);
  EXPECT_EQ(sub->Sources[0].TableName, "u");
  const TExpToken *in = s->Master()->Where->Left;
  ASSERT_EQ(in->Code, TExpCode::InSelect);
  ASSERT_EQ(in->Args.size(), 2u);
  EXPECT_EQ(in->Args[1]->Kind, TExpNodeKind::SubSelect);
  EXPECT_EQ(in->Args[1]->SubQuery, sub);
  EXPECT_EQ(sub->Where->Args[1]->SubQuery, s->Queries()[2].get());
  // The context of the enclosing clause continues after the sub-select.
  EXPECT_EQ(ParseError("SELECT a FROM t WHERE a IN (SELECT b FROM u) AND * = 1"),
            "* (all columns) symbol is not allowed in WHERE clause");
}

TEST(SelectParseTest, ParametersAreCountedInWrittenOrderAcrossSubSelectsAndUnions) {
  auto s = Prepare(
      "SELECT a FROM t JOIN j ON j.k = ? "
      "WHERE a = ? AND b IN (SELECT x FROM u WHERE y = ? AND z IN (SELECT w FROM v WHERE w = ?)) "
      "AND c = ? "
      "UNION SELECT a FROM t2 WHERE d = ?");
  ASSERT_EQ(s->ParameterCount(), 6u);
  // Tell the markers apart by what they are compared with.
  const char *const expected[] = {"j.k", "a", "y", "w", "c", "d"};
  for (size_t i = 0; i < 6; ++i) {
    const TExpToken *marker = s->Parameters()[i];
    EXPECT_TRUE(marker->IsParameter);
    ASSERT_NE(marker->Parent, nullptr);
    EXPECT_EQ(marker->Parent->Left->Text, expected[i]) << i;
  }
}

TEST(SelectParseTest, DerivedFlags) {
  auto s = Prepare("SELECT a, b + 1, COUNT(*) FROM t GROUP BY a HAVING COUNT(a) > 1 TOP 0");
  const TDataQuery &q = *s->Master();
  EXPECT_TRUE(q.HasCalculatedColumns());
  EXPECT_TRUE(q.HasAggregates());
  EXPECT_TRUE(q.HasHaving());
  EXPECT_TRUE(q.HasTop());
  EXPECT_EQ(q.TopCount, 0);
  EXPECT_FALSE(q.HasUnion());
  EXPECT_FALSE(q.HasOrderBy());
  auto p = Prepare("SELECT a FROM t UNION ALL SELECT a FROM u");
  EXPECT_TRUE(p->Master()->HasUnion());
  EXPECT_FALSE(p->Master()->HasCalculatedColumns());
  EXPECT_FALSE(p->Master()->HasAggregates());
  EXPECT_FALSE(p->Master()->HasTop());
}

TEST(SelectParseTest, NamesInJapanese) {
  auto s = Prepare("SELECT 手数 AS 手, 盤.色 FROM 棋譜 盤 WHERE 盤.手数 > 0 ORDER BY 手");
  const TDataQuery &q = *s->Master();
  EXPECT_EQ(q.Fields[0].ColumnName, "手数");
  EXPECT_EQ(q.Fields[0].Alias, "手");
  EXPECT_EQ(q.Fields[1].CorrelationName, "盤");
  EXPECT_EQ(q.Sources[0].TableName, "棋譜");
  EXPECT_EQ(q.Sources[0].CorrelationName, "盤");
  EXPECT_EQ(q.OrderBy[0].ColumnName, "手");
}

TEST(SelectParseTest, LessAndGreaterWithABlankBetweenAreNotEqual) {
  auto s = Prepare("SELECT a FROM t WHERE a < > 1");
  EXPECT_EQ(s->Master()->Where->Code, TExpCode::NotEqual);
}

TEST(SelectParseTest, QuotedStringsAndBracketedNames) {
  auto s = Prepare("SELECT [a b] FROM t WHERE s = 'it''s'");
  EXPECT_EQ(s->Master()->Fields[0].ColumnName, "a b");
  EXPECT_EQ(s->Master()->Where->Right->Value.Str, "it's");
}

}  // namespace
