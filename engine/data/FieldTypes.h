#pragma once
// Field type and subtype codes as stored in a data file's field descriptors.
#include <cstdint>

namespace kura {

enum class EngineFieldType : uint8_t {
  Unknown = 0,
  String = 1,
  Date = 2,
  Blob = 3,
  Boolean = 4,
  SmallInt = 5,
  Integer = 6,
  Float = 7,
  BCD = 8,
  Bytes = 9,
  Time = 10,
  TimeStamp = 11,
  Word = 12,
  LongWord = 13,
  Extended = 14,
  VarBytes = 15,
  // 16 and 17 have no stored data.
  LargeInt = 18,
};

enum class FieldSubType : uint8_t {
  None = 0,
  Money = 21,          // on Float
  Memo = 22,           // on Blob
  Binary = 23,         // on Blob
  FormattedMemo = 24,  // on Blob
  OleObject = 25,      // on Blob
  Graphic = 26,        // on Blob
  DbaseOle = 27,       // on Blob
  TypedBinary = 28,    // on Blob
  AutoInc = 29,        // on Integer
  FixedChar = 31,      // on String, Bytes, VarBytes
};

// SmallInt, Integer, Word and LargeInt: the types that hold whole numbers of any width.
inline bool IsIntegerType(EngineFieldType t) {
  return t == EngineFieldType::SmallInt || t == EngineFieldType::Integer || t == EngineFieldType::Word ||
         t == EngineFieldType::LargeInt;
}

}  // namespace kura
