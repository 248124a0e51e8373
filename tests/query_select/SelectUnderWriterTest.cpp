// A SELECT whose source another user tries to change while its rows are produced. The other
// user is a second session of this process (its own table object and caches, and locks that
// exclude it like another process's); it writes from the query's progress report, which comes
// before each record is read. The query holds its sources while it reads them, so the writer
// must wait (here: is refused, it cannot wait on the same thread); rows that are never deleted
// must all appear either way.
#include <algorithm>

#include "engine/file/LockRanges.h"
#include "engine/table/Engine.h"
#include "tests/query_select/SelectTestSupport.h"

namespace kura::test {
namespace {

class SelectUnderWriterTest : public SelectTest {
 protected:
  void SetUp() override {
    SelectTest::SetUp();
    FSavedRetry = LockRetrySettings();
    LockRetrySettings() = TLockRetrySettings{2, 1};
    MakeTable("cnt", {Field("id", EngineFieldType::Integer), Field("v", EngineFieldType::Integer)},
              {{"1", "0"}, {"2", "0"}, {"3", "0"}, {"4", "0"}, {"5", "0"}}, {{"", {"id"}}, {"ByV", {"v"}}});
  }

  void TearDown() override {
    LockRetrySettings() = FSavedRetry;
    SelectTest::TearDown();
  }

  // Runs the statement; before the record read at progress report number `at` the other user
  // runs `change` through its own cursor on cnt.
  R RunWithChange(const std::string &sql, int at, const std::function<void(TDataCursor &)> &change) {
    TDataSession &other = CreateSession();
    TDataDirectory *directory = other.OpenDataDirectory("other", DbPath());
    auto cursor = std::make_unique<TDataCursor>(directory, "cnt");
    cursor->OpenCursor();
    auto q = Query(sql);
    int reports = 0;
    q->OnProgress = [&](int, bool &) {
      if (reports++ != at) return;
      try {
        change(*cursor);
        ++FApplied;
      } catch (const EKuraEngineError &e) {
        EXPECT_EQ(e.ErrorCode(), KURA_LOCKTIMEOUT) << e.what();
        ++FRefused;
      }
    };
    q->Execute();
    R rows = Read(*q);
    // Once the query is done the writer gets through.
    EXPECT_NO_THROW(change(*cursor));
    q.reset();
    cursor.reset();
    DestroySession(&other);
    return rows;
  }

  TLockRetrySettings FSavedRetry;
  int FApplied = 0, FRefused = 0;
};

void BumpId1(TDataCursor &c) {
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetInteger(1, r.data(), 1);
  ASSERT_TRUE(c.Find(r.data(), false, 1, 0, false, r.data()));
  c.SetInteger(2, r.data(), c.GetInteger(2, r.data()) + 1);
  c.ModifyRecord(r.data());
}

void InsertAndDeleteOther(TDataCursor &c) {
  std::vector<uint8_t> r = c.NewRecordBuffer();
  c.SetInteger(1, r.data(), 100);
  c.SetInteger(2, r.data(), 7);
  c.AppendRecord(r.data());
  ASSERT_TRUE(c.Find(r.data(), false, 1, 0, false, r.data()));
  c.DeleteRecord(r.data());
}

// Every row is produced whatever the other user changes before whichever record is read,
// with and without a condition served by an index.
TEST_F(SelectUnderWriterTest, NoRowIsLostWhileAnotherUserWrites) {
  const std::vector<std::pair<const char *, std::function<void(TDataCursor &)>>> changes{
      {"update", BumpId1}, {"insert and delete", InsertAndDeleteOther}};
  const std::vector<std::string> statements{"SELECT id FROM cnt", "SELECT id FROM cnt WHERE v >= 0",
                                            "SELECT id FROM cnt WHERE id > 0 ORDER BY id"};
  for (const auto &[name, change] : changes)
    for (const std::string &sql : statements)
      for (int at = 0; at < 6; ++at) {
        SCOPED_TRACE(std::string(name) + " before read " + std::to_string(at) + ": " + sql);
        R rows = RunWithChange(sql, at, change);
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, (R{{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}));
      }
  // While rows were read no change got in.
  EXPECT_EQ(FApplied, 0);
  EXPECT_GT(FRefused, 0);
}

// The count of the same script agrees with the rows listed.
TEST_F(SelectUnderWriterTest, CountAgreesWithRowsAfterAnotherUsersUpdate) {
  for (int at = 0; at < 5; ++at) {
    const R rows = RunWithChange("SELECT * FROM cnt", at, BumpId1);
    EXPECT_EQ(rows.size(), 5u) << "change before read " << at;
    EXPECT_EQ(Run("SELECT COUNT(*) FROM cnt"), (R{{"5"}}));
  }
}

}  // namespace
}  // namespace kura::test
