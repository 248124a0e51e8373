// Private directories of kura-sql runs: those of killed runs are removed by the next run, and
// nothing else is touched (other names, other users' runs, runs still going, links).
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "ShellPrivateDir.h"

namespace kura::shell {
namespace {

namespace fs = std::filesystem;

// The pid of a process that has ended.
pid_t DeadPid() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  waitpid(pid, nullptr, 0);
  return pid;
}

class ShellPrivateDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kura-private-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    FParent = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(FParent, ignored);
  }
  fs::path MakeDir(const std::string &name, bool ownerFile) {
    fs::create_directories(FParent / name);
    std::ofstream(FParent / name / "result.DAT") << "x";
    if (ownerFile) std::ofstream(FParent / name / "owner") << "";
    return FParent / name;
  }
  std::vector<std::string> Left(const fs::path &folder = {}) const {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder.empty() ? FParent : folder))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  fs::path FParent;
};

TEST_F(ShellPrivateDirTest, OnlyDirectoriesOfEndedRunsWithFreeLocksAreRemoved) {
  const std::string dead = std::to_string(DeadPid());
  MakeDir("kura-sql-" + dead + "-aaaaaa", true);         // killed run: removed
  MakeDir("kura-sql-" + dead + "-bbbbbb", false);        // killed before its owner file: removed
  const fs::path held = MakeDir("kura-sql-" + dead + "-cccccc", true);  // lock still held: kept
  MakeDir("kura-sql-1-dddddd", true);                    // process 1 runs: kept
  MakeDir("kura-sql-AbC123", false);                     // another form of name: kept
  MakeDir("other-" + dead + "-eeeeee", true);            // not ours: kept
  std::ofstream(FParent / ("kura-sql-" + dead + "-ffffff")) << "a file";  // not a directory: kept
  fs::create_directory_symlink(FParent / ("other-" + dead + "-eeeeee"), FParent / ("kura-sql-" + dead + "-gggggg"));
  const int lock = ::open((held / "owner").c_str(), O_RDWR);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(TShellPrivateDir::RemoveStale(FParent), 2);
  ::close(lock);
  std::vector<std::string> kept{"kura-sql-" + dead + "-cccccc", "kura-sql-" + dead + "-ffffff",
                                "kura-sql-" + dead + "-gggggg", "kura-sql-1-dddddd", "kura-sql-AbC123",
                                "other-" + dead + "-eeeeee"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(Left(), kept);
  EXPECT_TRUE(fs::exists(FParent / ("other-" + dead + "-eeeeee") / "result.DAT"));
  // Its lock released, the last one goes too.
  EXPECT_EQ(TShellPrivateDir::RemoveStale(FParent), 1);
}

TEST_F(ShellPrivateDirTest, AKilledShellsDirectoryIsRemovedByTheNextRun) {
  const std::string env = "TMPDIR=" + FParent.string() + " ";
  // A shell waiting for statements on its standard input, killed.
  const pid_t pid = fork();
  if (pid == 0) {
    ::setenv("TMPDIR", FParent.c_str(), 1);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) _exit(2);
    dup2(pipeFds[0], 0);
    execl(KURA_SQL_BINARY, KURA_SQL_BINARY, "Memory", static_cast<char *>(nullptr));
    _exit(3);
  }
  const fs::path runs = FParent / ("kura-sql-user-" + std::to_string(::geteuid()));
  for (int i = 0; i < 200 && (!fs::exists(runs) || Left(runs).empty()); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(Left(runs).size(), 1u);
  const std::string left = Left(runs)[0];
  EXPECT_EQ(left.rfind("kura-sql-" + std::to_string(pid) + "-", 0), 0u) << left;
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  ASSERT_EQ(Left(runs), (std::vector<std::string>{left}));
  // The next run removes it, and its own directory goes with its normal end.
  const std::string next = env + KURA_SQL_BINARY + " Memory -c 'select 1 from nothing;' >/dev/null 2>&1";
  (void)!std::system(next.c_str());
  EXPECT_TRUE(Left(runs).empty());
}

TEST_F(ShellPrivateDirTest, TheUsersRunsFolderIsUsedOnlyWhenItIsTheirsAndClosed) {
  const fs::path runs = FParent / ("kura-sql-user-" + std::to_string(::geteuid()));
  EXPECT_EQ(TShellPrivateDir::RunsFolder(FParent), runs);  // made
  EXPECT_EQ(fs::status(runs).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(TShellPrivateDir::RunsFolder(FParent), runs);  // found
  fs::permissions(runs, fs::perms::others_all, fs::perm_options::add);
  EXPECT_EQ(TShellPrivateDir::RunsFolder(FParent), FParent);  // open to others
  fs::remove(runs);
  fs::create_directory(FParent / "elsewhere");
  fs::permissions(FParent / "elsewhere", fs::perms::owner_all, fs::perm_options::replace);
  fs::create_directory_symlink(FParent / "elsewhere", runs);
  EXPECT_EQ(TShellPrivateDir::RunsFolder(FParent), FParent);  // a link
  fs::remove(runs);
  std::ofstream(runs) << "a file";
  EXPECT_EQ(TShellPrivateDir::RunsFolder(FParent), FParent);
}

}  // namespace
}  // namespace kura::shell
