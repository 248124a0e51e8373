#pragma once
// The output rows of a sort written back over the table's record slots from slot 1 on, through
// a buffer of whole records that is written (scrambled for an encrypted table) whenever it is
// full.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/data/DataFile.h"
#include "engine/sort/SortEmitter.h"

namespace kura {

class TSortOutput : public TSortSink {
 public:
  // capacityRecords: records buffered before a write (0: everything is kept until Flush).
  TSortOutput(TDataFile &file, size_t capacityRecords);

  void Write(const uint8_t *record) override;
  // Writes what is buffered.
  void Flush();
  // Records written so far (buffered ones included).
  int32_t Count() const { return FCount; }

 private:
  TDataFile &FFile;
  size_t FRecordSize;
  size_t FCapacity;
  bool FEncrypted;
  int64_t FSlotsStart;
  std::vector<uint8_t> FBuffer;
  size_t FBuffered = 0;
  int32_t FFlushed = 0;  // records already on disk
  int32_t FCount = 0;
};

// Offset of the first record slot of a data file.
int64_t FirstSlotOffset(const TDataFile &file);

}  // namespace kura
