// A cursor walking a table while "another user" changes it between every two moves. The other
// user is a second session of this process: it has its own table object and caches, so the
// walking cursor learns of each change only from the files' change counters, exactly as it would
// from another process. Records that are never deleted must each be met exactly once, in order.
#include <algorithm>

#include "tests/engine_cursor/CursorTestSupport.h"

namespace kura::cursortest {
namespace {

enum class TChange { UpdateLowest, UpdateCurrent, UpdateKeyOfOther, InsertBelow, InsertAbove, DeleteOther };

const char *ChangeName(TChange c) {
  switch (c) {
    case TChange::UpdateLowest: return "update of the lowest key";
    case TChange::UpdateCurrent: return "update of the current record";
    case TChange::UpdateKeyOfOther: return "key change of a record that comes and goes";
    case TChange::InsertBelow: return "insert below every key";
    case TChange::InsertAbove: return "insert above every key";
    case TChange::DeleteOther: return "delete of a record that comes and goes";
  }
  return "?";
}

class CursorResyncTest : public CursorTest {
 protected:
  // Fixed records: codes 10..60, never deleted. 99 is a record the other user may change.
  const std::vector<int32_t> FFixed{10, 20, 30, 40, 50, 60};

  void Fill() {
    TDataCursor &c = Open();
    for (int32_t code : FFixed) Add(c, code, "n" + std::to_string(code), code);
    Add(c, 99, "zz", 99);
    c.CloseCursor();
  }

  // The other user: a second session with its own table object, making one change per call.
  struct TOtherUser {
    explicit TOtherUser(const std::string &path) : Session(CreateSession()) {
      Directory = Session.OpenDataDirectory("other", path);
      Cursor = std::make_unique<TDataCursor>(Directory, "people");
      Cursor->OpenCursor();
    }
    ~TOtherUser() {
      Cursor.reset();
      DestroySession(&Session);
    }
    bool GoTo(int32_t code, std::vector<uint8_t> &r) {
      r = Cursor->NewRecordBuffer();
      Cursor->SetInteger(1, r.data(), code);
      return Cursor->Find(r.data(), false, 1, 0, false, r.data()) && Cursor->GetInteger(1, r.data()) == code;
    }
    void Apply(TChange change, int32_t currentCode, int step) {
      std::vector<uint8_t> r;
      switch (change) {
        case TChange::UpdateLowest:
        case TChange::UpdateCurrent:
          if (!GoTo(change == TChange::UpdateLowest ? 10 : (currentCode ? currentCode : 10), r)) return;
          // Value toggles between code and code + 1: the record keeps its place in every order.
          Cursor->SetInteger(3, r.data(), Cursor->GetInteger(3, r.data()) == Cursor->GetInteger(1, r.data())
                                              ? Cursor->GetInteger(1, r.data()) + 1
                                              : Cursor->GetInteger(1, r.data()));
          Cursor->ModifyRecord(r.data());
          return;
        case TChange::UpdateKeyOfOther:
          if (GoTo(99, r) || GoTo(1, r)) {
            // Moves between the two ends of the primary order.
            Cursor->SetInteger(1, r.data(), Cursor->GetInteger(1, r.data()) == 99 ? 1 : 99);
            Cursor->ModifyRecord(r.data());
          }
          return;
        case TChange::InsertBelow:
        case TChange::InsertAbove: {
          r = Cursor->NewRecordBuffer();
          const int32_t code = change == TChange::InsertBelow ? -step - 1 : 1000 + step;
          Cursor->SetInteger(1, r.data(), code);
          Cursor->SetString(2, r.data(), change == TChange::InsertBelow ? "a" : "zzz");
          Cursor->SetInteger(3, r.data(), code);
          Cursor->SetInteger(4, r.data(), code * 7 + 3);
          Cursor->AppendRecord(r.data());
          return;
        }
        case TChange::DeleteOther:
          if (GoTo(99, r)) {
            Cursor->DeleteRecord(r.data());
          } else {
            r = Cursor->NewRecordBuffer();
            Cursor->SetInteger(1, r.data(), 99);
            Cursor->SetString(2, r.data(), "zz");
            Cursor->SetInteger(4, r.data(), -99);
            Cursor->AppendRecord(r.data());
          }
          return;
      }
    }
    TDataSession &Session;
    TDataDirectory *Directory = nullptr;
    std::unique_ptr<TDataCursor> Cursor;
  };
};

// Walks forward and backward in several orders; before move k (for every k) the other user
// makes one change. Every fixed record appears exactly once and in the order's sequence.
TEST_F(CursorResyncTest, WalkMeetsEveryFixedRecordWhateverAnotherUserChanges) {
  Fill();
  struct TOrder {
    const char *Name;
    bool Natural;
    std::string Index;
  };
  const std::vector<TOrder> orders{{"primary", false, ""}, {"by name", false, "ByName"},
                                   {"by value", false, "ByValueName"}, {"natural", true, ""}};
  const std::vector<TChange> changes{TChange::UpdateLowest, TChange::UpdateCurrent, TChange::UpdateKeyOfOther,
                                     TChange::InsertBelow,  TChange::InsertAbove,   TChange::DeleteOther};
  TOtherUser other(FDir.Path());
  int walks = 0;
  for (const TOrder &order : orders)
    for (TChange change : changes)
      for (bool backward : {false, true})
        for (size_t at = 0; at <= FFixed.size() + 1; ++at) {
          SCOPED_TRACE(std::string(order.Name) + ", " + ChangeName(change) + (backward ? ", backward" : ", forward") +
                       ", before move " + std::to_string(at));
          TCursorOptions options;
          options.NaturalOrder = order.Natural;
          TDataCursor &c = Open(options);
          if (!order.Natural) c.SetIndexName(order.Index);
          std::vector<uint8_t> r = c.NewRecordBuffer();
          std::vector<int32_t> seen;
          if (backward) c.SetToEnd(); else c.SetToBegin();
          for (size_t move = 0;; ++move) {
            if (move == at) other.Apply(change, seen.empty() ? 0 : seen.back(), walks);
            const uint16_t code = backward ? c.GetPriorRecord(r.data()) : c.GetNextRecord(r.data());
            if (code != KURA_NONE) {
              EXPECT_EQ(code, backward ? KURA_BOF : KURA_EOF);
              break;
            }
            const int32_t got = static_cast<int32_t>(c.GetInteger(1, r.data()));
            if (std::find(FFixed.begin(), FFixed.end(), got) != FFixed.end()) seen.push_back(got);
            ASSERT_LT(move, 5000u);  // a walk that never ends
          }
          // Every order (codes, names "n10".."n60", values, slots filled in code order) puts the
          // fixed records in code order.
          std::vector<int32_t> expected = FFixed;
          if (backward) std::reverse(expected.begin(), expected.end());
          EXPECT_EQ(seen, expected);
          // The record count agrees with a full walk made now.
          EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(Codes(c).size()));
          FCursors.pop_back();
          ++walks;
        }
  EXPECT_EQ(walks, 4 * 6 * 2 * 8);
}

}  // namespace
}  // namespace kura::cursortest
