#pragma once
// Cuts input into statements. The language's own lexer reads the text, so a statement ends
// exactly where the engine would end it: at a ";" token, never inside a quoted string, a
// [bracketed name] or a /* */ comment (there is no line comment: "5--3" is 8). Text is fed
// line by line, as it comes from a terminal or a file; lines are joined with line breaks.
#include <string>
#include <vector>

namespace kura::shell {

class TStatementSplitter {
 public:
  // Adds a line (without its line break) and returns the statements it completed, each
  // without its ";" (texts of blanks and comments alone are dropped).
  std::vector<std::string> AddLine(const std::string &line);
  // What is left when the input ends (a last statement without ";", or an unclosed quote,
  // bracket or comment that the engine then reports), or "" when only blanks and comments
  // are left.
  std::string Finish();
  // Whether a statement (or a quote, bracket or comment) has begun but not ended.
  bool Pending() const;

 private:
  std::string FText;      // the statement being gathered
  size_t FScanned = 0;    // FText before this offset is made of complete tokens, none a ";"
  bool FHasToken = false;  // FText holds a token (blanks and comments alone do not count)
  bool FUnclosed = false;  // FText ends inside a quote, bracket or comment
};

}  // namespace kura::shell
