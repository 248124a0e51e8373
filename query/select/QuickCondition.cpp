#include "query/select/QuickCondition.h"

#include "engine/data/FieldCodec.h"
#include "engine/data/FieldTypes.h"

namespace kura {

namespace {

// The integer field a column node reads from `row`, or null.
const TFieldDescriptor *IntegerColumn(const TExpToken *n, const TRowSource &row) {
  if (!n || n->Kind != TExpNodeKind::Column || n->IsAllColumns || n->Source != &row || !row.Fields) return nullptr;
  if (n->FieldNo < 1 || n->FieldNo > static_cast<int>(row.Fields->size())) return nullptr;
  const TFieldDescriptor &field = (*row.Fields)[n->FieldNo - 1];
  if (!IsIntegerType(n->DataType) || !IsIntegerType(field.Type)) return nullptr;
  return &field;
}

bool IntegerConstant(const TExpToken *n, int64_t &value) {
  if (!n || n->Kind != TExpNodeKind::Constant || n->Value.Null || !IsIntegerType(n->DataType)) return false;
  value = n->Value.Int;
  return true;
}

bool IsOrdering(TExpCode code) {
  return code == TExpCode::Equal || code == TExpCode::NotEqual || code == TExpCode::Less ||
         code == TExpCode::LessEqual || code == TExpCode::Greater || code == TExpCode::GreaterEqual;
}

// The comparison seen from the other side: c < x is x > c.
TExpCode Turned(TExpCode code) {
  switch (code) {
    case TExpCode::Less: return TExpCode::Greater;
    case TExpCode::LessEqual: return TExpCode::GreaterEqual;
    case TExpCode::Greater: return TExpCode::Less;
    case TExpCode::GreaterEqual: return TExpCode::LessEqual;
    default: return code;
  }
}

}  // namespace

bool TQuickCondition::Compile(const TExpToken &n, const TRowSource &row) {
  if ((n.Kind == TExpNodeKind::Binary || n.Kind == TExpNodeKind::Compare) && IsOrdering(n.Code)) {
    if (const TFieldDescriptor *field = IntegerColumn(n.Left, row); field && IntegerConstant(n.Right, FLow)) {
      FField = field;
      FCode = n.Code;
      return true;
    }
    if (const TFieldDescriptor *field = IntegerColumn(n.Right, row); field && IntegerConstant(n.Left, FLow)) {
      FField = field;
      FCode = Turned(n.Code);
      return true;
    }
    return false;
  }
  if (n.Kind == TExpNodeKind::ExtPredicate && (n.Code == TExpCode::Between || n.Code == TExpCode::NotBetween) &&
      n.Args.size() == 3) {
    const TFieldDescriptor *field = IntegerColumn(n.Args[0], row);
    if (!field || !IntegerConstant(n.Args[1], FLow) || !IntegerConstant(n.Args[2], FHigh)) return false;
    FField = field;
    FCode = n.Code;
    return true;
  }
  return false;
}

bool TQuickCondition::Holds(const uint8_t *record) const {
  const bool null = !FField->IsAutoInc() && FieldIsNull(*FField, record);
  if (FCode == TExpCode::Between || FCode == TExpCode::NotBetween) {
    bool in = false;
    if (!null) {
      const int64_t v = GetIntegerField(*FField, record);
      in = v >= FLow && v <= FHigh;
    }
    return FCode == TExpCode::Between ? in : !in;
  }
  // A NULL column against a non-NULL constant: unequal, and no order holds.
  if (null) return FCode == TExpCode::NotEqual;
  const int64_t v = GetIntegerField(*FField, record);
  switch (FCode) {
    case TExpCode::Equal: return v == FLow;
    case TExpCode::NotEqual: return v != FLow;
    case TExpCode::Less: return v < FLow;
    case TExpCode::LessEqual: return v <= FLow;
    case TExpCode::Greater: return v > FLow;
    case TExpCode::GreaterEqual: return v >= FLow;
    default: return false;
  }
}

void TSourceConditions::Build(const std::vector<const TExpToken *> &conditions, const TRowSource &row) {
  FQuick.clear();
  FOthers.clear();
  for (const TExpToken *c : conditions) {
    TQuickCondition quick;
    if (c && quick.Compile(*c, row)) FQuick.push_back(quick);
    else FOthers.push_back(c);
  }
}

bool TSourceConditions::AllHold(TEvaluator &evaluator, const uint8_t *record) const {
  for (const TQuickCondition &q : FQuick)
    if (!q.Holds(record)) return false;
  for (const TExpToken *c : FOthers)
    if (!evaluator.Condition(*c)) return false;
  return true;
}

}  // namespace kura
