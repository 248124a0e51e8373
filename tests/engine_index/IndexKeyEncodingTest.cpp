// Key bytes of every field type: bytewise order must equal value order, NULL first.
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "IndexTestSupport.h"

using namespace kura;
using namespace kura::indextest;

namespace {

std::vector<uint8_t> KeyOf(const TIndexKeyDefinition &d, const std::vector<uint8_t> &record) {
  return d.BuildKey(record.data(), record.size());
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

int Bytewise(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  return Sign(std::memcmp(a.data(), b.data(), a.size()));
}

// Encodes every pair of values with `set` and checks bytewise order against `less`.
template <typename T>
void CheckOrder(EngineFieldType type, uint16_t size, const std::vector<T> &values,
                const std::function<void(const TRecordLayout &, std::vector<uint8_t> &, size_t, T)> &set) {
  TRecordLayout layout;
  size_t f = layout.Add(type, size);
  TIndexKeyDefinition d = layout.Keys({f}, true);
  std::vector<uint8_t> nullRecord = layout.NewRecord();
  std::vector<uint8_t> nullKey = KeyOf(d, nullRecord);
  for (const T &a : values) {
    std::vector<uint8_t> ra = layout.NewRecord();
    set(layout, ra, f, a);
    std::vector<uint8_t> ka = KeyOf(d, ra);
    EXPECT_EQ(ka[0], 1);
    EXPECT_LT(Bytewise(nullKey, ka), 0) << "NULL sorts first";
    for (const T &b : values) {
      std::vector<uint8_t> rb = layout.NewRecord();
      set(layout, rb, f, b);
      std::vector<uint8_t> kb = KeyOf(d, rb);
      int expected = a < b ? -1 : (b < a ? 1 : 0);
      EXPECT_EQ(Bytewise(ka, kb), expected) << "type " << static_cast<int>(type) << " " << a << " vs " << b;
    }
  }
}

}  // namespace

TEST(IndexKeyEncoding, IntegerMinusOneZeroOneEncodeAsDocumentedAndSortInOrder) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition unique = layout.Keys({f}, true);
  TIndexKeyDefinition nonUnique = layout.Keys({f}, false);
  EXPECT_EQ(unique.KeyLength(), 5);
  EXPECT_EQ(nonUnique.KeyLength(), 9);
  std::vector<std::vector<uint8_t>> expected = {
      {1, 0x7F, 0xFF, 0xFF, 0xFF}, {1, 0x80, 0x00, 0x00, 0x00}, {1, 0x80, 0x00, 0x00, 0x01}};
  int values[] = {-1, 0, 1};
  for (int i = 0; i < 3; ++i) {
    std::vector<uint8_t> r = layout.NewRecord();
    layout.SetInt32(r, f, values[i]);
    EXPECT_EQ(KeyOf(unique, r), expected[i]);
  }
}

TEST(IndexKeyEncoding, EveryIntegerTypeOrdersBytewise) {
  std::vector<int64_t> ints = {std::numeric_limits<int32_t>::min(), -70000, -32768, -256, -1, 0, 1, 255, 256,
                               32767, 65535, 70000, std::numeric_limits<int32_t>::max()};
  for (EngineFieldType t : {EngineFieldType::Integer, EngineFieldType::Date, EngineFieldType::Time}) {
    CheckOrder<int64_t>(t, 4, ints, [](const TRecordLayout &l, std::vector<uint8_t> &r, size_t f, int64_t v) {
      l.SetInt32(r, f, static_cast<int32_t>(v));
    });
  }
  std::vector<int64_t> smalls = {-32768, -300, -1, 0, 1, 255, 256, 32767};
  CheckOrder<int64_t>(EngineFieldType::SmallInt, 2, smalls,
                      [](const TRecordLayout &l, std::vector<uint8_t> &r, size_t f, int64_t v) {
                        l.SetInt16(r, f, static_cast<int16_t>(v));
                      });
  std::vector<int64_t> words = {0, 1, 255, 256, 32767, 32768, 65535};
  for (EngineFieldType t : {EngineFieldType::Word, EngineFieldType::Boolean}) {
    CheckOrder<int64_t>(t, 2, words, [](const TRecordLayout &l, std::vector<uint8_t> &r, size_t f, int64_t v) {
      l.SetInt16(r, f, static_cast<int16_t>(static_cast<uint16_t>(v)));
    });
  }
  std::vector<int64_t> large = {std::numeric_limits<int64_t>::min(), -(int64_t{1} << 40), -1, 0, 1,
                                int64_t{1} << 33, std::numeric_limits<int64_t>::max()};
  CheckOrder<int64_t>(EngineFieldType::LargeInt, 8, large,
                      [](const TRecordLayout &l, std::vector<uint8_t> &r, size_t f, int64_t v) { l.SetInt64(r, f, v); });
}

TEST(IndexKeyEncoding, FloatAndTimeStampFoldTheSign) {
  std::vector<double> values = {-std::numeric_limits<double>::infinity(), -1e300, -2.5, -1.0, -1e-300, 0.0, 1e-300,
                                0.5, 1.0, 2.5, 1e300, std::numeric_limits<double>::infinity()};
  for (EngineFieldType t : {EngineFieldType::Float, EngineFieldType::TimeStamp})
    CheckOrder<double>(t, 8, values,
                       [](const TRecordLayout &l, std::vector<uint8_t> &r, size_t f, double v) { l.SetDouble(r, f, v); });
  // 0 and -0 are the same value and give the same key.
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Float, 8);
  TIndexKeyDefinition d = layout.Keys({f}, true);
  std::vector<uint8_t> a = layout.NewRecord(), b = layout.NewRecord();
  layout.SetDouble(a, f, 0.0);
  layout.SetDouble(b, f, -0.0);
  EXPECT_EQ(KeyOf(d, a), KeyOf(d, b));
}

TEST(IndexKeyEncoding, BcdIsKeyedAsRoundedCurrency) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::BCD, 34);
  TIndexKeyDefinition d = layout.Keys({f}, true);
  EXPECT_EQ(d.KeyLength(), 9);
  auto key = [&](const std::string &text) {
    std::vector<uint8_t> r = layout.NewRecord();
    std::vector<uint8_t> bcd = PackBcd(text);
    layout.SetBytes(r, f, bcd.data(), bcd.size());
    return KeyOf(d, r);
  };
  // 1.5 is 15000 in currency units: big-endian with the sign bit inverted.
  std::vector<uint8_t> k = key("1.5");
  std::vector<uint8_t> expected = {1, 0x80, 0, 0, 0, 0, 0, 0x3A, 0x98};
  EXPECT_EQ(k, expected);
  std::vector<std::string> ordered = {"-99999.9999", "-12.5", "-0.0001", "0", "0.0001", "0.00016",
                                      "1.5", "12.3456", "100", "922337203685477"};
  for (size_t i = 0; i + 1 < ordered.size(); ++i)
    EXPECT_LT(Bytewise(key(ordered[i]), key(ordered[i + 1])), 0) << ordered[i] << " < " << ordered[i + 1];
  // Rounding to four places: 0.00004 and 0 share a key, 0.00016 and 0.0002 too (0.00016 > 0.0001).
  EXPECT_EQ(key("0.00004"), key("0"));
  EXPECT_EQ(key("0.00016"), key("0.0002"));
  EXPECT_EQ(key("2.50"), key("2.5"));
}

TEST(IndexKeyEncoding, StringsOrderBytewiseAndCaseInsensitiveKeysAreUpperCased) {
  std::vector<std::string> values = {"", "A", "AB", "ABC", "B", "Ba", "a", "ab", "b"};
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::String, 11);
  TIndexKeyDefinition d = layout.Keys({f}, true);
  for (const std::string &a : values)
    for (const std::string &b : values) {
      std::vector<uint8_t> ra = layout.NewRecord(), rb = layout.NewRecord();
      if (a.empty()) layout.SetNull(ra, f); else layout.SetString(ra, f, a);
      if (b.empty()) layout.SetNull(rb, f); else layout.SetString(rb, f, b);
      EXPECT_EQ(Bytewise(KeyOf(d, ra), KeyOf(d, rb)), Sign(a.compare(b))) << a << " vs " << b;
    }
  d.CaseInsensitive = true;
  std::vector<uint8_t> lower = layout.NewRecord(), upper = layout.NewRecord();
  layout.SetString(lower, f, "abc");
  layout.SetString(upper, f, "ABC");
  EXPECT_EQ(KeyOf(d, lower), KeyOf(d, upper));
  std::vector<uint8_t> k = KeyOf(d, lower);
  EXPECT_EQ(k.size(), 12u);
  EXPECT_EQ(std::string(k.begin() + 1, k.begin() + 4), "ABC");
  EXPECT_TRUE(std::all_of(k.begin() + 4, k.end(), [](uint8_t b) { return b == 0; }));
}

TEST(IndexKeyEncoding, GarbageAfterTheTerminatorDoesNotReachTheKey) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::String, 8);
  TIndexKeyDefinition d = layout.Keys({f}, true);
  std::vector<uint8_t> a = layout.NewRecord(), b = layout.NewRecord();
  layout.SetString(a, f, "ab");
  layout.SetString(b, f, "ab");
  b[layout.Field(f).NullOffset + 5] = 'x';
  EXPECT_EQ(KeyOf(d, a), KeyOf(d, b));
}

TEST(IndexKeyEncoding, BytesLongWordAndExtendedAreCopiedUnchanged) {
  TRecordLayout layout;
  size_t bytes = layout.Add(EngineFieldType::Bytes, 3);
  size_t lw = layout.Add(EngineFieldType::LongWord, 4);
  size_t ext = layout.Add(EngineFieldType::Extended, 10);
  TIndexKeyDefinition d = layout.Keys({bytes, lw, ext}, true);
  std::vector<uint8_t> r = layout.NewRecord();
  uint8_t b3[3] = {9, 8, 7}, b4[4] = {1, 2, 3, 4}, b10[10] = {10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  layout.SetBytes(r, bytes, b3, 3);
  layout.SetBytes(r, lw, b4, 4);
  layout.SetBytes(r, ext, b10, 10);
  std::vector<uint8_t> expected = {1, 9, 8, 7, 1, 1, 2, 3, 4, 1, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  EXPECT_EQ(KeyOf(d, r), expected);
}

TEST(IndexKeyEncoding, NonUniqueKeysEndWithTheAutoIncrementTieBreak) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition d = layout.Keys({f}, false);
  std::vector<uint8_t> a = layout.NewRecord(), b = layout.NewRecord();
  layout.SetInt32(a, f, 7);
  layout.SetInt32(b, f, 7);
  layout.SetAutoInc(a, 2);
  layout.SetAutoInc(b, 10);
  std::vector<uint8_t> ka = KeyOf(d, a), kb = KeyOf(d, b);
  EXPECT_EQ(ka.size(), 9u);
  EXPECT_LT(Bytewise(ka, kb), 0) << "equal values sort by insertion";
  std::vector<uint8_t> tail(ka.end() - 4, ka.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0x80, 0, 0, 2}));
}

TEST(IndexKeyEncoding, AutoIncKeyFieldReadsTheRecordPrefixAndIsNeverNull) {
  TRecordLayout layout;
  size_t id = layout.Add(EngineFieldType::Integer, 4, true);
  TIndexKeyDefinition d = layout.Keys({id}, true);
  std::vector<uint8_t> r = layout.NewRecord();
  layout.SetAutoInc(r, 3);
  EXPECT_EQ(KeyOf(d, r), (std::vector<uint8_t>{1, 0x80, 0, 0, 3}));
}

TEST(IndexKeyEncoding, SystemRecordIndexKeyIsDeletedFlagAndAutoIncrement) {
  TIndexKeyDefinition d = TIndexKeyDefinition::SystemRecordIndex();
  EXPECT_EQ(d.KeyLength(), 5);
  std::vector<uint8_t> r(20, 0);
  r[0] = 1;
  indexbytes::PutI32LE(r.data() + 5, -2);
  EXPECT_EQ(KeyOf(d, r), (std::vector<uint8_t>{1, 0x7F, 0xFF, 0xFF, 0xFE}));
}

TEST(IndexKeyEncoding, PerFieldDescendingInvertsTheFieldWithoutALocale) {
  TRecordLayout layout;
  size_t name = layout.Add(EngineFieldType::String, 6);
  size_t n = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition d = layout.Keys({name, n}, true, false, {true, false});
  auto key = [&](const char *s, int v) {
    std::vector<uint8_t> r = layout.NewRecord();
    if (s) layout.SetString(r, name, s); else layout.SetNull(r, name);
    layout.SetInt32(r, n, v);
    return KeyOf(d, r);
  };
  std::vector<uint8_t> k = key("ab", 1);
  EXPECT_EQ(k[0], 0xFE);                    // inverted indicator
  EXPECT_EQ(k[1], static_cast<uint8_t>(~'a'));
  EXPECT_EQ(k[6], 0);                       // a String keeps its last byte
  EXPECT_EQ(k[7], 1);                       // the next field is ascending
  // The name sorts descending ("b" before "ab" before "a"), NULL last, the number ascending.
  EXPECT_LT(d.Compare(key("b", 5).data(), key("ab", 1).data()), 0);
  EXPECT_LT(d.Compare(key("abc", 1).data(), key("ab", 1).data()), 0);
  EXPECT_LT(d.Compare(key("a", 1).data(), key(nullptr, 0).data()), 0);
  EXPECT_LT(d.Compare(key("a", 1).data(), key("a", 2).data()), 0);
}

TEST(IndexKeyEncoding, DescendingIndexReversesOrderWithNullsLast) {
  TRecordLayout layout;
  size_t f = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition d = layout.Keys({f}, true, true);
  std::vector<uint8_t> r1 = layout.NewRecord(), r2 = layout.NewRecord(), rn = layout.NewRecord();
  layout.SetInt32(r1, f, 1);
  layout.SetInt32(r2, f, 2);
  EXPECT_LT(d.Compare(KeyOf(d, r2).data(), KeyOf(d, r1).data()), 0);
  EXPECT_LT(d.Compare(KeyOf(d, r1).data(), KeyOf(d, rn).data()), 0);
  // The bytes are not inverted for a whole-index descending order.
  EXPECT_EQ(KeyOf(d, r1)[0], 1);
}

TEST(IndexKeyEncoding, LocaleComparisonGoesFieldByFieldThroughTheCollation) {
  TRecordLayout layout;
  size_t s = layout.Add(EngineFieldType::String, 8);
  size_t n = layout.Add(EngineFieldType::Integer, 4);
  TIndexKeyDefinition bytewise = layout.Keys({s, n}, false);
  TIndexKeyDefinition local = bytewise;
  local.LanguageId = 1033;
  auto key = [&](const std::string &text, int v, int autoInc) {
    std::vector<uint8_t> r = layout.NewRecord();
    layout.SetString(r, s, text);
    layout.SetInt32(r, n, v);
    layout.SetAutoInc(r, autoInc);
    return bytewise.BuildKey(r.data(), r.size());
  };
  std::vector<uint8_t> b = key("b", 1, 1), C = key("C", 1, 2);
  EXPECT_GT(bytewise.Compare(b.data(), C.data()), 0);  // 'C' < 'b' in byte order
  EXPECT_LT(local.Compare(b.data(), C.data()), 0);     // b before C in a dictionary
  // Equal texts fall through to the next field and then to the tie-break.
  EXPECT_LT(local.Compare(key("x", 1, 9).data(), key("x", 2, 1).data()), 0);
  EXPECT_LT(local.Compare(key("x", 1, 1).data(), key("x", 1, 2).data()), 0);
  // A compare length that stops inside the text compares only the covered part.
  EXPECT_EQ(local.Compare(key("abc", 1, 1).data(), key("abd", 1, 1).data(), 3), 0);
  EXPECT_LT(local.Compare(key("abc", 1, 1).data(), key("abd", 1, 1).data(), 4), 0);
  // Per-field descending is handled by the comparison: the bytes stay as they are.
  TIndexKeyDefinition localDesc = layout.Keys({s, n}, false, false, {true, false});
  localDesc.LanguageId = 1033;
  std::vector<uint8_t> rec = layout.NewRecord();
  layout.SetString(rec, s, "a");
  EXPECT_EQ(localDesc.BuildKey(rec.data(), rec.size())[0], 1);
  EXPECT_GT(localDesc.Compare(key("a", 1, 1).data(), key("b", 1, 1).data()), 0);
  EXPECT_LT(localDesc.Compare(key("a", 1, 1).data(), key("a", 2, 1).data()), 0);
}

TEST(IndexKeyEncoding, KeyFieldOutsideTheRecordIsRefused) {
  TIndexKeyDefinition d;
  TIndexKeyField f;
  f.Type = EngineFieldType::Integer;
  f.StoredSize = 4;
  f.NullOffset = 30;
  d.Fields.push_back(f);
  std::vector<uint8_t> r(20, 0);
  EXPECT_EQ(CodeOf([&] { d.BuildKey(r.data(), r.size()); }), KURA_INVALIDIDXDESC);
}

TEST(IndexKeyEncoding, RandomIntegerPairsKeepTheirOrderInMultiFieldKeys) {
  TRecordLayout layout;
  size_t a = layout.Add(EngineFieldType::SmallInt, 2);
  size_t b = layout.Add(EngineFieldType::LargeInt, 8);
  TIndexKeyDefinition d = layout.Keys({a, b}, true);
  std::mt19937_64 rng(42);
  for (int i = 0; i < 2000; ++i) {
    int16_t a1 = static_cast<int16_t>(rng() % 7) - 3, a2 = static_cast<int16_t>(rng() % 7) - 3;
    int64_t b1 = static_cast<int64_t>(rng()), b2 = static_cast<int64_t>(rng());
    std::vector<uint8_t> r1 = layout.NewRecord(), r2 = layout.NewRecord();
    layout.SetInt16(r1, a, a1);
    layout.SetInt64(r1, b, b1);
    layout.SetInt16(r2, a, a2);
    layout.SetInt64(r2, b, b2);
    int expected = std::make_pair(a1, b1) < std::make_pair(a2, b2) ? -1 : (std::make_pair(a2, b2) < std::make_pair(a1, b1) ? 1 : 0);
    EXPECT_EQ(Bytewise(KeyOf(d, r1), KeyOf(d, r2)), expected);
  }
}

TEST(IndexKeyEncoding, PrefixLengthsAndPaddedSearchKeysForPartialSearches) {
  TRecordLayout layout;
  size_t a = layout.Add(EngineFieldType::Integer, 4);
  size_t s = layout.Add(EngineFieldType::String, 11);
  TIndexKeyDefinition d = layout.Keys({a, s}, false);
  EXPECT_EQ(d.KeyLength(), 5 + 12 + 4);
  EXPECT_EQ(d.PrefixLength(1), 5);
  EXPECT_EQ(d.PrefixLength(1, 3), 5 + 1 + 3);
  EXPECT_EQ(d.PrefixLength(2), 17);
  EXPECT_EQ(d.PrefixLength(2, 5), 17);   // no field after the last one
  EXPECT_EQ(d.PrefixLength(1, 50), 17);  // never past the field
  std::vector<uint8_t> r = layout.NewRecord();
  layout.SetInt32(r, a, 4);
  layout.SetString(r, s, "abc");
  layout.SetAutoInc(r, 9);
  std::vector<uint8_t> key = d.BuildKey(r.data(), r.size());
  std::vector<uint8_t> low = key, high = key;
  d.FillKeyTail(low.data(), 5, false);
  d.FillKeyTail(high.data(), 5, true);
  EXPECT_LT(d.Compare(low.data(), key.data()), 0);
  EXPECT_GT(d.Compare(high.data(), key.data()), 0);
  EXPECT_EQ(d.Compare(low.data(), key.data(), d.PrefixLength(1)), 0);
}
