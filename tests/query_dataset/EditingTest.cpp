// Edit, Append, Post, Cancel and Delete through a table and through a live query result,
// and the failures: field assignment outside edit state, read-only datasets, key violations.
#include "DataSetTestSupport.h"

namespace kura::dstest {
namespace {

using Editing = DataSetTest;

TEST_F(Editing, EditPostAndCancel) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.Open();
  t.Next();
  t.Next();
  EXPECT_EQ(MessageOf([&] { t.FieldByName("CMT").SetAsString("x"); }), "Table is not in edit or insert mode.");
  t.Edit();
  EXPECT_EQ(t.State(), TDataSetState::dsEdit);
  t.FieldByName("CMT").SetAsString("edited");
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "edited");
  t.Cancel();
  EXPECT_EQ(t.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "a");
  t.Edit();
  t.FieldByName("CMT").SetAsString("edited");
  t.FieldByName("COL").SetAsInteger(-1);
  t.Post();
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "edited");
  EXPECT_EQ(t.RecNo(), 3) << "the cursor stays on the written row";
  // Another dataset reads the table file.
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  ASSERT_TRUE(q.Locate("PST", 20));
  EXPECT_EQ(q.FieldByName("CMT").AsString(), "edited");
  EXPECT_EQ(q.FieldByName("COL").AsInteger(), -1);
}

TEST_F(Editing, AppendAndDelete) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.Open();
  t.Append();
  EXPECT_EQ(t.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(t.FieldByName("BFR").IsNull()) << "an appended row starts empty";
  t.FieldByName("MNB").SetAsInteger(1000);
  t.FieldByName("TES").SetAsInteger(4);
  t.FieldByName("PST").SetAsInteger(40);
  t.Post();
  EXPECT_EQ(t.RecordCount(), 8);
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 40) << "positioned on the new row";
  t.Next();
  EXPECT_TRUE(t.Eof()) << "natural order: the new row is the last";
  // Delete in natural order lands on the following row.
  t.First();
  t.Next();
  t.Delete();
  EXPECT_EQ(t.RecordCount(), 7);
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 20);
  // Deleting the last row leaves the dataset on the row before it.
  t.Last();
  t.Delete();
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 10);
  EXPECT_EQ(t.FieldByName("MNB").AsInteger(), 1001);
  // Edit on an empty dataset appends.
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 7777);
  q.Edit();
  EXPECT_EQ(q.State(), TDataSetState::dsInsert);
  q.Cancel();
  EXPECT_TRUE(q.IsEmpty());
}

TEST_F(Editing, KeyViolationIsAnEngineErrorAndKeepsTheInsert) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("mokuji");
  t.Open();
  EXPECT_EQ(t.RecordCount(), 4);
  t.Append();
  t.FieldByName("MNB").SetAsInteger(1010);
  t.FieldByName("ITEM").SetAsString("dup");
  try {
    t.Post();
    FAIL() << "no key violation";
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_KEYVIOL);
    EXPECT_EQ(std::string(e.what()).rfind("Kura Engine Error # 9729 ", 0), 0u) << e.what();
  }
  EXPECT_EQ(t.State(), TDataSetState::dsInsert);
  t.FieldByName("MNB").SetAsInteger(1030);
  t.Post();
  EXPECT_EQ(t.RecordCount(), 5);
  EXPECT_EQ(t.FieldByName("ITEM").AsString(), "dup");
}

TEST_F(Editing, ReadOnlyTableRefusesChanges) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.SetReadOnly(true);
  t.Open();
  EXPECT_FALSE(t.CanModify());
  EXPECT_EQ(MessageOf([&] { t.Edit(); }), dsmsg::DataSetReadOnly);
  EXPECT_EQ(MessageOf([&] { t.Append(); }), dsmsg::DataSetReadOnly);
  EXPECT_EQ(MessageOf([&] { t.SetReadOnly(false); }), dsmsg::DataSetOpen);
}

TEST_F(Editing, LiveQueryChangesTheTable) {
  TKuraQuery q;
  Setup(q);
  OpenFigure(q, 1000);
  ASSERT_TRUE(q.Live());
  ASSERT_TRUE(q.CanModify());
  ASSERT_TRUE(q.Locate("TES;PST", std::vector<TKuraValue>{2, 21}));
  q.Edit();
  q.FieldByName("CMT").SetAsString("live edit");
  q.Post();
  TKuraQuery other;
  Setup(other);
  OpenFigure(other, 1000);
  ASSERT_TRUE(other.Locate("TES;PST", std::vector<TKuraValue>{2, 21}));
  EXPECT_EQ(other.FieldByName("CMT").AsString(), "live edit");
  // A row appended through the live result belongs to it when it meets the condition.
  q.Append();
  q.FieldByName("MNB").SetAsInteger(1000);
  q.FieldByName("PST").SetAsInteger(50);
  q.Post();
  EXPECT_EQ(q.RecordCount(), 7);
  // A row changed so that it no longer meets the condition leaves the result.
  q.First();
  q.Edit();
  q.FieldByName("MNB").SetAsInteger(1001);
  q.Post();
  EXPECT_EQ(q.RecordCount(), 6);
  EXPECT_EQ(q.FieldByName("PST").AsInteger(), 11);
}

}  // namespace
}  // namespace kura::dstest

namespace kura::dstest {
namespace {

TEST_F(Editing, CopyOnAppendStartsFromTheCurrentRow) {
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.CopyOnAppend = true;
  t.Open();
  t.SetRecNo(4);
  t.Append();
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 21);
  EXPECT_EQ(t.FieldByName("CMT").AsString(), "b");
  t.FieldByName("PST").SetAsInteger(22);
  t.Post();
  EXPECT_EQ(t.RecordCount(), 8);
  t.Last();
  EXPECT_EQ(t.FieldByName("PST").AsInteger(), 22);
  EXPECT_EQ(t.FieldByName("BFR").AsInteger(), 2);
  t.CopyOnAppend = false;
  t.Append();
  EXPECT_TRUE(t.FieldByName("PST").IsNull());
  t.Cancel();
}

TEST_F(Editing, FieldTypesAndDisplayLabels) {
  EXPECT_EQ(FieldTypeOf(EngineFieldType::String, FieldSubType::FixedChar), TKuraFieldType::FixedChar);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::Integer, FieldSubType::AutoInc), TKuraFieldType::AutoInc);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::Float, FieldSubType::Money), TKuraFieldType::Currency);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::Blob, FieldSubType::Memo), TKuraFieldType::Memo);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::Blob, FieldSubType::Graphic), TKuraFieldType::Graphic);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::Blob, FieldSubType::FormattedMemo), TKuraFieldType::FmtMemo);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::Blob, FieldSubType::TypedBinary), TKuraFieldType::TypedBinary);
  EXPECT_EQ(FieldTypeOf(EngineFieldType::BCD, FieldSubType::None), TKuraFieldType::BCD);
  TKuraTable t;
  t.SetDatabaseName("kyozai");
  t.SetTableName("figure");
  t.Open();
  EXPECT_EQ(t.FieldByName("CMT").DataType(), TKuraFieldType::String);
  EXPECT_EQ(t.FieldByName("CMT").Size(), 40);
  EXPECT_EQ(t.FieldByName("MNB").DataType(), TKuraFieldType::Integer);
  EXPECT_EQ(t.FieldByName("MNB").DisplayName(), "MNB");
}

}  // namespace
}  // namespace kura::dstest
