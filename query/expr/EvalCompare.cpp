// Comparisons with their NULL rules, LIKE, BETWEEN and IN.
#include <cmath>

#include "engine/locale/Collation.h"
#include "query/expr/Bcd.h"
#include "query/expr/DateTimeText.h"
#include "query/expr/Evaluator.h"
#include "query/expr/Like.h"

namespace kura {

namespace {

using T = TDataType;

int Sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }
template <typename X>
int Cmp(X a, X b) { return a < b ? -1 : (b < a ? 1 : 0); }

double AsTimeStamp(T t, const TExpValue &v) {
  if (t == T::Date) return TimeStampOf(v.Int, 0);
  if (t == T::Time) return TimeStampOf(kDayZero, v.Int);
  return v.Float;
}

double AsFloat(T t, const TExpValue &v) {
  if (t == T::Float) return v.Float;
  if (t == T::BCD) return BcdToFloat(v.Int);
  return static_cast<double>(v.Int);
}

__int128 AsScaled(T t, const TExpValue &v) {
  if (t == T::BCD) return v.Int;
  return static_cast<__int128>(v.Int) * kBcdScale;
}

bool Holds(TExpCode op, int c) {
  switch (op) {
    case TExpCode::Equal: return c == 0;
    case TExpCode::NotEqual: return c != 0;
    case TExpCode::Greater: return c > 0;
    case TExpCode::Less: return c < 0;
    case TExpCode::GreaterEqual: return c >= 0;
    case TExpCode::LessEqual: return c <= 0;
    default: return false;
  }
}

}  // namespace

bool TEvaluator::CompareOperands(TExpCode op, const TExpToken &ln, const TExpValue &lv,
                                 const TExpToken &rn, const TExpValue &rv, bool caseInsensitive,
                                 uint32_t partialLength) {
  const T lt = ln.DataType, rt = rn.DataType;
  const bool lStr = IsStringLike(lt, ln.SubType), rStr = IsStringLike(rt, rn.SubType);
  const bool equality = op == TExpCode::Equal || op == TExpCode::NotEqual;

  if (equality) {
    // Both NULL: equal. Exactly one NULL: not equal.
    if (lv.Null || rv.Null) {
      bool eq = lv.Null && rv.Null;
      return op == TExpCode::Equal ? eq : !eq;
    }
  } else if (lStr || rStr) {
    // Strings order by collation whatever their NULL flags: NULL is the empty string.
    int c = CompareStrings(FLanguageId, FSortId, lv.Null ? std::string_view() : lv.Str,
                           rv.Null ? std::string_view() : rv.Str, caseInsensitive, partialLength);
    return Holds(op, c);
  } else if (lv.Null != rv.Null) {
    return false;
  } else if (lv.Null) {
    return Holds(op, 0);  // two NULLs compare as equal zero values
  }

  int c = 0;
  if (lStr || rStr) {
    c = CompareStrings(FLanguageId, FSortId, lv.Str, rv.Str, caseInsensitive, partialLength);
  } else if (IsDateTimeType(lt) && IsDateTimeType(rt)) {
    if (lt == rt && lt != T::TimeStamp) c = Cmp(lv.Int, rv.Int);
    else c = Sign(AsTimeStamp(lt, lv) - AsTimeStamp(rt, rv));
  } else if (IsNumericType(lt) && IsNumericType(rt)) {
    if (lt == T::Float || rt == T::Float) {
      double a = AsFloat(lt, lv), b = AsFloat(rt, rv);
      c = Cmp(a, b);
    } else if (lt == T::BCD || rt == T::BCD) {
      c = Cmp(AsScaled(lt, lv), AsScaled(rt, rv));
    } else {
      c = Cmp(lv.Int, rv.Int);
    }
  } else if (HoldsString(lt) && HoldsString(rt)) {
    int r = lv.Str.compare(rv.Str);
    c = r < 0 ? -1 : (r > 0 ? 1 : 0);
  } else if (HoldsFloat(lt) && HoldsFloat(rt)) {
    c = Cmp(lv.Float, rv.Float);
  } else {
    c = Cmp(lv.Int, rv.Int);
  }
  return Holds(op, c);
}

bool TEvaluator::EvalComparison(const TExpToken &n) {
  TExpValue l, r;
  Eval(*n.Left, l);
  Eval(*n.Right, r);
  if (n.Kind == TExpNodeKind::Compare)
    return CompareOperands(n.Code, *n.Left, l, *n.Right, r, n.CaseInsensitive, n.PartialLength);
  return CompareOperands(n.Code, *n.Left, l, *n.Right, r);
}

bool TEvaluator::EvalExtended(const TExpToken &n) {
  const TExpToken &valueNode = *n.Args[0];
  TExpValue v;
  Eval(valueNode, v);
  switch (n.Code) {
    case TExpCode::Like:
    case TExpCode::NotLike: {
      TExpValue p;
      Eval(*n.Args[1], p);
      bool match = !v.Null && !p.Null && LikeMatch(v.Str, p.Str, FLanguageId, FSortId);
      return n.Code == TExpCode::Like ? match : !match;
    }
    case TExpCode::Between:
    case TExpCode::NotBetween: {
      TExpValue lo, hi;
      Eval(*n.Args[1], lo);
      bool in = CompareOperands(TExpCode::GreaterEqual, valueNode, v, *n.Args[1], lo);
      if (in) {
        Eval(*n.Args[2], hi);
        in = CompareOperands(TExpCode::LessEqual, valueNode, v, *n.Args[2], hi);
      }
      return n.Code == TExpCode::Between ? in : !in;
    }
    case TExpCode::In:
    case TExpCode::NotIn: {
      bool found = false;
      TExpValue item;
      for (size_t i = 1; i < n.Args.size() && !found; ++i) {
        Eval(*n.Args[i], item);
        found = CompareOperands(TExpCode::Equal, valueNode, v, *n.Args[i], item);
      }
      return n.Code == TExpCode::In ? found : !found;
    }
    case TExpCode::InSelect:
    case TExpCode::NotInSelect: {
      bool found = FContext && FContext->SubSelectMatches(*n.Args[1], valueNode, v);
      return n.Code == TExpCode::InSelect ? found : !found;
    }
    default: return false;
  }
}

}  // namespace kura
