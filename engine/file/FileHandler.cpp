// A table file's handle on the shared file object, with the raising rules of the file layer.
#include "engine/file/FileHandler.h"

#include <cerrno>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/file/FileList.h"
#include "engine/file/FileNames.h"

namespace kura {

TFileHandler::TFileHandler() = default;

TFileHandler::~TFileHandler() {
  try {
    Close();
  } catch (...) {
  }
}

void TFileHandler::Raise(uint16_t code, int osError) const {
  ErrorTexts texts;
  texts.Table = FFileName;
  RaiseEngineErrorOS(code, osError, texts);
}

void TFileHandler::RequireOpen() const {
  if (!FOpen) Raise(KURA_OSEBADF, EBADF);
}

void TFileHandler::Open(const std::string &name, bool memory, bool exclusive, bool readOnly, bool temporary) {
  Close();
  FFileName = TrimBlanks(name);
  FMemory = memory;
  if (!TFileList::Instance().Exists(FFileName, memory)) Raise(KURA_OSENOENT, ENOENT);
  TFileList::TOpenResult result = TFileList::Instance().Open(FFileName, memory, exclusive, temporary, readOnly);
  if (result.Handle <= 0) Raise(static_cast<uint16_t>(-result.Handle), result.OSError);
  FFile = result.File;
  FHandle = result.Handle;
  FTemporary = temporary;
  FExclusive = exclusive;
  FReadOnly = result.ReadOnly;
  FReadOnlyByAttribute = result.ReadOnlyByAttribute;
  FOpen = true;
}

void TFileHandler::Close() {
  if (!FOpen) return;
  FOpen = false;
  int result = TFileList::Instance().Close(FFile, FMemory, FHandle);
  FFile = nullptr;
  FHandle = 0;
  if (result < 0) Raise(static_cast<uint16_t>(-result));
}

void TFileHandler::Create(const std::string &name, bool memory, bool temporary) {
  Close();
  FFileName = TrimBlanks(name);
  FMemory = memory;
  TFileList::TOpenResult result = TFileList::Instance().Create(FFileName, memory, temporary);
  if (result.Handle <= 0) Raise(static_cast<uint16_t>(-result.Handle), result.OSError);
  FFile = result.File;
  FHandle = result.Handle;
  FTemporary = temporary;
  FExclusive = true;
  FReadOnly = false;
  FReadOnlyByAttribute = false;
  FOpen = true;
}

void TFileHandler::DeleteFile(const std::string &name, bool memory, const std::string &errorName) {
  int osError = 0;
  int result = TFileList::Instance().Delete(name, memory, osError);
  if (result < 0) {
    ErrorTexts texts;
    texts.Table = errorName;
    RaiseEngineErrorOS(static_cast<uint16_t>(-result), osError, texts);
  }
}

void TFileHandler::RenameFile(const std::string &name, bool memory, const std::string &newName,
                              const std::string &errorName) {
  int osError = 0;
  int result = TFileList::Instance().Rename(name, memory, newName, osError);
  if (result < 0) {
    ErrorTexts texts;
    texts.Table = errorName;
    RaiseEngineErrorOS(static_cast<uint16_t>(-result), osError, texts);
  }
}

void TFileHandler::Delete() {
  if (FOpen) Raise(KURA_OSEACCES, EACCES);
  DeleteFile(FFileName, FMemory, FFileName);
}

void TFileHandler::Rename(const std::string &newName) {
  if (FOpen) Raise(KURA_OSEACCES, EACCES);
  RenameFile(FFileName, FMemory, newName, FFileName);
  FFileName = TrimBlanks(newName);
}

int64_t TFileHandler::Read(void *buffer, int64_t count, bool allowShort) {
  RequireOpen();
  int64_t result = FFile->Read(FHandle, buffer, count);
  if (result < 0) Raise(KURA_READERR, FFile->LastOSError());
  if (result < count && !(allowShort && ShortReadAllowed())) Raise(KURA_READERR, 0);
  return result;
}

void TFileHandler::Write(const void *buffer, int64_t count) {
  RequireOpen();
  int64_t result = FFile->Write(FHandle, buffer, count);
  if (result < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
  if (result < count) Raise(KURA_WRITEERR, 0);
}

void TFileHandler::FlushOS() {
  RequireOpen();
  if (FInterceptor && FInterceptor->TakeFlush(*this)) return;
  if (FFile->Flush() < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
}

void TFileHandler::FlushTakenOver() {
  RequireOpen();
  if (FFile->Flush() < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
}

int64_t TFileHandler::Seek(int origin, int64_t distance) {
  if (!FOpen) return -static_cast<int64_t>(KURA_OSEBADF);
  return FFile->Seek(FHandle, origin, distance);
}

int64_t TFileHandler::Size() {
  if (!FOpen) return -static_cast<int64_t>(KURA_OSEBADF);
  int64_t size = FFile->Size();
  if (FInterceptor && size >= 0) size = FInterceptor->OverlaySize(*this, size);
  return size;
}

bool TFileHandler::Exists() const { return Exists(FFileName, FMemory); }

bool TFileHandler::Exists(const std::string &name, bool memory) { return TFileList::Instance().Exists(name, memory); }

bool TFileHandler::LockRange(uint64_t start, uint64_t length) { return FOpen && FFile->LockRange(start, length); }

bool TFileHandler::UnlockRange(uint64_t start, uint64_t length) { return FOpen && FFile->UnlockRange(start, length); }

bool TFileHandler::UnlockRangesWithin(uint64_t start, uint64_t length) {
  return FOpen && FFile->UnlockRangesWithin(start, length);
}

bool TFileHandler::UnlockRangesWithinIfOnly(uint64_t start, uint64_t length, size_t count, bool &ok) {
  if (!FOpen) return false;
  std::lock_guard<std::recursive_mutex> guard(FFile->Lock());
  if (FFile->RangesWithin(start, length) != count) return false;
  ok = FFile->UnlockRangesWithin(start, length);
  return true;
}

bool TFileHandler::LockGapsWithin(uint64_t start, uint64_t length, size_t held,
                                  std::vector<std::pair<uint64_t, uint64_t>> &taken) {
  return FOpen && FFile->LockGapsWithin(start, length, held, taken);
}

bool TFileHandler::UnlockRangeKeeping(uint64_t start, uint64_t length, const std::vector<uint64_t> &keep) {
  return FOpen && FFile->UnlockRangeKeeping(start, length, keep);
}

void TFileHandler::EnterFile() {
  RequireOpen();
  FFile->Lock().lock();
}

void TFileHandler::LeaveFile() { FFile->Lock().unlock(); }

int64_t TFileHandler::ReadAt(int64_t offset, void *buffer, int64_t count, bool allowShort) {
  const int64_t got = ReadAtMost(offset, buffer, count);
  if (got < count && !(allowShort && ShortReadAllowed())) Raise(KURA_READERR, 0);
  return got;
}

int64_t TFileHandler::ReadAtMost(int64_t offset, void *buffer, int64_t count) {
  RequireOpen();
  std::lock_guard<std::recursive_mutex> guard(FFile->Lock());
  if (FFile->Seek(FHandle, SeekFromStart, offset) < 0) Raise(KURA_READERR, FFile->LastOSError());
  int64_t got = FFile->Read(FHandle, buffer, count);
  if (got < 0) Raise(KURA_READERR, FFile->LastOSError());
  // Writes taken by the interceptor are part of what the file holds.
  if (FInterceptor) got = FInterceptor->OverlayRead(*this, offset, static_cast<uint8_t *>(buffer), count, got);
  return got;
}

void TFileHandler::WriteAt(int64_t offset, const void *buffer, int64_t count) {
  RequireOpen();
  if (FInterceptor && FInterceptor->TakeWrite(*this, offset, buffer, count)) return;
  std::lock_guard<std::recursive_mutex> guard(FFile->Lock());
  if (FFile->Seek(FHandle, SeekFromStart, offset) < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
  Write(buffer, count);
}

void TFileHandler::WriteGatherAt(int64_t offset, const std::vector<TWritePiece> &pieces) {
  RequireOpen();
  int64_t total = 0;
  for (const TWritePiece &piece : pieces) total += piece.Count;
  if (total == 0) return;
  if (FInterceptor && FInterceptor->TakesWrites(*this)) {
    for (const TWritePiece &piece : pieces) {
      if (piece.Count > 0) WriteAt(offset, piece.Bytes, piece.Count);
      offset += piece.Count;
    }
    return;
  }
  std::lock_guard<std::recursive_mutex> guard(FFile->Lock());
  if (FFile->Seek(FHandle, SeekFromStart, offset) < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
  const int64_t result = FFile->WriteGather(FHandle, pieces.data(), pieces.size());
  if (result < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
  if (result < total) Raise(KURA_WRITEERR, 0);
}

void TFileHandler::Reserve(int64_t size) {
  RequireOpen();
  if (FFile->Reserve(size) < 0) Raise(KURA_WRITEERR, FFile->LastOSError());
}

void TFileHandler::TruncateAt(int64_t offset) { WriteAt(offset, nullptr, 0); }

void TFileHandler::CopyTo(const std::string &target, bool targetMemory, const TProgress &progress, int step) {
  RequireOpen();
  TFileHandler out;
  out.Create(target, targetMemory, false);
  int64_t size = Size();
  if (size < 0) Raise(KURA_READERR, FFile->LastOSError());
  std::vector<uint8_t> chunk(65536);
  int lastReported = 0;
  for (int64_t offset = 0; offset < size;) {
    int64_t n = std::min<int64_t>(static_cast<int64_t>(chunk.size()), size - offset);
    ReadAt(offset, chunk.data(), n);
    out.WriteAt(offset, chunk.data(), n);
    offset += n;
    int percent = static_cast<int>(offset * 100 / size);
    if (progress && (percent - lastReported >= step || (offset == size && lastReported < 100))) {
      lastReported = percent;
      progress(percent);
    }
  }
  out.Close();
}

void TFileHandler::CopyFrom(const std::string &source, bool sourceMemory, const TProgress &progress, int step) {
  RequireOpen();
  TFileHandler in;
  in.Open(source, sourceMemory, false, true, false);
  int64_t size = in.Size();
  if (size < 0) Raise(KURA_READERR);
  std::vector<uint8_t> chunk(65536);
  int lastReported = 0;
  for (int64_t offset = 0; offset < size;) {
    int64_t n = std::min<int64_t>(static_cast<int64_t>(chunk.size()), size - offset);
    in.ReadAt(offset, chunk.data(), n);
    WriteAt(offset, chunk.data(), n);
    offset += n;
    int percent = static_cast<int>(offset * 100 / size);
    if (progress && (percent - lastReported >= step || (offset == size && lastReported < 100))) {
      lastReported = percent;
      progress(percent);
    }
  }
  TruncateAt(size);
  in.Close();
}

}  // namespace kura
