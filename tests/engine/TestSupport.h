#pragma once
// Helpers shared by the engine tests: a scratch directory and child processes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kura::test {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kura-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    char *made = mkdtemp(buffer.data());
    if (made) FPath = made;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  const std::string &Path() const { return FPath; }
  std::string Dir() const { return FPath + "/"; }
  std::string File(const std::string &name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

void ForgetParentState();

// A child process running body; its return value is the exit status.
class Child {
 public:
  explicit Child(const std::function<int()> &body) {
    int toChild[2], toParent[2];
    if (pipe(toChild) != 0 || pipe(toParent) != 0) std::abort();
    FPid = fork();
    if (FPid == 0) {
      close(toChild[1]);
      close(toParent[0]);
      FReadFd = toChild[0];
      FWriteFd = toParent[1];
      Current() = this;
      ForgetParentState();
      int status = 99;
      try {
        status = body();
      } catch (...) {
        status = 98;
      }
      _exit(status);
    }
    close(toChild[0]);
    close(toParent[1]);
    FReadFd = toParent[0];
    FWriteFd = toChild[1];
  }
  ~Child() {
    if (FPid > 0 && !FWaited) Wait();
    close(FReadFd);
    close(FWriteFd);
  }
  // One byte messages in either direction (a blocking handshake).
  void Send(char c) { (void)!write(FWriteFd, &c, 1); }
  char Receive() {
    char c = 0;
    if (read(FReadFd, &c, 1) != 1) return 0;
    return c;
  }
  int Wait() {
    int status = 0;
    waitpid(FPid, &status, 0);
    FWaited = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200;
  }
  // Inside the child: the channel to the parent.
  static Child *&Current() {
    static Child *current = nullptr;
    return current;
  }

 private:
  pid_t FPid = -1;
  int FReadFd = -1, FWriteFd = -1;
  bool FWaited = false;
};

unsigned ErrorCodeForTest(const std::exception &e);
// In a forked child: start from a clean engine state instead of the parent's copy.
void ForgetParentState();

// Raised-code capture: the engine code of what body throws, 0 when nothing is thrown.
template <typename Body>
unsigned CodeOf(Body body) {
  try {
    body();
  } catch (const std::exception &e) {
    return ErrorCodeForTest(e);
  }
  return 0;
}

}  // namespace kura::test
