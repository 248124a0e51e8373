#pragma once
// The process-wide registry of open files: every file is opened once per process, however many
// tables, cursors and sessions use it; each user holds a handle number on the shared object.
// Results are non-negative on success, a negative engine code on failure.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/file/AbstractFile.h"

namespace kura {

class TFileList {
 public:
  // The one registry of the process (made on first use or when the engine starts).
  static TFileList &Instance();
  // Destroys the registry and every remaining file object (engine stop).
  static void DestroyInstance();
  // In a child made by fork(): drops the registry copied from the parent without touching the
  // parent's files. The inherited descriptors are closed (their open-file descriptions, and the
  // locks on them, stay the parent's) and the copied objects are abandoned.
  static void AbandonAfterFork();

  struct TOpenResult {
    int32_t Handle = 0;  // handle number, or a negative code
    TAbstractFile *File = nullptr;
    bool ReadOnly = false;
    bool ReadOnlyByAttribute = false;
    int OSError = 0;
  };

  TOpenResult Create(const std::string &name, bool memory, bool temporary);
  TOpenResult Open(const std::string &name, bool memory, bool exclusive, bool temporary, bool readOnly = false);
  int Close(TAbstractFile *file, bool memory, int32_t handle);
  int Rename(const std::string &name, bool memory, const std::string &newName, int &osError);
  int Delete(const std::string &name, bool memory, int &osError);
  bool Exists(const std::string &name, bool memory);
  size_t FileCount();

  ~TFileList();

 private:
  TFileList() = default;
  int Find(const std::string &name, bool memory) const;

  std::vector<std::unique_ptr<TAbstractFile>> FFiles;
  std::mutex FLock;
};

}  // namespace kura
