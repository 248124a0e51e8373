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

TRunResult RunShell(const std::vector<std::string> &command, const std::string &inputPath,
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

}  // namespace kura::bench
