#include "ShellRun.h"

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace kura::bench {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(const timeval &time) { return time.tv_sec + time.tv_usec / 1e6; }

std::string FileStart(const std::string &path, size_t limit) {
  std::ifstream in(path, std::ios::binary);
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<size_t>(in.gcount()));
  return text;
}

}  // namespace

static TRunResult RunShellHere(const std::vector<std::string> &command, const std::string &inputPath,
                        const std::string &outputPath, const std::string &errorPath, double limitSeconds,
                        const std::string &phase) {
  TRunResult result;
  std::vector<char *> argv;
  for (const std::string &arg : command) argv.push_back(const_cast<char *>(arg.c_str()));
  argv.push_back(nullptr);

  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child < 0) {
    result.Failed = true;
    result.Errors = "fork failed";
    return result;
  }
  if (child == 0) {
    const int in = ::open(inputPath.c_str(), O_RDONLY);
    const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::setenv("KURA_BENCH_PHASE", phase.c_str(), 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }

  int status = 0;
  rusage usage{};
  const auto deadline = start + std::chrono::duration<double>(limitSeconds);
  // Wait on a process descriptor, so that the end is seen at once and the limit still holds.
  const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
  for (;;) {
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    if (left <= 0) {
      ::kill(child, SIGKILL);
      while (::wait4(child, &status, 0, &usage) < 0 && errno == EINTR) {
      }
      break;
    }
    if (pidfd >= 0) {
      pollfd ready{pidfd, POLLIN, 0};
      ::poll(&ready, 1, static_cast<int>(std::min(left * 1000 + 1, 1000.0)));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
    if (done == child) {
      result.Finished = true;
      break;
    }
    if (done < 0 && errno != EINTR) {
      result.Failed = true;
      result.Errors = "wait4 failed";
      break;
    }
  }
  if (pidfd >= 0) ::close(pidfd);
  result.WallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  result.CpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result.PeakKilobytes = usage.ru_maxrss;
  if (result.Finished) {
    result.Errors = FileStart(errorPath, 2000);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !result.Errors.empty()) {
      result.Failed = true;
      if (result.Errors.empty()) result.Errors = "exit status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
  }
  return result;
}

// The launcher: a process forked while the benchmark is still small, which starts every shell.
// A child's peak resident size counts the memory of the process it was forked from (Linux keeps
// the high-water mark across exec), so forking the shells from the benchmark itself, which holds
// the generated scripts, would add their size to every shell's figure.
namespace {

int gToLauncher = -1;
int gFromLauncher = -1;

bool WriteAll(int fd, const void *data, size_t size) {
  const char *at = static_cast<const char *>(data);
  while (size > 0) {
    const ssize_t done = ::write(fd, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    at += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool ReadAll(int fd, void *data, size_t size) {
  char *at = static_cast<char *>(data);
  while (size > 0) {
    const ssize_t done = ::read(fd, at, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    at += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

template <typename T> bool Put(int fd, const T &value) { return WriteAll(fd, &value, sizeof value); }
template <typename T> bool Get(int fd, T &value) { return ReadAll(fd, &value, sizeof value); }

bool PutText(int fd, const std::string &text) {
  return Put(fd, static_cast<uint32_t>(text.size())) && WriteAll(fd, text.data(), text.size());
}

bool GetText(int fd, std::string &text) {
  uint32_t size = 0;
  if (!Get(fd, size)) return false;
  text.resize(size);
  return ReadAll(fd, text.data(), size);
}

[[noreturn]] void LauncherLoop(int requests, int replies) {
  for (;;) {
    uint32_t count = 0;
    if (!Get(requests, count)) ::_exit(0);
    std::vector<std::string> command(count);
    std::string input, output, errors, phase;
    double limit = 0;
    for (std::string &arg : command)
      if (!GetText(requests, arg)) ::_exit(1);
    if (!GetText(requests, input) || !GetText(requests, output) || !GetText(requests, errors) ||
        !GetText(requests, phase) || !Get(requests, limit))
      ::_exit(1);
    const TRunResult result = RunShellHere(command, input, output, errors, limit, phase);
    if (!Put(replies, result.Finished) || !Put(replies, result.Failed) || !PutText(replies, result.Errors) ||
        !Put(replies, result.WallSeconds) || !Put(replies, result.CpuSeconds) || !Put(replies, result.PeakKilobytes))
      ::_exit(1);
  }
}

}  // namespace

bool StartShellLauncher() {
  int requests[2], replies[2];
  if (::pipe(requests) != 0 || ::pipe(replies) != 0) return false;
  const pid_t launcher = ::fork();
  if (launcher < 0) return false;
  if (launcher == 0) {
    ::close(requests[1]);
    ::close(replies[0]);
    LauncherLoop(requests[0], replies[1]);
  }
  ::close(requests[0]);
  ::close(replies[1]);
  gToLauncher = requests[1];
  gFromLauncher = replies[0];
  return true;
}

TRunResult RunShell(const std::vector<std::string> &command, const std::string &inputPath,
                    const std::string &outputPath, const std::string &errorPath, double limitSeconds,
                    const std::string &phase) {
  if (gToLauncher < 0) return RunShellHere(command, inputPath, outputPath, errorPath, limitSeconds, phase);
  bool sent = Put(gToLauncher, static_cast<uint32_t>(command.size()));
  for (const std::string &arg : command) sent = sent && PutText(gToLauncher, arg);
  sent = sent && PutText(gToLauncher, inputPath) && PutText(gToLauncher, outputPath) &&
         PutText(gToLauncher, errorPath) && PutText(gToLauncher, phase) && Put(gToLauncher, limitSeconds);
  TRunResult result;
  if (!sent || !Get(gFromLauncher, result.Finished) || !Get(gFromLauncher, result.Failed) ||
      !GetText(gFromLauncher, result.Errors) || !Get(gFromLauncher, result.WallSeconds) ||
      !Get(gFromLauncher, result.CpuSeconds) || !Get(gFromLauncher, result.PeakKilobytes)) {
    result = TRunResult{};
    result.Failed = true;
    result.Errors = "the launcher process failed";
  }
  return result;
}

}  // namespace kura::bench
