// Field objects over a record image: reading and writing with conversion, NULLs, and the
// edit-state and read-only refusals.
#include <gtest/gtest.h>

#include "engine/data/FieldDescriptor.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraField.h"

namespace kura {
namespace {

// A record image standing in for a dataset's active record.
class TestRecord : public TFieldBufferOwner {
 public:
  explicit TestRecord(std::vector<TFieldDescriptor> fields) : Fields(std::move(fields)) {
    Record.assign(LayoutFields(Fields), 0);
  }
  const uint8_t *FieldReadBuffer() const override { return HasRecord ? Record.data() : nullptr; }
  uint8_t *FieldWriteBuffer() override {
    if (!Editing) RaiseDatabaseError(dsmsg::NotEditing);
    return Record.data();
  }
  void FieldChanged(TField &) override { ++Changes; }
  uint16_t FieldLanguageId() const override { return 0; }

  std::vector<TFieldDescriptor> Fields;
  std::vector<uint8_t> Record;
  bool HasRecord = true;
  bool Editing = true;
  int Changes = 0;
};

TFieldDescriptor Field(int no, const char *name, EngineFieldType type, uint8_t size = 0) {
  TFieldDescriptor f;
  f.FieldNumber = static_cast<int16_t>(no);
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  return f;
}

std::string MessageOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const std::exception &e) {
    return e.what();
  }
  return "(no error)";
}

TEST(FieldValues, ReadWriteAndConvert) {
  TestRecord rec({Field(1, "MNB", EngineFieldType::Integer), Field(2, "CMT", EngineFieldType::String, 20),
                  Field(3, "F", EngineFieldType::Float), Field(4, "B", EngineFieldType::Boolean)});
  TField mnb(&rec, rec.Fields[0], "MNB", 0), cmt(&rec, rec.Fields[1], "CMT", 1), f(&rec, rec.Fields[2], "F", 2),
      b(&rec, rec.Fields[3], "B", 3);
  EXPECT_EQ(mnb.DataType(), TKuraFieldType::Integer);
  EXPECT_EQ(cmt.Size(), 20);
  // An empty field reads as 0 or the empty string.
  EXPECT_TRUE(mnb.IsNull());
  EXPECT_EQ(mnb.AsInteger(), 0);
  EXPECT_EQ(cmt.AsString(), "");
  mnb.SetAsInteger(1001);
  EXPECT_FALSE(mnb.IsNull());
  EXPECT_EQ(mnb.AsInteger(), 1001);
  EXPECT_EQ(mnb.AsString(), "1001");
  EXPECT_DOUBLE_EQ(mnb.AsFloat(), 1001.0);
  mnb.SetAsString("42");
  EXPECT_EQ(mnb.AsInteger(), 42);
  cmt.SetAsString("黒の手番   ");
  EXPECT_EQ(cmt.AsString(), "黒の手番") << "trailing blanks are not stored";
  cmt.SetAsInteger(7);
  EXPECT_EQ(cmt.AsInteger(), 7);
  cmt.SetAsString("");
  EXPECT_TRUE(cmt.IsNull()) << "an empty string is stored as NULL";
  f.SetAsFloat(2.5);
  EXPECT_DOUBLE_EQ(f.AsFloat(), 2.5);
  EXPECT_EQ(f.AsInteger(), 3);
  b.SetAsBoolean(true);
  EXPECT_TRUE(b.AsBoolean());
  EXPECT_EQ(b.AsString(), "True");
  mnb.Clear();
  EXPECT_TRUE(mnb.IsNull());
  EXPECT_EQ(rec.Changes, 8);
}

TEST(FieldValues, RefusalsLeaveTheRecordAlone) {
  TestRecord rec({Field(1, "MNB", EngineFieldType::Integer), Field(2, "CMT", EngineFieldType::String, 4)});
  TField mnb(&rec, rec.Fields[0], "MNB", 0), cmt(&rec, rec.Fields[1], "CMT", 1);
  mnb.SetAsInteger(5);
  EXPECT_EQ(MessageOf([&] { mnb.SetAsString("abc"); }), "'abc' is not a valid value for field 'MNB'");
  EXPECT_EQ(mnb.AsInteger(), 5);
  rec.Editing = false;
  EXPECT_EQ(MessageOf([&] { mnb.SetAsInteger(6); }), "Table is not in edit or insert mode.");
  rec.Editing = true;
  mnb.ReadOnly = true;
  EXPECT_EQ(MessageOf([&] { mnb.SetAsInteger(6); }), "Field MNB cannot be modified.");
  EXPECT_EQ(mnb.AsInteger(), 5);
  cmt.SetAsString("abcdefgh");
  EXPECT_EQ(cmt.AsString(), "abcd") << "cut to the declared size";
  EXPECT_EQ(MessageOf([&] { cmt.AsInteger(); }), "'abcd' is not a valid integer value");
  rec.HasRecord = false;
  EXPECT_TRUE(mnb.IsNull());
  EXPECT_EQ(mnb.AsInteger(), 0);
}

}  // namespace
}  // namespace kura
