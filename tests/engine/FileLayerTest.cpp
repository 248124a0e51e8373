// File registry, physical and memory files, handler raising rules and byte-range locks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/file/FileHandler.h"
#include "engine/file/FileList.h"
#include "engine/file/FileNames.h"
#include "engine/file/LockRanges.h"
#include "engine/file/OSErrorMap.h"
#include "engine/file/PhysicalFile.h"
#include "tests/engine/TestSupport.h"

using namespace kura;
using kura::test::Child;
using kura::test::CodeOf;
using kura::test::TempDir;

TEST(FileNames, ExtensionIsReplacedAndNamesCompareTrimmedIgnoringCase) {
  EXPECT_EQ(TableFileName("kyozai/", "figure", kDataExtension), "kyozai/figure.DAT");
  EXPECT_EQ(TableFileName("kyozai/", "figure.dat", kIndexExtension), "kyozai/figure.IDX");
  EXPECT_EQ(TableFileName("", " mokuji ", kBlobExtension), "mokuji.BLB");
  EXPECT_EQ(TableFileName("a.b/", "t", kDataBackupExtension), "a.b/t.DBK");
  EXPECT_TRUE(SameFileName(" kyozai/Figure.DAT", "KYOZAI/figure.dat  "));
  EXPECT_FALSE(SameFileName("a.DAT", "b.DAT"));
  EXPECT_EQ(WithTrailingSeparator("x"), "x/");
  EXPECT_EQ(WithTrailingSeparator("x/"), "x/");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(OSErrorMap, PosixErrorsMapToEngineCodes) {
  EXPECT_EQ(MapOSError(ENOENT), KURA_OSENOENT);
  EXPECT_EQ(MapOSError(ENOTDIR), KURA_OSENOENT);
  EXPECT_EQ(MapOSError(EMFILE), KURA_OSEMFILE);
  EXPECT_EQ(MapOSError(EACCES), KURA_OSEACCES);
  EXPECT_EQ(MapOSError(EAGAIN), KURA_OSEACCES);
  EXPECT_EQ(MapOSError(EBADF), KURA_OSEBADF);
  EXPECT_EQ(MapOSError(ENOMEM), KURA_OSENOMEM);
  EXPECT_EQ(MapOSError(ENODEV), KURA_OSENODEV);
  EXPECT_EQ(MapOSError(EXDEV), KURA_OSENOTSAM);
  EXPECT_EQ(MapOSError(EILSEQ), KURA_OSUNKNOWN);
}

TEST(MemoryFile, SurvivesLastCloseAndNeverCreatedIsMissing) {
  TFileHandler file;
  EXPECT_EQ(CodeOf([&] { file.Open("mem-never.DAT", true, false, false, false); }), KURA_OSENOENT);
  file.Create("mem-a.DAT", true, false);
  const char text[] = "hello memory";
  file.WriteAt(5000, text, sizeof text);
  EXPECT_EQ(file.Size(), 5000 + static_cast<int64_t>(sizeof text));
  file.Close();
  TFileHandler again;
  again.Open("MEM-A.dat", true, false, false, false);
  char buffer[sizeof text] = {};
  again.ReadAt(5000, buffer, sizeof text);
  EXPECT_STREQ(buffer, text);
  char zeros[16];
  again.ReadAt(10, zeros, 16);
  for (char c : zeros) EXPECT_EQ(c, 0);
  // Short read past the end.
  EXPECT_EQ(CodeOf([&] { again.ReadAt(5000, buffer, 100); }), KURA_READERR);
  again.TruncateAt(4);
  EXPECT_EQ(again.Size(), 4);
  again.Close();
  TFileHandler::DeleteFile("mem-a.DAT", true, "mem-a.DAT");
  EXPECT_FALSE(TFileHandler::Exists("mem-a.DAT", true));
}

// Writes, cuts and reads at random places, across the file's chunks, against a plain array:
// never-written bytes and bytes past a cut that the file grows over again read as zero.
TEST(MemoryFile, AgreesWithAPlainArrayAcrossChunks) {
  TFileHandler file;
  file.Create("mem-model.DAT", true, false);
  std::vector<uint8_t> model;
  std::mt19937 random(20261210);
  auto below = [&](int64_t n) { return std::uniform_int_distribution<int64_t>(0, n - 1)(random); };
  for (int step = 0; step < 400; ++step) {
    const int64_t at = below(300000);
    switch (below(3)) {
      case 0: {
        std::vector<uint8_t> bytes(static_cast<size_t>(1 + below(100000)), static_cast<uint8_t>(1 + step % 255));
        file.WriteAt(at, bytes.data(), static_cast<int64_t>(bytes.size()));
        if (model.size() < at + bytes.size()) model.resize(at + bytes.size(), 0);
        std::copy(bytes.begin(), bytes.end(), model.begin() + at);
        break;
      }
      case 1:
        file.TruncateAt(at);
        model.resize(static_cast<size_t>(at), 0);
        break;
      default: {
        ASSERT_EQ(file.Size(), static_cast<int64_t>(model.size()));
        if (model.empty()) break;
        const int64_t from = below(static_cast<int64_t>(model.size()));
        const int64_t count = 1 + below(static_cast<int64_t>(model.size()) - from);
        std::vector<uint8_t> got(static_cast<size_t>(count));
        file.ReadAt(from, got.data(), count);
        ASSERT_TRUE(std::equal(got.begin(), got.end(), model.begin() + from)) << "step " << step;
      }
    }
  }
  file.Close();
  TFileHandler::DeleteFile("mem-model.DAT", true, "mem-model.DAT");
}

TEST(MemoryFile, LocksRejectOverlapAndUnlockNeedsTheSameLength) {
  TFileHandler file;
  file.Create("mem-locks.DAT", true, true);
  EXPECT_TRUE(file.LockRange(kWriteRangeStart, kWriteRangeLength));
  EXPECT_FALSE(file.LockRange(ReadLockOffset(7), 1));
  EXPECT_TRUE(file.LockRange(kWriteSemaphoreOffset, 1));
  EXPECT_FALSE(file.UnlockRange(kWriteRangeStart, 10));
  EXPECT_TRUE(file.UnlockRange(kWriteRangeStart, kWriteRangeLength));
  EXPECT_TRUE(file.LockRange(ReadLockOffset(7), 1));
  EXPECT_FALSE(file.UnlockRange(ReadLockOffset(8), 1));
  file.Close();
  // A temporary memory file disappears with its last handle.
  EXPECT_FALSE(TFileHandler::Exists("mem-locks.DAT", true));
}

TEST(FileList, ExclusiveOpensConflictWithinTheProcess) {
  TempDir dir;
  TFileHandler a, b;
  a.Create(dir.File("x.DAT"), false, false);
  a.Close();
  a.Open(dir.File("x.DAT"), false, false, false, false);
  EXPECT_EQ(CodeOf([&] { b.Open(dir.File("X.dat"), false, true, false, false); }), KURA_OSEACCES);
  b.Open(dir.File("x.DAT"), false, false, false, false);
  EXPECT_EQ(a.SharedFile(), b.SharedFile());
  EXPECT_NE(a.HandleNumber(), b.HandleNumber());
  // Deleting or renaming an open file is refused.
  EXPECT_EQ(CodeOf([&] { TFileHandler::DeleteFile(dir.File("x.DAT"), false, "x"); }), KURA_OSEACCES);
  a.Close();
  b.Close();
  EXPECT_EQ(TFileList::Instance().FileCount(), 0u);
  a.Open(dir.File("x.DAT"), false, true, false, false);
  EXPECT_EQ(CodeOf([&] { b.Open(dir.File("x.DAT"), false, false, false, false); }), KURA_OSEACCES);
  a.Close();
  TFileHandler::RenameFile(dir.File("x.DAT"), false, dir.File("y.DAT"), "x");
  EXPECT_FALSE(TFileHandler::Exists(dir.File("x.DAT"), false));
  EXPECT_TRUE(TFileHandler::Exists(dir.File("y.DAT"), false));
  EXPECT_EQ(CodeOf([&] { a.Open(dir.File("x.DAT"), false, false, false, false); }), KURA_OSENOENT);
}

TEST(PhysicalFile, ReadOnlyAttributeForcesReadOnlyOpen) {
  TempDir dir;
  {
    TFileHandler f;
    f.Create(dir.File("ro.DAT"), false, false);
    f.WriteAt(0, "abc", 3);
  }
  chmod(dir.File("ro.DAT").c_str(), 0444);
  TFileHandler f;
  f.Open(dir.File("ro.DAT"), false, false, false, false);
  EXPECT_TRUE(f.IsReadOnly());
  EXPECT_TRUE(f.IsReadOnlyByAttribute());
  char buffer[3];
  f.ReadAt(0, buffer, 3);
  EXPECT_EQ(std::memcmp(buffer, "abc", 3), 0);
  EXPECT_NE(CodeOf([&] { f.WriteAt(0, "x", 1); }), 0u);
  // Locks on a read-only file still work (as shared read locks).
  EXPECT_TRUE(f.LockRange(ReadLockOffset(3), 1));
  EXPECT_TRUE(f.UnlockRange(ReadLockOffset(3), 1));
}

TEST(PhysicalFile, NamesAreFoundInAnyCaseWhetherAskedOnceOrFromOneReading) {
  TempDir dir;
  std::ofstream(dir.File("Figure.DAT")) << "x";
  ::mkdir(dir.File("sub.DAT").c_str(), 0700);
  const std::vector<std::string> names = TPhysicalFile::ListDirectoryOnDisk(dir.File(""));
  const struct {
    std::string Name;
    bool Exists;  // a regular file under this name in some case
    bool Listed;  // a name of the directory in some case (files or not)
  } cases[] = {{"Figure.DAT", true, true},   {"figure.dat", true, true},   {"FIGURE.Dat", true, true},
               {"Figure.DA", false, false},  {"Figures.DAT", false, false}, {"sub.DAT", false, true},
               {"SUB.dat", false, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(TPhysicalFile::ExistsOnDisk(dir.File(c.Name)), c.Exists);
    EXPECT_EQ(TPhysicalFile::NameIn(names, c.Name), c.Listed);
  }
}

TEST(PhysicalFile, WriteOfZeroBytesTruncatesAndCopyKeepsContents) {
  TempDir dir;
  TFileHandler f;
  f.Create(dir.File("t.DAT"), false, false);
  std::vector<uint8_t> data(200000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  f.WriteAt(0, data.data(), static_cast<int64_t>(data.size()));
  std::vector<int> reports;
  f.CopyTo(dir.File("copy.DAT"), false, [&](int p) { reports.push_back(p); }, 20);
  EXPECT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), 100);
  f.TruncateAt(1000);
  EXPECT_EQ(f.Size(), 1000);
  f.Close();
  TFileHandler c;
  c.Open(dir.File("copy.DAT"), false, false, false, false);
  std::vector<uint8_t> back(data.size());
  c.ReadAt(0, back.data(), static_cast<int64_t>(back.size()));
  EXPECT_EQ(back, data);
  EXPECT_EQ(CodeOf([&] { c.ReadAt(199999, back.data(), 2); }), KURA_READERR);
}

// A write gathered from many pieces lands as their concatenation, on disk (more pieces than one
// system call takes) and in memory alike.
TEST(FileLayer, GatheredWritesLandAsTheirConcatenation) {
  TempDir dir;
  for (bool memory : {false, true}) {
    for (size_t pieces : {size_t{1}, size_t{5}, size_t{2500}}) {
      SCOPED_TRACE(testing::Message() << (memory ? "memory" : "disk") << ", " << pieces << " pieces");
      const std::string name = memory ? "mem-gather.DAT" : dir.File("gather.DAT");
      TFileHandler f;
      f.Create(name, memory, false);
      const std::vector<uint8_t> head(50, 0xAA);
      f.WriteAt(0, head.data(), static_cast<int64_t>(head.size()));
      std::vector<std::vector<uint8_t>> parts;
      std::vector<TWritePiece> list;
      std::vector<uint8_t> expected;
      for (size_t i = 0; i < pieces; ++i) {
        parts.emplace_back(1 + (i * 5) % 7 + (i == 0 ? 9000 : 0), static_cast<uint8_t>(i * 31 + 1));
        expected.insert(expected.end(), parts.back().begin(), parts.back().end());
      }
      for (const auto &part : parts) list.push_back({part.data(), static_cast<int64_t>(part.size())});
      f.WriteGatherAt(100, list);
      ASSERT_EQ(f.Size(), 100 + static_cast<int64_t>(expected.size()));
      std::vector<uint8_t> back(static_cast<size_t>(f.Size()));
      f.ReadAt(0, back.data(), f.Size());
      EXPECT_TRUE(std::equal(head.begin(), head.end(), back.begin()));
      EXPECT_TRUE(std::all_of(back.begin() + 50, back.begin() + 100, [](uint8_t b) { return b == 0; }));
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), back.begin() + 100));
      f.Close();
      TFileHandler::DeleteFile(name, memory, name);
    }
  }
}

// Reads through the mapping see every change to the file, made here or through another
// descriptor; a file cut here reads short past its end, and one cut elsewhere while open fails
// the read instead of ending the process.
TEST(PhysicalFile, MappedReadsFollowTheFile) {
  TempDir dir;
  const std::string name = dir.File("mapped.DAT");
  TFileHandler f;
  f.Create(name, false, false);
  f.AllowReadMapping();
  std::vector<uint8_t> expected(65536);
  for (size_t i = 0; i < expected.size(); ++i) expected[i] = static_cast<uint8_t>(i * 13 + 7);
  f.WriteAt(0, expected.data(), static_cast<int64_t>(expected.size()));
  auto same = [&](int64_t at, int64_t count) {
    std::vector<uint8_t> back(static_cast<size_t>(count));
    f.ReadAt(at, back.data(), count);
    return std::equal(back.begin(), back.end(), expected.begin() + at);
  };
  const int fd = ::open(name.c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  const std::vector<uint8_t> other(300, 0x5A);
  struct TStep {
    const char *What;
    std::function<void()> Change;
  };
  const std::vector<TStep> steps = {
      {"as written", [] {}},
      {"written here", [&] {
         std::fill(expected.begin() + 9000, expected.begin() + 9100, 0x11);
         f.WriteAt(9000, expected.data() + 9000, 100);
       }},
      {"written through another descriptor", [&] {
         ASSERT_EQ(::pwrite(fd, other.data(), other.size(), 40000), static_cast<ssize_t>(other.size()));
         std::copy(other.begin(), other.end(), expected.begin() + 40000);
       }},
      {"grown", [&] {
         expected.resize(200000, 0x77);
         f.WriteAt(65536, expected.data() + 65536, 200000 - 65536);
       }},
  };
  for (const TStep &step : steps) {
    SCOPED_TRACE(step.What);
    step.Change();
    // More reads than it takes to map the file again at its new length.
    for (int round = 0; round < 100; ++round) {
      const int64_t at = (round * 7919) % (static_cast<int64_t>(expected.size()) - 5000);
      ASSERT_TRUE(same(at, 1 + round * 37 % 4000)) << at;
    }
  }
  std::vector<uint8_t> buffer(8192);
  f.TruncateAt(30000);
  EXPECT_TRUE(same(20000, 8192));
  EXPECT_EQ(CodeOf([&] { f.ReadAt(28000, buffer.data(), 8192); }), KURA_READERR);
  // Mapped at its new length, then cut behind the process's back.
  for (int round = 0; round < 100; ++round) ASSERT_TRUE(same(10000, 100));
  ASSERT_EQ(::ftruncate(fd, 12288), 0);
  EXPECT_EQ(CodeOf([&] { f.ReadAt(20000, buffer.data(), 100); }), KURA_READERR);
  EXPECT_TRUE(same(5000, 100));
  ::close(fd);
  f.Close();
}

// Locks near 4 GiB on a tiny file exclude another process; closing an unrelated descriptor of
// the same file in the holder does not drop them.
TEST(PhysicalFile, ByteRangeLocksExcludeAnotherProcess) {
  TempDir dir;
  std::string name = dir.File("locks.DAT");
  {
    TFileHandler f;
    f.Create(name, false, false);
    f.WriteAt(0, "x", 1);
  }
  TFileHandler f;
  f.Open(name, false, false, false, false);
  ASSERT_TRUE(f.LockRange(RecordLockOffset(5), 1));
  ASSERT_TRUE(f.LockRange(kWriteSemaphoreOffset, 1));
  // The classic-lock trap: another descriptor of the file opened and closed by this process.
  int other = ::open(name.c_str(), O_RDONLY);
  ::close(other);
  Child child([&] {
    TFileHandler g;
    g.Open(name, false, false, false, false);
    bool record5 = g.LockRange(RecordLockOffset(5), 1);
    bool record6 = g.LockRange(RecordLockOffset(6), 1);
    bool semaphore = g.LockRange(kWriteSemaphoreOffset, 1);
    Child::Current()->Send('1');
    Child::Current()->Receive();  // parent released record 5
    bool record5Later = g.LockRange(RecordLockOffset(5), 1);
    return (!record5 && record6 && !semaphore && record5Later) ? 0 : 1;
  });
  EXPECT_EQ(child.Receive(), '1');
  EXPECT_TRUE(f.UnlockRange(RecordLockOffset(5), 1));
  child.Send('2');
  EXPECT_EQ(child.Wait(), 0);
}

TEST(PhysicalFile, ExclusiveOpenExcludesOtherProcesses) {
  TempDir dir;
  std::string name = dir.File("ex.DAT");
  {
    TFileHandler f;
    f.Create(name, false, false);
  }
  TFileHandler f;
  f.Open(name, false, true, false, false);
  Child shared([&] {
    TFileHandler g;
    unsigned code = CodeOf([&] { g.Open(name, false, false, false, false); });
    unsigned deleteCode = CodeOf([&] { TFileHandler::DeleteFile(name, false, "ex"); });
    return (code == KURA_OSEACCES && deleteCode == KURA_OSEACCES) ? 0 : 1;
  });
  EXPECT_EQ(shared.Wait(), 0);
  f.Close();
  f.Open(name, false, false, false, false);
  Child exclusive([&] {
    TFileHandler g;
    unsigned code = CodeOf([&] { g.Open(name, false, true, false, false); });
    TFileHandler h;
    h.Open(name, false, false, false, false);  // shared with shared is fine
    return code == KURA_OSEACCES ? 0 : 1;
  });
  EXPECT_EQ(exclusive.Wait(), 0);
}

TEST(LockRanges, RetriedLocksGiveUpAfterTheConfiguredAttempts) {
  TFileHandler f;
  f.Create("mem-retry.IDX", true, true);
  uint16_t reader = 0;
  ASSERT_TRUE(TakeReadLockByte(f, reader));
  EXPECT_GE(reader, 1);
  TLockRetrySettings saved = LockRetrySettings();
  LockRetrySettings().Attempts = 3;
  LockRetrySettings().PauseMs = 1;
  EXPECT_FALSE(TakeWriteRange(f));
  EXPECT_TRUE(ReleaseReadLockByte(f, reader));
  EXPECT_TRUE(TakeWriteRange(f));
  uint16_t second = 0;
  EXPECT_FALSE(TakeReadLockByte(f, second));
  EXPECT_TRUE(ReleaseWriteRange(f));
  LockRetrySettings() = saved;
}
