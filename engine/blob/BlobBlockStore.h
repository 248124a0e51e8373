#pragma once
// The byte-level access a blob file needs from the file underneath it. The table's blob file
// handler implements it over its file; TMemoryBlobBlockStore keeps the bytes in memory.
#include <cstddef>
#include <cstdint>

namespace kura {

class IBlobBlockStore {
 public:
  virtual ~IBlobBlockStore() = default;
  // Reads up to count bytes at offset; returns how many were read. Fewer at the end of the file
  // is not an error here: read-ahead may reach past blocks allocated but not yet written.
  virtual size_t ReadAt(uint64_t offset, uint8_t *buffer, size_t count) = 0;
  // Writes count bytes at offset, extending the file (zero-filled) as needed; raises on failure.
  virtual void WriteAt(uint64_t offset, const uint8_t *buffer, size_t count) = 0;
  virtual uint64_t Size() = 0;
  // Cuts (or zero-extends) the file to size bytes; raises on failure.
  virtual void Truncate(uint64_t size) = 0;
  // Pushes written bytes to the medium; raises on failure.
  virtual void FlushToDisk() {}
  // Whether writes made now are gathered by the table's journal instead of reaching the file
  // (a transaction's change under the write lock): a cache that holds its writes for the
  // transaction may then write changed blocks out to make room, and read them back.
  virtual bool WritesGathered() { return false; }
};

}  // namespace kura
