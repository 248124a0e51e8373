// Filters on Memo fields read the text from the blob file.
#include "query/select/SelectBlobs.h"
#include "tests/query_filter/FilterTestSupport.h"

namespace kura::filtertest {
namespace {

TEST(FilterMemoTest, MemoConditionsSeeTheStoredText) {
  TempDir dir;
  StartEngine();
  {
    TDataDirectory *directory = DefaultSession().OpenDataDirectory("memo", dir.Path());
    TDataFileDefinition def;
    TFieldDescriptor notes = MakeField("Notes", EngineFieldType::Blob, 20);
    notes.SubType = FieldSubType::Memo;
    def.Fields = {MakeField("Id", EngineFieldType::Integer), notes};
    TDataCursor creator(directory, "notes");
    creator.CreateTable(def, {MakeIndex("", {1})});
    TDataCursor c(directory, "notes");
    c.OpenCursor();
    const std::vector<std::string> texts = {"a long note about apples", "", "cherries", "apples again", "nothing"};
    for (int i = 1; i <= 50; ++i) {
      std::vector<uint8_t> r = c.NewRecordBuffer();
      c.SetInteger(1, r.data(), i);
      WriteBlobValue(*c.Table(), c.Field(2), r.data(), TExpValue::OfStr(texts[static_cast<size_t>(i) % texts.size()]));
      c.AppendRecord(r.data(), false);
    }
    struct TCase {
      const char *Text;
      int64_t Count;
    } cases[] = {{"Notes LIKE '%apples%'", 20}, {"Notes IS NULL", 10}, {"Notes = 'cherries'", 10},
                 {"NOT (Notes LIKE '%apples%') AND Id > 25", 15}};
    for (const TCase &k : cases) {
      SCOPED_TRACE(k.Text);
      TExprFilter *f = AddExprFilter(c, k.Text);
      c.ActivateFilter(f);
      EXPECT_EQ(c.RecordCount(), k.Count);
      c.DropFilter(f);
    }
    c.CloseCursor();
  }
  StopEngine();
}

}  // namespace
}  // namespace kura::filtertest
