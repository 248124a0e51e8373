// Evaluation dispatch: columns, constants, unary operators, AND, OR.
#include "query/expr/Evaluator.h"

#include <limits>

#include "query/expr/ValueConvert.h"

namespace kura {

namespace {
TTypeInfo InfoOf(const TExpToken &n) { return {n.DataType, n.SubType, n.Size, n.Scale}; }
}  // namespace

void ConvertToNodeType(const TExpToken &from, const TExpValue &in, const TExpToken &to,
                       TExpValue &out) {
  if (in.Null || to.DataType == TDataType::Unknown) {
    out.Clear();
    return;
  }
  if (from.DataType == to.DataType && from.SubType == to.SubType &&
      to.DataType != TDataType::String && to.DataType != TDataType::BCD) {
    out = in;
    return;
  }
  if (!ConvertValue(InfoOf(from), in, InfoOf(to), out)) out.Clear();
}

bool TEvaluator::Condition(const TExpToken &node) {
  switch (node.Kind) {
    case TExpNodeKind::Binary:
      if (node.Code == TExpCode::And) return Condition(*node.Left) && Condition(*node.Right);
      if (node.Code == TExpCode::Or) return Condition(*node.Left) || Condition(*node.Right);
      if (IsComparisonCode(node.Code)) return EvalComparison(node);
      break;
    case TExpNodeKind::Compare: return EvalComparison(node);
    case TExpNodeKind::ExtPredicate: return EvalExtended(node);
    default: break;
  }
  TExpValue v;
  Eval(node, v);
  return !v.Null && v.Int != 0;
}

void TEvaluator::Eval(const TExpToken &n, TExpValue &out) {
  switch (n.Kind) {
    case TExpNodeKind::Constant:
      out = n.Value;
      return;
    case TExpNodeKind::Column:
      out.Clear();
      if (FContext && !n.IsAllColumns) FContext->ReadColumn(n, out);
      if (HoldsString(n.DataType) && out.Str.empty()) out.Null = true;
      return;
    case TExpNodeKind::SubSelect:
      out.Clear();  // a sub-select column has a value only inside IN
      return;
    case TExpNodeKind::Unary:
      EvalUnary(n, out);
      return;
    case TExpNodeKind::Binary:
      if (n.Code == TExpCode::And || n.Code == TExpCode::Or || IsComparisonCode(n.Code)) {
        out = TExpValue::OfBool(Condition(n));
        return;
      }
      EvalArithmetic(n, out);
      return;
    case TExpNodeKind::Compare:
    case TExpNodeKind::ExtPredicate:
      out = TExpValue::OfBool(Condition(n));
      return;
    case TExpNodeKind::Function:
      EvalFunction(n, out);
      return;
    default:
      out.Clear();
      return;
  }
}

void TEvaluator::EvalUnary(const TExpToken &n, TExpValue &out) {
  switch (n.Code) {
    case TExpCode::Not:
      // A NULL Boolean counts as FALSE.
      out = TExpValue::OfBool(!Condition(*n.Left));
      return;
    case TExpCode::IsNull:
    case TExpCode::IsNotNull: {
      TExpValue v;
      Eval(*n.Left, v);
      out = TExpValue::OfBool(v.Null == (n.Code == TExpCode::IsNull));
      return;
    }
    case TExpCode::Plus:
      Eval(*n.Left, out);
      return;
    case TExpCode::Negate: {
      TExpValue v;
      Eval(*n.Left, v);
      out.Clear();
      if (v.Null) return;
      out.Null = false;
      switch (n.DataType) {
        case TDataType::Float:
        case TDataType::TimeStamp: out.Float = -v.Float; return;
        case TDataType::SmallInt:
          if (v.Int == std::numeric_limits<int16_t>::min()) out.Null = true;
          else out.Int = -v.Int;
          return;
        case TDataType::Integer:
        case TDataType::Date:
        case TDataType::Time:
          if (v.Int == std::numeric_limits<int32_t>::min()) out.Null = true;
          else out.Int = -v.Int;
          return;
        case TDataType::LargeInt:
        case TDataType::BCD:
          if (v.Int == std::numeric_limits<int64_t>::min()) out.Null = true;
          else out.Int = -v.Int;
          return;
        default: out.Clear(); return;
      }
    }
    default: out.Clear(); return;
  }
}

TExpToken *Evaluate(const TExpToken *node, TEvalContext *context, uint16_t languageId,
                    uint16_t sortId) {
  TEvaluator e(context, languageId, sortId);
  TExpValue v;
  e.Eval(*node, v);
  TExpToken *c = MakeConstant(node->DataType, v, node->Size, node->SubType, node->Scale);
  c->Text = node->Text;
  return c;
}

}  // namespace kura
