#pragma once
// An operating-system file: one descriptor per file and process, shared by all handle numbers.
//
// Cross-process coordination uses open-file-description locks (F_OFD_SETLK). Unlike classic
// fcntl record locks they belong to the descriptor, not the process, so closing some other
// descriptor of the same file never drops them; they vanish only with our own descriptor.
// Within the process a lock list is kept as well, so two tables or sessions of one process
// exclude each other on the same bytes exactly as two processes do.
//
// Sharing modes do not exist on this platform, so exclusive use is emulated with one marker
// byte far beyond every lock the tables use (offset 2^32, just above the 32-bit lock area):
//   - a shared open holds a read lock on the marker byte,
//   - an exclusive open (and a create) holds a write lock on it.
// A shared open therefore fails while another process holds the file exclusively, and an
// exclusive open fails while any other process has it open at all. A descriptor opened
// read-only cannot hold a write lock; an exclusive read-only open takes a read lock and then
// checks that no other description holds one (it cannot keep later shared openers out).
#include "engine/file/AbstractFile.h"

namespace kura {

inline constexpr uint64_t kOpenMarkerOffset = 4294967296ULL;

class TPhysicalFile : public TAbstractFile {
 public:
  explicit TPhysicalFile(std::string name);
  ~TPhysicalFile() override;

  int64_t Size() override;
  int32_t CreateFile() override;
  int32_t OpenFile(bool readOnlyRequested, bool &readOnly, bool &readOnlyByAttribute) override;
  int CloseHandle(int32_t handle) override;
  int Rename(const std::string &newName) override;
  int Delete() override;
  int64_t Read(int32_t handle, void *buffer, int64_t count) override;
  int64_t Write(int32_t handle, const void *buffer, int64_t count) override;
  int64_t WriteGather(int32_t handle, const TWritePiece *pieces, size_t count) override;
  int Flush() override;
  void AllowReadMapping() override;
  void WriteInSmallPieces() override;
  int Reserve(int64_t size) override;
  bool LockRange(uint64_t start, uint64_t length) override;
  bool UnlockRange(uint64_t start, uint64_t length) override;
  bool UnlockRangesWithin(uint64_t start, uint64_t length) override;
  bool UnlockRangeKeeping(uint64_t start, uint64_t length, const std::vector<uint64_t> &keep) override;
  bool IsMemory() const override { return false; }

  // Closes the descriptor inherited by a forked child, keeping the file and its locks intact.
  void CloseInheritedDescriptor();

  // Operations on files that have no object in the registry. 0 / negative code.
  static int RenameOnDisk(const std::string &name, const std::string &newName, int &osError);
  static int DeleteOnDisk(const std::string &name, int &osError);
  static bool ExistsOnDisk(const std::string &name);
  // File names compare without regard to case: when the name itself does not exist, a file of
  // its directory whose name differs only in (ASCII) case is taken instead.
  static std::string ResolveNameOnDisk(const std::string &name);
  // The names in a directory ("" for the current one), read once, for several questions about
  // it; NameIn tells whether one of them is `base` in any case of its letters.
  static std::vector<std::string> ListDirectoryOnDisk(const std::string &directory);
  static bool NameIn(const std::vector<std::string> &names, const std::string &base);

 private:
  int FailWith(int osError);
  bool OSLock(uint64_t start, uint64_t length, short type);
  void CloseDescriptor();
  // Whether the file's mapping holds bytes [offset, offset + count) (mapped first when allowed).
  bool MapCovers(int64_t offset, int64_t count);
  void Unmap();

  int FDescriptor = -1;
  bool FWritable = false;
  // Short reads (records, index pages) through a shared read-only mapping: no system call per
  // read. Mapped at the first read, as long as the file then was; reads past that go to the
  // file, and after a run of them the file is mapped again at its new length. A cut of the file
  // made here drops the mapping first. One made elsewhere while the file is open (a writer
  // giving back space no reader has anything in, or damage) shows in the pages past the new end
  // as a failed copy (see MappedCopy.h), after which the file is read, and in the page holding
  // the new end as zeros past it.
  bool FMapAllowed = false;
  const uint8_t *FMap = nullptr;
  int64_t FMapSize = 0;
  static constexpr int kRemapAfterReads = 64;
  static constexpr int64_t kUnmappedHead = 4096;
  static constexpr int64_t kLargestMappedRead = 16384;
  // Files are mapped whole, up to this size (larger ones are read).
  static constexpr int64_t kLargestMappedFile = int64_t{1} << 30;
  int FReadsPastMap = kRemapAfterReads;
  // The system caches a file in units as large as the writes that filled them (up to megabytes
  // on current Linux file systems), and a later write of a few bytes costs time for every block
  // of the unit it falls in: a 100-byte write into a file filled a megabyte at a time took
  // 2.5-3.5 us, into one filled 64 KiB at a time 0.9 us. Files rewritten in place a record or a
  // page at a time are therefore written in pieces that end on multiples of this size; a long
  // write makes a few more system calls (16 a megabyte).
  static constexpr int64_t kSmallWritePiece = 65536;
  bool FSmallPieces = false;
};

}  // namespace kura
