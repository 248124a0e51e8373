// A SELECT over a damaged table says the table is damaged, never that another user changed a
// record: here a record names its memo with a change number the memo's blocks do not carry,
// while nobody else writes the table.
#include <span>

#include "engine/blob/BlobReference.h"
#include "tests/query_select/SelectTestSupport.h"

namespace kura::test {
namespace {

class SelectDamageMessageTest : public SelectTest {};

TEST_F(SelectDamageMessageTest, BlobThatDoesNotMatchItsRecordIsReportedAsDamage) {
  MakeTable("notes", {Field("id", EngineFieldType::Integer), Field("m", EngineFieldType::Blob, 0, 0, FieldSubType::Memo)},
            {{"1", "first memo"}, {"2", "second memo"}}, {{"", {"id"}}});
  EXPECT_EQ(Run("SELECT m FROM notes WHERE id = 2"), (R{{"second memo"}}));
  {
    // Damage: record 2's reference gets a change number its memo does not carry.
    TDataTable *table = FDirectory->OpenTable("notes", true, false, false, false);
    TDataFile &file = table->DataFile();
    const TBlobFieldInfo info = BlobFieldInfoOf(file.Field(2));
    TRecord *record = file.GetRecord(2);
    ASSERT_NE(record, nullptr);
    std::span<uint8_t> image(record->Image.data(), record->Image.size());
    TBlobReference reference = ReadBlobReference(image, info);
    ASSERT_GT(reference.FirstBlock, 0);
    reference.ChangeNumber += 1;
    StoreBlobReference(image, info, reference);
    file.MarkRecordDirty(record);
    file.ReleaseRecord(record);
    table->FlushBuffers(true);
    FDirectory->CloseTable(table);
  }
  EXPECT_EQ(Run("SELECT m FROM notes WHERE id = 1"), (R{{"first memo"}}));
  try {
    Run("SELECT m FROM notes");
    ADD_FAILURE() << "the damaged memo was read";
  } catch (const EKuraEngineError &e) {
    EXPECT_EQ(e.ErrorCode(), KURA_MEMOCORRUPT) << e.what();
    EXPECT_EQ(e.EngineMessage(), "BLOB block buffers corrupt in the table 'notes'");
  }
}

}  // namespace
}  // namespace kura::test
