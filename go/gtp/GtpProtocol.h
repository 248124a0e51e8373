#pragma once
// The text of GTP version 2 on the wire.
//
// A command goes out as one line: an optional numeric id, the command name and its
// arguments, "\n". The engine answers each command in order with a response: "=" for
// success or "?" for failure, directly followed by the id when the command had one, then a
// space and the text (which may run over several lines), ended by an empty line. Carriage
// returns are dropped and tabs read as spaces; other control characters are dropped too.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace go::gtp {

// "12 play black D4\n"; id < 0 leaves the id out. Control characters (line ends included)
// in the command are replaced by spaces, so a command is always one line.
std::string FormatCommand(int id, std::string_view command);

struct TResponse {
  bool Success = false;
  int Id = -1;       // -1 when the response carried no id
  std::string Text;  // the text after "=" / "?" and the id, lines joined by "\n", trimmed
  bool operator==(const TResponse &) const = default;
};

// Cuts the engine's output into responses. Feed any pieces of output; each complete response
// comes out once. Output that is not a response (a first line not beginning with "=" or "?",
// or "=x" where the id should be) makes Next() report a protocol fault, after which the reader
// stays broken: the client cannot tell any more which answer belongs to which command.
class TResponseReader {
 public:
  void Feed(std::string_view bytes);
  // The next complete response, nullopt when none is complete yet or the output is broken.
  std::optional<TResponse> Next();
  bool Broken() const { return FBroken; }
  // The line that broke the reader (for the message).
  const std::string &BrokenLine() const { return FBrokenLine; }
  // Bytes received that belong to no complete response yet.
  bool Pending() const;

 private:
  std::string FBuffer;
  bool FBroken = false;
  std::string FBrokenLine;
};

// Splits a response text into words (spaces and line ends separate).
std::vector<std::string> Words(std::string_view text);

}  // namespace go::gtp
