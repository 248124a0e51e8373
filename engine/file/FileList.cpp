// The process-wide file registry.
#include "engine/file/FileList.h"

#include <cerrno>

#include "engine/errors/ErrorCodes.h"
#include "engine/file/FileNames.h"
#include "engine/file/MemoryFile.h"
#include "engine/file/PhysicalFile.h"

namespace kura {
namespace {

// The registry refuses with "no such file" (also for names too long to be one) or "access
// denied"; it reports the operating system's error number and returns the engine's code for
// it, negated.
int RefusalCode(int error) { return -static_cast<int>(error == EACCES ? KURA_OSEACCES : KURA_OSENOENT); }

int Refused(int &osError, int error) {
  osError = error;
  return RefusalCode(error);
}

TFileList::TOpenResult RefusedOpen(int error) {
  TFileList::TOpenResult result;
  result.Handle = RefusalCode(error);
  result.OSError = error;
  return result;
}

std::mutex &InstanceLock() {
  static std::mutex lock;
  return lock;
}
TFileList *&InstancePointer() {
  static TFileList *instance = nullptr;
  return instance;
}

}  // namespace

TFileList &TFileList::Instance() {
  std::lock_guard<std::mutex> guard(InstanceLock());
  TFileList *&instance = InstancePointer();
  if (!instance) instance = new TFileList();
  return *instance;
}

void TFileList::DestroyInstance() {
  std::lock_guard<std::mutex> guard(InstanceLock());
  delete InstancePointer();
  InstancePointer() = nullptr;
}

void TFileList::AbandonAfterFork() {
  TFileList *&instance = InstancePointer();
  if (!instance) return;
  for (auto &file : instance->FFiles) {
    if (auto *physical = dynamic_cast<TPhysicalFile *>(file.get())) physical->CloseInheritedDescriptor();
    (void)file.release();
  }
  instance = nullptr;  // abandoned: its mutexes may have been copied in a locked state
}

TFileList::~TFileList() = default;

int TFileList::Find(const std::string &name, bool memory) const {
  for (size_t i = 0; i < FFiles.size(); ++i)
    if (FFiles[i]->IsMemory() == memory && SameFileName(FFiles[i]->Name(), name)) return static_cast<int>(i);
  return -1;
}

size_t TFileList::FileCount() {
  std::lock_guard<std::mutex> guard(FLock);
  return FFiles.size();
}

TFileList::TOpenResult TFileList::Create(const std::string &name, bool memory, bool temporary) {
  std::lock_guard<std::mutex> guard(FLock);
  TOpenResult result;
  if (name.size() > kMaxFileNameLength) return RefusedOpen(ENAMETOOLONG);
  int index = Find(name, memory);
  if (index >= 0) {
    TAbstractFile *file = FFiles[index].get();
    std::lock_guard<std::recursive_mutex> fileGuard(file->Lock());
    if (file->OpenHandleCount() > 0) return RefusedOpen(EACCES);
    file->SetExclusive(true);
    file->SetTemporary(temporary);
    result.Handle = file->CreateFile();
    result.OSError = file->LastOSError();
    if (result.Handle > 0) result.File = file;
    return result;
  }
  std::unique_ptr<TAbstractFile> file;
  if (memory)
    file = std::make_unique<TMemoryFile>(TrimBlanks(name));
  else
    file = std::make_unique<TPhysicalFile>(TPhysicalFile::ResolveNameOnDisk(TrimBlanks(name)));
  file->SetExclusive(true);
  file->SetTemporary(temporary);
  result.Handle = file->CreateFile();
  result.OSError = file->LastOSError();
  if (result.Handle > 0) {
    result.File = file.get();
    FFiles.push_back(std::move(file));
  }
  return result;
}

TFileList::TOpenResult TFileList::Open(const std::string &name, bool memory, bool exclusive, bool temporary,
                                       bool readOnly) {
  std::lock_guard<std::mutex> guard(FLock);
  TOpenResult result;
  int index = Find(name, memory);
  if (index >= 0) {
    TAbstractFile *file = FFiles[index].get();
    std::lock_guard<std::recursive_mutex> fileGuard(file->Lock());
    if (file->OpenHandleCount() > 0) {
      if (file->Exclusive() || exclusive) return RefusedOpen(EACCES);
    } else {
      file->SetExclusive(exclusive);
      file->SetTemporary(temporary);
    }
    result.Handle = file->OpenFile(readOnly, result.ReadOnly, result.ReadOnlyByAttribute);
    result.OSError = file->LastOSError();
    if (result.Handle > 0) result.File = file;
    return result;
  }
  if (memory) return RefusedOpen(ENOENT);
  auto file = std::make_unique<TPhysicalFile>(TPhysicalFile::ResolveNameOnDisk(TrimBlanks(name)));
  file->SetExclusive(exclusive);
  file->SetTemporary(temporary);
  result.Handle = file->OpenFile(readOnly, result.ReadOnly, result.ReadOnlyByAttribute);
  result.OSError = file->LastOSError();
  if (result.Handle > 0) {
    result.File = file.get();
    FFiles.push_back(std::move(file));
  }
  return result;
}

int TFileList::Close(TAbstractFile *file, bool memory, int32_t handle) {
  std::lock_guard<std::mutex> guard(FLock);
  for (size_t i = 0; i < FFiles.size(); ++i) {
    if (FFiles[i].get() != file) continue;
    int result;
    bool last;
    {
      std::lock_guard<std::recursive_mutex> fileGuard(file->Lock());
      result = file->CloseHandle(handle);
      last = file->OpenHandleCount() == 0;
    }
    if (last) {
      if (!memory) {
        FFiles.erase(FFiles.begin() + static_cast<long>(i));
      } else if (file->Temporary()) {
        file->Delete();
        FFiles.erase(FFiles.begin() + static_cast<long>(i));
      }
    }
    return result;
  }
  return -static_cast<int>(KURA_OSENOENT);
}

int TFileList::Rename(const std::string &name, bool memory, const std::string &newName, int &osError) {
  std::lock_guard<std::mutex> guard(FLock);
  int index = Find(name, memory);
  if (index >= 0) {
    TAbstractFile *file = FFiles[index].get();
    std::lock_guard<std::recursive_mutex> fileGuard(file->Lock());
    if (file->OpenHandleCount() > 0 || Find(newName, memory) >= 0) return Refused(osError, EACCES);
    int result = file->Rename(TrimBlanks(newName));
    osError = file->LastOSError();
    return result;
  }
  if (memory) return Refused(osError, ENOENT);
  return TPhysicalFile::RenameOnDisk(TPhysicalFile::ResolveNameOnDisk(TrimBlanks(name)), TrimBlanks(newName),
                                     osError);
}

int TFileList::Delete(const std::string &name, bool memory, int &osError) {
  std::lock_guard<std::mutex> guard(FLock);
  int index = Find(name, memory);
  if (index >= 0) {
    TAbstractFile *file = FFiles[index].get();
    {
      std::lock_guard<std::recursive_mutex> fileGuard(file->Lock());
      if (file->OpenHandleCount() > 0) return Refused(osError, EACCES);
    }
    int result = file->Delete();
    osError = file->LastOSError();
    FFiles.erase(FFiles.begin() + index);
    return result;
  }
  if (memory) return Refused(osError, ENOENT);
  return TPhysicalFile::DeleteOnDisk(TPhysicalFile::ResolveNameOnDisk(TrimBlanks(name)), osError);
}

bool TFileList::Exists(const std::string &name, bool memory) {
  std::lock_guard<std::mutex> guard(FLock);
  if (Find(name, memory) >= 0) return true;
  return !memory && TPhysicalFile::ExistsOnDisk(TrimBlanks(name));
}

}  // namespace kura
