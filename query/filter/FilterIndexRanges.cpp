#include "query/filter/FilterIndexRanges.h"

#include <algorithm>
#include <vector>

#include "engine/data/FieldTypes.h"
#include "engine/index/IndexFile.h"
#include "query/select/SelectValues.h"

namespace kura {

namespace {

// An inclusive stretch of index ordinals (empty when First > Last).
struct TOrdinals {
  int64_t First = 1;
  int64_t Last = 0;
  bool Empty() const { return First > Last; }
};

TOrdinals Intersect(TOrdinals a, TOrdinals b) { return {std::max(a.First, b.First), std::min(a.Last, b.Last)}; }

const TExpToken *ColumnOperand(const TExpToken &node) {
  const TExpToken *operand = nullptr;
  if (node.Kind == TExpNodeKind::ExtPredicate) operand = node.Args.empty() ? nullptr : node.Args[0];
  else operand = node.Left;
  return operand;
}

bool IsUpperOf(const TExpToken *n) {
  return n && n->Kind == TExpNodeKind::Function && n->Code == TExpCode::Upper;
}

const TExpToken *UpperArgument(const TExpToken *n) {
  if (n->Left) return n->Left;
  return n->Args.empty() ? nullptr : n->Args[0];
}

bool IsComplementCode(TExpCode code) {
  return code == TExpCode::NotEqual || code == TExpCode::NotBetween || code == TExpCode::NotIn;
}

// The constants a comparison compares with (none for IS NULL / IS NOT NULL).
std::vector<const TExpToken *> ConstantOperands(const TExpToken &node) {
  std::vector<const TExpToken *> out;
  if (node.Kind == TExpNodeKind::ExtPredicate) {
    for (size_t i = 1; i < node.Args.size(); ++i) out.push_back(node.Args[i]);
  } else if (node.Right) {
    out.push_back(node.Right);
  }
  return out;
}

uint32_t PrefixBytes(const TExpToken &node);

struct TComparisonShape {
  const TExpToken *Column = nullptr;
  bool Upper = false;
  bool CaseInsensitive = false;
  uint32_t PartialLength = 0;
  bool IgnoresCase = false;  // IS NULL / IS NOT NULL: the index's case flag does not matter
};

// Whether the node is a comparison an index may answer, and its parts.
bool Shape(TDataCursor &cursor, const TExpToken &node, TComparisonShape &shape) {
  switch (node.Kind) {
    case TExpNodeKind::Binary:
    case TExpNodeKind::Compare:
      if (!IsComparisonCode(node.Code) || !node.Left || !node.Right) return false;
      break;
    case TExpNodeKind::Unary:
      if ((node.Code != TExpCode::IsNull && node.Code != TExpCode::IsNotNull) || !node.Left) return false;
      shape.IgnoresCase = true;
      break;
    case TExpNodeKind::ExtPredicate:
      if (node.Code == TExpCode::Between || node.Code == TExpCode::NotBetween) {
        if (node.Args.size() != 3) return false;
      } else if (node.Code == TExpCode::In || node.Code == TExpCode::NotIn) {
        if (node.Args.size() < 2) return false;
      } else {
        return false;
      }
      break;
    default: return false;
  }
  const TExpToken *operand = ColumnOperand(node);
  if (IsUpperOf(operand)) {
    shape.Upper = true;
    operand = UpperArgument(operand);
  }
  if (!operand || operand->Kind != TExpNodeKind::Column) return false;
  if (operand->FieldNo < 1 || operand->FieldNo > cursor.FieldCount()) return false;
  const TFieldDescriptor &field = cursor.Field(operand->FieldNo);
  if (field.Calculated != 0 || field.Type == EngineFieldType::Blob) return false;
  if (operand->DataType != field.Type) return false;
  shape.Column = operand;
  // UPPER(column) against UPPER(...) carries the case-insensitive mark on any comparison kind.
  shape.CaseInsensitive = (node.Kind == TExpNodeKind::Compare || shape.Upper) && node.CaseInsensitive;
  shape.PartialLength = node.Kind == TExpNodeKind::Compare ? node.PartialLength : 0;
  // UPPER(column) equals the column only where case does not count.
  if (shape.Upper && !shape.CaseInsensitive && !shape.IgnoresCase) return false;
  const bool ordering = node.Code == TExpCode::Greater || node.Code == TExpCode::Less ||
                        node.Code == TExpCode::GreaterEqual || node.Code == TExpCode::LessEqual ||
                        node.Code == TExpCode::Between || node.Code == TExpCode::NotBetween;
  for (const TExpToken *c : ConstantOperands(node)) {
    if (!c || c->Kind != TExpNodeKind::Constant || c->IsParameter) return false;
    if (c->Value.Null) {
      // "= NULL" means IS NULL; an order against NULL is left to the evaluator.
      if (ordering) return false;
      continue;
    }
    if (c->DataType != operand->DataType) return false;
    if (field.Type == EngineFieldType::String && c->Value.Str.size() > field.DeclaredSize) return false;
    if (field.Type == EngineFieldType::Float && c->Value.Float != c->Value.Float) return false;
  }
  if (shape.PartialLength > 0) {
    if (field.Type != EngineFieldType::String) return false;
    shape.PartialLength = PrefixBytes(node);
    if (shape.PartialLength == 0) return false;
  }
  return true;
}

// Characters of a well-formed UTF-8 text; -1 for a malformed one.
int64_t WellFormedCharacters(const std::string &text) {
  int64_t count = 0;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return -1;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return -1;
    i += n;
    ++count;
  }
  return count;
}

// A prefix comparison counts characters; keys hold bytes. The byte length of the prefix, or 0
// when the constants do not give one clearly (malformed text, prefixes of different lengths).
uint32_t PrefixBytes(const TExpToken &node) {
  uint32_t bytes = 0;
  for (const TExpToken *c : ConstantOperands(node)) {
    if (c->Value.Null) return 0;
    if (WellFormedCharacters(c->Value.Str) != static_cast<int64_t>(node.PartialLength)) return 0;
    if (bytes != 0 && bytes != c->Value.Str.size()) return 0;
    bytes = static_cast<uint32_t>(c->Value.Str.size());
  }
  return bytes;
}

bool KeyFieldIsColumn(const TIndexKeyField &kf, const TFieldDescriptor &field) {
  if (kf.AutoInc || field.IsAutoInc()) return kf.AutoInc && field.IsAutoInc();
  return kf.NullOffset == field.Offset;
}

// Builds index keys for single values of the first key field and finds their ordinals.
class TRangeFinder {
 public:
  // partialLength: bytes of a prefix comparison, 0 for whole values.
  TRangeFinder(TDataCursor &cursor, int indexNo, const TExpToken &column, uint32_t partialLength)
      : FCursor(cursor),
        FKeys(cursor.KeysOf(indexNo)),
        FTree(cursor.IndexTree(indexNo)),
        FField(cursor.Field(column.FieldNo)) {
    FLength = partialLength > 0 ? FKeys.PrefixLength(0, static_cast<int>(partialLength)) : FKeys.PrefixLength(1);
    const TIndexKeyField &kf = FKeys.Fields[0];
    // A descending index reverses every comparison; a descending field on its own reverses
    // its own order.
    FDescending = FKeys.Descending || kf.Descending;
  }

  // Keys of the index, counted when first asked for (an index without counts is walked, and an
  // equality needs no count at all).
  int64_t Count() {
    if (FCount < 0) FCount = FTree.KeyCount();
    return FCount;
  }
  TOrdinals Nulls() {
    FindNulls();
    return FNulls;
  }
  TOrdinals NonNull() {
    FindNulls();
    return FNonNull;
  }

  TOrdinals Equal(const TExpValue &v) {
    if (v.Null) return Nulls();
    std::vector<uint8_t> key = KeyOf(&v);
    return {FirstAtOrAfter(key, FLength), LastAtOrBefore(key, FLength)};
  }
  // Keys with value above (or at, when inclusive) v, NULLs excluded.
  TOrdinals Above(const TExpValue &v, bool inclusive) {
    std::vector<uint8_t> key = KeyOf(&v);
    TOrdinals r;
    if (!FDescending) r = {inclusive ? FirstAtOrAfter(key, FLength) : LastAtOrBefore(key, FLength) + 1, Count()};
    else r = {1, inclusive ? LastAtOrBefore(key, FLength) : FirstAtOrAfter(key, FLength) - 1};
    return Intersect(r, NonNull());
  }
  TOrdinals Below(const TExpValue &v, bool inclusive) {
    std::vector<uint8_t> key = KeyOf(&v);
    TOrdinals r;
    if (!FDescending) r = {1, inclusive ? LastAtOrBefore(key, FLength) : FirstAtOrAfter(key, FLength) - 1};
    else r = {inclusive ? FirstAtOrAfter(key, FLength) : LastAtOrBefore(key, FLength) + 1, Count()};
    // A NULL string compares as the empty string, below every text: < and <= accept it.
    return FField.Type == EngineFieldType::String ? r : Intersect(r, NonNull());
  }

  // Appends the record numbers of the keys equal to v (not NULL): one descent to the first of
  // them, then along the leaves while the keys agree over the compared length.
  void CollectEqual(const TExpValue &v, std::vector<uint32_t> &out) {
    const std::vector<uint8_t> key = KeyOf(&v);
    TIndexPosition pos = FTree.SearchFirstAtOrAfter(key.data(), FLength);
    std::vector<uint8_t> entry(static_cast<size_t>(FTree.KeyLength()));
    while (FTree.OnEntry(pos)) {
      uint32_t record = 0;
      FTree.ReadEntry(pos, entry.data(), &record);
      if (FKeys.Compare(entry.data(), key.data(), FLength) != 0) return;
      out.push_back(record);
      if (!FTree.Next(pos)) return;
    }
  }

  void Collect(TOrdinals range, std::vector<uint32_t> &out) {
    if (range.Empty()) return;
    out.reserve(out.size() + static_cast<size_t>(range.Last - range.First + 1));
    FTree.AppendRecordNumbers(FTree.PositionOfOrdinal(range.First), range.Last, out);
  }

 private:
  // The NULL keys lie together at one end; found when first asked for (an equality with a
  // value needs neither end).
  void FindNulls() {
    if (FNullsKnown) return;
    FNullsKnown = true;
    if (FField.IsAutoInc()) {
      FNulls = {1, 0};
    } else {
      std::vector<uint8_t> key = KeyOf(nullptr);
      FNulls = {FirstAtOrAfter(key, 1), LastAtOrBefore(key, 1)};
    }
    if (FNulls.Empty()) FNonNull = {1, Count()};
    else if (FNulls.First == 1) FNonNull = {FNulls.Last + 1, Count()};
    else FNonNull = {1, FNulls.First - 1};
  }

  std::vector<uint8_t> KeyOf(const TExpValue *v) {
    std::vector<uint8_t> record = FCursor.NewRecordBuffer();
    if (FField.IsAutoInc()) {
      const uint32_t n = v ? static_cast<uint32_t>(static_cast<int32_t>(v->Int)) : 0;
      for (int i = 0; i < 4; ++i) record[5 + static_cast<size_t>(i)] = static_cast<uint8_t>(n >> (8 * i));
    } else if (v) {
      WriteFieldValue(FField, record.data(), *v, FCursor.LanguageId());
    } else {
      record[FField.Offset] = 0;
    }
    return FKeys.BuildKey(record.data(), FCursor.StoredRecordSize());
  }
  int64_t FirstAtOrAfter(const std::vector<uint8_t> &key, int length) {
    TIndexPosition pos = FTree.SearchFirstAtOrAfter(key.data(), length);
    return FTree.OnEntry(pos) ? pos.Ordinal : Count() + 1;
  }
  int64_t LastAtOrBefore(const std::vector<uint8_t> &key, int length) {
    TIndexPosition pos = FTree.SearchLastAtOrBefore(key.data(), length);
    return FTree.OnEntry(pos) ? pos.Ordinal : 0;
  }

  TDataCursor &FCursor;
  const TIndexKeyDefinition &FKeys;
  TIndexTree FTree;
  const TFieldDescriptor &FField;
  int64_t FCount = -1;  // not counted yet
  int FLength = 0;
  bool FDescending = false;
  bool FNullsKnown = false;
  TOrdinals FNulls, FNonNull;
};

// The ordinal stretches of the positive form of a comparison (= for <>, BETWEEN for NOT
// BETWEEN, IN for NOT IN), sorted and merged.
std::vector<TOrdinals> PositiveRanges(TRangeFinder &finder, const TExpToken &node) {
  std::vector<TOrdinals> ranges;
  const std::vector<const TExpToken *> constants = ConstantOperands(node);
  switch (node.Code) {
    case TExpCode::IsNull: ranges.push_back(finder.Nulls()); break;
    case TExpCode::IsNotNull: ranges.push_back(finder.NonNull()); break;
    case TExpCode::Equal:
    case TExpCode::NotEqual: ranges.push_back(finder.Equal(constants[0]->Value)); break;
    case TExpCode::Greater: ranges.push_back(finder.Above(constants[0]->Value, false)); break;
    case TExpCode::GreaterEqual: ranges.push_back(finder.Above(constants[0]->Value, true)); break;
    case TExpCode::Less: ranges.push_back(finder.Below(constants[0]->Value, false)); break;
    case TExpCode::LessEqual: ranges.push_back(finder.Below(constants[0]->Value, true)); break;
    case TExpCode::Between:
    case TExpCode::NotBetween:
      ranges.push_back(Intersect(finder.Above(constants[0]->Value, true), finder.Below(constants[1]->Value, true)));
      break;
    case TExpCode::In:
    case TExpCode::NotIn:
      for (const TExpToken *c : constants) ranges.push_back(finder.Equal(c->Value));
      break;
    default: break;
  }
  ranges.erase(std::remove_if(ranges.begin(), ranges.end(), [](const TOrdinals &r) { return r.Empty(); }),
               ranges.end());
  std::sort(ranges.begin(), ranges.end(), [](const TOrdinals &a, const TOrdinals &b) { return a.First < b.First; });
  std::vector<TOrdinals> merged;
  for (const TOrdinals &r : ranges) {
    if (!merged.empty() && r.First <= merged.back().Last + 1) merged.back().Last = std::max(merged.back().Last, r.Last);
    else merged.push_back(r);
  }
  return merged;
}

// Whether the positive form of the comparison is equality with one or more values, none NULL.
bool EqualsValues(const TExpToken &node) {
  if (node.Code != TExpCode::Equal && node.Code != TExpCode::NotEqual && node.Code != TExpCode::In &&
      node.Code != TExpCode::NotIn)
    return false;
  const std::vector<const TExpToken *> constants = ConstantOperands(node);
  if (constants.empty()) return false;
  for (const TExpToken *c : constants)
    if (c->Value.Null) return false;
  return true;
}

}  // namespace

int ServingIndex(TDataCursor &cursor, const TExpToken &node) {
  TComparisonShape shape;
  if (!Shape(cursor, node, shape)) return -1;
  if (!cursor.IndexFile()) return -1;
  const TFieldDescriptor &field = cursor.Field(shape.Column->FieldNo);
  // Secondary indexes are numbered 1..SecondaryCount after the primary one (0).
  const int secondaries = cursor.IndexFile()->Header().SecondaryCount;
  for (int indexNo = cursor.HasPrimaryKey() ? 0 : 1; indexNo <= secondaries; ++indexNo) {
    const TIndexKeyDefinition &keys = cursor.KeysOf(indexNo);
    if (keys.Fields.empty() || !KeyFieldIsColumn(keys.Fields[0], field)) continue;
    if (field.Type == EngineFieldType::String && !shape.IgnoresCase && keys.CaseInsensitive != shape.CaseInsensitive)
      continue;
    // Prefix comparisons work on key bytes, which only follow the text without a collation.
    if (shape.PartialLength > 0 && keys.UsesLocale()) continue;
    return indexNo;
  }
  return -1;
}

int64_t IndexMatchCount(TDataCursor &cursor, int indexNo, const TExpToken &node) {
  const TExpToken *operand = ColumnOperand(node);
  if (operand->Kind != TExpNodeKind::Column) operand = UpperArgument(operand);
  TRangeFinder finder(cursor, indexNo, *operand, node.Kind == TExpNodeKind::Compare ? PrefixBytes(node) : 0);
  int64_t n = 0;
  for (const TOrdinals &r : PositiveRanges(finder, node)) n += r.Last - r.First + 1;
  return IsComplementCode(node.Code) ? finder.Count() - n : n;
}

void IndexMatchSet(TDataCursor &cursor, int indexNo, const TExpToken &node, const TCandidateRecords &universe,
                   TCandidateRecords &result) {
  const TExpToken *operand = ColumnOperand(node);
  if (operand->Kind != TExpNodeKind::Column) operand = UpperArgument(operand);
  TRangeFinder finder(cursor, indexNo, *operand, node.Kind == TExpNodeKind::Compare ? PrefixBytes(node) : 0);
  std::vector<uint32_t> members;
  if (EqualsValues(node)) {
    // A key lookup (= k, IN (...), and their negations): no ordinals, ranges or count needed.
    for (const TExpToken *c : ConstantOperands(node)) finder.CollectEqual(c->Value, members);
  } else {
    for (const TOrdinals &r : PositiveRanges(finder, node)) finder.Collect(r, members);
  }
  // Only the keys in range are read: a key lookup costs the tree's depth, not the table's size.
  TCandidateRecords positive = TCandidateRecords::Of(std::move(members));
  if (IsComplementCode(node.Code)) {
    positive.ComplementWithin(universe);
    result = std::move(positive);
  } else {
    result = universe;
    result.IntersectWith(positive);
  }
}

}  // namespace kura
