// + - * / over numbers, strings, dates, times and timestamps. Overflow and division by zero
// give NULL; nothing here can trap.
#include <cmath>
#include <limits>
#include <optional>

#include "engine/data/DateTimeCodec.h"
#include "query/expr/Bcd.h"
#include "query/expr/DateTimeText.h"
#include "query/expr/Evaluator.h"

namespace kura {

namespace {

using T = TDataType;

double AsFloat(T t, const TExpValue &v) {
  if (t == T::Float || t == T::TimeStamp) return v.Float;
  if (t == T::BCD) return BcdToFloat(v.Int);
  return static_cast<double>(v.Int);
}

std::optional<int64_t> AsScaled(T t, const TExpValue &v) {
  if (t == T::BCD) return v.Int;
  if (t == T::Float) return BcdFromFloat(v.Float);
  return BcdFromInteger(v.Int);
}

// The whole-number value of an integer-typed operand.
int64_t AsInt(const TExpValue &v) { return v.Int; }

std::optional<int64_t> IntOp(TExpCode op, int64_t a, int64_t b) {
  int64_t r;
  switch (op) {
    case TExpCode::Add:
      if (__builtin_add_overflow(a, b, &r)) return std::nullopt;
      return r;
    case TExpCode::Subtract:
      if (__builtin_sub_overflow(a, b, &r)) return std::nullopt;
      return r;
    case TExpCode::Multiply:
      if (__builtin_mul_overflow(a, b, &r)) return std::nullopt;
      return r;
    default: return std::nullopt;
  }
}

bool FitsInt32(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

}  // namespace

void TEvaluator::EvalArithmetic(const TExpToken &n, TExpValue &out) {
  const TExpToken &ln = *n.Left, &rn = *n.Right;
  TExpValue l, r;
  Eval(ln, l);
  Eval(rn, r);
  out.Clear();
  const T lt = ln.DataType, rt = rn.DataType, res = n.DataType;
  const TExpCode op = n.Code;

  // Concatenation: NULL strings count as empty.
  if (op == TExpCode::Add && (res == T::String || IsMemo(res, n.SubType))) {
    std::string s = l.Null ? std::string() : l.Str;
    if (!r.Null) s += r.Str;
    out = TExpValue::OfStr(std::move(s));
    return;
  }
  if (l.Null || r.Null || res == T::Unknown) return;

  auto setInt = [&](std::optional<int64_t> v, bool int32) {
    if (!v || (int32 && !FitsInt32(*v))) return;
    out.Null = false;
    out.Int = *v;
  };
  auto setFloat = [&](double v) {
    if (!std::isfinite(v)) return;
    out.Null = false;
    out.Float = v;
  };

  switch (res) {
    case T::Date: {
      // Date + days, days + Date, Date - days.
      std::optional<int64_t> v;
      if (lt == T::Date) v = IntOp(op, l.Int, AsInt(r));
      else v = IntOp(op, AsInt(l), r.Int);
      // A date moved out of years 1 to 9999 has left the type's range: NULL, as any overflow.
      if (v && (*v < 1 || *v > kMaxDayNumber)) return;
      setInt(v, true);
      return;
    }
    case T::Time: {
      // Milliseconds added to or taken from a time of day wrap around midnight.
      std::optional<int64_t> v;
      if (lt == T::Time) v = IntOp(op, l.Int, AsInt(r));
      else v = IntOp(op, AsInt(l), r.Int);
      if (!v) return;
      int64_t ms = *v % kMsPerDay;
      if (ms < 0) ms += kMsPerDay;
      setInt(ms, true);
      return;
    }
    case T::TimeStamp: {
      double v;
      if (lt == T::TimeStamp)
        v = op == TExpCode::Add ? l.Float + AsFloat(rt, r) : l.Float - AsFloat(rt, r);
      else
        v = AsFloat(lt, l) + r.Float;
      if (std::isfinite(v)) {
        int64_t day = 0, ms = 0;
        SplitTimeStamp(v, day, ms);
        if (day < 1 || day > kMaxDayNumber) return;  // outside years 1 to 9999
      }
      setFloat(v);
      return;
    }
    default: break;
  }

  // Differences of dates and times.
  if (op == TExpCode::Subtract && IsDateTimeType(lt) && IsDateTimeType(rt)) {
    if (lt == T::Date && rt == T::Date) return setInt(IntOp(op, l.Int, r.Int), true);
    if (lt == T::Time && rt == T::Time) return setInt(IntOp(op, l.Int, r.Int), true);
    if (lt == T::TimeStamp && rt == T::TimeStamp) return setFloat(l.Float - r.Float);
    int64_t day, ms;
    SplitTimeStamp(l.Float, day, ms);
    if (lt == T::TimeStamp && rt == T::Date) return setInt(IntOp(op, day, r.Int), true);
    if (lt == T::TimeStamp && rt == T::Time) return setInt(IntOp(op, ms, r.Int), true);
    return;
  }

  switch (res) {
    case T::Float: {
      double a = AsFloat(lt, l), b = AsFloat(rt, r);
      switch (op) {
        case TExpCode::Add: return setFloat(a + b);
        case TExpCode::Subtract: return setFloat(a - b);
        case TExpCode::Multiply: return setFloat(a * b);
        case TExpCode::Divide:
          if (b == 0) return;  // division by zero gives NULL
          return setFloat(a / b);
        default: return;
      }
    }
    case T::BCD: {
      auto a = AsScaled(lt, l), b = AsScaled(rt, r);
      if (!a || !b) return;
      std::optional<int64_t> v;
      switch (op) {
        case TExpCode::Add: v = BcdAdd(*a, *b); break;
        case TExpCode::Subtract: v = BcdSubtract(*a, *b); break;
        case TExpCode::Multiply: v = BcdMultiply(*a, *b); break;
        case TExpCode::Divide: v = BcdDivide(*a, *b); break;
        default: break;
      }
      if (v) v = BcdRound(*v, n.Scale);
      return setInt(v, false);
    }
    case T::Integer:
    case T::SmallInt:
    case T::Word:
      return setInt(IntOp(op, AsInt(l), AsInt(r)), true);
    case T::LargeInt:
      return setInt(IntOp(op, AsInt(l), AsInt(r)), false);
    default: return;
  }
}

}  // namespace kura
