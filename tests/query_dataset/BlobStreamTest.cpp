// Blob streams and memo fields of a dataset: reading the value of the current record in
// browse state, writing it in edit and insert state (posted with Post, dropped with Cancel),
// and what another query reads back from the table afterwards.
#include <cstring>
#include <memory>

#include "DataSetTestSupport.h"
#include "query/dataset/KuraBlobStream.h"

namespace kura::dstest {
namespace {

// A value of n bytes that differs from its neighbours at every position.
std::string Pattern(size_t n, uint8_t seed = 7) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed + i / 251) & 0xFF);
  return s;
}

class BlobStream : public DataSetTest {
 protected:
  void SetUp() override {
    DataSetTest::SetUp();
    if (HasFatalFailure()) return;
    TKuraDatabase &db = Session().OpenDatabase("kyozai");
    db.Open();
    TDataDirectory &dir = db.Handle();
    TDataFileDefinition def;
    TFieldDescriptor memo = MakeField("NOTE", EngineFieldType::Blob);
    memo.SubType = FieldSubType::Memo;
    TFieldDescriptor data = MakeField("DATA", EngineFieldType::Blob);
    def.Fields = {MakeField("ID", EngineFieldType::Integer), memo, data};
    def.BlobBlockSize = 512;
    TDataCursor c(&dir, "notes");
    c.CreateTable(def, {MakeIndex("", {1})});
    c.OpenCursor();
    // Row 1: a short memo; row 2: a memo over three blocks; row 3: no memo at all.
    AddRow(c, 1, "first note");
    AddRow(c, 2, Pattern(1000));
    AddRow(c, 3, "");
    c.CloseCursor();
    db.Close();
  }

  // Written with the cursor's own blob operations, independently of the stream.
  static void AddRow(TDataCursor &c, int id, const std::string &note) {
    std::vector<uint8_t> rec = c.NewRecordBuffer();
    c.InitRecord(rec.data());
    c.SetInteger(1, rec.data(), id);
    if (!note.empty()) {
      c.OpenBlob(rec.data(), 2);
      c.PutBlob(rec.data(), 2, 0, static_cast<uint32_t>(note.size()), reinterpret_cast<const uint8_t *>(note.data()));
    }
    c.AppendRecord(rec.data(), false);
    if (!note.empty()) c.FreeBlob(rec.data(), 2);
  }

  static void OpenNotes(TKuraQuery &q, const char *where = nullptr) {
    Setup(q);
    q.SQL().Add("select * from notes");
    if (where) q.SQL().Add(where);
    q.Open();
  }

  // The stored memo of a row as a fresh query reads it.
  static std::string StoredNote(int id, bool *isNull = nullptr) {
    TKuraQuery q;
    OpenNotes(q);
    EXPECT_TRUE(q.Locate("ID", id));
    if (isNull) *isNull = q.FieldByName("NOTE").IsNull();
    return q.FieldByName("NOTE").AsString();
  }
};

TEST_F(BlobStream, ReadsTheValueOfTheCurrentRecord) {
  TKuraQuery q;
  OpenNotes(q);
  ASSERT_TRUE(q.CanModify()) << "a live result";
  EXPECT_EQ(q.FieldByName("NOTE").DataType(), TKuraFieldType::Memo);
  EXPECT_EQ(q.FieldByName("DATA").DataType(), TKuraFieldType::Blob);
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "first note");
  EXPECT_FALSE(q.FieldByName("NOTE").IsNull());
  {
    TKuraBlobStream s(q.FieldByName("NOTE"), TBlobStreamMode::bmRead);
    EXPECT_EQ(s.Size(), 10);
    char part[6] = {};
    EXPECT_EQ(s.Read(part, 5), 5u);
    EXPECT_STREQ(part, "first");
    EXPECT_EQ(s.Seek(-4, TBlobSeekOrigin::soEnd), 6);
    char tail[8] = {};
    EXPECT_EQ(s.Read(tail, sizeof tail - 1), 4u) << "a read stops at the end of the value";
    EXPECT_STREQ(tail, "note");
    EXPECT_EQ(s.Read(tail, 1), 0u);
  }
  q.Next();
  {
    TKuraBlobStream s(q.FieldByName("NOTE"), TBlobStreamMode::bmRead);
    EXPECT_EQ(s.ReadText(), Pattern(1000));
    // The stream holds its own copy of the record: moving the dataset does not disturb it.
    q.Next();
    s.SetPosition(990);
    char last[10];
    ASSERT_EQ(s.Read(last, 10), 10u);
    EXPECT_EQ(std::string(last, 10), Pattern(1000).substr(990));
  }
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u) << "a closed stream gives its blob back";
}

TEST_F(BlobStream, NullBlobReadsEmpty) {
  TKuraQuery q;
  OpenNotes(q);
  ASSERT_TRUE(q.Locate("ID", 3));
  TField &note = q.FieldByName("NOTE");
  EXPECT_TRUE(note.IsNull());
  EXPECT_EQ(note.AsString(), "");
  EXPECT_TRUE(note.Value().IsNull());
  TKuraBlobStream s(note, TBlobStreamMode::bmRead);
  EXPECT_EQ(s.Size(), 0);
  char c;
  EXPECT_EQ(s.Read(&c, 1), 0u);
}

TEST_F(BlobStream, WritingInBrowseStateIsRefused) {
  TKuraQuery q;
  OpenNotes(q);
  TField &note = q.FieldByName("NOTE");
  EXPECT_EQ(MessageOf([&] { TKuraBlobStream s(note, TBlobStreamMode::bmWrite); }),
            "Table is not in edit or insert mode.");
  EXPECT_EQ(MessageOf([&] { TKuraBlobStream s(note, TBlobStreamMode::bmReadWrite); }),
            "Table is not in edit or insert mode.");
  EXPECT_EQ(MessageOf([&] { note.SetAsString("x"); }), "Table is not in edit or insert mode.");
  EXPECT_EQ(MessageOf([&] { note.Clear(); }), "Table is not in edit or insert mode.");
  // A stream opened for reading does not write either, even while editing.
  q.Edit();
  TKuraBlobStream reader(note, TBlobStreamMode::bmRead);
  EXPECT_NE(MessageOf([&] { reader.Write("x", 1); }), "(no error)");
  q.Cancel();
  EXPECT_EQ(StoredNote(1), "first note");
  // Only blob fields have blob streams.
  EXPECT_NE(MessageOf([&] { TKuraBlobStream s(q.FieldByName("ID"), TBlobStreamMode::bmRead); }), "(no error)");
}

TEST_F(BlobStream, WriteReplacesTheValueAndPostStoresIt) {
  TKuraQuery q;
  OpenNotes(q);
  q.Edit();
  {
    TKuraBlobStream s(q.FieldByName("NOTE"), TBlobStreamMode::bmWrite);
    EXPECT_EQ(s.Size(), 0) << "a write stream starts with an empty value";
    EXPECT_EQ(s.Write("second", 6), 6u);
    EXPECT_TRUE(s.Modified());
  }
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "second") << "the record being edited shows the new value";
  EXPECT_EQ(StoredNote(1), "first note") << "nothing is stored before Post";
  q.Post();
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "second");
  EXPECT_EQ(StoredNote(1), "second");
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u);
}

TEST_F(BlobStream, MemoFieldAssignedAsStringIsPostedAndReadBackInAnotherQuery) {
  TKuraQuery q;
  OpenNotes(q);
  ASSERT_TRUE(q.Locate("ID", 2));
  q.Edit();
  q.FieldByName("NOTE").SetAsString("石の取り方: 当たりの石は逃げる");
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "石の取り方: 当たりの石は逃げる");
  q.Post();
  EXPECT_EQ(StoredNote(2), "石の取り方: 当たりの石は逃げる");
  EXPECT_EQ(StoredNote(1), "first note") << "other rows keep their values";
  // The blocks the old three-block value used are reused by the next write.
  TKuraQuery other;
  OpenNotes(other);
  ASSERT_TRUE(other.Locate("ID", 3));
  other.Edit();
  other.FieldByName("NOTE").SetValue(TKuraValue(std::string(Pattern(900, 3))));
  other.Post();
  EXPECT_EQ(StoredNote(3), Pattern(900, 3));
  EXPECT_EQ(StoredNote(2), "石の取り方: 当たりの石は逃げる");
}

TEST_F(BlobStream, GrowingAValue) {
  TKuraQuery q;
  OpenNotes(q);
  q.Edit();
  const std::string extra = Pattern(5000, 11);
  {
    TKuraBlobStream s(q.FieldByName("NOTE"), TBlobStreamMode::bmReadWrite);
    EXPECT_EQ(s.Size(), 10);
    s.Seek(0, TBlobSeekOrigin::soEnd);
    s.Write(extra.data(), extra.size());
    EXPECT_EQ(s.Size(), 5010);
    // Writing in the middle overwrites.
    s.SetPosition(0);
    s.Write("FIRST", 5);
  }
  q.Post();
  EXPECT_EQ(StoredNote(1), "FIRST note" + extra);
}

TEST_F(BlobStream, ShorteningAValue) {
  TKuraQuery q;
  OpenNotes(q);
  ASSERT_TRUE(q.Locate("ID", 2));
  q.Edit();
  {
    TKuraBlobStream s(q.FieldByName("NOTE"), TBlobStreamMode::bmReadWrite);
    s.SetPosition(100);
    s.Truncate();
    EXPECT_EQ(s.Size(), 100);
    EXPECT_EQ(s.Position(), 100);
  }
  q.Post();
  EXPECT_EQ(StoredNote(2), Pattern(1000).substr(0, 100));
  // Shorter again through the field.
  q.Edit();
  q.FieldByName("NOTE").SetAsString("ab");
  q.Post();
  EXPECT_EQ(StoredNote(2), "ab");
}

TEST_F(BlobStream, EmptyValueIsStoredAsNull) {
  TKuraQuery q;
  OpenNotes(q);
  q.Edit();
  q.FieldByName("NOTE").SetAsString("");
  EXPECT_TRUE(q.FieldByName("NOTE").IsNull()) << "an emptied blob in the edited record";
  q.Post();
  bool isNull = false;
  EXPECT_EQ(StoredNote(1, &isNull), "");
  EXPECT_TRUE(isNull);
  // Clear on another row, and writing into a NULL blob.
  ASSERT_TRUE(q.Locate("ID", 2));
  q.Edit();
  q.FieldByName("NOTE").Clear();
  q.Post();
  EXPECT_EQ(StoredNote(2, &isNull), "");
  EXPECT_TRUE(isNull);
  ASSERT_TRUE(q.Locate("ID", 3));
  q.Edit();
  EXPECT_TRUE(q.FieldByName("NOTE").IsNull());
  q.FieldByName("NOTE").SetAsString("now set");
  EXPECT_FALSE(q.FieldByName("NOTE").IsNull()) << "a NULL blob that got a value";
  q.Post();
  EXPECT_EQ(StoredNote(3, &isNull), "now set");
  EXPECT_FALSE(isNull);
}

TEST_F(BlobStream, CancelDropsTheChanges) {
  TKuraQuery q;
  OpenNotes(q);
  q.Edit();
  q.FieldByName("NOTE").SetAsString("never stored");
  {
    TKuraBlobStream s(q.FieldByName("DATA"), TBlobStreamMode::bmWrite);
    s.Write("\x01\x02", 2);
  }
  q.Cancel();
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "first note");
  EXPECT_TRUE(q.FieldByName("DATA").IsNull());
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u) << "cancelled blobs are given back";
  EXPECT_EQ(StoredNote(1), "first note");
  // The record can be edited again afterwards.
  q.Edit();
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "first note");
  q.FieldByName("NOTE").SetAsString("after cancel");
  q.Post();
  EXPECT_EQ(StoredNote(1), "after cancel");
}

TEST_F(BlobStream, StreamLeftOpenOverPostAndCancel) {
  TKuraQuery q;
  OpenNotes(q);
  q.Edit();
  auto s = std::make_unique<TKuraBlobStream>(q.FieldByName("NOTE"), TBlobStreamMode::bmWrite);
  s->Write("posted while open", 17);
  q.Post();
  EXPECT_EQ(StoredNote(1), "posted while open");
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u) << "the edit ended: the stream let go of its blob";
  char c;
  EXPECT_NE(MessageOf([&] { s->Read(&c, 1); }), "(no error)");
  s.reset();

  q.Edit();
  s = std::make_unique<TKuraBlobStream>(q.FieldByName("NOTE"), TBlobStreamMode::bmWrite);
  s->Write("dropped", 7);
  q.Cancel();
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u);
  s.reset();
  EXPECT_EQ(StoredNote(1), "posted while open");

  // A stream outliving its dataset's cursor.
  auto reader = std::make_unique<TKuraBlobStream>(q.FieldByName("NOTE"), TBlobStreamMode::bmRead);
  q.Close();
  EXPECT_NE(MessageOf([&] { reader->Read(&c, 1); }), "(no error)");
  reader.reset();
}

TEST_F(BlobStream, InsertWithABlob) {
  TKuraQuery q;
  OpenNotes(q);
  q.Append();
  q.FieldByName("ID").SetAsInteger(4);
  q.FieldByName("NOTE").SetAsString("inserted");
  {
    TKuraBlobStream s(q.FieldByName("DATA"), TBlobStreamMode::bmWrite);
    s.Write("\0\1\2\3", 4);
  }
  q.Post();
  EXPECT_EQ(StoredNote(4), "inserted");
  TKuraQuery check;
  OpenNotes(check);
  ASSERT_TRUE(check.Locate("ID", 4));
  EXPECT_EQ(check.FieldByName("DATA").AsString(), std::string("\0\1\2\3", 4));
  // An insert cancelled with a blob written leaves nothing behind.
  q.Append();
  q.FieldByName("ID").SetAsInteger(5);
  q.FieldByName("NOTE").SetAsString("not inserted");
  q.Cancel();
  EXPECT_EQ(q.Cursor()->OpenBlobCount(), 0u);
  EXPECT_EQ(q.RecordCount(), 4);
}

TEST_F(BlobStream, LargeValueOf300KiB) {
  const std::string big = Pattern(300 * 1024, 5);
  TKuraQuery q;
  OpenNotes(q);
  ASSERT_TRUE(q.Locate("ID", 3));
  q.Edit();
  {
    TKuraBlobStream s(q.FieldByName("NOTE"), TBlobStreamMode::bmWrite);
    // Written in uneven pieces.
    size_t done = 0;
    for (size_t piece = 1000; done < big.size(); piece = piece * 3 / 2) {
      const size_t n = std::min(piece, big.size() - done);
      ASSERT_EQ(s.Write(big.data() + done, n), n);
      done += n;
    }
    EXPECT_EQ(s.Size(), static_cast<int64_t>(big.size()));
  }
  q.Post();
  TKuraQuery other;
  OpenNotes(other, "where ID = 3");
  ASSERT_EQ(other.RecordCount(), 1);
  {
    TKuraBlobStream s(other.FieldByName("NOTE"), TBlobStreamMode::bmRead);
    ASSERT_EQ(s.Size(), static_cast<int64_t>(big.size()));
    std::string back;
    char chunk[4096];
    for (size_t n; (n = s.Read(chunk, sizeof chunk)) != 0;) back.append(chunk, n);
    EXPECT_TRUE(back == big) << "the 300 KiB value read back differs";
  }
  EXPECT_EQ(other.FieldByName("NOTE").AsString().size(), big.size());
  // Shrinking it again frees the chain's tail; the neighbours are untouched.
  q.Edit();
  q.FieldByName("NOTE").SetAsString("small");
  q.Post();
  EXPECT_EQ(StoredNote(3), "small");
  EXPECT_EQ(StoredNote(2), Pattern(1000));
}

TEST_F(BlobStream, ResultTableOfANonLiveQueryCarriesTheValues) {
  TKuraQuery q;
  q.SetDatabaseName("kyozai");
  q.SetRequestLive(false);
  q.SQL().Add("select ID, NOTE from notes order by ID desc");
  q.Open();
  ASSERT_EQ(q.RecordCount(), 3);
  EXPECT_TRUE(q.FieldByName("NOTE").IsNull());
  q.Next();
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), Pattern(1000));
  q.Next();
  EXPECT_EQ(q.FieldByName("NOTE").AsString(), "first note");
}

}  // namespace
}  // namespace kura::dstest
