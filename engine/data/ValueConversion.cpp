// Field value conversions between stored types.
#include "engine/data/ValueConversion.h"

#include <cmath>
#include <cstring>
#include <string>

#include "engine/data/Bcd.h"
#include "engine/data/ConstantText.h"
#include "engine/data/DateTimeCodec.h"
#include "engine/data/FieldCodec.h"
#include "engine/data/FieldDescriptor.h"
#include "engine/util/Bytes.h"

namespace kura {
namespace {

using T = EngineFieldType;

std::string SourceText(size_t size, const uint8_t *src) { return std::string(ZeroTerminatedText(src, size)); }

void PutText(const std::string &text, size_t dstSize, uint8_t *dst) {
  // A String's data keeps one terminating zero byte.
  std::memcpy(dst, text.data(), Utf8CutLength(text, dstSize > 0 ? dstSize - 1 : 0));
}

void PutBytes(size_t srcSize, const uint8_t *src, size_t dstSize, uint8_t *dst) {
  std::memcpy(dst, src, srcSize < dstSize ? srcSize : dstSize);
}

// Integer targets keep the low bits of a 64-bit value.
void PutInteger(T type, int64_t v, uint8_t *dst) {
  switch (type) {
    case T::SmallInt: PutI16(dst, static_cast<int16_t>(v)); break;
    case T::Word: PutU16(dst, static_cast<uint16_t>(v)); break;
    case T::Integer: PutI32(dst, static_cast<int32_t>(v)); break;
    case T::LargeInt: PutI64(dst, v); break;
    case T::Boolean: PutU16(dst, v != 0 ? 1 : 0); break;
    default: break;
  }
}

bool PutCurrencyAsBcd(int64_t currency, int scale, uint8_t *dst) {
  CurrencyToBcd(currency, scale).Encode(dst);
  return true;
}

// Raw bytes taken as the stored data of the target type: a String keeps its terminating zero,
// a Boolean is 1 for any non-zero value, and a packed decimal must be a valid one; it is
// rounded to a currency value and stored with the target scale like every other BCD target.
bool PutStoredBytes(size_t ss, const uint8_t *src, T dt, size_t ds, int scale, uint8_t *dst) {
  if (dt == T::String) {
    PutBytes(ss, src, ds > 0 ? ds - 1 : 0, dst);
    return true;
  }
  PutBytes(ss, src, ds, dst);
  if (dt == T::Boolean) PutU16(dst, GetU16(dst) != 0 ? 1 : 0);
  if (dt == T::BCD) {
    TBcd v;
    v.Decode(dst);
    int64_t c;
    if (!BcdToCurrency(v, c)) return false;
    return PutCurrencyAsBcd(c, scale, dst);
  }
  return true;
}

bool PutDoubleAsInteger(T type, double v, uint8_t *dst) {
  if (!std::isfinite(v) || std::fabs(v) >= 9.2233720368547758e18) return false;
  PutInteger(type, static_cast<int64_t>(std::trunc(v)), dst);
  return true;
}

void PutZero(T type, size_t size, uint8_t *dst) {
  std::memset(dst, 0, size);
  if (type == T::Date) PutI32(dst, kDateDelta);
  if (type == T::TimeStamp) PutF64(dst, EncodeTimeStamp(kDateDelta, 0));
  if (type == T::BCD) CurrencyToBcd(0, 0).Encode(dst);
}

bool Convert(T st, size_t ss, const uint8_t *src, T dt, size_t ds, int scale, uint8_t *dst) {
  if (st == T::Blob || st == T::LongWord || st == T::Extended) {
    // Nothing is converted; the value stays as it is.
    PutBytes(ss, src, ds, dst);
    return true;
  }
  if (st == dt) {
    if (st == T::String)
      PutText(SourceText(ss, src), ds, dst);
    else if (st == T::BCD) {
      TBcd v;
      v.Decode(src);
      int64_t c;
      if (!BcdToCurrency(v, c)) return false;
      return PutCurrencyAsBcd(c, scale, dst);
    } else
      PutBytes(ss, src, ds, dst);
    return true;
  }
  if (dt == T::Bytes || dt == T::VarBytes) {
    if (st == T::String) {
      std::string text = SourceText(ss, src);
      std::memcpy(dst, text.data(), text.size() < ds ? text.size() : ds);
    } else {
      PutBytes(ss, src, ds, dst);
    }
    return true;
  }
  switch (st) {
    case T::String: {
      std::string text = SourceText(ss, src);
      int64_t i;
      double d;
      int32_t n;
      bool b;
      switch (dt) {
        case T::Date: if (!ParseDateText(text, n)) return false; PutI32(dst, n); return true;
        case T::Time: if (!ParseTimeText(text, n)) return false; PutI32(dst, n); return true;
        case T::TimeStamp: if (!ParseTimeStampText(text, d)) return false; PutF64(dst, d); return true;
        case T::Boolean: if (!ParseBooleanText(text, b)) return false; PutU16(dst, b ? 1 : 0); return true;
        case T::Float: if (!ParseNumberText(text, d)) return false; PutF64(dst, d); return true;
        case T::SmallInt: case T::Integer: case T::Word:
          // A 32-bit decimal integer; SmallInt and Word keep its low 16 bits.
          if (!ParseIntegerText(text, i) || i < INT32_MIN || i > INT32_MAX) return false;
          PutInteger(dt, i, dst);
          return true;
        case T::LargeInt:
          if (!ParseIntegerText(text, i)) return false;
          PutInteger(dt, i, dst);
          return true;
        case T::BCD: {
          int64_t c;
          if (!StringToCurrency(text, c)) return false;
          return PutCurrencyAsBcd(c, scale, dst);
        }
        default: return false;
      }
    }
    case T::Date: {
      int32_t day = GetI32(src);
      if (dt == T::String) { PutText(FormatDateText(day), ds, dst); return true; }
      if (dt == T::TimeStamp) { PutF64(dst, EncodeTimeStamp(day, 0)); return true; }
      return false;
    }
    case T::Time: {
      int32_t ms = GetI32(src);
      if (dt == T::String) { PutText(FormatTimeText(ms, true), ds, dst); return true; }
      if (dt == T::TimeStamp) { PutF64(dst, EncodeTimeStamp(kDateDelta, ms)); return true; }
      return false;
    }
    case T::TimeStamp: {
      int32_t day, ms;
      if (!DecodeTimeStamp(GetF64(src), day, ms)) return false;
      if (dt == T::String) { PutText(FormatTimeStampText(GetF64(src), true), ds, dst); return true; }
      if (dt == T::Date) { PutI32(dst, day); return true; }
      if (dt == T::Time) { PutI32(dst, ms); return true; }
      return false;
    }
    case T::Boolean: {
      bool v = GetU16(src) != 0;
      if (dt == T::String) { PutText(FormatBooleanText(v), ds, dst); return true; }
      if (IsIntegerType(dt)) { PutInteger(dt, v ? 1 : 0, dst); return true; }
      if (dt == T::BCD) return PutCurrencyAsBcd(v ? 10000 : 0, scale, dst);
      return false;
    }
    case T::SmallInt: case T::Word: case T::Integer: case T::LargeInt: {
      int64_t v = st == T::SmallInt ? GetI16(src)
                  : st == T::Word  ? GetU16(src)
                  : st == T::Integer ? GetI32(src)
                                     : GetI64(src);
      if (dt == T::String) { PutText(std::to_string(v), ds, dst); return true; }
      if (dt == T::Boolean && (st == T::SmallInt || st == T::Word)) { PutU16(dst, v != 0 ? 1 : 0); return true; }
      if (IsIntegerType(dt)) {
        if (st == T::SmallInt && dt == T::Word) { PutU16(dst, static_cast<uint16_t>(v)); return true; }
        if (st == T::Word && dt == T::SmallInt) { PutI16(dst, static_cast<int16_t>(v)); return true; }
        PutInteger(dt, v, dst);
        return true;
      }
      if (dt == T::Float) { PutF64(dst, static_cast<double>(v)); return true; }
      if (dt == T::BCD) {
        if (v > INT64_MAX / 10000 || v < INT64_MIN / 10000) return false;
        return PutCurrencyAsBcd(v * 10000, scale, dst);
      }
      return false;
    }
    case T::Float: {
      double v = GetF64(src);
      if (dt == T::String) { PutText(FormatFloatText(v), ds, dst); return true; }
      if (IsIntegerType(dt)) return PutDoubleAsInteger(dt, v, dst);
      if (dt == T::BCD) {
        int64_t c;
        if (!DoubleToCurrency(v, c)) return false;
        return PutCurrencyAsBcd(c, scale, dst);
      }
      return false;
    }
    case T::BCD: {
      TBcd v;
      v.Decode(src);
      if (dt == T::String) {
        std::string text;
        if (!BcdToString(v, text)) return false;
        PutText(text, ds, dst);
        return true;
      }
      int64_t c;
      if (IsIntegerType(dt) && v.Places() <= 4 && BcdToCurrency(v, c)) {
        // Truncated toward zero from the exact currency value (exact where a double is not).
        PutInteger(dt, c / 10000, dst);
        return true;
      }
      double d;
      if (!BcdToDouble(v, d)) return false;
      if (dt == T::Float) { PutF64(dst, d); return true; }
      if (IsIntegerType(dt)) return PutDoubleAsInteger(dt, d, dst);
      return false;
    }
    case T::Bytes: case T::VarBytes:
      if (dt == T::Blob) return false;
      return PutStoredBytes(ss, src, dt, ds, scale, dst);
    default: return false;
  }
}

}  // namespace

bool ConvertFieldValue(EngineFieldType srcType, size_t srcSize, const uint8_t *src, EngineFieldType dstType,
                       size_t dstSize, int dstScale, uint8_t *dst) {
  std::memset(dst, 0, dstSize);
  // Fixed-size values shorter than their type are refused rather than read or written past.
  auto tooShort = [](EngineFieldType type, size_t size) {
    return !TypeHasDeclaredSize(type) && size < StoredDataSize(type, 0);
  };
  if (tooShort(dstType, dstSize)) return false;
  if (!tooShort(srcType, srcSize) && Convert(srcType, srcSize, src, dstType, dstSize, dstScale, dst)) return true;
  PutZero(dstType, dstSize, dst);
  return false;
}

}  // namespace kura
