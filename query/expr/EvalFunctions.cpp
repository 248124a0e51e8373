// Functions: string functions, EXTRACT, CAST, ABS, ROUND, IF, IFNULL, COALESCE, text search
// and auto-increment values. Aggregates are accumulated elsewhere; here they give the value
// accumulated so far.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/locale/Collation.h"
#include "query/expr/Bcd.h"
#include "query/expr/DateTimeText.h"
#include "query/expr/Evaluator.h"

namespace kura {

namespace {

using T = TDataType;

// Number of non-overlapping occurrences of `what` in `s`; 0 for an empty `what`.
int64_t CountOccurrences(const std::string &s, const std::string &what) {
  if (what.empty()) return 0;
  int64_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + what.size())) ++n;
  return n;
}

constexpr uint64_t kMaxReplaceResult = 64u << 20;

double RoundHalfAway(double x, int64_t places) {
  double factor = std::pow(10.0, static_cast<double>(places));
  double scaled = x * factor;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 4.5e15) return x;  // already exact
  double r = std::trunc(scaled + (scaled < 0 ? -0.5 : 0.5)) / factor;
  return std::isfinite(r) ? r : x;
}

}  // namespace

void TEvaluator::EvalFunction(const TExpToken &n, TExpValue &out) {
  out.Clear();
  const TExpCode code = n.Code;
  if (IsAggregateCode(code)) {
    out = n.Value;
    return;
  }
  switch (code) {
    case TExpCode::Upper:
    case TExpCode::Lower:
    case TExpCode::Length:
    case TExpCode::Substring:
    case TExpCode::Replace:
    case TExpCode::Pos:
    case TExpCode::Occurs:
    case TExpCode::TrimLeading:
    case TExpCode::TrimTrailing:
    case TExpCode::TrimBoth: EvalStringFunction(n, out); return;
    case TExpCode::If:
    case TExpCode::IfNull:
    case TExpCode::Coalesce: EvalConditional(n, out); return;
    case TExpCode::Cast: {
      TExpValue v;
      Eval(*n.Args[0], v);
      ConvertToNodeType(*n.Args[0], v, n, out);
      return;
    }
    case TExpCode::Abs: {
      TExpValue v;
      Eval(*n.Args[0], v);
      if (v.Null) return;
      switch (n.DataType) {
        case T::Float: out = TExpValue::OfFloat(std::fabs(v.Float)); return;
        case T::Word: out = v; return;
        case T::SmallInt:
        case T::Integer:
        case T::LargeInt:
        case T::BCD: {
          // The most negative value has no positive counterpart in its type.
          int64_t min = n.DataType == T::SmallInt ? std::numeric_limits<int16_t>::min()
                        : n.DataType == T::Integer ? std::numeric_limits<int32_t>::min()
                                                   : std::numeric_limits<int64_t>::min();
          if (v.Int == min) return;
          out = TExpValue::OfInt(v.Int < 0 ? -v.Int : v.Int);
          return;
        }
        default: return;
      }
    }
    case TExpCode::Round: {
      TExpValue v, p;
      Eval(*n.Args[0], v);
      if (v.Null) return;
      int64_t places = 0;
      if (n.Args.size() > 1) {
        Eval(*n.Args[1], p);
        if (p.Null) return;
        places = std::clamp<int64_t>(p.Int, 0, 32);
      }
      if (n.DataType == T::Float) {
        out = TExpValue::OfFloat(RoundHalfAway(v.Float, places));
      } else if (n.DataType == T::BCD) {
        auto r = BcdRound(v.Int, static_cast<int>(std::min<int64_t>(places, kBcdMaxPlaces)));
        if (r) out = TExpValue::OfInt(*r);
      }
      return;
    }
    case TExpCode::TextSearch:
    case TExpCode::TextOccurs: {
      TExpValue text;
      Eval(*n.Args[0], text);
      int64_t occurrences = 0;
      bool found = FContext && !text.Null && FContext->TextSearch(*n.Args[1], text.Str, occurrences);
      if (code == TExpCode::TextSearch) out = TExpValue::OfBool(found);
      else out = TExpValue::OfInt(found ? std::clamp<int64_t>(occurrences, 0, 65535) : 0);
      return;
    }
    case TExpCode::LastAutoInc:
    case TExpCode::IdentCurrent: {
      TExpValue table;
      Eval(*n.Args[0], table);
      int64_t value = 0;
      if (FContext && !table.Null && FContext->LastAutoIncValue(table.Str, value))
        out = TExpValue::OfInt(value);
      return;
    }
    default: break;
  }
  if (IsExtractCode(code)) {
    const TExpToken &x = *n.Args[0];
    TExpValue v;
    Eval(x, v);
    if (v.Null) return;
    int64_t day = kDayZero, ms = 0;
    if (x.DataType == T::Date) day = v.Int;
    else if (x.DataType == T::Time) ms = v.Int;
    else if (x.DataType == T::TimeStamp) SplitTimeStamp(v.Float, day, ms);
    else return;
    int y, m, d;
    DecodeDayNumber(day, y, m, d);
    int64_t r = 0;
    switch (code) {
      case TExpCode::ExtractYear: r = y; break;
      case TExpCode::ExtractMonth: r = m; break;
      case TExpCode::ExtractWeek: r = IsoWeek(day); break;
      case TExpCode::ExtractDay: r = d; break;
      case TExpCode::ExtractDayOfWeek: r = DayOfWeek(day); break;
      case TExpCode::ExtractDayOfYear: r = DayOfYear(day); break;
      case TExpCode::ExtractHour: r = ms / 3600000; break;
      case TExpCode::ExtractMinute: r = ms / 60000 % 60; break;
      case TExpCode::ExtractSecond: r = ms / 1000 % 60; break;
      default: return;
    }
    out = TExpValue::OfInt(r);
  }
}

void TEvaluator::EvalStringFunction(const TExpToken &n, TExpValue &out) {
  out.Clear();
  const auto &a = n.Args;
  switch (n.Code) {
    case TExpCode::Upper:
    case TExpCode::Lower: {
      TExpValue v;
      Eval(*a[0], v);
      if (v.Null) return;
      out = TExpValue::OfStr(n.Code == TExpCode::Upper ? UpperCase(FLanguageId, v.Str)
                                                       : LowerCase(FLanguageId, v.Str));
      return;
    }
    case TExpCode::Length: {
      TExpValue v;
      Eval(*a[0], v);
      if (v.Null) return;
      out = TExpValue::OfInt(static_cast<int64_t>(v.Str.size()));
      return;
    }
    case TExpCode::Substring: {
      TExpValue v, from, len;
      Eval(*a[0], v);
      Eval(*a[1], from);
      if (v.Null || from.Null) return;
      const int64_t size = static_cast<int64_t>(v.Str.size());
      int64_t start = std::max<int64_t>(from.Int, 1);
      int64_t count = size;
      if (a.size() > 2) {
        Eval(*a[2], len);
        if (len.Null) return;
        count = std::max<int64_t>(len.Int, 0);
      }
      if (start > size) return;  // the empty string
      count = std::min(count, size - (start - 1));
      out = TExpValue::OfStr(v.Str.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
      return;
    }
    case TExpCode::Replace: {
      TExpValue s, r, x;
      Eval(*a[0], s);
      Eval(*a[1], r);
      Eval(*a[2], x);
      if (x.Null) return;
      const std::string &search = s.Null ? std::string() : s.Str;
      const std::string &with = r.Null ? std::string() : r.Str;
      if (search.empty() || search == with) {
        out = TExpValue::OfStr(x.Str);
        return;
      }
      // A replacement longer than what it replaces multiplies the size; a result beyond
      // kMaxReplaceResult bytes gives NULL rather than exhausting memory.
      if (with.size() > search.size()) {
        uint64_t growth = uint64_t(CountOccurrences(x.Str, search)) * (with.size() - search.size());
        if (x.Str.size() + growth > kMaxReplaceResult) return;
      }
      std::string result;
      size_t pos = 0;
      for (size_t hit = x.Str.find(search); hit != std::string::npos;
           hit = x.Str.find(search, pos)) {
        result.append(x.Str, pos, hit - pos);
        result += with;
        pos = hit + search.size();
      }
      result.append(x.Str, pos, std::string::npos);
      out = TExpValue::OfStr(std::move(result));
      return;
    }
    case TExpCode::Pos:
    case TExpCode::Occurs: {
      TExpValue s, x;
      Eval(*a[0], s);
      Eval(*a[1], x);
      if (x.Null || s.Null) {
        out = TExpValue::OfInt(0);
        return;
      }
      if (n.Code == TExpCode::Occurs) {
        out = TExpValue::OfInt(CountOccurrences(x.Str, s.Str));
      } else {
        size_t p = x.Str.find(s.Str);
        out = TExpValue::OfInt(p == std::string::npos ? 0 : static_cast<int64_t>(p) + 1);
      }
      return;
    }
    default: {  // TRIM
      TExpValue c, x;
      Eval(*a[0], c);
      Eval(*a[1], x);
      if (x.Null) return;
      if (c.Null || c.Str.empty()) {
        out = x;
        return;
      }
      const char ch = c.Str[0];
      size_t b = 0, e = x.Str.size();
      if (n.Code != TExpCode::TrimTrailing)
        while (b < e && x.Str[b] == ch) ++b;
      if (n.Code != TExpCode::TrimLeading)
        while (e > b && x.Str[e - 1] == ch) --e;
      out = TExpValue::OfStr(x.Str.substr(b, e - b));
      return;
    }
  }
}

void TEvaluator::EvalConditional(const TExpToken &n, TExpValue &out) {
  out.Clear();
  const TExpToken *chosen = nullptr;
  TExpValue v;
  switch (n.Code) {
    case TExpCode::If:
      chosen = Condition(*n.Args[0]) ? n.Args[1] : n.Args[2];
      Eval(*chosen, v);
      break;
    case TExpCode::IfNull: {
      TExpValue x;
      Eval(*n.Args[0], x);
      chosen = x.Null ? n.Args[1] : n.Args[2];
      Eval(*chosen, v);
      break;
    }
    default:  // COALESCE
      for (const TExpToken *arg : n.Args) {
        Eval(*arg, v);
        chosen = arg;
        if (!v.Null) break;
      }
      break;
  }
  if (!chosen || v.Null) return;
  ConvertToNodeType(*chosen, v, n, out);
}

}  // namespace kura
