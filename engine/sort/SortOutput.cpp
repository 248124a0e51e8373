// Writing sorted rows over the record slots in large sequential writes.
#include "engine/sort/SortOutput.h"

#include <cstring>

#include "engine/data/Scramble.h"

namespace kura {

int64_t FirstSlotOffset(const TDataFile &file) {
  return static_cast<int64_t>(kDataHeaderSize) +
         static_cast<int64_t>(kFieldDescriptorSize) * static_cast<int64_t>(file.FieldCount());
}

TSortOutput::TSortOutput(TDataFile &file, size_t capacityRecords)
    : FFile(file),
      FRecordSize(file.RecordSize()),
      FCapacity(capacityRecords),
      FEncrypted(file.Encrypted()),
      FSlotsStart(FirstSlotOffset(file)) {
  if (FCapacity > 0) FBuffer.resize(FCapacity * FRecordSize);
}

void TSortOutput::Write(const uint8_t *record) {
  if (FCapacity > 0 && FBuffered == FCapacity) Flush();
  const size_t at = FBuffered * FRecordSize;
  if (at + FRecordSize > FBuffer.size()) FBuffer.resize(at + FRecordSize);
  uint8_t *out = FBuffer.data() + at;
  std::memcpy(out, record, FRecordSize);
  if (FEncrypted) Scramble(out, FRecordSize, kRecordKey);
  ++FBuffered;
  ++FCount;
}

void TSortOutput::Flush() {
  if (FBuffered == 0) return;
  const int64_t offset = FSlotsStart + static_cast<int64_t>(FFlushed) * static_cast<int64_t>(FRecordSize);
  FFile.WriteAt(offset, FBuffer.data(), static_cast<int64_t>(FBuffered * FRecordSize));
  FFlushed += static_cast<int32_t>(FBuffered);
  FBuffered = 0;
}

}  // namespace kura
