#pragma once
// One user's handle on a shared file, raising the engine's errors when an operation fails.
// Base of the data, index and blob files of a table; used alone for temporary files.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/file/AbstractFile.h"

namespace kura {

class TFileHandler;

// Takes over the positioned writes of the files it is installed on, for as long as it is
// installed: a table uses it to gather everything one write-locked change writes and put it on
// disk as one unit. Reads then see the taken writes laid over the file's own bytes.
class TFileWriteInterceptor {
 public:
  virtual ~TFileWriteInterceptor() = default;
  // A write (count 0: the file is cut at offset). True when taken; false lets it through.
  virtual bool TakeWrite(TFileHandler &file, int64_t offset, const void *buffer, int64_t count) = 0;
  // Whether writes to the file are taken now.
  virtual bool TakesWrites(const TFileHandler &file) const = 0;
  // After `got` bytes were read from the file at offset: lays the taken writes over the buffer
  // and returns how many bytes the file holds there with them.
  virtual int64_t OverlayRead(TFileHandler &file, int64_t offset, uint8_t *buffer, int64_t count, int64_t got) = 0;
  // The size the file has with the taken writes.
  virtual int64_t OverlaySize(TFileHandler &file, int64_t size) = 0;
  // A flush of the operating-system buffers; true when taken (done once the writes are made).
  virtual bool TakeFlush(TFileHandler &file) = 0;
};

class TFileHandler {
 public:
  TFileHandler();
  virtual ~TFileHandler();
  TFileHandler(const TFileHandler &) = delete;
  TFileHandler &operator=(const TFileHandler &) = delete;

  // Opens an existing file; a missing file raises KURA_OSENOENT, other failures their code.
  virtual void Open(const std::string &name, bool memory, bool exclusive, bool readOnly, bool temporary);
  // Closes the handle; closing an unopened handler does nothing.
  virtual void Close();
  // Creates (or overwrites) the file and keeps it open.
  virtual void Create(const std::string &name, bool memory, bool temporary);
  // Deletes this handler's (closed) file.
  virtual void Delete();
  // Renames this handler's (closed) file.
  virtual void Rename(const std::string &newName);
  // Copies the whole file in 64 KiB chunks to a new file / from an existing file, reporting
  // progress in percent whenever it advanced by at least step.
  using TProgress = std::function<void(int percent)>;
  virtual void CopyTo(const std::string &target, bool targetMemory, const TProgress &progress = {}, int step = 20);
  virtual void CopyFrom(const std::string &source, bool sourceMemory, const TProgress &progress = {},
                        int step = 20);
  // Reads count bytes at the current position; fewer raise KURA_READERR unless allowShort and
  // the handler accepts short reads. Returns the bytes read.
  virtual int64_t Read(void *buffer, int64_t count, bool allowShort = false);
  virtual void Write(const void *buffer, int64_t count);
  virtual void FlushOS();

  // Seek / size / locks return their results without raising.
  int64_t Seek(int origin, int64_t distance);
  int64_t Size();
  bool Exists() const;
  static bool Exists(const std::string &name, bool memory);
  bool LockRange(uint64_t start, uint64_t length);
  bool UnlockRange(uint64_t start, uint64_t length);
  bool UnlockRangesWithin(uint64_t start, uint64_t length);
  // UnlockRangesWithin when exactly count ranges of this process lie inside the range (all of
  // them the caller's); false, with nothing released, otherwise. ok: whether the unlock worked.
  bool UnlockRangesWithinIfOnly(uint64_t start, uint64_t length, size_t count, bool &ok);
  bool LockGapsWithin(uint64_t start, uint64_t length, size_t held, std::vector<std::pair<uint64_t, uint64_t>> &taken);
  bool UnlockRangeKeeping(uint64_t start, uint64_t length, const std::vector<uint64_t> &keep);
  void EnterFile();
  void LeaveFile();

  // Positioned transfers: enter the file's lock, seek, transfer, leave.
  int64_t ReadAt(int64_t offset, void *buffer, int64_t count, bool allowShort = false);
  // The same, returning how much there was to read however short (failures still raise): for
  // callers that tell a read past the end from a damaged file themselves.
  int64_t ReadAtMost(int64_t offset, void *buffer, int64_t count);
  void WriteAt(int64_t offset, const void *buffer, int64_t count);
  // The pieces written one after the other from the offset, with as few system calls as the
  // platform allows (each piece goes to the interceptor on its own while one is installed).
  void WriteGatherAt(int64_t offset, const std::vector<TWritePiece> &pieces);
  // Reads may go through a shared mapping of the file (see TPhysicalFile): for table files,
  // which another process cuts only where no reader has anything to read.
  void AllowReadMapping() {
    if (FOpen) FFile->AllowReadMapping();
  }
  // Long writes go to the system in small pieces (see TPhysicalFile): for files rewritten in
  // place a record or a page at a time.
  void WriteInSmallPieces() {
    if (FOpen) FFile->WriteInSmallPieces();
  }
  // Makes the file at least size bytes long with its space allocated (never taken over by an
  // interceptor); a full disk raises KURA_WRITEERR.
  void Reserve(int64_t size);
  // Cuts the file at the offset (a write of 0 bytes there).
  void TruncateAt(int64_t offset);
  // Positioned writes, cuts and flushes go to the interceptor while one is installed (null
  // removes it).
  void SetWriteInterceptor(TFileWriteInterceptor *interceptor) { FInterceptor = interceptor; }
  // The flush an interceptor took over, made once its writes are on the file.
  void FlushTakenOver();
  TFileWriteInterceptor *WriteInterceptor() const { return FInterceptor; }

  static void DeleteFile(const std::string &name, bool memory, const std::string &errorName);
  static void RenameFile(const std::string &name, bool memory, const std::string &newName,
                         const std::string &errorName);

  bool IsOpen() const { return FOpen; }
  bool IsMemory() const { return FMemory; }
  bool IsTemporary() const { return FTemporary; }
  bool IsExclusive() const { return FExclusive; }
  bool IsReadOnly() const { return FReadOnly; }
  bool IsReadOnlyByAttribute() const { return FReadOnlyByAttribute; }
  const std::string &FileName() const { return FFileName; }
  int32_t HandleNumber() const { return FHandle; }
  TAbstractFile *SharedFile() const { return FFile; }

 protected:
  // Whether a short read is acceptable (data and index files decide from their table's state).
  virtual bool ShortReadAllowed() const { return false; }
  // The name errors carry: the full file name.
  [[noreturn]] void Raise(uint16_t code, int osError = 0) const;
  void RequireOpen() const;

  bool FMemory = false;
  TAbstractFile *FFile = nullptr;
  std::string FFileName;
  int32_t FHandle = 0;
  bool FTemporary = false;
  bool FReadOnly = false;
  bool FReadOnlyByAttribute = false;
  bool FExclusive = false;
  bool FOpen = false;
  TFileWriteInterceptor *FInterceptor = nullptr;
};

}  // namespace kura
