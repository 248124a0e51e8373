#include "query/select/SelectAggregates.h"

#include <cmath>
#include <cstdint>

#include "query/expr/Bcd.h"

namespace kura {

namespace {

// Whether an integer total still fits the column type it is stored in.
bool FitsIntegerType(TDataType type, int64_t value) {
  switch (type) {
    case TDataType::SmallInt: return value >= INT16_MIN && value <= INT16_MAX;
    case TDataType::Word: return value >= 0 && value <= UINT16_MAX;
    case TDataType::Integer: return value >= INT32_MIN && value <= INT32_MAX;
    case TDataType::LongWord: return value >= 0 && value <= UINT32_MAX;
    default: return true;
  }
}

}  // namespace

bool CombineAggregate(TAggregateKind kind, TDataType type, TExpValue &total, const TExpValue &next) {
  if (next.Null) return true;
  if (total.Null) {
    total = next;
    return true;
  }
  const bool isFloat = HoldsFloat(type);
  switch (kind) {
    case TAggregateKind::Min:
    case TAggregateKind::Max: {
      int c;
      if (isFloat) c = next.Float < total.Float ? -1 : (next.Float > total.Float ? 1 : 0);
      else if (HoldsString(type)) c = next.Str.compare(total.Str);
      else c = next.Int < total.Int ? -1 : (next.Int > total.Int ? 1 : 0);
      if ((kind == TAggregateKind::Min && c < 0) || (kind == TAggregateKind::Max && c > 0)) total = next;
      return true;
    }
    default:
      if (isFloat) {
        total.Float += next.Float;
      } else if (type == TDataType::BCD) {
        auto sum = BcdAdd(total.Int, next.Int);
        if (!sum) {
          total.Clear();  // out of the BCD range
          return false;
        }
        total.Int = *sum;
      } else {
        int64_t sum = 0;
        if (__builtin_add_overflow(total.Int, next.Int, &sum) || !FitsIntegerType(type, sum)) {
          total.Clear();
          return false;
        }
        total.Int = sum;
      }
      return true;
  }
}

void FinishAverage(TDataType type, TExpValue &sum, int64_t count) {
  // No value to average (every one NULL): the average is unknown, as SUM of the same values
  // is, not 0.
  if (count == 0) {
    sum.Clear();
    return;
  }
  if (sum.Null) return;
  if (HoldsFloat(type)) {
    sum.Float /= static_cast<double>(count);
  } else if (type == TDataType::BCD) {
    // The sum is scaled by 10 000 already: divide and round to the nearest, ties to even.
    int64_t q = sum.Int / count, r = sum.Int % count;
    const int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > count || (twice == count && (q % 2 != 0))) q += (sum.Int < 0) ? -1 : 1;
    sum.Int = q;
  } else {
    sum.Int /= count;
  }
}

}  // namespace kura
