#pragma once
// Reads the shell's input in large blocks (read(2) on a file or standard input, or a text in
// memory) and hands it out in pieces that never cross a line break, so that a line of any
// length is passed on without being gathered first. Before a read that would wait (nothing is
// ready on a pipe or terminal) the owner is told, so that it can let go of what it holds.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kura::shell {

class TShellInput {
 public:
  // Reads the descriptor (not closed here); `name` is what a read failure names. `onWait` is
  // called before a read that would wait.
  TShellInput(int fd, std::string name, std::function<void()> onWait = {}, size_t blockSize = 1 << 16);
  // Reads a text in memory.
  explicit TShellInput(std::string_view text);

  // The next piece of the current line, up to its line break or the end of the block. False
  // at the end of the input; a last line without a line break ends as if it had one. Raises
  // std::runtime_error when reading fails.
  bool Next(std::string_view &piece, bool &lineEnds);
  // How many bytes are still to come after the pieces handed out, when the input is a regular
  // file or a text (0 when not known: a pipe or a terminal).
  size_t Remaining() const;

 private:
  bool Fill();

  int FFd = -1;
  std::string FName;
  std::function<void()> FOnWait;
  std::vector<char> FBlock;
  std::string_view FRest;   // what is left of the block (or the whole text)
  bool FAtEnd = false;
  bool FLineOpen = false;   // a piece of the current line has been handed out
  int64_t FUnread = -1;     // bytes of a regular file not read yet (-1: not a regular file)
};

}  // namespace kura::shell
