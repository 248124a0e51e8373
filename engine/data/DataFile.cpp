// Data file: header, descriptors, record cache, slot allocation and validation.
#include "engine/data/DataFile.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "engine/data/ConstantText.h"
#include "engine/data/DateTimeCodec.h"
#include "engine/data/Scramble.h"
#include "engine/errors/EngineError.h"
#include "engine/file/FileNames.h"
#include "engine/file/LockRanges.h"
#include "engine/locale/Collation.h"

namespace kura {
namespace {

bool ValidNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

std::string Unscrambled(const std::string &raw, bool encrypted) {
  if (!encrypted) return raw;
  std::string text = raw;
  Scramble(reinterpret_cast<uint8_t *>(text.data()), text.size(), kPasswordKey);
  return text;
}

}  // namespace

TDataFile::TDataFile() = default;

TDataFile::~TDataFile() {
  try {
    CloseDataFile(true);
  } catch (...) {
  }
  for (TRecord *r : FOrphans) delete r;
}

void TDataFile::SetErrorNames(const std::string &table, const std::string &database) {
  FTableName = table;
  FDatabaseName = database;
}

void TDataFile::RaiseTable(uint16_t code, const std::string &field) const {
  ErrorTexts texts;
  texts.Table = FTableName.empty() ? FileName() : FTableName;
  texts.Database = FDatabaseName;
  texts.Field = field;
  RaiseEngineErrorOS(code, 0, texts);
}

void TDataFile::SetCacheLimits(uint32_t dataBufferSize, uint32_t dataBufferCount) {
  FDataBufferSize = dataBufferSize;
  FDataBufferCount = dataBufferCount;
  if (RecordSize() > 0) {
    size_t bySize = FDataBufferSize / RecordSize();
    FConfiguredCapacity = std::max<size_t>(1, std::min<size_t>(bySize, FDataBufferCount));
    FCache.SetCapacity(FConfiguredCapacity);
  }
}

bool TDataFile::ShortReadAllowed() const {
  if (FOwner) return FOwner->ShortReadsAllowed();
  return IsTemporary() && FWritten;
}

void TDataFile::MarkWritten() {
  FWritten = true;
  if (FOwner) FOwner->MarkWritten();
}

void TDataFile::ResetState() {
  DropCache();
  FHeader = TDataHeader();
  FFields.clear();
  FHeaderDirty = FDescriptorsDirty = false;
  FWritten = false;
}

// ---------------------------------------------------------------------------------------------
// Opening, checking, creating

void TDataFile::CheckLayout(const TDataHeader &header, const std::vector<TFieldDescriptor> &fields) const {
  size_t offset = kRecordPrefixSize;
  int blobs = 0;
  std::set<std::string> names;
  for (size_t i = 0; i < fields.size(); ++i) {
    const TFieldDescriptor &f = fields[i];
    const uint8_t code = static_cast<uint8_t>(f.Type);
    if (!IsKnownFieldType(code)) RaiseTable(KURA_HEADERCORRUPT);
    if (f.FieldNumber != static_cast<int>(i + 1)) RaiseTable(KURA_HEADERCORRUPT);
    if (TypeHasDeclaredSize(f.Type)) {
      if (f.DeclaredSize > kMaxDeclaredSize) RaiseTable(KURA_HEADERCORRUPT);
    } else if (f.DeclaredSize != 0) {
      RaiseTable(KURA_HEADERCORRUPT);
    }
    if (f.DeclaredScale != 0 && f.Type != EngineFieldType::BCD) RaiseTable(KURA_HEADERCORRUPT);
    if (f.DataSize != StoredDataSize(f.Type, f.DeclaredSize) || f.DataScale != f.DeclaredScale)
      RaiseTable(KURA_HEADERCORRUPT);
    std::string name = TrimBlanks(f.Name);
    if (name.empty() || name.size() > 30 || !ValidNameStart(static_cast<unsigned char>(name[0])))
      RaiseTable(KURA_HEADERCORRUPT);
    if (!names.insert(UpperAscii(name)).second) RaiseTable(KURA_HEADERCORRUPT);
    if (!IsValidFieldConstant(f.Type, f.SubType, f.DefaultValue) ||
        !IsValidFieldConstant(f.Type, f.SubType, f.MinValue) || !IsValidFieldConstant(f.Type, f.SubType, f.MaxValue))
      RaiseTable(KURA_HEADERCORRUPT);
    if (f.IsAutoInc()) {
      if (f.Offset != kAutoIncOffset) RaiseTable(KURA_HEADERCORRUPT);
    } else {
      if (f.Offset != offset) RaiseTable(KURA_HEADERCORRUPT);
      offset += static_cast<size_t>(f.DataSize) + 1;
    }
    if (f.Type == EngineFieldType::Blob) ++blobs;
  }
  if (offset != header.RecordSize()) RaiseTable(KURA_HEADERCORRUPT);
  if (blobs != header.BlobFieldCount() || blobs > kMaxBlobFieldCount) RaiseTable(KURA_HEADERCORRUPT);
}

void TDataFile::ReadDescriptors() {
  size_t count = FHeader.FieldCount();
  std::vector<uint8_t> bytes(count * kFieldDescriptorSize);
  ReadAt(static_cast<int64_t>(kDataHeaderSize), bytes.data(), static_cast<int64_t>(bytes.size()));
  if (FHeader.Encrypted()) Scramble(bytes.data(), bytes.size(), kRecordKey);
  FFields.assign(count, TFieldDescriptor());
  for (size_t i = 0; i < count; ++i) {
    const uint8_t *b = bytes.data() + i * kFieldDescriptorSize;
    // Short strings longer than their capacity are damage, not text.
    if (b[2] > 30 || b[33] > 50 || b[94] > 50 || b[145] > 50 || b[196] > 50) RaiseTable(KURA_HEADERCORRUPT);
    FFields[i].Decode(b);
  }
}

void TDataFile::OpenDataFile(const std::string &fileName, bool memory, bool exclusive, bool readOnly,
                             bool temporary) {
  ResetState();
  Open(fileName, memory, exclusive, readOnly, temporary);
  AllowReadMapping();
  WriteInSmallPieces();
  try {
    ReadAt(0, FHeader.Bytes.data(), kDataHeaderSize);
    FDiskChangeCounter = FHeader.ChangeCounter();
    if (FHeader.Version() != kDataFileVersion) RaiseTable(KURA_OLDVERSION);
    int count = FHeader.FieldCount();
    if (count < 1 || count > kMaxFieldCount || FHeader.RecordSize() < kRecordPrefixSize)
      RaiseTable(KURA_HEADERCORRUPT);
    FReadAheadCount = std::max(1, 8192 / static_cast<int>(FHeader.RecordSize()));
    ReadDescriptors();
    CheckLayout(FHeader, FFields);
    SetCacheLimits(FDataBufferSize, FDataBufferCount);
  } catch (...) {
    ResetState();
    Close();
    throw;
  }
}

void TDataFile::Validate() {
  if (FHeader.Version() != kDataFileVersion) RaiseTable(KURA_OLDVERSION);
  if (FHeader.LanguageId() != 0 && !LocaleIsValid(FHeader.LanguageId(), FHeader.SortId()))
    RaiseTable(KURA_CANNOTLOADLDDRV);
  CheckLayout(FHeader, FFields);
  int64_t size = Size();
  if (size < DescriptorsEnd()) RaiseTable(KURA_HEADERCORRUPT);
  int64_t remainder = size - DescriptorsEnd();
  if (remainder % RecordSize() != 0) RaiseTable(KURA_HEADERCORRUPT);
  int64_t records = remainder / RecordSize();
  if (records + 1 != FHeader.NextRecordNumber()) RaiseTable(KURA_HEADERCORRUPT);
  if (FHeader.FreeListHead() < 0 || FHeader.FreeListHead() > records) RaiseTable(KURA_HEADERCORRUPT);
}

void TDataFile::CloseDataFile(bool discard) {
  if (!IsOpen()) {
    ResetState();
    return;
  }
  try {
    if (!discard && !IsReadOnly()) {
      WriteDirtyRecords(true);
      if (FHeaderDirty) WriteHeader(false);
      if (FDescriptorsDirty) WriteDescriptors();
    }
  } catch (...) {
    ResetState();
    Close();
    throw;
  }
  ResetState();
  Close();
}

void TDataFile::CreateDataFile(const std::string &fileName, bool memory, bool temporary,
                               const TDataFileDefinition &def) {
  FTableName = FTableName.empty() ? fileName : FTableName;
  std::string password = TrimBlanks(def.Password);
  if (def.Encrypted && (password.empty() || password.size() > 15)) RaiseTable(KURA_INVALIDPASSWORD);
  if (def.LanguageId != 0 && !LocaleIsValid(def.LanguageId, def.SortId)) RaiseTable(KURA_CANNOTLOADLDDRV);
  if (def.Fields.empty() || def.Fields.size() > static_cast<size_t>(kMaxFieldCount)) RaiseTable(KURA_FLDLIMIT);
  if (def.IndexDefinitionCount > 32) RaiseTable(KURA_INDEXLIMIT);
  if (def.BlobBlockSize < 64) RaiseTable(KURA_BLOBLIMIT);
  std::vector<TFieldDescriptor> fields = def.Fields;
  std::set<std::string> names;
  std::set<int> numbers;
  for (size_t i = 0; i < fields.size(); ++i) {
    TFieldDescriptor &f = fields[i];
    f.Name = TrimBlanks(f.Name);
    if (f.Name.empty() || f.Name.size() > 30 || !ValidNameStart(static_cast<unsigned char>(f.Name[0])))
      RaiseTable(KURA_INVALIDFIELDNAME, f.Name);
    if (!names.insert(UpperAscii(f.Name)).second) RaiseTable(KURA_INVALIDFIELDNAME, f.Name);
    if (f.FieldNumber != 0 && !numbers.insert(f.FieldNumber).second) RaiseTable(KURA_INVALIDFLDTYPE, f.Name);
    if (!IsKnownFieldType(static_cast<uint8_t>(f.Type))) RaiseTable(KURA_INVALIDFLDTYPE, f.Name);
    if (TypeHasDeclaredSize(f.Type) && (f.DeclaredSize < 1 || f.DeclaredSize > kMaxDeclaredSize))
      RaiseTable(KURA_INVALIDFLDTYPE, f.Name);
    if (!IsValidFieldConstant(f.Type, f.SubType, f.DefaultValue) ||
        !IsValidFieldConstant(f.Type, f.SubType, f.MinValue) || !IsValidFieldConstant(f.Type, f.SubType, f.MaxValue))
      RaiseTable(KURA_INVALIDVCHKSTRUCT, f.Name);
    f.FieldNumber = static_cast<int16_t>(i + 1);
    f.Calculated = 0;
  }
  size_t recordSize = LayoutFields(fields);
  int blobs = static_cast<int>(std::count_if(fields.begin(), fields.end(),
                                             [](const TFieldDescriptor &f) { return f.Type == EngineFieldType::Blob; }));
  if (blobs > kMaxBlobFieldCount) RaiseTable(KURA_BLOBLIMIT);
  if (recordSize > 65535) RaiseTable(KURA_RECTOOBIG);

  TDataHeader header;
  header.SetLanguageId(def.LanguageId);
  header.SetSortId(def.SortId);
  header.SetEncrypted(def.Encrypted);
  std::string description = def.Description.substr(0, std::min<size_t>(def.Description.size(), 50));
  std::string storedPassword = def.Encrypted ? password : std::string();
  header.SetDescriptionRaw(Unscrambled(description, def.Encrypted));
  if (def.Encrypted) header.SetPasswordRaw(Unscrambled(storedPassword, true));
  header.SetFieldCount(static_cast<uint16_t>(fields.size()));
  header.SetBlobBlockSize(def.BlobBlockSize);
  header.SetUserMajorVersion(def.UserMajorVersion);
  header.SetUserMinorVersion(def.UserMinorVersion);
  header.SetBlobFieldCount(static_cast<uint16_t>(blobs));
  header.SetVersion(kDataFileVersion);
  header.SetFreeListHead(0);
  header.SetNextRecordNumber(1);
  header.SetLastAutoIncValue(0);
  header.SetRecordSize(static_cast<uint16_t>(recordSize));
  header.SetChangeCounter(0);
  header.SetEngineVersion(kEngineVersionField);
  header.SetWriteTime(CurrentLocalDateTimeValue() - kDateDelta);

  ResetState();
  Create(fileName, memory, temporary);
  AllowReadMapping();
  WriteInSmallPieces();
  FHeader = header;
  FDiskChangeCounter = 0;
  FFields = fields;
  FReadAheadCount = std::max(1, 8192 / static_cast<int>(recordSize));
  SetCacheLimits(FDataBufferSize, FDataBufferCount);
  try {
    WriteAt(0, FHeader.Bytes.data(), kDataHeaderSize);
    FDescriptorsDirty = true;
    WriteDescriptors();
  } catch (...) {
    ResetState();
    Close();
    throw;
  }
  MarkWritten();
}

// ---------------------------------------------------------------------------------------------
// Header and descriptors

std::string TDataFile::Description() const { return Unscrambled(FHeader.DescriptionRaw(), FHeader.Encrypted()); }
std::string TDataFile::Password() const { return Unscrambled(FHeader.PasswordRaw(), FHeader.Encrypted()); }

void TDataFile::SetLastAutoIncValue(int32_t value) {
  FHeader.SetLastAutoIncValue(value);
  FHeaderDirty = true;
}

// Auto-increment values and blob numbers count up and start again at 1 after the largest.
static int32_t NextInSequence(int32_t last) { return last == INT32_MAX ? 1 : last + 1; }

int32_t TDataFile::NextAutoIncValue() {
  int32_t next = NextInSequence(FHeader.LastAutoIncValue());
  FHeader.SetLastAutoIncValue(next);
  FHeaderDirty = true;
  return next;
}

int32_t TDataFile::NextBlobNumber() {
  int32_t next = NextInSequence(FHeader.LastBlobNumber());
  FHeader.SetLastBlobNumber(next);
  FHeaderDirty = true;
  return next;
}

void TDataFile::CountChangeInMemory() {
  FHeader.SetChangeCounter(static_cast<int32_t>(static_cast<uint32_t>(FHeader.ChangeCounter()) + 1));
  FHeaderDirty = true;
}

const TFieldDescriptor &TDataFile::Field(int fieldNumber) const {
  if (fieldNumber < 1 || fieldNumber > FieldCount()) RaiseTable(KURA_OUTOFRANGE, std::to_string(fieldNumber));
  return FFields[static_cast<size_t>(fieldNumber - 1)];
}

int TDataFile::FieldNumberByName(std::string_view name) const {
  for (size_t i = 0; i < FFields.size(); ++i)
    if (SameTextIgnoringCase(TrimBlanks(FFields[i].Name), TrimBlanks(name))) return static_cast<int>(i + 1);
  return 0;
}

void TDataFile::ReplaceFieldProperties(int fieldNumber, const std::string &name, const std::string &description,
                                       bool required, const std::string &minValue, const std::string &maxValue,
                                       const std::string &defaultValue) {
  Field(fieldNumber);
  TFieldDescriptor &f = FFields[static_cast<size_t>(fieldNumber - 1)];
  f.Name = name;
  f.Description = description;
  f.Required = required;
  f.MinValue = minValue;
  f.MaxValue = maxValue;
  f.DefaultValue = defaultValue;
  FDescriptorsDirty = true;
}

void TDataFile::SetTableProperties(const std::string &description, const std::string &password, uint16_t userMajor,
                                   uint16_t userMinor) {
  bool encrypted = FHeader.Encrypted();
  FHeader.SetDescriptionRaw(Unscrambled(description.substr(0, std::min<size_t>(description.size(), 50)), encrypted));
  FHeader.SetPasswordRaw(encrypted ? Unscrambled(TrimBlanks(password).substr(0, 15), true) : std::string());
  FHeader.SetUserMajorVersion(userMajor);
  FHeader.SetUserMinorVersion(userMinor);
  FHeaderDirty = true;
}

bool TDataFile::ReadHeaderChanged() {
  TDataHeader disk;
  ReadAt(0, disk.Bytes.data(), kDataHeaderSize);
  if (disk.ChangeCounter() == FDiskChangeCounter) return false;
  // The structure cannot change while the table is open; a header that says otherwise is
  // damaged and is not taken.
  if (disk.Version() != kDataFileVersion || disk.FieldCount() != FHeader.FieldCount() ||
      disk.RecordSize() != FHeader.RecordSize() || disk.NextRecordNumber() < 1 ||
      disk.NextRecordNumber() > kMaxRecordNumber + 1)
    RaiseTable(KURA_HEADERCORRUPT);
  FHeader = disk;
  FDiskChangeCounter = disk.ChangeCounter();
  FHeaderDirty = false;
  return true;
}

void TDataFile::RereadHeader() {
  TDataHeader disk;
  ReadAt(0, disk.Bytes.data(), kDataHeaderSize);
  if (disk.Version() != kDataFileVersion || disk.FieldCount() != FHeader.FieldCount() ||
      disk.RecordSize() != FHeader.RecordSize())
    RaiseTable(KURA_HEADERCORRUPT);
  FHeader = disk;
  FDiskChangeCounter = disk.ChangeCounter();
  FHeaderDirty = false;
}

bool TDataFile::WriteHeader(bool force) {
  if (!FHeaderDirty && !force) return false;
  TDataHeader next = FHeader;
  next.SetChangeCounter(static_cast<int32_t>(static_cast<uint32_t>(next.ChangeCounter()) + 1));
  next.SetEngineVersion(kEngineVersionField);
  next.SetWriteTime(CurrentLocalDateTimeValue() - kDateDelta);
  WriteAt(0, next.Bytes.data(), kDataHeaderSize);
  FHeader = next;
  FDiskChangeCounter = next.ChangeCounter();
  FHeaderDirty = false;
  MarkWritten();
  return true;
}

bool TDataFile::WriteDescriptors() {
  if (!FDescriptorsDirty) return false;
  std::vector<uint8_t> bytes(FFields.size() * kFieldDescriptorSize);
  for (size_t i = 0; i < FFields.size(); ++i) FFields[i].Encode(bytes.data() + i * kFieldDescriptorSize);
  if (FHeader.Encrypted()) Scramble(bytes.data(), bytes.size(), kRecordKey);
  WriteAt(static_cast<int64_t>(kDataHeaderSize), bytes.data(), static_cast<int64_t>(bytes.size()));
  FDescriptorsDirty = false;
  MarkWritten();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Records

TRecord *TDataFile::NewCacheEntry() {
  if (FCache.Count() < FCache.Capacity()) return FPool.Take(this, RecordSize());
  // The least recently used clean, unpinned entry goes; when every entry is changed or pinned,
  // the changed ones are written (outside transactions) or the cache grows (a transaction keeps
  // its changes until the commit).
  TRecord *victim = FCache.Evictable();
  if (!victim && !(FOwner && FOwner->HoldsWrites()) && !IsReadOnly() && FCache.DirtyCount() > 0) {
    WriteDirtyRecords(false);
    victim = FCache.Evictable();
  }
  if (!victim) {
    FCache.SetCapacity(FCache.Capacity() + 64);
    return FPool.Take(this, RecordSize());
  }
  FCache.Remove(victim);
  victim->RecordNumber = 0;
  victim->Dirty = false;
  victim->PinCount = 0;
  victim->Image.assign(RecordSize(), 0);
  return victim;
}

void TDataFile::FillBlockBuffer(int32_t n, TReadDirection direction, int count) {
  ForgetBlockBuffer();
  const int32_t last = FHeader.NextRecordNumber() - 1;
  const size_t size = RecordSize();
  // A block is what the caller asks for (or the default read-ahead), at most a megabyte.
  const int64_t most = std::max<int64_t>(FReadAheadCount, static_cast<int64_t>((1u << 20) / size));
  const int64_t wanted = std::clamp<int64_t>(count > 0 ? count : FReadAheadCount, 1, most);
  int32_t first, end;
  if (direction == ReadBackward) {
    end = n;
    first = static_cast<int32_t>(std::max<int64_t>(1, n - wanted + 1));
  } else {
    first = n;
    end = static_cast<int32_t>(std::min<int64_t>(last, n + wanted - 1));
  }
  // A changed record of the range that is not cached any more once room was made would come
  // back from the older bytes read here: such records are written before the block is read.
  if (!(FOwner && FOwner->HoldsWrites()) && !IsReadOnly() && FCache.HasUnpinnedDirtyIn(first, end))
    WriteDirtyRecords(false);
  FBlock.resize(static_cast<size_t>(end - first + 1) * size);
  const int64_t got = ReadAt(SlotOffset(first), FBlock.data(), static_cast<int64_t>(FBlock.size()), true);
  FBlockFirst = first;
  FBlockCount = static_cast<int32_t>(got / static_cast<int64_t>(size));
}

void TDataFile::CopyFromBlockBuffer(int32_t n, TRecord *record) {
  const size_t size = RecordSize();
  std::memcpy(record->Image.data(), FBlock.data() + static_cast<size_t>(n - FBlockFirst) * size, size);
  if (FHeader.Encrypted()) Scramble(record->Image.data(), size, kRecordKey);
  if (record->Image[0] == 0) PutI32(record->Image.data() + 1, n);
}

void TDataFile::LoadBlock(int32_t n, TReadDirection direction, int count) {
  int32_t last = FHeader.NextRecordNumber() - 1;
  if (n < 1 || n > last) RaiseTable(KURA_FILECORRUPT);
  // Room first: making it may write changed records, which makes the block buffer stale.
  TRecord *record = NewCacheEntry();
  try {
    if (!BlockBufferHolds(n)) FillBlockBuffer(n, direction, count);
  } catch (...) {
    FPool.Give(record);
    throw;
  }
  if (!BlockBufferHolds(n)) {
    FPool.Give(record);
    return;  // a short read: the caller finds no record
  }
  record->RecordNumber = n;
  CopyFromBlockBuffer(n, record);
  FCache.Insert(record);
  // While the cache has free room, the neighbours in the reading direction go in too (as a
  // block read always did); once it is full only the records asked for are cached, so a scan
  // does not push out everything else.
  FCache.Pin(record);
  const int32_t step = direction == ReadBackward ? -1 : 1;
  for (int32_t k = n + step; BlockBufferHolds(k) && FCache.Count() < FCache.Capacity(); k += step) {
    if (FCache.Find(k)) continue;
    TRecord *neighbour = FPool.Take(this, RecordSize());
    neighbour->RecordNumber = k;
    CopyFromBlockBuffer(k, neighbour);
    FCache.Insert(neighbour);
  }
  FCache.Unpin(record);
}

TRecord *TDataFile::GetRecord(int32_t n, TReadDirection direction, int count) {
  if (!IsOpen()) RaiseTable(KURA_FILECORRUPT);
  int32_t next = FHeader.NextRecordNumber();
  if (n < 1 || n > next) RaiseTable(KURA_FILECORRUPT);
  if (n == next) {
    if (n > kMaxRecordNumber || SlotOffset(n) + RecordSize() > kMaxDataFileSize) RaiseTable(KURA_TABLEFULL);
    TRecord *record = NewCacheEntry();
    record->RecordNumber = n;
    record->Dirty = true;
    FCache.Insert(record);
    FCache.Pin(record);
    FHeader.SetNextRecordNumber(n + 1);
    FHeaderDirty = true;
    return record;
  }
  if (TRecord *record = FCache.Find(n)) {
    FCache.Pin(record);
    return record;
  }
  if (FOwner && !FOwner->BeforeDiskRead()) return nullptr;
  try {
    LoadBlock(n, direction, count);
  } catch (...) {
    if (FOwner) FOwner->AfterDiskRead();
    throw;
  }
  if (FOwner) FOwner->AfterDiskRead();
  TRecord *record = FCache.Find(n);
  if (!record || record->RecordNumber != n) RaiseTable(KURA_FILECORRUPT);
  FCache.Pin(record);
  return record;
}

bool TDataFile::ReadRecordForScan(int32_t n, std::vector<uint8_t> &out, int count) {
  if (!IsOpen()) RaiseTable(KURA_FILECORRUPT);
  if (n < 1 || n >= FHeader.NextRecordNumber()) RaiseTable(KURA_FILECORRUPT);
  const size_t size = RecordSize();
  out.resize(size);
  // A cached image may be newer than the file (a change not written yet): it comes first.
  if (TRecord *record = FCache.Find(n)) {
    std::memcpy(out.data(), record->Image.data(), size);
    return true;
  }
  if (FOwner && !FOwner->BeforeDiskRead()) return false;
  try {
    if (!BlockBufferHolds(n)) FillBlockBuffer(n, ReadForward, count);
  } catch (...) {
    if (FOwner) FOwner->AfterDiskRead();
    throw;
  }
  if (FOwner) FOwner->AfterDiskRead();
  // A short read: the slot the header counts is not in the file.
  if (!BlockBufferHolds(n)) RaiseTable(KURA_FILECORRUPT);
  std::memcpy(out.data(), FBlock.data() + static_cast<size_t>(n - FBlockFirst) * size, size);
  if (FHeader.Encrypted()) Scramble(out.data(), size, kRecordKey);
  if (out[0] == 0) PutI32(out.data() + 1, n);
  return true;
}

void TDataFile::ReleaseRecord(TRecord *record) {
  if (!record || record->PinCount <= 0) return;
  FCache.Unpin(record);
  if (!record->InCache && record->PinCount == 0) {
    FOrphans.erase(std::remove(FOrphans.begin(), FOrphans.end(), record), FOrphans.end());
    FPool.Give(record);
  }
}

int32_t TDataFile::SlotForNewRecord(bool noPrimaryKey) const {
  int32_t head = FHeader.FreeListHead();
  return (head == 0 || noPrimaryKey) ? FHeader.NextRecordNumber() : head;
}

TRecord *TDataFile::AllocateRecord(bool noPrimaryKey, bool suppressAutoInc, int32_t autoIncValue) {
  int32_t slot = SlotForNewRecord(noPrimaryKey);
  int32_t next = FHeader.NextRecordNumber();
  TRecord *record;
  if (slot == next) {
    record = GetRecord(slot);
    // The new slot lies past the end of the file until it is written (at commit, in a
    // transaction): a block read over it must not take the short read for a damaged file.
    if (record) MarkWritten();
  } else {
    if (slot < 1 || slot >= next) RaiseTable(KURA_FILECORRUPT);
    record = GetRecord(slot);
    if (!record) return nullptr;
    int32_t link = GetI32(record->Image.data() + 1);
    if (record->Image[0] != 1 || link < 0 || link >= next || link == slot) {
      ReleaseRecord(record);
      RaiseTable(KURA_FILECORRUPT);
    }
    FHeader.SetFreeListHead(link);
  }
  std::fill(record->Image.begin(), record->Image.end(), 0);
  PutI32(record->Image.data() + 1, slot);
  if (!suppressAutoInc) {
    PutI32(record->Image.data() + 5, NextAutoIncValue());
  } else {
    PutI32(record->Image.data() + 5, autoIncValue);
    if (autoIncValue > FHeader.LastAutoIncValue()) FHeader.SetLastAutoIncValue(autoIncValue);
  }
  FCache.MarkDirty(record);
  FHeaderDirty = true;
  return record;
}

void TDataFile::FreeRecord(int32_t recordNumber, bool noPrimaryKey) {
  TRecord *record = GetRecord(recordNumber);
  // Records are freed under the write lock after the caller found them live: a slot that
  // cannot be read, or is free already, is a damaged file (freeing it twice would loop the
  // free list), not another user's change.
  if (!record) RaiseTable(KURA_FILECORRUPT);
  if (record->Image[0] == 1) {
    ReleaseRecord(record);
    RaiseTable(KURA_FILECORRUPT);
  }
  record->Image[0] = 1;
  PutI32(record->Image.data() + 1, noPrimaryKey ? 0 : FHeader.FreeListHead());
  FHeader.SetFreeListHead(recordNumber);
  FCache.MarkDirty(record);
  FHeaderDirty = true;
  ReleaseRecord(record);
}

bool TDataFile::WriteDirtyRecords(bool includePinned) {
  const std::vector<TRecord *> dirty = FCache.DirtyRecords(includePinned);
  if (dirty.empty()) return false;
  const size_t size = RecordSize();
  // Neighbouring records go out as one write of at most a megabyte: a transaction that appended
  // a million rows would otherwise copy all of them into one buffer first.
  const size_t most = std::max<size_t>(1, (1u << 20) / size);
  std::vector<uint8_t> run;
  for (size_t i = 0; i < dirty.size();) {
    size_t j = i + 1;
    while (j < dirty.size() && j - i < most && dirty[j]->RecordNumber == dirty[j - 1]->RecordNumber + 1) ++j;
    run.resize((j - i) * size);
    for (size_t k = i; k < j; ++k) {
      uint8_t *out = run.data() + (k - i) * size;
      std::memcpy(out, dirty[k]->Image.data(), size);
      if (FHeader.Encrypted()) Scramble(out, size, kRecordKey);
    }
    WriteAt(SlotOffset(dirty[i]->RecordNumber), run.data(), static_cast<int64_t>(run.size()));
    for (size_t k = i; k < j; ++k) FCache.MarkClean(dirty[k]);
    i = j;
  }
  ForgetBlockBuffer();
  MarkWritten();
  TrimCache();
  return true;
}

bool TDataFile::WriteChanges(bool forceHeader, bool flushOS) {
  // An explicit write takes pinned records too: a record a cursor still holds must not miss a
  // flush, a commit or a close. Only writes made to free cache room leave pinned ones alone.
  bool written = WriteDirtyRecords(true);
  written = WriteHeader(forceHeader) || written;
  written = WriteDescriptors() || written;
  if (written && flushOS) FlushOS();
  return written;
}

void TDataFile::TrimCache() {
  // Room grown while nothing could be evicted is given back once records can go again.
  if (FCache.Capacity() > FConfiguredCapacity) FCache.SetCapacity(std::max(FConfiguredCapacity, FCache.Count()));
  if (FCache.Count() > FConfiguredCapacity)
    for (TRecord *victim : FCache.EvictOldest(FCache.Count() - FConfiguredCapacity)) FPool.Give(victim);
  FCache.SetCapacity(std::max(FConfiguredCapacity, FCache.Count()));
}

void TDataFile::DropCache() {
  ForgetBlockBuffer();
  for (TRecord *r : FCache.RemoveAll()) {
    r->Dirty = false;
    if (r->PinCount > 0)
      FOrphans.push_back(r);
    else
      FPool.Give(r);
  }
  if (RecordSize() > 0) SetCacheLimits(FDataBufferSize, FDataBufferCount);
}

void TDataFile::Empty(bool flushOS) {
  TruncateAt(DescriptorsEnd());
  if (flushOS) FlushOS();
  DropCache();
  FHeader.SetChangeCounter(0);
  FHeader.SetFreeListHead(0);
  FHeader.SetNextRecordNumber(1);
  FHeader.SetLastAutoIncValue(0);
  FHeaderDirty = true;
  MarkWritten();
}

// ---------------------------------------------------------------------------------------------
// Locks

bool TDataFile::LockRecord(int32_t recordNumber) {
  if (recordNumber < 1) return false;
  return LockRange(RecordLockOffset(static_cast<uint32_t>(recordNumber)), 1);
}

bool TDataFile::UnlockRecord(int32_t recordNumber) {
  if (recordNumber < 1) return false;
  return UnlockRange(RecordLockOffset(static_cast<uint32_t>(recordNumber)), 1);
}

bool TDataFile::UnlockRecordRun(int32_t first, int32_t last) {
  if (first < 1 || last < first) return false;
  if (first == last) return UnlockRecord(first);
  // The bytes of consecutive records are adjacent (in falling order): one range covers them.
  const uint64_t start = RecordLockOffset(static_cast<uint32_t>(last));
  return UnlockRangesWithin(start, static_cast<uint64_t>(last - first) + 1);
}

bool TDataFile::UnlockRecordSpan(int32_t first, int32_t last, size_t held, bool &ok) {
  if (first < 1 || last < first) return false;
  const uint64_t start = RecordLockOffset(static_cast<uint32_t>(last));
  return UnlockRangesWithinIfOnly(start, static_cast<uint64_t>(last - first) + 1, held, ok);
}

bool TDataFile::UnlockAllRecords() { return UnlockRangesWithin(kAllRecordLocksStart, kAllRecordLocksLength); }

bool TDataFile::CoverRecords(size_t held, std::vector<std::pair<uint64_t, uint64_t>> &taken) {
  return LockGapsWithin(kAllRecordLocksStart, kAllRecordLocksLength, held, taken);
}

bool TDataFile::UncoverRecords(const std::pair<uint64_t, uint64_t> &range, const std::vector<int32_t> &keep) {
  // Lock bytes lie below the base in descending record order.
  std::vector<uint64_t> offsets;
  for (auto it = keep.rbegin(); it != keep.rend(); ++it) {
    const uint64_t offset = RecordLockOffset(static_cast<uint32_t>(*it));
    if (offset >= range.first && offset < range.first + range.second) offsets.push_back(offset);
  }
  return UnlockRangeKeeping(range.first, range.second, offsets);
}

bool TDataFile::TakeWriteSemaphore() { return kura::TakeWriteSemaphore(*this); }

bool TDataFile::ReleaseWriteSemaphore() { return kura::ReleaseWriteSemaphore(*this); }

}  // namespace kura
