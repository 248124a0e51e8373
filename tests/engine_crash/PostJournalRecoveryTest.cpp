// Recovery of posts stopped part-way, made deterministic by the post journal's test seam: a
// child process posts one change on a shared table and stops for good before the k-th write of
// its commit (the journal, each write to the table's files, the clearing of the journal), for
// every k. The table is then reopened by a fresh engine and must hold the post completely or
// not at all, with every index agreeing with the records.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/errors/EngineError.h"
#include "engine/file/LockRanges.h"
#include "engine/table/PostJournal.h"
#include "tests/engine_crash/LogTable.h"

using namespace kura;
using namespace kura::crashtest;

namespace {

constexpr int kCompleted = 0;
constexpr int kStopped = 42;

std::string MakeScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kura-journal-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return {};
  return buffer.data();
}

struct TScratch {
  std::string Path = MakeScratchDir();
  ~TScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::string File(const std::string &name) const { return Path + "/" + name; }
};

void CopyTable(const std::string &from, const std::string &to) {
  for (const auto &entry : std::filesystem::directory_iterator(from))
    std::filesystem::copy_file(entry.path(), to / entry.path().filename(),
                               std::filesystem::copy_options::overwrite_existing);
}

std::vector<uint8_t> ReadFile(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string &name, const std::vector<uint8_t> &bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Whether the journal beside the table holds a unit not yet completed.
bool JournalPending(const std::string &dir) {
  std::vector<uint8_t> bytes = ReadFile(dir + "/log.JNL");
  // "KPJ3": a unit of one table; "KPJ2": of a transaction over several.
  return bytes.size() >= kJournalHeaderSize &&
         (std::memcmp(bytes.data(), "KPJ3", 4) == 0 || std::memcmp(bytes.data(), "KPJ2", 4) == 0);
}

enum class TPostKind { AppendNewSlot, AppendReusedSlot, ModifyKey, ModifyValue, Delete };

struct TPost {
  TPostKind Kind = TPostKind::AppendNewSlot;
  int32_t Code = 0;     // the record concerned
  int32_t NewCode = 0;  // appends and modifications: its code afterwards
  TRow Row;

  std::string Name() const {
    switch (Kind) {
      case TPostKind::AppendNewSlot: return "append into a new slot";
      case TPostKind::AppendReusedSlot: return "append into a freed slot";
      case TPostKind::ModifyKey: return "modification of every key";
      case TPostKind::ModifyValue: return "modification of one secondary key";
      case TPostKind::Delete: return "deletion";
    }
    return {};
  }
  TModel After(TModel model) const {
    if (Kind != TPostKind::AppendNewSlot && Kind != TPostKind::AppendReusedSlot) model.erase(Code);
    if (Kind != TPostKind::Delete) model[NewCode] = Row;
    return model;
  }
};

// Posts one change through a cursor on the shared table.
void DoPost(TDataCursor &c, const TPost &post) {
  std::vector<uint8_t> rec = c.NewRecordBuffer();
  if (post.Kind == TPostKind::AppendNewSlot || post.Kind == TPostKind::AppendReusedSlot) {
    c.InitRecord(rec.data());
    c.SetInteger(1, rec.data(), post.NewCode);
    c.SetString(2, rec.data(), post.Row.Name);
    c.SetInteger(3, rec.data(), post.Row.Value);
    c.AppendRecord(rec.data());
    return;
  }
  std::vector<uint8_t> key = c.NewRecordBuffer();
  c.SetIndexName("");
  c.SetInteger(1, key.data(), post.Code);
  if (!c.Find(key.data(), false, 1, 0, false, rec.data())) throw std::runtime_error("record to change not found");
  const bool modify = post.Kind != TPostKind::Delete;
  if (c.GetCurRecord(rec.data(), modify) != KURA_NONE) throw std::runtime_error("record not current");
  if (modify) {
    c.SetInteger(1, rec.data(), post.NewCode);
    c.SetString(2, rec.data(), post.Row.Name);
    c.SetInteger(3, rec.data(), post.Row.Value);
    c.ModifyRecord(rec.data());
  } else {
    c.DeleteRecord(rec.data());
  }
}

void PostInThisProcess(const std::string &path, const TPost &post) {
  StartEngine();
  {
    TDataCursor c(DefaultSession().OpenDataDirectory("crash", path), "log");
    c.OpenCursor();
    DoPost(c, post);
    c.CloseCursor();
  }
  StopEngine();
}

// Forks a writer that posts one change with the seam set by arm (in the child only) and
// returns its exit status: kCompleted, or kStopped when the seam ended it.
int PostInChild(const std::string &path, const TPost &post, const std::function<void()> &arm) {
  pid_t pid = fork();
  if (pid == 0) {
    AbandonEngineAfterFork();
    int status = 97;
    try {
      arm();
      PostInThisProcess(path, post);
      status = kCompleted;
    } catch (...) {
      status = 98;
    }
    _exit(status);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The seam: stop for good before the write after the first `writes` ones.
std::function<void()> StopAfter(int writes) {
  return [writes] {
    PostJournalTestHooks().StopAfterWrites = writes;
    PostJournalTestHooks().Stop = [] { _exit(kStopped); };
  };
}

class PostJournalRecovery : public ::testing::Test {
 protected:
  // A table of 900 records (several leaves per index) with 25 of them deleted, so that the free
  // list holds slots to reuse.
  void SetUp() override {
    ASSERT_FALSE(FBase.Path.empty());
    StartEngine();
    CreateLogTable(FBase.Path);
    {
      TDataCursor c(DefaultSession().OpenDataDirectory("crash", FBase.Path), "log");
      c.OpenCursor();
      for (int32_t code = 1; code <= 900; ++code) {
        TPost p;
        p.Kind = TPostKind::AppendNewSlot;
        p.NewCode = code * 10;
        p.Row = {"n" + std::to_string(code % 61), (code * 37) % 1001 - 500};
        DoPost(c, p);
        FModel[p.NewCode] = p.Row;
      }
      for (int32_t code = 40; code < 40 + 25 * 30; code += 30) {
        TPost p;
        p.Kind = TPostKind::Delete;
        p.Code = code;
        DoPost(c, p);
        FModel.erase(code);
      }
      c.CloseCursor();
    }
    StopEngine();
  }

  // Every kind of post this fixture can make.
  std::vector<TPost> Posts() const {
    TPost reused{TPostKind::AppendReusedSlot, 0, 4555, {"nfresh", 7}};
    TPost key{TPostKind::ModifyKey, 3000, 3001, {"a-new-name", -999}};
    TPost value{TPostKind::ModifyValue, 4500, 4500, {FModel.at(4500).Name, 999}};
    TPost del{TPostKind::Delete, 6000, 0, {}};
    return {reused, key, value, del};
  }

  // Checks the reopened table holds exactly `want`, read through every access path.
  void ExpectTable(const std::string &path, const TModel &want, const std::string &context, bool exclusive = false) {
    TSnapshot s;
    try {
      s = ReadBack(path, exclusive);
    } catch (const std::exception &e) {
      StopEngine();
      ADD_FAILURE() << context << ": the table does not open: " << e.what();
      return;
    }
    EXPECT_TRUE(s.Natural == want) << context << ": " << s.Natural.size() << " records, expected " << want.size();
    for (const std::string &p : s.Problems) ADD_FAILURE() << context << ": " << p;
    EXPECT_EQ(s.RecordCount, static_cast<int64_t>(want.size())) << context;
  }

  TScratch FBase;
  TModel FModel;
};

TEST_F(PostJournalRecovery, EveryStopPointLeavesThePostWholeOrAbsent) {
  for (const TPost &post : Posts()) {
    const TModel after = post.After(FModel);
    int stops = 0;
    bool completed = false;
    for (int k = 0; k < 200 && !completed; ++k) {
      TScratch run;
      CopyTable(FBase.Path, run.Path);
      const std::string context = post.Name() + " stopped before write " + std::to_string(k + 1);
      const int status = PostInChild(run.Path, post, StopAfter(k));
      ASSERT_TRUE(status == kStopped || status == kCompleted) << context << ": writer status " << status;
      if (status == kCompleted) {
        completed = true;
        EXPECT_FALSE(JournalPending(run.Path)) << context;
        ExpectTable(run.Path, after, context);
        continue;
      }
      ++stops;
      // Before the journal is written nothing has changed; once it is, the post is completed
      // from it, however many of its writes reached the files.
      EXPECT_EQ(JournalPending(run.Path), k > 0) << context;
      ExpectTable(run.Path, k == 0 ? FModel : after, context);
      EXPECT_FALSE(JournalPending(run.Path)) << context << ": the journal is still pending after the reopen";
    }
    EXPECT_TRUE(completed) << post.Name() << " never completed";
    // The journal, the data record, the data header, index pages of four indexes, the index
    // header and the clearing: far more than four stop points.
    EXPECT_GE(stops, 6) << post.Name();
  }
}

TEST_F(PostJournalRecovery, AppendAtTheEndOfTheFileIsCompletedFromTheJournal) {
  // A table without free slots: the new record extends the data file, new index pages may
  // extend the index file.
  TScratch full;
  StartEngine();
  CreateLogTable(full.Path);
  TModel model;
  {
    TDataCursor c(DefaultSession().OpenDataDirectory("crash", full.Path), "log");
    c.OpenCursor();
    for (int32_t code = 1; code <= 452; ++code) {
      TPost p{TPostKind::AppendNewSlot, 0, code, {"same", 1}};
      DoPost(c, p);
      model[code] = p.Row;
    }
    c.CloseCursor();
  }
  StopEngine();
  // The primary index's root leaf holds 453 keys: the 454th splits it under a new root.
  for (int32_t code : {453, 454}) {
    TPost post{TPostKind::AppendNewSlot, 0, code, {"same", 1}};
    const TModel after = post.After(model);
    for (int k = 1; k < 200; ++k) {
      TScratch run;
      CopyTable(full.Path, run.Path);
      const std::string context = "append of " + std::to_string(code) + " stopped before write " + std::to_string(k + 1);
      const int status = PostInChild(run.Path, post, StopAfter(k));
      ASSERT_TRUE(status == kStopped || status == kCompleted) << context << ": writer status " << status;
      ExpectTable(run.Path, after, context);
      if (status == kCompleted) break;
    }
    PostInThisProcess(full.Path, post);
    model = after;
  }
}

TEST_F(PostJournalRecovery, ATornJournalLeavesTheTableAsItWas) {
  for (const TPost &post : Posts()) {
    TScratch run;
    CopyTable(FBase.Path, run.Path);
    const int status = PostInChild(run.Path, post, [] {
      PostJournalTestHooks().TearJournal = true;
      PostJournalTestHooks().Stop = [] { _exit(kStopped); };
    });
    ASSERT_EQ(status, kStopped) << post.Name();
    EXPECT_TRUE(JournalPending(run.Path)) << post.Name() << ": half a journal carries the mark";
    ExpectTable(run.Path, FModel, post.Name() + " with a torn journal");
    EXPECT_FALSE(JournalPending(run.Path)) << post.Name();
  }
}

TEST_F(PostJournalRecovery, AnExclusiveOpenCompletesALeftPost) {
  const TPost post = Posts()[1];
  TScratch run;
  CopyTable(FBase.Path, run.Path);
  ASSERT_EQ(PostInChild(run.Path, post, StopAfter(3)), kStopped);
  ASSERT_TRUE(JournalPending(run.Path));
  ExpectTable(run.Path, post.After(FModel), "exclusive reopen", true);
  EXPECT_FALSE(JournalPending(run.Path));
}

TEST_F(PostJournalRecovery, AStaleJournalIsClearedWithoutBeingApplied) {
  const std::vector<TPost> posts = Posts();
  TScratch run;
  CopyTable(FBase.Path, run.Path);
  ASSERT_EQ(PostInChild(run.Path, posts[0], StopAfter(1)), kStopped);  // journal written only
  const std::vector<uint8_t> journal = ReadFile(run.File("log.JNL"));
  TModel model = posts[0].After(FModel);
  ExpectTable(run.Path, model, "first reopen");  // completed from the journal
  PostInThisProcess(run.Path, posts[3]);
  model = posts[3].After(model);
  // The old unit put back: the data file has moved on since, so it must not be written again
  // (it would bring back the freed slot's old contents and the old index pages).
  WriteFile(run.File("log.JNL"), journal);
  ASSERT_TRUE(JournalPending(run.Path));
  ExpectTable(run.Path, model, "reopen with a stale journal");
  EXPECT_FALSE(JournalPending(run.Path));
}

TEST_F(PostJournalRecovery, ATableWithoutJournalOpensAsBefore) {
  // Tables written before the journal existed have none; nor has a table never written.
  TScratch run;
  CopyTable(FBase.Path, run.Path);
  std::filesystem::remove(run.File("log.JNL"));
  ExpectTable(run.Path, FModel, "no journal");
  const TPost post = Posts()[2];
  PostInThisProcess(run.Path, post);
  EXPECT_TRUE(std::filesystem::exists(run.File("log.JNL")));
  ExpectTable(run.Path, post.After(FModel), "journal made again by the next post");
}

// A writer that stalls half-way through its commit, with its journal pending, keeps its write
// lock: another process can neither read the half-written table nor take the change over.
TEST_F(PostJournalRecovery, ALiveWritersPendingPostIsNeverTakenOver) {
  for (bool killWriter : {false, true}) {
    const TPost post = Posts()[1];
    TScratch run;
    CopyTable(FBase.Path, run.Path);
    int toChild[2], toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    pid_t pid = fork();
    if (pid == 0) {
      AbandonEngineAfterFork();
      close(toChild[1]);
      close(toParent[0]);
      PostJournalTestHooks().StopAfterWrites = 3;
      PostJournalTestHooks().Stop = [&] {
        PostJournalTestHooks().StopAfterWrites = -1;
        char c = 'S';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1);  // goes on when the parent says so
      };
      int status = 98;
      try {
        PostInThisProcess(run.Path, post);
        status = kCompleted;
      } catch (...) {
      }
      _exit(status);
    }
    close(toChild[0]);
    close(toParent[1]);
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_TRUE(JournalPending(run.Path));
    const std::vector<uint8_t> data = ReadFile(run.File("log.DAT"));
    const std::vector<uint8_t> index = ReadFile(run.File("log.IDX"));

    const int attempts = LockRetrySettings().Attempts;
    LockRetrySettings().Attempts = 20;
    uint16_t code = 0;
    try {
      ReadBack(run.Path);
    } catch (const EKuraEngineError &e) {
      code = e.ErrorCode();
      StopEngine();
    }
    LockRetrySettings().Attempts = attempts;
    EXPECT_EQ(code, KURA_LOCKTIMEOUT) << "the half-written table was readable while its writer lives";
    EXPECT_TRUE(JournalPending(run.Path)) << "another process took over a living writer's change";
    EXPECT_EQ(ReadFile(run.File("log.DAT")), data);
    EXPECT_EQ(ReadFile(run.File("log.IDX")), index);

    if (killWriter) {
      kill(pid, SIGKILL);
    } else {
      c = 'c';
      ASSERT_EQ(write(toChild[1], &c, 1), 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(toChild[1]);
    close(toParent[0]);
    if (!killWriter) {
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), kCompleted);
      EXPECT_FALSE(JournalPending(run.Path));
    }
    ExpectTable(run.Path, post.After(FModel), killWriter ? "after the stalled writer was killed" : "after the writer went on");
  }
}

}  // namespace

namespace {

// A process that has the table open while another one dies inside its commit: its next read
// under the read lock sees the data file's ChangeCounter moved, completes the change from the
// journal and re-reads. A writer that died with only its journal written changed nothing: the
// open table goes on reading what it had, and its own next post replaces the unused journal.
TEST_F(PostJournalRecovery, AnOpenTableCompletesOrOutlivesADeadWritersPost) {
  const std::vector<TPost> posts = Posts();
  for (int stopAfter : {2, 1}) {
    const std::string context = "writer stopped before write " + std::to_string(stopAfter + 1);
    TScratch run;
    CopyTable(FBase.Path, run.Path);
    StartEngine();
    DefaultSession().Settings.StrictChangeDetection = true;
    TModel want;
    {
      TDataCursor c(DefaultSession().OpenDataDirectory("crash", run.Path), "log");
      c.OpenCursor();
      EXPECT_TRUE(ReadThrough(c).Natural == FModel) << context;
      ASSERT_EQ(PostInChild(run.Path, posts[1], StopAfter(stopAfter)), kStopped) << context;
      ASSERT_TRUE(JournalPending(run.Path)) << context;
      TSnapshot s = ReadThrough(c);
      for (const std::string &p : s.Problems) ADD_FAILURE() << context << ": " << p;
      if (stopAfter > 1) {
        // One write reached the files (always the data header): completed from the journal.
        want = posts[1].After(FModel);
        EXPECT_TRUE(s.Natural == want) << context;
        EXPECT_FALSE(JournalPending(run.Path)) << context;
      } else {
        EXPECT_TRUE(s.Natural == FModel) << context;
        DoPost(c, posts[3]);
        want = posts[3].After(FModel);
        EXPECT_FALSE(JournalPending(run.Path)) << context;
      }
      c.CloseCursor();
    }
    StopEngine();
    ExpectTable(run.Path, want, context + ", reopened");
  }
}

// A transaction's commit goes to the files as one unit too: stopped before any of its writes,
// its posts are all there or none of them.
TEST_F(PostJournalRecovery, ACommitStoppedPartWayIsWholeOrAbsent) {
  const std::vector<TPost> posts = Posts();
  TModel after = FModel;
  for (const TPost &p : posts) after = p.After(after);
  bool completed = false;
  int stops = 0;
  for (int k = 0; k < 200 && !completed; ++k) {
    TScratch run;
    CopyTable(FBase.Path, run.Path);
    const std::string context = "commit stopped before write " + std::to_string(k + 1);
    pid_t pid = fork();
    if (pid == 0) {
      AbandonEngineAfterFork();
      int status = 98;
      try {
        StartEngine();
        TDataDirectory *d = DefaultSession().OpenDataDirectory("crash", run.Path);
        TDataCursor c(d, "log");
        c.OpenCursor();
        d->StartTransaction();
        for (const TPost &p : posts) DoPost(c, p);
        StopAfter(k)();
        d->CommitTransaction(false);
        c.CloseCursor();
        StopEngine();
        status = kCompleted;
      } catch (...) {
      }
      _exit(status);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << context;
    ASSERT_TRUE(WEXITSTATUS(status) == kStopped || WEXITSTATUS(status) == kCompleted)
        << context << ": writer status " << WEXITSTATUS(status);
    completed = WEXITSTATUS(status) == kCompleted;
    if (!completed) ++stops;
    ExpectTable(run.Path, k == 0 && !completed ? FModel : after, context);
  }
  EXPECT_TRUE(completed);
  EXPECT_GE(stops, 6);
}

}  // namespace
