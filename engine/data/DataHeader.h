#pragma once
// The 127-byte header at the start of every data file. The bytes themselves are kept, so a
// header read and written back is identical apart from the fields the engine updates.
#include <array>
#include <cstdint>
#include <string>

#include "engine/util/Bytes.h"

namespace kura {

inline constexpr size_t kDataHeaderSize = 127;
inline constexpr uint8_t kDataFileVersion = 5;
inline constexpr int64_t kEngineVersionField = 33000;

class TDataHeader {
 public:
  std::array<uint8_t, kDataHeaderSize> Bytes{};

  int32_t ChangeCounter() const { return GetI32(&Bytes[0]); }
  void SetChangeCounter(int32_t v) { PutI32(&Bytes[0], v); }
  int32_t BlobBlockSizeRaw() const { return GetI32(&Bytes[4]); }
  int32_t BlobBlockSize() const { return BlobBlockSizeRaw() == 0 ? 512 : BlobBlockSizeRaw(); }
  void SetBlobBlockSize(int32_t v) { PutI32(&Bytes[4], v); }
  uint8_t Version() const { return Bytes[8]; }
  void SetVersion(uint8_t v) { Bytes[8] = v; }
  int32_t FreeListHead() const { return GetI32(&Bytes[9]); }
  void SetFreeListHead(int32_t v) { PutI32(&Bytes[9], v); }
  int32_t NextRecordNumber() const { return GetI32(&Bytes[13]); }
  void SetNextRecordNumber(int32_t v) { PutI32(&Bytes[13], v); }
  int32_t LastAutoIncValue() const { return GetI32(&Bytes[17]); }
  void SetLastAutoIncValue(int32_t v) { PutI32(&Bytes[17], v); }
  uint16_t RecordSize() const { return GetU16(&Bytes[21]); }
  void SetRecordSize(uint16_t v) { PutU16(&Bytes[21], v); }
  uint16_t FieldCount() const { return GetU16(&Bytes[23]); }
  void SetFieldCount(uint16_t v) { PutU16(&Bytes[23], v); }
  uint16_t BlobFieldCount() const { return GetU16(&Bytes[25]); }
  void SetBlobFieldCount(uint16_t v) { PutU16(&Bytes[25], v); }
  double WriteTime() const { return GetF64(&Bytes[27]); }
  void SetWriteTime(double v) { PutF64(&Bytes[27], v); }
  // Raw short strings (scrambled in encrypted tables).
  std::string DescriptionRaw() const { return GetShortString(&Bytes[35], 50); }
  void SetDescriptionRaw(const std::string &v) { PutShortString(&Bytes[35], 50, v); }
  bool Encrypted() const { return Bytes[86] == 1; }
  void SetEncrypted(bool v) { Bytes[86] = v ? 1 : 0; }
  std::string PasswordRaw() const { return GetShortString(&Bytes[87], 15); }
  void SetPasswordRaw(const std::string &v) { PutShortString(&Bytes[87], 15, v); }
  uint16_t LanguageId() const { return GetU16(&Bytes[103]); }
  void SetLanguageId(uint16_t v) { PutU16(&Bytes[103], v); }
  uint16_t SortId() const { return GetU16(&Bytes[105]); }
  void SetSortId(uint16_t v) { PutU16(&Bytes[105], v); }
  uint16_t UserMajorVersion() const { return GetU16(&Bytes[107]); }
  void SetUserMajorVersion(uint16_t v) { PutU16(&Bytes[107], v); }
  uint16_t UserMinorVersion() const { return GetU16(&Bytes[109]); }
  void SetUserMinorVersion(uint16_t v) { PutU16(&Bytes[109], v); }
  int32_t LastBlobNumber() const { return GetI32(&Bytes[112]); }
  void SetLastBlobNumber(int32_t v) { PutI32(&Bytes[112], v); }
  int64_t EngineVersion() const { return GetI64(&Bytes[116]); }
  void SetEngineVersion(int64_t v) { PutI64(&Bytes[116], v); }
};

}  // namespace kura
