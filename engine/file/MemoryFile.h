#pragma once
// A file held entirely in memory (the tables of the "Memory" database). It outlives the close
// of its last handle and disappears only when deleted or when the engine stops.
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

  static constexpr int64_t kGrowStep = 4096;

 private:
  std::vector<uint8_t> FBlock;  // allocated length = FBlock.size(), a multiple of 4096
};

}  // namespace kura
