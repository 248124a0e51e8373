// CAST and the other value conversions of expressions go through the table store's general
// conversion of stored values: a value is laid out as its stored data bytes, converted, and
// read back. Only blobs, which the table store does not convert, are handled here.
#include "query/expr/ValueConvert.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/data/FieldDescriptor.h"
#include "engine/data/ValueConversion.h"
#include "engine/util/Bytes.h"
#include "query/expr/Bcd.h"

namespace kura {

namespace {

using T = TDataType;

bool IsBytes(T t) { return t == T::Bytes || t == T::VarBytes; }

// The stored data bytes of a value. Strings are their characters (no terminator needed: the
// conversion reads at most the given size). BCD values keep all four places unless their bytes
// themselves are wanted, which carry the value's own scale.
std::string StoredBytes(const TTypeInfo &type, const TExpValue &v, int bcdPlaces) {
  std::string out;
  uint8_t buf[kBcdSize] = {};
  size_t n = 0;
  switch (type.Type) {
    case T::Date:
    case T::Integer:
    case T::Time: PutI32(buf, static_cast<int32_t>(v.Int)); n = 4; break;
    case T::Boolean:
    case T::SmallInt:
    case T::Word: PutU16(buf, static_cast<uint16_t>(v.Int)); n = 2; break;
    case T::LargeInt: PutI64(buf, v.Int); n = 8; break;
    case T::Float:
    case T::TimeStamp: PutF64(buf, v.Float); n = 8; break;
    case T::BCD: {
      TPackedBcd p = PackBcd(v.Int, bcdPlaces);
      std::memcpy(buf, p.data(), p.size());
      n = p.size();
      break;
    }
    default: return v.Str;
  }
  return std::string(reinterpret_cast<const char *>(buf), n);
}

// Reads the converted stored bytes back into a value of the target type.
bool FromStoredBytes(const std::vector<uint8_t> &data, size_t length, const TTypeInfo &to, bool fromBytes,
                     TExpValue &out) {
  const uint8_t *p = data.data();
  switch (to.Type) {
    case T::String:
      out.Str = ZeroTerminatedText(p, data.size());
      out.Null = out.Str.empty();
      return true;
    case T::Bytes:
    case T::VarBytes:
      out.Str.assign(reinterpret_cast<const char *>(p), std::min(length, data.size()));
      out.Null = out.Str.empty();
      return true;
    case T::Date:
    case T::Integer:
    case T::Time: out.Int = GetI32(p); return true;
    case T::SmallInt: out.Int = GetI16(p); return true;
    case T::Word: out.Int = GetU16(p); return true;
    case T::Boolean: out.Int = GetU16(p) != 0; return true;
    case T::LargeInt: out.Int = GetI64(p); return true;
    case T::Float:
    case T::TimeStamp:
      out.Float = GetF64(p);
      // Arbitrary bytes are no number the evaluator could compare.
      if (fromBytes && !std::isfinite(out.Float)) out.Float = 0;
      return true;
    case T::BCD: {
      TPackedBcd packed;
      std::memcpy(packed.data(), p, packed.size());
      return UnpackBcd(packed, out.Int);
    }
    default: return false;
  }
}

// Blobs are not converted: their bytes are copied (a String result cut to its size).
bool ConvertBlob(const TTypeInfo &from, const TExpValue &in, const TTypeInfo &to, TExpValue &out) {
  const T f = from.Type, t = to.Type;
  if (t != T::Blob && !HoldsString(t)) return false;
  out.Str = f == T::Blob || HoldsString(f) ? in.Str : StoredBytes(from, in, from.Scale);
  // The declared length excludes the terminator; a zero size leaves the text whole.
  if (t == T::String && to.Size > 0) out.Str.resize(Utf8CutLength(out.Str, to.Size - 1));
  if (IsBytes(t) && to.Size > 0 && out.Str.size() > to.Size) out.Str.resize(to.Size);
  out.Null = out.Str.empty();
  return true;
}

}  // namespace

std::string ValueText(const TTypeInfo &type, const TExpValue &v) {
  if (HoldsString(type.Type)) return v.Str;
  TExpValue out;
  if (!ConvertValue(type, v, TTypeInfo{T::String}, out)) return std::string();
  return out.Str;
}

bool ConvertValue(const TTypeInfo &from, const TExpValue &in, const TTypeInfo &to, TExpValue &out) {
  out.Clear();
  out.Null = false;
  const T f = from.Type, t = to.Type;
  // Types without a value slot of their own take no part.
  if (f == T::Unknown || t == T::Unknown || f == T::LongWord || f == T::Extended) return false;
  if (f == T::Blob || t == T::Blob) return ConvertBlob(from, in, to, out);
  // The type checker lets any integer or BCD be cast to BOOLEAN, but the stored-value table
  // only converts the 16-bit integers; giving NULL for every such CAST would be a wrong
  // result, so a wider integer (or a BCD's scaled value) is TRUE when it is not zero.
  if (t == T::Boolean && (f == T::Integer || f == T::LargeInt || f == T::BCD)) {
    out.Int = in.Int != 0;
    return true;
  }

  std::string src = StoredBytes(from, in, IsBytes(t) ? from.Scale : kBcdMaxPlaces);
  // How many bytes the source holds: a String up to its first zero.
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(src.data());
  size_t length = f == T::String ? ZeroTerminatedText(bytes, src.size()).size() : src.size();
  size_t size;
  if (t == T::String)
    size = to.Size > 0 ? to.Size : std::max<size_t>(src.size(), 64) + 1;  // room for any text form
  else if (IsBytes(t))
    size = to.Size > 0 ? to.Size : length;
  else
    size = StoredDataSize(t, 0);
  std::vector<uint8_t> dst(std::max<size_t>(size, 1));
  if (!ConvertFieldValue(f, src.size(), bytes, t, size, to.Scale, dst.data())) return false;
  dst.resize(size);
  return FromStoredBytes(dst, length, to, IsBytes(f), out);
}

}  // namespace kura
