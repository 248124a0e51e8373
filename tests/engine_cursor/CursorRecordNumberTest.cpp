// A cursor put on a record by its record number finds its index entry only when it needs it.
// Every case runs twice on two tables filled alike: once through SetToRecordNumber (and a delete
// by the cursor itself, which leaves it in the gap without a search), once through a search for
// the record's key (and a delete by another cursor, after which the cursor searches its gap at
// once). Both must then see the same records in the same places.
#include "tests/engine_cursor/CursorTestSupport.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

enum class TAction { None, ModifyValue, ModifyName, ModifyCode, Delete, OtherDeletesNeighbour, OtherModifiesIt };

enum class TLimit { None, Range, Filter };

struct TCase {
  const char *Order;  // index name, "#natural" or "#system"
  TLimit Limit;       // a range of codes 10 to 80 (primary order), or a filter hiding values 1 and 3
  int32_t Slot;
  TAction Action;
  const char *Moves;  // n = next, p = prior, s = sequence number, c = current record, b = bookmark
};

class CursorRecordNumber : public CursorTest {
 protected:
  // Fills a table with the same records in the same slots (one freed slot among them).
  void Fill(TDataCursor &c) {
    const int32_t codes[] = {50, 10, 90, 30, 70, 20, 80, 40, 60, 100, 5, 95};
    const char *names[] = {"kei", "ai", "mio", "ai", "ren", "sora", "kei", "yu", "ai", "mio", "zen", "aoi"};
    for (int i = 0; i < 12; ++i) Add(c, codes[i], names[i], (i * 7) % 5, false);
    GoTo(c, 20);
    c.DeleteRecord(nullptr);  // slot 6 is freed
  }
  static void SetOrder(TDataCursor &c, const TCase &t) {
    const std::string order = t.Order;
    if (order == "#natural")
      c.SetIndexNo(kNaturalOrder);
    else if (order == "#system")
      c.SetIndexNo(kSystemRecordIndex);
    else
      c.SetIndexName(order);
    if (t.Limit == TLimit::Range) {
      std::vector<uint8_t> low = c.NewRecordBuffer(), high = c.NewRecordBuffer();
      c.SetInteger(1, low.data(), 10);
      c.SetInteger(1, high.data(), 80);
      c.SetRange(low.data(), high.data(), false, 1, 0);
    } else if (t.Limit == TLimit::Filter) {
      c.ActivateFilter(c.AddCallbackFilter([&c](const uint8_t *record) {
        const int64_t value = c.GetInteger(3, record);
        return value != 1 && value != 3;
      }));
    }
  }
  // Puts the cursor on the record of a slot through a search for its key in the current order
  // (the position found at once).
  static bool GoEager(TDataCursor &c, int32_t slot, std::vector<uint8_t> &r) {
    if (!c.ReadRecordInto(slot, r.data())) return false;
    std::vector<uint8_t> bookmark(4, 0);
    if (c.InNaturalOrder())
      PutI32(bookmark.data(), slot);
    else
      bookmark = c.KeysOf(c.IndexNo()).BuildKey(r.data(), c.StoredRecordSize());
    c.SetToBookmark(bookmark);
    if (!c.OnRecord() || c.CurrentRecordNumber() != slot) return false;
    r = c.CurrentRecord();
    return true;
  }
  // What one cursor sees after going to the slot, doing the action and making the moves.
  std::vector<std::string> Run(TDataCursor &c, TDataCursor &other, const TCase &t, bool lazy) {
    std::vector<std::string> seen;
    std::vector<uint8_t> r = c.NewRecordBuffer();
    const bool on = lazy ? c.SetToRecordNumber(t.Slot, r.data()) : GoEager(c, t.Slot, r);
    seen.push_back(on ? "on " + std::to_string(c.GetInteger(1, r.data())) : "off");
    if (!on) return seen;
    switch (t.Action) {
      case TAction::None:
        break;
      case TAction::ModifyValue:
        c.SetInteger(3, r.data(), 9);
        c.ModifyRecord(r.data(), true, false);
        break;
      case TAction::ModifyName:
        c.SetString(2, r.data(), "b");
        c.ModifyRecord(r.data(), true, false);
        break;
      case TAction::ModifyCode:
        c.SetInteger(1, r.data(), 55);
        c.ModifyRecord(r.data(), true, false);
        break;
      case TAction::Delete:
        if (lazy) {
          c.DeleteRecord(r.data(), false);
        } else {
          // The reference: the gap found by a search for the key at once (the cursor notices
          // the change made by the other cursor at its next step).
          GoTo(other, static_cast<int32_t>(c.GetInteger(1, r.data())));
          other.DeleteRecord(nullptr);
        }
        break;
      case TAction::OtherDeletesNeighbour:
        GoTo(other, c.GetInteger(1, r.data()) == 10 ? 30 : 10);
        other.DeleteRecord(nullptr);
        break;
      case TAction::OtherModifiesIt: {
        std::vector<uint8_t> o = GoTo(other, static_cast<int32_t>(c.GetInteger(1, r.data())));
        other.SetString(2, o.data(), "zz");
        other.ModifyRecord(o.data());
        break;
      }
    }
    std::vector<uint8_t> b = c.NewRecordBuffer();
    for (const char *m = t.Moves; *m; ++m) {
      std::string step(1, *m);
      if (*m == 'n' || *m == 'p' || *m == 'c') {
        const uint16_t code = *m == 'n' ? c.GetNextRecord(b.data())
                                        : (*m == 'p' ? c.GetPriorRecord(b.data()) : c.GetCurRecord(b.data()));
        step += " " + std::to_string(code) + " " + std::to_string(c.GetInteger(1, b.data())) + " " +
                c.GetString(2, b.data());
      } else if (*m == 's') {
        step += " " + std::to_string(c.SequenceNumber());
      } else if (*m == 'b') {
        const std::vector<uint8_t> mark = c.GetBookmark();
        step += " " + std::string(mark.begin(), mark.end());
      }
      seen.push_back(step);
    }
    return seen;
  }
};

TEST_F(CursorRecordNumber, SeesWhatASearchForTheKeySees) {
  const TCase cases[] = {
      {"", TLimit::None, 1, TAction::None, "snnpbs"},
      {"", TLimit::None, 12, TAction::None, "nppp"},
      {"", TLimit::None, 3, TAction::ModifyValue, "cspnn"},
      {"", TLimit::None, 5, TAction::ModifyName, "bpn"},
      {"", TLimit::None, 2, TAction::ModifyCode, "csnpp"},
      {"", TLimit::None, 4, TAction::Delete, "nnpp"},
      {"", TLimit::None, 4, TAction::Delete, "ppnn"},
      {"", TLimit::None, 11, TAction::Delete, "pn"},
      {"", TLimit::None, 3, TAction::Delete, "nnn"},
      {"", TLimit::None, 2, TAction::OtherDeletesNeighbour, "cspn"},
      {"", TLimit::None, 7, TAction::OtherModifiesIt, "cnp"},
      {"", TLimit::None, 6, TAction::None, "n"},  // the freed slot
      {"", TLimit::None, 40, TAction::None, "n"},  // beyond the table
      {"ByName", TLimit::None, 9, TAction::None, "spnn"},
      {"ByName", TLimit::None, 4, TAction::ModifyValue, "pnn"},
      {"ByName", TLimit::None, 9, TAction::ModifyName, "csnp"},
      {"ByName", TLimit::None, 2, TAction::Delete, "npp"},
      {"ByName", TLimit::None, 4, TAction::Delete, "pnn"},
      {"ByValueName", TLimit::None, 5, TAction::ModifyValue, "cspnn"},
      {"ByValueName", TLimit::None, 8, TAction::ModifyCode, "snp"},
      {"ByTag", TLimit::None, 10, TAction::ModifyName, "snpp"},
      {"ByTag", TLimit::None, 1, TAction::Delete, "ppn"},
      {"#system", TLimit::None, 7, TAction::ModifyValue, "snp"},
      {"#system", TLimit::None, 7, TAction::Delete, "pnn"},
      {"#natural", TLimit::None, 5, TAction::ModifyValue, "snp"},
      {"#natural", TLimit::None, 5, TAction::Delete, "pnn"},
      {"", TLimit::Range, 3, TAction::None, "n"},  // outside the range
      {"", TLimit::Range, 4, TAction::Delete, "pnn"},
      {"", TLimit::Range, 7, TAction::Delete, "nnp"},
      {"", TLimit::Range, 9, TAction::ModifyValue, "spn"},
      {"", TLimit::Filter, 4, TAction::None, "n"},  // hidden by the filter
      {"", TLimit::Filter, 3, TAction::Delete, "pnn"},
      {"ByName", TLimit::Filter, 5, TAction::ModifyName, "cnp"},
      {"ByName", TLimit::Filter, 12, TAction::Delete, "ppnn"},
  };
  for (const TCase &t : cases) {
    std::vector<std::string> results[2];
    for (int lazy = 0; lazy < 2; ++lazy) {
      const std::string table = lazy ? "people" : "twin";
      TDataCursor(FDirectory, table).CreateTable(PeopleDefinition(), PeopleIndexes(), true);
      TDataCursor &c = Open({}, table);
      TDataCursor &other = Open({}, table);
      Fill(c);
      SetOrder(c, t);
      results[lazy] = Run(c, other, t, lazy == 1);
      FCursors.clear();
    }
    EXPECT_EQ(results[1], results[0]) << t.Order << " slot " << t.Slot << " moves " << t.Moves;
  }
}

}  // namespace
