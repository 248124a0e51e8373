#pragma once
// Record images and index set-ups shared by the index tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/index/IndexBytes.h"
#include "engine/index/IndexDefinition.h"
#include "engine/index/IndexKey.h"
#include "engine/index/IndexPageCache.h"
#include "engine/index/IndexTree.h"

namespace kura::indextest {

// A record layout built field by field as the data file lays records out.
class TRecordLayout {
 public:
  // Returns the field's position (0-based).
  size_t Add(EngineFieldType type, uint16_t storedSize, bool autoInc = false) {
    TIndexKeyField f;
    f.Type = type;
    f.StoredSize = storedSize;
    f.AutoInc = autoInc;
    f.NullOffset = autoInc ? 5 : FSize;
    if (!autoInc) FSize += storedSize + 1u;
    FFields.push_back(f);
    return FFields.size() - 1;
  }
  uint32_t Size() const { return FSize; }
  const TIndexKeyField &Field(size_t i) const { return FFields[i]; }
  std::vector<uint8_t> NewRecord() const { return std::vector<uint8_t>(FSize, 0); }

  void SetAutoInc(std::vector<uint8_t> &r, int32_t v) const { indexbytes::PutI32LE(r.data() + 5, v); }
  void SetNull(std::vector<uint8_t> &r, size_t i) const {
    std::memset(r.data() + FFields[i].NullOffset, 0, FFields[i].StoredSize + 1u);
  }
  void SetBytes(std::vector<uint8_t> &r, size_t i, const void *data, size_t n) const {
    uint8_t *p = r.data() + FFields[i].NullOffset;
    std::memset(p, 0, FFields[i].StoredSize + 1u);
    p[0] = 1;
    std::memcpy(p + 1, data, std::min<size_t>(n, FFields[i].StoredSize));
  }
  void SetInt32(std::vector<uint8_t> &r, size_t i, int32_t v) const {
    uint8_t b[4];
    indexbytes::PutI32LE(b, v);
    SetBytes(r, i, b, 4);
  }
  void SetInt16(std::vector<uint8_t> &r, size_t i, int16_t v) const {
    uint8_t b[2];
    indexbytes::PutU16LE(b, static_cast<uint16_t>(v));
    SetBytes(r, i, b, 2);
  }
  void SetInt64(std::vector<uint8_t> &r, size_t i, int64_t v) const {
    uint8_t b[8];
    indexbytes::PutU32LE(b, static_cast<uint32_t>(v));
    indexbytes::PutU32LE(b + 4, static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
    SetBytes(r, i, b, 8);
  }
  void SetDouble(std::vector<uint8_t> &r, size_t i, double v) const {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    uint8_t b[8];
    indexbytes::PutU32LE(b, static_cast<uint32_t>(bits));
    indexbytes::PutU32LE(b + 4, static_cast<uint32_t>(bits >> 32));
    SetBytes(r, i, b, 8);
  }
  void SetString(std::vector<uint8_t> &r, size_t i, const std::string &s) const {
    SetBytes(r, i, s.data(), std::min<size_t>(s.size(), FFields[i].StoredSize - 1u));
  }

  // A key definition over some of the fields.
  TIndexKeyDefinition Keys(const std::vector<size_t> &fields, bool unique, bool descending = false,
                           const std::vector<bool> &fieldDescending = {}) const {
    TIndexKeyDefinition d;
    for (size_t k = 0; k < fields.size(); ++k) {
      TIndexKeyField f = FFields[fields[k]];
      f.Descending = k < fieldDescending.size() && fieldDescending[k];
      d.Fields.push_back(f);
    }
    d.Unique = unique;
    d.Descending = descending;
    return d;
  }
  // The matching index definition for the header.
  TIndexDefinition Definition(const std::string &name, const TIndexKeyDefinition &keys,
                              KeyCompression compression) const {
    TIndexDefinition d;
    d.Name = name;
    d.Unique = keys.Unique;
    d.Descending = keys.Descending;
    d.CaseInsensitive = keys.CaseInsensitive;
    d.Compression = compression;
    uint16_t n = 1;
    for (const TIndexKeyField &f : keys.Fields) {
      TIndexDefinitionField df;
      df.FieldNumber = n++;
      df.FieldName = "F" + std::to_string(df.FieldNumber);
      df.Type = f.Type;
      df.StoredSize = f.StoredSize;
      df.Descending = f.Descending;
      d.Fields.push_back(df);
    }
    return d;
  }

 private:
  std::vector<TIndexKeyField> FFields;
  uint32_t FSize = 9;
};

// The packed decimal record of a decimal text such as "-12.345".
inline std::vector<uint8_t> PackBcd(const std::string &text) {
  std::vector<uint8_t> bcd(34, 0);
  bool negative = !text.empty() && text[0] == '-';
  std::string digits;
  int places = 0;
  bool afterPoint = false;
  for (char c : text) {
    if (c == '.') afterPoint = true;
    else if (c >= '0' && c <= '9') {
      digits += c;
      if (afterPoint) ++places;
    }
  }
  bcd[0] = static_cast<uint8_t>(digits.size());
  bcd[1] = static_cast<uint8_t>((negative ? 0x80 : 0) | places);
  for (size_t i = 0; i < digits.size(); ++i) {
    uint8_t d = static_cast<uint8_t>(digits[i] - '0');
    bcd[2 + i / 2] |= (i % 2 == 0) ? static_cast<uint8_t>(d << 4) : d;
  }
  return bcd;
}

// Runs f and returns the engine error code it raised (0 when it raised nothing).
inline uint16_t CodeOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const EKuraEngineError &e) {
    return e.ErrorCode();
  }
  return 0;
}

}  // namespace kura::indextest
