// ":name" markers become "?" outside quotes and comments; parameter values and the list the
// statement receives.
#include <gtest/gtest.h>

#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraParams.h"

namespace kura {
namespace {

std::string Rewrite(const std::string &sql, std::vector<std::string> &names) {
  return ReplaceParameterMarkers(sql, names);
}

TEST(ParameterMarkers, NamesBecomeQuestionMarksInOrder) {
  std::vector<std::string> names;
  EXPECT_EQ(Rewrite("select * from figure\nWhere MNB = :MNB", names), "select * from figure\nWhere MNB = ?");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0], "MNB");
  EXPECT_EQ(Rewrite("Where (MNB = :MNB) and (BFR > :b_2) or X=:MNB", names),
            "Where (MNB = ?) and (BFR > ?) or X=?");
  EXPECT_EQ(names, (std::vector<std::string>{"MNB", "b_2", "MNB"}));
}

TEST(ParameterMarkers, QuotedTextAndCommentsAreLeftAlone) {
  std::vector<std::string> names;
  EXPECT_EQ(Rewrite("where T = '12:30' and C = \"a:b\" and D = :d", names),
            "where T = '12:30' and C = \"a:b\" and D = ?");
  EXPECT_EQ(names, std::vector<std::string>{"d"});
  EXPECT_EQ(Rewrite("where T = 'it''s :x' /* :y */ and [odd:name] = 1 and a = :w", names),
            "where T = 'it''s :x' /* :y */ and [odd:name] = 1 and a = ?");
  EXPECT_EQ(names, std::vector<std::string>{"w"});
  // No line comments in the language: "--" is two minus signs before a marker.
  EXPECT_EQ(Rewrite("where a = 5 --:z", names), "where a = 5 --?");
  EXPECT_EQ(names, std::vector<std::string>{"z"});
  // An unterminated quote or comment swallows the rest without looking for markers.
  EXPECT_EQ(Rewrite("select ':a", names), "select ':a");
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(Rewrite("select /* :a", names), "select /* :a");
  EXPECT_TRUE(names.empty());
}

TEST(ParameterMarkers, DoubledColonAndBareColonStay) {
  std::vector<std::string> names;
  EXPECT_EQ(Rewrite("a :: b : c :", names), "a : b : c :");
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(Rewrite("x = :\"two words\"", names), "x = ?");
  EXPECT_EQ(names, std::vector<std::string>{"two words"});
}

TEST(Params, RebuildKeepsValuesOfSameNames) {
  TParams params;
  params.Rebuild({"MNB", "BFR"});
  params[0].SetAsInteger(1000);
  params.ParamByName("bfr").SetAsString("x");
  params.Rebuild({"BFR", "MNB", "NEW"});
  ASSERT_EQ(params.Count(), 3);
  EXPECT_EQ(params[0].AsString(), "x");
  EXPECT_EQ(params[1].AsInteger(), 1000);
  EXPECT_FALSE(params[2].Bound());
  EXPECT_THROW(params.ParamByName("nothing"), EKuraDatabaseError);
  EXPECT_THROW(params[3], EKuraDatabaseError);
}

TEST(Params, ValuesForTheStatement) {
  TParams params;
  params.Rebuild({"MNB", "TXT", "BLANK", "NUL", "LONG"});
  params[0].SetAsInteger(1001);
  params[1].SetAsString("abc   ");
  params[2].SetAsString("    ");
  params[3].SetDataType(TKuraFieldType::Integer);  // a type without a value: NULL
  params[4].SetAsString(std::string(300, 'x'));
  std::vector<TParamValue> values = BuildParamValues(params);
  ASSERT_EQ(values.size(), 5u);
  EXPECT_EQ(values[0].Number, 1);
  EXPECT_EQ(values[0].Type.Type, EngineFieldType::Integer);
  EXPECT_EQ(values[0].Value.Int, 1001);
  EXPECT_FALSE(values[0].Value.Null);
  EXPECT_EQ(values[1].Value.Str, "abc");
  EXPECT_EQ(values[1].Type.Type, EngineFieldType::String);
  EXPECT_TRUE(values[2].Value.Null) << "a string of blanks travels as NULL";
  EXPECT_TRUE(values[3].Value.Null);
  EXPECT_EQ(values[4].Type.Type, EngineFieldType::Blob);
  EXPECT_EQ(values[4].Type.SubType, FieldSubType::Memo);
  EXPECT_EQ(values[4].Value.Str.size(), 300u);
}

TEST(Params, MissingValueNamesTheParameter) {
  TParams params;
  params.Rebuild({"MNB"});
  try {
    BuildParamValues(params);
    FAIL() << "no error";
  } catch (const EKuraDatabaseError &e) {
    EXPECT_STREQ(e.what(), "No value for parameter 'MNB'");
  }
}

TEST(Params, AtMost1024) {
  TParams params;
  std::vector<std::string> names;
  for (int i = 0; i < 1025; ++i) names.push_back("p" + std::to_string(i));
  params.Rebuild(names);
  for (int i = 0; i < params.Count(); ++i) params[i].SetAsInteger(i);
  EXPECT_THROW(BuildParamValues(params), EKuraDatabaseError);
  names.pop_back();
  params.Rebuild(names);
  EXPECT_EQ(BuildParamValues(params).size(), 1024u);
}

}  // namespace
}  // namespace kura
