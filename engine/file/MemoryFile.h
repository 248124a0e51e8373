#pragma once
// A file held entirely in memory (the tables of the "Memory" database, and the result tables of
// queries). It outlives the close of its last handle and disappears only when deleted or when
// the engine stops.
//
// Its bytes lie in chunks of 64 KiB made when first written: a file that grows never copies
// what it holds already, and holds no more memory than the chunks written (a result table of
// many rows grew by copying itself, each time into memory never used before). Bytes never
// written, and those past a cut that the file grows over again, read as zero.
#include <memory>
#include <vector>

#include "engine/file/AbstractFile.h"

namespace kura {

class TMemoryFile : public TAbstractFile {
 public:
  explicit TMemoryFile(std::string name);

  int64_t Size() override;
  int32_t CreateFile() override;
  int32_t OpenFile(bool readOnlyRequested, bool &readOnly, bool &readOnlyByAttribute) override;
  int Rename(const std::string &newName) override;
  int Delete() override;
  int64_t Read(int32_t handle, void *buffer, int64_t count) override;
  int64_t Write(int32_t handle, const void *buffer, int64_t count) override;
  bool IsMemory() const override { return true; }

  static constexpr int64_t kChunkBytes = 64 << 10;

 private:
  // The chunk holding offset, made (zero-filled) when asked to.
  uint8_t *Chunk(int64_t offset, bool make);
  // Drops the bytes from offset on: later chunks go, the rest of offset's chunk is zeroed.
  void CutAt(int64_t offset);

  std::vector<std::unique_ptr<uint8_t[]>> FChunks;  // null: never written
};

}  // namespace kura
