#include "ShellInput.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace kura::shell {

TShellInput::TShellInput(int fd, std::string name, std::function<void()> onWait, size_t blockSize)
    : FFd(fd), FName(std::move(name)), FOnWait(std::move(onWait)), FBlock(blockSize == 0 ? 1 : blockSize) {
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (at >= 0) FUnread = std::max<int64_t>(0, static_cast<int64_t>(info.st_size) - at);
  }
}

size_t TShellInput::Remaining() const {
  if (FFd >= 0 && FUnread < 0) return 0;
  return FRest.size() + static_cast<size_t>(std::max<int64_t>(0, FUnread));
}

TShellInput::TShellInput(std::string_view text) : FRest(text), FAtEnd(true) {}

bool TShellInput::Fill() {
  if (FAtEnd) return false;
  if (FOnWait) {
    // End of input counts as ready; an error is left to the read to report.
    pollfd ready{FFd, POLLIN, 0};
    if (::poll(&ready, 1, 0) == 0) FOnWait();
  }
  for (;;) {
    const ssize_t got = ::read(FFd, FBlock.data(), FBlock.size());
    if (got > 0) {
      if (FUnread >= 0) FUnread = std::max<int64_t>(0, FUnread - got);
      FRest = std::string_view(FBlock.data(), static_cast<size_t>(got));
      return true;
    }
    if (got == 0) {
      FAtEnd = true;
      return false;
    }
    if (errno != EINTR) throw std::runtime_error("kura-sql: cannot read " + FName + ": " + std::strerror(errno));
  }
}

bool TShellInput::Next(std::string_view &piece, bool &lineEnds) {
  if (FRest.empty() && !Fill()) {
    if (!FLineOpen) return false;
    // A last line without a line break.
    FLineOpen = false;
    piece = {};
    lineEnds = true;
    return true;
  }
  const size_t end = FRest.find('\n');
  lineEnds = end != std::string_view::npos;
  piece = FRest.substr(0, lineEnds ? end : FRest.size());
  FRest.remove_prefix(lineEnds ? end + 1 : FRest.size());
  FLineOpen = !lineEnds;
  return true;
}

}  // namespace kura::shell
