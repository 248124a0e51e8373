// The blob stream of the dataset components.
#include "query/dataset/KuraBlobStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/cursor/DataCursor.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraDataSet.h"
#include "query/dataset/KuraField.h"

namespace kura {

namespace {

// The cursor's blob operations take 32-bit offsets and lengths.
constexpr int64_t MaxStreamSize = std::numeric_limits<int32_t>::max();

bool IsBlobField(const TField &field) { return field.Descriptor().Type == EngineFieldType::Blob; }

}  // namespace

TKuraBlobStream::TKuraBlobStream(TField &field, TBlobStreamMode mode) : FField(&field), FMode(mode) {
  FDataSet = dynamic_cast<TKuraDataSet *>(field.Owner());
  if (!FDataSet || !IsBlobField(field))
    RaiseDatabaseError("Field '%s' is not a blob field", field.FieldName());
  if (!FDataSet->Active() || !FDataSet->Cursor()) RaiseDatabaseError(dsmsg::DataSetClosed);
  FFieldNumber = field.FieldNo();
  TDataCursor &cursor = *FDataSet->Cursor();

  uint8_t *editRecord = FDataSet->EditRecordBuffer();
  const uint8_t *shown = FDataSet->FieldReadBuffer();
  // The record being edited is used in place (unless a view is peeking at another row); any
  // other record is copied so that the open blob lives in a buffer the stream owns.
  FOnEditRecord = editRecord != nullptr && shown == editRecord;
  if (mode != TBlobStreamMode::bmRead) {
    if (!FOnEditRecord) RaiseDatabaseError(dsmsg::NotEditing);
    if (field.ReadOnly) RaiseDatabaseError(dsmsg::FieldReadOnly, field.FieldName());
  }
  FDataSet->AddObserver(this);
  if (!FOnEditRecord) {
    // No current record: an empty value, nothing to open.
    if (!shown) return;
    FRecord.assign(shown, shown + cursor.RecordBufferSize());
  }
  try {
    cursor.OpenBlob(Record(), FFieldNumber);
  } catch (...) {
    FDataSet->RemoveObserver(this);
    throw;
  }
  FOpened = true;
  // The handle the cursor put into the record, kept so that the blob can be given back even
  // after the edited record is gone (Post and Cancel end the edit buffer).
  FHandleRecord.assign(Record(), Record() + cursor.RecordBufferSize());
  if (mode == TBlobStreamMode::bmWrite) {
    try {
      if (cursor.GetBlobSize(Record(), FFieldNumber) != 0) {
        cursor.TruncateBlob(Record(), FFieldNumber, 0);
        FModified = true;
        FDataSet->FieldChanged(*FField);
      }
    } catch (...) {
      Detach(true);
      throw;
    }
  }
}

TKuraBlobStream::~TKuraBlobStream() {
  try {
    Detach(true);
  } catch (...) {
    // A destructor must not throw; the cursor frees its blobs when it closes.
  }
}

uint8_t *TKuraBlobStream::Record() {
  if (FOnEditRecord) {
    uint8_t *record = FDataSet ? FDataSet->EditRecordBuffer() : nullptr;
    if (!record) RaiseDatabaseError(dsmsg::NotEditing);
    return record;
  }
  return FRecord.data();
}

void TKuraBlobStream::CheckAttached() const {
  if (!FDataSet || !FDataSet->Cursor()) RaiseDatabaseError(dsmsg::DataSetClosed);
}

void TKuraBlobStream::CheckWritable() const {
  if (FMode == TBlobStreamMode::bmRead)
    RaiseDatabaseError("Cannot write to a blob stream opened for reading");
  if (!FOnEditRecord || !FOpened) RaiseDatabaseError(dsmsg::NotEditing);
  CheckAttached();
}

void TKuraBlobStream::StateChanged(TKuraDataSet &dataSet) {
  // Post or Cancel ended the edit this stream writes into: the value is posted or dropped,
  // and the stream lets go of its blob.
  if (FOnEditRecord && dataSet.EditRecordBuffer() == nullptr) Detach(true);
}

void TKuraBlobStream::Detach(bool cursorAlive) {
  if (!FDataSet) return;
  TKuraDataSet *dataSet = FDataSet;
  FDataSet = nullptr;
  dataSet->RemoveObserver(this);
  if (!FOpened) return;
  FOpened = false;
  TDataCursor *cursor = dataSet->Cursor();
  if (!cursorAlive || !cursor) return;
  uint8_t *editRecord = dataSet->EditRecordBuffer();
  if (FOnEditRecord && editRecord) {
    // Still editing: the record keeps the handle of a changed blob until Post or Cancel.
    cursor->FreeBlob(editRecord, FFieldNumber);
  } else {
    cursor->FreeBlob(FOnEditRecord ? FHandleRecord.data() : FRecord.data(), FFieldNumber);
  }
}

int64_t TKuraBlobStream::Size() {
  CheckAttached();
  if (!FOpened) return 0;  // no current record
  return FDataSet->Cursor()->GetBlobSize(Record(), FFieldNumber);
}

size_t TKuraBlobStream::Read(void *buffer, size_t count) {
  CheckAttached();
  if (count == 0 || !FOpened) return 0;  // nothing asked for, or no current record
  TDataCursor &cursor = *FDataSet->Cursor();
  const int64_t size = cursor.GetBlobSize(Record(), FFieldNumber);
  if (FPosition >= size) return 0;
  const size_t wanted = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count), size - FPosition));
  const uint32_t got = cursor.GetBlob(Record(), FFieldNumber, static_cast<uint32_t>(FPosition),
                                      static_cast<uint32_t>(wanted), static_cast<uint8_t *>(buffer));
  FPosition += got;
  return got;
}

size_t TKuraBlobStream::Write(const void *buffer, size_t count) {
  CheckWritable();
  if (count == 0) return 0;
  if (FPosition + static_cast<int64_t>(count) > MaxStreamSize)
    RaiseDatabaseError("A blob value may not exceed %s bytes", std::to_string(MaxStreamSize));
  TDataCursor &cursor = *FDataSet->Cursor();
  const int64_t size = cursor.GetBlobSize(Record(), FFieldNumber);
  if (FPosition > size) {
    // The value has no holes: the gap up to the position is zero bytes.
    const std::vector<uint8_t> zeros(static_cast<size_t>(FPosition - size), 0);
    cursor.PutBlob(Record(), FFieldNumber, static_cast<uint32_t>(size), static_cast<uint32_t>(zeros.size()),
                   zeros.data());
  }
  cursor.PutBlob(Record(), FFieldNumber, static_cast<uint32_t>(FPosition), static_cast<uint32_t>(count),
                 static_cast<const uint8_t *>(buffer));
  FPosition += static_cast<int64_t>(count);
  FModified = true;
  FDataSet->FieldChanged(*FField);
  return count;
}

int64_t TKuraBlobStream::Seek(int64_t offset, TBlobSeekOrigin origin) {
  int64_t base = 0;
  if (origin == TBlobSeekOrigin::soCurrent) base = FPosition;
  if (origin == TBlobSeekOrigin::soEnd) base = Size();
  const int64_t position = base + offset;
  if (position < 0 || position > MaxStreamSize) RaiseDatabaseError("Invalid blob stream position");
  FPosition = position;
  return FPosition;
}

void TKuraBlobStream::SetSize(int64_t size) {
  CheckWritable();
  if (size < 0 || size > MaxStreamSize) RaiseDatabaseError("Invalid blob stream size");
  TDataCursor &cursor = *FDataSet->Cursor();
  const int64_t current = cursor.GetBlobSize(Record(), FFieldNumber);
  if (size == current) return;
  if (size < current) {
    cursor.TruncateBlob(Record(), FFieldNumber, static_cast<uint32_t>(size));
  } else {
    const std::vector<uint8_t> zeros(static_cast<size_t>(size - current), 0);
    cursor.PutBlob(Record(), FFieldNumber, static_cast<uint32_t>(current), static_cast<uint32_t>(zeros.size()),
                   zeros.data());
  }
  if (FPosition > size) FPosition = size;
  FModified = true;
  FDataSet->FieldChanged(*FField);
}

void TKuraBlobStream::Truncate() { SetSize(FPosition); }

std::vector<uint8_t> TKuraBlobStream::ReadAll() {
  std::vector<uint8_t> bytes(static_cast<size_t>(Size()));
  FPosition = 0;
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t n = Read(bytes.data() + done, bytes.size() - done);
    if (n == 0) break;
    done += n;
  }
  bytes.resize(done);
  return bytes;
}

std::string TKuraBlobStream::ReadText() {
  const std::vector<uint8_t> bytes = ReadAll();
  return std::string(bytes.begin(), bytes.end());
}

void TKuraBlobStream::WriteText(const std::string &text) {
  CheckWritable();
  FPosition = 0;
  Write(text.data(), text.size());
  Truncate();
}

}  // namespace kura
