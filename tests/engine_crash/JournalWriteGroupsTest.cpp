// A unit's writes reach the table files grouped into few writes: the files must end up exactly
// as when every write is made on its own in the unit's order, after a complete commit and after
// a commit stopped before any of its writes and then completed from the journal.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/file/FileHandler.h"
#include "engine/table/PostJournal.h"
#include "engine/util/Bytes.h"

using namespace kura;

namespace {

struct TOp {
  uint8_t File = 0;
  int64_t Offset = 0;
  int64_t Length = 0;  // 0: the file is cut at Offset
  uint8_t Fill = 0;
};

struct TCase {
  std::string Name;
  std::vector<TOp> Ops;
  int FileWrites = 0;  // writes (and cuts) the grouped commit makes on the files
};

constexpr int64_t kStartSizes[3] = {8192, 16384, 4096};

std::vector<TCase> Cases() {
  std::vector<TOp> large;
  for (int i = 0; i < 48; ++i) large.push_back({0, 8192 + i * 65536LL, 65536, static_cast<uint8_t>(i)});
  return {
      {"Adjacent", {{0, 100, 50, 1}, {0, 150, 50, 2}, {0, 200, 50, 3}}, 1},
      {"Overlapping", {{0, 100, 100, 1}, {0, 150, 100, 2}, {0, 120, 10, 3}, {0, 240, 30, 4}}, 1},
      {"Gapped", {{0, 1000, 64, 1}, {0, 3000, 64, 2}, {0, 1640, 64, 3}, {0, 7000, 64, 4}, {0, 4000, 10, 5}}, 1},
      {"GapTooWide", {{0, 1000, 64, 1}, {0, 6000, 64, 2}}, 2},
      {"PastTheEnd", {{0, 8000, 64, 1}, {0, 8300, 64, 2}, {0, 30000, 16, 3}, {0, 8100, 40, 4}, {0, 8364, 8, 5}}, 3},
      {"CutIsABarrier", {{0, 100, 64, 1}, {0, 150, 0, 0}, {0, 120, 64, 2}, {0, 300, 64, 3}, {0, 190, 20, 4}}, 5},
      {"CutOfAnotherFile", {{0, 100, 64, 1}, {1, 9000, 0, 0}, {0, 200, 64, 2}, {1, 8000, 512, 3}}, 4},
      {"SeveralFiles",
       {{1, 4096, 1024, 1}, {0, 164, 64, 2}, {2, 2048, 512, 3}, {0, 100, 64, 4}, {1, 5120, 1024, 5}, {2, 0, 512, 6}},
       3},
      {"HeaderFirst", {{0, 0, 32, 1}, {0, 500, 64, 2}, {0, 0, 32, 3}, {1, 0, 16, 4}}, 2},
      {"SpanLimit", large, 3},
      // A write large enough to go to the journal as it is taken, among small ones held in memory.
      {"LargeAmongSmall", {{0, 1000, 64, 1}, {1, 0, 64, 2}, {0, 900, 300000, 3}, {0, 1100, 64, 4}, {1, 32, 300000, 5}}, 2},
      // Large writes one after the other in the journal, and one after a small write there.
      // Places written again, out of order: a rewrite at least as long as the latest write
      // there replaces it, a shorter one leaves both (also after a cut of the file).
      {"RewrittenInPlace",
       {{0, 500, 64, 1}, {0, 100, 64, 2}, {0, 500, 64, 3}, {0, 100, 32, 4}, {0, 100, 64, 5}, {0, 300, 16, 6},
        {0, 300, 8, 7}, {0, 7000, 0, 0}, {0, 300, 16, 8}, {0, 100, 16, 9}},
       3},
      // A large write already in the journal's body, written again.
      {"LargeWrittenTwice", {{0, 900, 300000, 1}, {0, 100, 64, 2}, {0, 900, 300000, 3}, {0, 950, 10, 4}}, 1},
      {"LargeInARun",
       {{2, 0, 262144, 1}, {2, 262144, 262144, 2}, {0, 100, 64, 3}, {2, 524288, 262144, 4}, {2, 100, 50, 5}},
       2},
  };
}

std::vector<uint8_t> ReadWhole(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class JournalWriteGroups : public ::testing::TestWithParam<TCase> {
 protected:
  void SetUp() override {
    FDir = std::filesystem::temp_directory_path() / ("kura-groups-" + std::to_string(::getpid()));
    std::filesystem::remove_all(FDir);
    std::filesystem::create_directories(FDir / "expected");
    std::filesystem::create_directories(FDir / "actual");
    // Each file starts with bytes of its own, so that a gap filled wrongly shows.
    for (int k = 0; k < 3; ++k) {
      std::vector<uint8_t> bytes(static_cast<size_t>(kStartSizes[k]));
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31 + k * 7 + i / 251);
      for (const char *side : {"expected", "actual"}) {
        std::ofstream out(Name(side, k), std::ios::binary);
        out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      }
    }
  }
  void TearDown() override {
    PostJournalTestHooks() = {};
    std::filesystem::remove_all(FDir);
  }
  std::string Name(const char *side, int kind) const {
    static const char *const kExtensions[3] = {"t.DAT", "t.IDX", "t.BLB"};
    return (FDir / side / kExtensions[kind]).string();
  }
  static void Apply(TFileHandler &file, const TOp &op) {
    if (op.Length == 0) {
      file.TruncateAt(op.Offset);
      return;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(op.Length));
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(op.Fill * 16 + i % 13);
    file.WriteAt(op.Offset, bytes.data(), op.Length);
  }
  // The files as when every write is made on its own, in order.
  void WriteExpected(const std::vector<TOp> &ops) {
    TFileHandler files[3];
    for (int k = 0; k < 3; ++k) files[k].Open(Name("expected", k), false, false, false, false);
    for (const TOp &op : ops) Apply(files[op.File], op);
  }
  // Opens the files under test with a journal on them.
  struct TActual {
    TFileHandler Files[3];
    std::unique_ptr<TPostJournal> Journal;
  };
  std::unique_ptr<TActual> OpenActual() {
    auto actual = std::make_unique<TActual>();
    for (int k = 0; k < 3; ++k) actual->Files[k].Open(Name("actual", k), false, false, false, false);
    ErrorTexts texts;
    texts.Table = "t";
    actual->Journal = std::make_unique<TPostJournal>((FDir / "actual" / "t.JNL").string(), false, false, texts);
    actual->Journal->SetFiles(&actual->Files[0], &actual->Files[1], &actual->Files[2]);
    return actual;
  }
  void Capture(TActual &actual, const std::vector<TOp> &ops) {
    uint8_t counter[4];
    actual.Files[0].ReadAt(0, counter, 4);
    actual.Journal->BeginCapture(GetI32(counter));
    for (const TOp &op : ops) Apply(actual.Files[op.File], op);
  }
  void ExpectSameFiles(const std::string &when) {
    for (int k = 0; k < 3; ++k)
      EXPECT_TRUE(ReadWhole(Name("expected", k)) == ReadWhole(Name("actual", k))) << when << ": file " << k << " differs";
  }
  std::filesystem::path FDir;
};

TEST_P(JournalWriteGroups, CommitGivesTheBytesOfWritesMadeOneByOne) {
  const TCase &c = GetParam();
  WriteExpected(c.Ops);
  int writes = 0;
  PostJournalTestHooks().StopAfterWrites = 0;
  PostJournalTestHooks().Stop = [&] { ++writes; };
  {
    std::unique_ptr<TActual> actual = OpenActual();
    Capture(*actual, c.Ops);
    actual->Journal->Commit();
    EXPECT_FALSE(actual->Journal->PendingOnDisk());
  }
  ExpectSameFiles("after the commit");
  // The journal and the clearing of its mark besides the files' writes.
  EXPECT_EQ(writes - 2, c.FileWrites);
}

TEST_P(JournalWriteGroups, CommitStoppedAtAnyWriteIsCompletedFromTheJournal) {
  const TCase &c = GetParam();
  WriteExpected(c.Ops);
  const std::filesystem::path start = FDir / "start";
  std::filesystem::copy(FDir / "actual", start);
  // Stopped before the 2nd write (the first to the files) up to before the clearing of the mark.
  for (int stop = 2; stop <= c.FileWrites + 2; ++stop) {
    for (int k = 0; k < 3; ++k)
      std::filesystem::copy_file(start / std::filesystem::path(Name("actual", k)).filename(), Name("actual", k),
                                 std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove(FDir / "actual" / "t.JNL");
    PostJournalTestHooks().StopAfterWrites = stop - 1;
    PostJournalTestHooks().Stop = [] { throw std::runtime_error("stopped"); };
    {
      std::unique_ptr<TActual> actual = OpenActual();
      Capture(*actual, c.Ops);
      EXPECT_THROW(actual->Journal->Commit(), std::runtime_error);
    }
    PostJournalTestHooks() = {};
    std::unique_ptr<TActual> reopened = OpenActual();
    EXPECT_EQ(reopened->Journal->Recover(), TPostJournal::TRecovery::Applied) << "stopped before write " << stop;
    reopened.reset();
    ExpectSameFiles("stopped before write " + std::to_string(stop));
  }
}

void PrintTo(const TCase &c, std::ostream *out) { *out << c.Name; }

INSTANTIATE_TEST_SUITE_P(Units, JournalWriteGroups, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<TCase> &info) { return info.param.Name; });

}  // namespace
