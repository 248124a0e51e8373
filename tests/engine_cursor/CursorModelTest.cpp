// Thousands of random appends, modifications and deletions against an ordered model of the
// table; after every batch every order is read both ways and compared, with counts, sequence
// numbers, searches and ranges. A second cursor stays open throughout and follows the changes.
#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "tests/engine_cursor/CursorTestSupport.h"

#include "engine/index/IndexFile.h"

using namespace kura;
using namespace kura::cursortest;

namespace {

struct TRow {
  int32_t Code = 0;
  std::string Name;
  std::optional<int32_t> Value;
  int32_t Tag = 0;
  int32_t AutoInc = 0;
};

struct TModelConfig {
  KeyCompression NameCompression;
  bool ValueDescending;
  bool Exclusive;
};

class CursorModel : public CursorTest, public ::testing::WithParamInterface<TModelConfig> {
 protected:
  void SetUp() override {
    StartEngine();
    DefaultSession().Settings.LockWaitTime = 5;
    DefaultSession().Settings.LockRetryCount = 2;
    FDirectory = DefaultSession().OpenDataDirectory("test", FDir.Path());
    TDataCursor creator(FDirectory, "model");
    creator.CreateTable(PeopleDefinition(),
                        {MakeIndex("", {1}), MakeIndex("ByName", {2}, false, false, GetParam().NameCompression),
                         MakeIndex("ByValueName", {3, 2}, false, GetParam().ValueDescending),
                         MakeIndex("ByTag", {4}, true, false, KeyCompression::TrailingBytes)});
  }

  static bool NameLess(const TRow &a, const TRow &b) {
    if (a.Name != b.Name) return a.Name < b.Name;
    return a.AutoInc < b.AutoInc;
  }
  static bool ValueLess(const TRow &a, const TRow &b) {
    if (a.Value.has_value() != b.Value.has_value()) return !a.Value.has_value();  // NULL first
    if (a.Value && *a.Value != *b.Value) return *a.Value < *b.Value;
    return NameLess(a, b);
  }

  std::vector<TRow> Rows() const {
    std::vector<TRow> rows;
    for (const auto &[code, row] : FModel) rows.push_back(row);
    return rows;
  }
  static std::vector<int32_t> CodesOf(const std::vector<TRow> &rows) {
    std::vector<int32_t> codes;
    for (const TRow &r : rows) codes.push_back(r.Code);
    return codes;
  }
  std::vector<int32_t> Expected(const std::string &index) const {
    std::vector<TRow> rows = Rows();
    if (index == "ByName") std::sort(rows.begin(), rows.end(), NameLess);
    if (index == "ByValueName") {
      std::sort(rows.begin(), rows.end(), ValueLess);
      if (GetParam().ValueDescending) std::reverse(rows.begin(), rows.end());
    }
    if (index == "ByTag") std::sort(rows.begin(), rows.end(), [](const TRow &a, const TRow &b) { return a.Tag < b.Tag; });
    if (index == "system")
      std::sort(rows.begin(), rows.end(), [](const TRow &a, const TRow &b) { return a.AutoInc < b.AutoInc; });
    return CodesOf(rows);
  }
  bool TagUsed(int32_t tag, int32_t exceptCode) const {
    for (const auto &[code, row] : FModel)
      if (row.Tag == tag && code != exceptCode) return true;
    return false;
  }

  std::vector<uint8_t> Buffer(TDataCursor &c, const TRow &row) {
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.SetInteger(1, r.data(), row.Code);
    c.SetString(2, r.data(), row.Name);
    if (row.Value)
      c.SetInteger(3, r.data(), *row.Value);
    else
      c.SetFieldNull(3, r.data());
    c.SetInteger(4, r.data(), row.Tag);
    return r;
  }
  TRow Random(std::mt19937 &rng) {
    static const char *names[] = {"al", "alma", "alva", "b", "ben", "bengt", "cara", "carl", "carla", "dan", "dana",
                                  "eve", "evelyn", "f", "fay", "gus", "hal", "hank", "ida", "ivan", "jo", "joe",
                                  "jon", "kim", "kimberly"};
    TRow row;
    row.Code = static_cast<int32_t>(rng() % 1500);
    row.Name = names[rng() % 25];
    if (rng() % 20 != 0) row.Value = static_cast<int32_t>(rng() % 41) - 20;
    row.Tag = static_cast<int32_t>(rng() % 100000);
    return row;
  }

  // Every order both ways, counts and sequence numbers, through the given cursor.
  void CheckOrders(TDataCursor &c) {
    const std::vector<std::pair<std::string, int>> orders = {
        {"", 0}, {"ByName", 1}, {"ByValueName", 2}, {"ByTag", 3}, {"system", kSystemRecordIndex}};
    std::vector<uint8_t> r = c.NewRecordBuffer();
    for (const auto &[name, number] : orders) {
      c.SetIndexNo(number);
      std::vector<int32_t> expected = Expected(name);
      ASSERT_EQ(c.RecordCount(), static_cast<int64_t>(expected.size())) << name;
      std::vector<int32_t> forward;
      c.SetToBegin();
      while (c.GetNextRecord(r.data()) == KURA_NONE) {
        forward.push_back(static_cast<int32_t>(c.GetInteger(1, r.data())));
        ASSERT_EQ(c.SequenceNumber(), static_cast<int64_t>(forward.size())) << name;
      }
      ASSERT_EQ(forward, expected) << name;
      std::vector<int32_t> backward = Codes(c, true);
      std::reverse(backward.begin(), backward.end());
      ASSERT_EQ(backward, expected) << name;
      if (!expected.empty()) {
        const int64_t middle = static_cast<int64_t>(expected.size() / 2) + 1;
        ASSERT_TRUE(c.SetToRecNo(middle));
        c.GetCurRecord(r.data());
        EXPECT_EQ(c.GetInteger(1, r.data()), expected[static_cast<size_t>(middle - 1)]) << name;
      }
    }
    // Every tree keeps its own rules, and the user indexes hold one key per live record.
    for (int indexNo : {0, 1, 2, 3}) {
      TIndexTree tree(c.IndexFile()->Pages(), indexNo, c.KeysOf(indexNo));
      EXPECT_EQ(tree.CheckStructure().Keys, static_cast<int64_t>(FModel.size())) << indexNo;
    }
    TIndexTree system(c.IndexFile()->Pages(), kSystemRecordIndex, c.KeysOf(kSystemRecordIndex));
    EXPECT_EQ(system.CheckStructure().Keys, c.GetDataHeader().NextRecordNumber() - 1);
    EXPECT_EQ(c.IndexFile()->Header().LiveRecordCount, static_cast<int32_t>(FModel.size()));
    // Natural order: every live record once, record numbers ascending.
    c.SetIndexNo(kNaturalOrder);
    std::multiset<int32_t> seen;
    int32_t lastRecNo = 0;
    c.SetToBegin();
    while (c.GetNextRecord(r.data()) == KURA_NONE) {
      seen.insert(static_cast<int32_t>(c.GetInteger(1, r.data())));
      EXPECT_GT(c.CurrentRecordNumber(), lastRecNo);
      lastRecNo = c.CurrentRecordNumber();
    }
    std::vector<int32_t> all = Expected("");
    EXPECT_EQ(std::vector<int32_t>(seen.begin(), seen.end()), all);
    EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(all.size()));
    c.SetIndexNo(0);
  }

  void CheckSearches(TDataCursor &c, std::mt19937 &rng) {
    std::vector<uint8_t> key = c.NewRecordBuffer(), r = c.NewRecordBuffer();
    const std::vector<int32_t> codes = Expected("");
    // Full key on the primary index.
    c.SetIndexNo(0);
    for (int i = 0; i < 25; ++i) {
      const int32_t code = static_cast<int32_t>(rng() % 1600);
      c.SetInteger(1, key.data(), code);
      const bool found = c.Find(key.data(), false, 0, 0, true, r.data());
      EXPECT_EQ(found, FModel.count(code) == 1) << code;
      if (codes.empty()) continue;
      auto next = std::lower_bound(codes.begin(), codes.end(), code);
      EXPECT_EQ(c.GetInteger(1, r.data()), next == codes.end() ? codes.back() : *next) << code;
    }
    // The first field of ByValueName: the first record of that value in index order.
    c.SetIndexName("ByValueName");
    const std::vector<int32_t> byValue = Expected("ByValueName");
    for (int i = 0; i < 15 && !byValue.empty(); ++i) {
      const int32_t value = static_cast<int32_t>(rng() % 45) - 22;
      c.SetInteger(3, key.data(), value);
      const bool found = c.Find(key.data(), false, 1, 0, false, r.data());
      // Expected: the first entry (in index order) whose value is >= value (<= when descending).
      std::optional<int32_t> expectedCode;
      bool exact = false;
      for (int32_t code : byValue) {
        const TRow &row = FModel.at(code);
        if (!row.Value) continue;
        const bool atOrAfter = GetParam().ValueDescending ? *row.Value <= value : *row.Value >= value;
        if (atOrAfter) {
          expectedCode = code;
          exact = *row.Value == value;
          break;
        }
      }
      EXPECT_EQ(found, exact) << value;
      if (expectedCode) EXPECT_EQ(c.GetInteger(1, r.data()), *expectedCode) << value;
    }
    // A partial length of a name.
    c.SetIndexName("ByName");
    const std::vector<int32_t> byName = Expected("ByName");
    for (const char *prefix : {"al", "be", "ca", "ev", "jo", "ki", "zz"}) {
      c.SetString(2, key.data(), prefix);
      const bool found = c.Find(key.data(), false, 0, 2, false, r.data());
      bool any = false;
      for (int32_t code : byName) {
        if (FModel.at(code).Name.compare(0, 2, prefix) == 0) {
          any = true;
          EXPECT_EQ(c.GetInteger(1, r.data()), code) << prefix;
          break;
        }
      }
      EXPECT_EQ(found, any) << prefix;
    }
    // Ranges on the value.
    c.SetIndexName("ByValueName");
    for (int i = 0; i < 6; ++i) {
      int32_t a = static_cast<int32_t>(rng() % 41) - 20, b = static_cast<int32_t>(rng() % 41) - 20;
      if (GetParam().ValueDescending) std::swap(a, b);  // index order runs downwards
      std::vector<uint8_t> lo = c.NewRecordBuffer(), hi = c.NewRecordBuffer();
      c.SetInteger(3, lo.data(), a);
      c.SetInteger(3, hi.data(), b);
      c.SetRange(lo.data(), hi.data(), false, 1, 0);
      std::vector<int32_t> expected;
      for (int32_t code : byValue) {
        const TRow &row = FModel.at(code);
        if (!row.Value) continue;
        const bool inside = GetParam().ValueDescending ? (*row.Value <= a && *row.Value >= b)
                                                        : (*row.Value >= a && *row.Value <= b);
        if (inside) expected.push_back(code);
      }
      EXPECT_EQ(c.RecordCount(), static_cast<int64_t>(expected.size())) << a << ".." << b;
      EXPECT_EQ(Codes(c), expected) << a << ".." << b;
      std::vector<int32_t> back = Codes(c, true);
      std::reverse(back.begin(), back.end());
      EXPECT_EQ(back, expected);
      c.ResetRange();
    }
    c.SetIndexNo(0);
  }

  std::map<int32_t, TRow> FModel;
};

TEST_P(CursorModel, RandomWritesAgainstAnOrderedModel) {
  TCursorOptions options;
  options.Exclusive = GetParam().Exclusive;
  TDataCursor &w = Open(options, "model");
  TDataCursor *reader = GetParam().Exclusive ? &w : &Open({}, "model");
  std::mt19937 rng(GetParam().Exclusive ? 77 : 1234);
  int violations = 0;
  for (int op = 1; op <= 8000; ++op) {
    const unsigned kind = rng() % 100;
    if (kind < 45 || FModel.empty()) {
      TRow row = Random(rng);
      std::vector<uint8_t> r = Buffer(w, row);
      const bool clash = FModel.count(row.Code) || TagUsed(row.Tag, INT32_MIN);
      const bool reposition = rng() % 2 == 0;
      const unsigned code = CodeOf([&] { w.AppendRecord(r.data(), reposition); });
      const std::string why = code != 0 ? LastErrorContext().Index : std::string();
      if (clash) {
        ASSERT_EQ(code, KURA_KEYVIOL) << op;
        ++violations;
        continue;
      }
      ASSERT_EQ(code, 0u) << "op " << op << ", index '" << why << "'";
      row.AutoInc = AutoIncOf(r);
      FModel[row.Code] = row;
    } else {
      auto it = FModel.begin();
      std::advance(it, static_cast<long>(rng() % FModel.size()));
      TRow old = it->second;
      std::vector<uint8_t> current = GoTo(w, old.Code);
      if (kind < 75) {
        TRow row = Random(rng);
        if (rng() % 2) row.Code = old.Code;
        if (rng() % 2) row.Tag = old.Tag;
        row.AutoInc = old.AutoInc;
        std::vector<uint8_t> r = Buffer(w, row);
        const bool clash = (row.Code != old.Code && FModel.count(row.Code)) || TagUsed(row.Tag, old.Code);
        const bool reposition = rng() % 2 == 0;
        std::string why;
        const unsigned code = CodeOf([&] { w.ModifyRecord(r.data(), true, reposition); });
        if (code != 0) why = LastErrorContext().Index;
        if (clash) {
          ASSERT_EQ(code, KURA_KEYVIOL) << op;
          ++violations;
          w.CancelRecord();
          continue;
        }
        ASSERT_EQ(code, 0u) << "op " << op << ", index '" << why << "'";
        FModel.erase(old.Code);
        FModel[row.Code] = row;
      } else {
        ASSERT_EQ(CodeOf([&] { w.DeleteRecord(current.data(), rng() % 2 == 0); }), 0u) << op;
        FModel.erase(old.Code);
      }
    }
    if (op % 800 == 0) {
      CheckOrders(*reader);
      if (HasFatalFailure()) return;
      CheckSearches(*reader, rng);
      EXPECT_EQ(w.RecordCount(), static_cast<int64_t>(FModel.size()));
    }
  }
  EXPECT_GT(violations, 10);
  // Everything survives closing and opening again.
  for (auto &c : FCursors) c->CloseCursor();
  TDataCursor &again = Open({}, "model");
  CheckOrders(again);
}

INSTANTIATE_TEST_SUITE_P(Configurations, CursorModel,
                         ::testing::Values(TModelConfig{KeyCompression::None, false, false},
                                           TModelConfig{KeyCompression::Full, true, false},
                                           TModelConfig{KeyCompression::DuplicateBytes, false, true},
                                           TModelConfig{KeyCompression::None, false, true},
                                           TModelConfig{KeyCompression::DuplicateBytes, false, false}));

}  // namespace
