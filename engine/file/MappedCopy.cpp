// A SIGBUS during a copy out of a mapping ends the copy instead of the process.
#include "engine/file/MappedCopy.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace kura {

namespace {

// The copy in progress on this thread, if any: where the handler jumps back to.
thread_local sigjmp_buf *tCopyJump = nullptr;
struct sigaction gPrevious;

void OnBusError(int signal, siginfo_t *info, void *context) {
  if (sigjmp_buf *jump = tCopyJump) {
    tCopyJump = nullptr;
    siglongjmp(*jump, 1);
  }
  // Not ours: as it would have been handled without us.
  if (gPrevious.sa_flags & SA_SIGINFO) {
    if (gPrevious.sa_sigaction) {
      gPrevious.sa_sigaction(signal, info, context);
      return;
    }
  } else if (gPrevious.sa_handler != SIG_DFL && gPrevious.sa_handler != SIG_IGN) {
    gPrevious.sa_handler(signal);
    return;
  }
  ::signal(SIGBUS, SIG_DFL);
  ::raise(SIGBUS);
}

void InstallHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnBusError;
  // Not blocked while the handler runs: it leaves by a jump that restores no signal mask (saving
  // the mask at every copy would cost a system call, which is what the mapping saves).
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &gPrevious);
}

}  // namespace

bool CopyFromMapping(void *to, const void *from, size_t count) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandler);
  sigjmp_buf jump;
  if (sigsetjmp(jump, 0) != 0) return false;
  tCopyJump = &jump;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  std::memcpy(to, from, count);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  tCopyJump = nullptr;
  return true;
}

}  // namespace kura
