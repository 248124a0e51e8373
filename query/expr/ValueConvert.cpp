#include "query/expr/ValueConvert.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "query/expr/Bcd.h"
#include "query/expr/DateTimeText.h"

namespace kura {

namespace {

using T = TDataType;

// The stored bytes of a fixed-size value, little-endian, as the table files keep them.
std::string StoredBytes(const TTypeInfo &type, const TExpValue &v) {
  std::string out;
  auto put = [&](const void *p, size_t n) { out.assign(static_cast<const char *>(p), n); };
  switch (type.Type) {
    case T::Date:
    case T::Integer:
    case T::Time: {
      int32_t x = static_cast<int32_t>(v.Int);
      put(&x, 4);
      break;
    }
    case T::Boolean:
    case T::SmallInt:
    case T::Word: {
      uint16_t x = static_cast<uint16_t>(v.Int);
      put(&x, 2);
      break;
    }
    case T::LargeInt: put(&v.Int, 8); break;
    case T::Float:
    case T::TimeStamp: put(&v.Float, 8); break;
    case T::BCD: {
      TPackedBcd p = PackBcd(v.Int, type.Scale);
      put(p.data(), p.size());
      break;
    }
    default: out = v.Str; break;
  }
  return out;
}

// Reads a fixed-size value of the target type from stored bytes (missing bytes are zero).
void FromStoredBytes(const std::string &bytes, const TTypeInfo &to, TExpValue &out) {
  unsigned char buf[34] = {};
  std::memcpy(buf, bytes.data(), std::min(bytes.size(), sizeof buf));
  switch (to.Type) {
    case T::Date:
    case T::Integer:
    case T::Time: {
      int32_t x;
      std::memcpy(&x, buf, 4);
      out.Int = x;
      break;
    }
    case T::SmallInt: {
      int16_t x;
      std::memcpy(&x, buf, 2);
      out.Int = x;
      break;
    }
    case T::Word:
    case T::Boolean: {
      uint16_t x;
      std::memcpy(&x, buf, 2);
      out.Int = to.Type == T::Boolean ? (x != 0) : x;
      break;
    }
    case T::LargeInt: std::memcpy(&out.Int, buf, 8); break;
    case T::Float:
    case T::TimeStamp: {
      std::memcpy(&out.Float, buf, 8);
      if (!std::isfinite(out.Float)) out.Float = 0;
      break;
    }
    case T::BCD: {
      TPackedBcd p;
      std::memcpy(p.data(), buf, 34);
      int64_t s = 0;
      if (!UnpackBcd(p, s)) s = 0;
      out.Int = s;
      break;
    }
    default: out.Str = bytes; break;
  }
}

int64_t LowBits(int64_t v, T to) {
  switch (to) {
    case T::SmallInt: return static_cast<int16_t>(static_cast<uint16_t>(v));
    case T::Word: return static_cast<uint16_t>(v);
    case T::Integer: return static_cast<int32_t>(static_cast<uint32_t>(v));
    default: return v;
  }
}

// A double truncated toward zero into a 64-bit integer, or false when out of range.
bool TruncateFloat(double f, int64_t &out) {
  if (!std::isfinite(f)) return false;
  double t = std::trunc(f);
  if (t >= 9.2233720368547758e18 || t < -9.2233720368547758e18) return false;
  out = static_cast<int64_t>(t);
  return true;
}

std::string CutString(std::string s, uint32_t size) {
  // The declared length excludes the terminator; a zero size leaves the text whole.
  if (size > 0 && s.size() > size - 1) s.resize(size - 1);
  return s;
}

bool IsBytes(T t) { return t == T::Bytes || t == T::VarBytes; }

}  // namespace

std::string ValueText(const TTypeInfo &type, const TExpValue &v) {
  switch (type.Type) {
    case T::Date: return DateText(v.Int);
    case T::Time: return TimeText(v.Int, true);
    case T::TimeStamp: return TimeStampText(v.Float, true);
    case T::Boolean: return BooleanText(v.Int != 0);
    case T::SmallInt:
    case T::Integer:
    case T::Word:
    case T::LargeInt: return std::to_string(v.Int);
    case T::Float: return FloatText(v.Float);
    case T::BCD: return BcdText(v.Int);
    default: return v.Str;
  }
}

bool ConvertValue(const TTypeInfo &from, const TExpValue &in, const TTypeInfo &to,
                  TExpValue &out) {
  out.Clear();
  out.Null = false;
  const T f = from.Type, t = to.Type;

  if (f == T::Unknown) return false;
  // Blobs are not converted: their bytes are copied (a String result cut to its size).
  if (f == T::Blob || t == T::Blob) {
    if (t == T::Blob || HoldsString(t)) {
      out.Str = f == T::Blob || HoldsString(f) ? in.Str : StoredBytes(from, in);
      if (t == T::String) out.Str = CutString(out.Str, to.Size);
      if (IsBytes(t) && to.Size > 0 && out.Str.size() > to.Size) out.Str.resize(to.Size);
      out.Null = out.Str.empty();
      return true;
    }
    return false;
  }

  if (t == T::String) {
    out.Str = CutString(f == T::String ? in.Str : ValueText(from, in), to.Size);
    out.Null = out.Str.empty();
    return true;
  }
  if (IsBytes(t)) {
    out.Str = HoldsString(f) ? in.Str : StoredBytes(from, in);
    if (to.Size > 0 && out.Str.size() > to.Size) out.Str.resize(to.Size);
    out.Null = out.Str.empty();
    return true;
  }
  if (IsBytes(f)) {
    FromStoredBytes(in.Str, to, out);
    if (t == T::BCD) {
      auto r = BcdRound(out.Int, to.Scale);
      if (r) out.Int = *r;
    }
    return true;
  }

  if (f == T::String) {
    const std::string &s = in.Str;
    switch (t) {
      case T::Date: {
        int32_t d;
        if (!TryParseDate(s, d)) return false;
        out.Int = d;
        return true;
      }
      case T::Time: {
        int32_t ms;
        if (!TryParseTime(s, ms)) return false;
        out.Int = ms;
        return true;
      }
      case T::TimeStamp: return TryParseTimeStamp(s, out.Float);
      case T::Boolean:
        try {
          out.Int = ParseBoolean(s) ? 1 : 0;
          return true;
        } catch (const EConvertError &) {
          return false;
        }
      case T::Float: return TryParseFloat(s, out.Float);
      case T::SmallInt:
      case T::Integer:
      case T::Word: {
        int64_t v;
        if (!TryParseInteger(s, INT32_MIN, INT32_MAX, v)) return false;
        out.Int = LowBits(v, t);
        return true;
      }
      case T::LargeInt:
        return TryParseInteger(s, std::numeric_limits<int64_t>::min(),
                               std::numeric_limits<int64_t>::max(), out.Int);
      case T::BCD: {
        int64_t v;
        if (!TryParseBcd(s, v)) return false;
        auto r = BcdRound(v, to.Scale);
        if (!r) return false;
        out.Int = *r;
        return true;
      }
      default: return false;
    }
  }

  if (f == t) {
    out = in;
    out.Null = false;
    if (t == T::BCD) {
      auto r = BcdRound(in.Int, to.Scale);
      if (r) out.Int = *r;
    }
    return true;
  }

  switch (f) {
    case T::Date:
      if (t == T::TimeStamp) {
        out.Float = TimeStampOf(in.Int, 0);
        return true;
      }
      return false;
    case T::Time:
      if (t == T::TimeStamp) {
        out.Float = TimeStampOf(kDayZero, in.Int);
        return true;
      }
      return false;
    case T::TimeStamp: {
      int64_t day, ms;
      SplitTimeStamp(in.Float, day, ms);
      if (t == T::Date) {
        if (day > INT32_MAX || day < INT32_MIN) return false;
        out.Int = day;
        return true;
      }
      if (t == T::Time) {
        out.Int = ms;
        return true;
      }
      return false;
    }
    case T::Boolean:
      switch (t) {
        case T::SmallInt:
        case T::Integer:
        case T::Word:
        case T::LargeInt: out.Int = in.Int ? 1 : 0; return true;
        case T::BCD: out.Int = in.Int ? kBcdScale : 0; return true;
        default: return false;
      }
    case T::SmallInt:
    case T::Word:
    case T::Integer:
    case T::LargeInt:
      switch (t) {
        case T::Boolean:
          out.Int = in.Int != 0;
          return true;
        case T::SmallInt:
        case T::Word:
        case T::Integer:
        case T::LargeInt: out.Int = LowBits(in.Int, t); return true;
        case T::Float: out.Float = static_cast<double>(in.Int); return true;
        case T::BCD: {
          auto b = BcdFromInteger(in.Int);
          if (!b) return false;
          auto r = BcdRound(*b, to.Scale);
          if (!r) return false;
          out.Int = *r;
          return true;
        }
        default: return false;
      }
    case T::Float:
      switch (t) {
        case T::SmallInt:
        case T::Word:
        case T::Integer:
        case T::LargeInt: {
          int64_t v;
          if (!TruncateFloat(in.Float, v)) return false;
          out.Int = LowBits(v, t);
          return true;
        }
        case T::BCD: {
          auto b = BcdFromFloat(in.Float);
          if (!b) return false;
          auto r = BcdRound(*b, to.Scale);
          if (!r) return false;
          out.Int = *r;
          return true;
        }
        default: return false;
      }
    case T::BCD:
      switch (t) {
        case T::Float: out.Float = BcdToFloat(in.Int); return true;
        case T::SmallInt:
        case T::Word:
        case T::Integer:
        case T::LargeInt: out.Int = LowBits(BcdTruncate(in.Int), t); return true;
        case T::Boolean: out.Int = in.Int != 0; return true;
        default: return false;
      }
    default: return false;
  }
}

}  // namespace kura
