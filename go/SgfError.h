#pragma once
// Why a record could not be read: a code for programs, the place (1-based line and column of
// the decoded text, counted in characters; 0 when the fault has no place) and a message in
// Japanese for the user that already names the place.
#include <stdexcept>
#include <string>

namespace go {

enum class TSgfErrorCode {
  NotSgf,           // no game tree "(;" in the file
  Truncated,        // the file ends inside a tree or a value
  Unbalanced,       // a ")" without its "(", or text between trees
  BadProperty,      // something that is not a property where one must stand
  BadPoint,         // a point that is not on the board
  BadValue,         // a value that does not fit its property (SZ[abc], TE[7])
  BadSize,          // a board size other than 9, 13 and 19
  NotGo,            // GM other than 1
  TooDeep,          // variations nested deeper than the reader follows
  TooLarge,         // more nodes or bytes than the reader takes
  BadEncoding,      // the bytes cannot be read in any character set tried
  FileUnreadable,   // the file could not be opened or read
};

class ESgfError : public std::runtime_error {
 public:
  ESgfError(TSgfErrorCode code, int line, int column, const std::string &message)
      : std::runtime_error(message), Code(code), Line(line), Column(column) {}
  TSgfErrorCode Code;
  int Line;
  int Column;
};

}  // namespace go
