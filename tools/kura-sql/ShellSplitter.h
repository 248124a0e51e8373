#pragma once
// Cuts input into statements: a statement ends at a ";" outside quotes and comments. Text is
// fed line by line, as it comes from a terminal or a file.
#include <string>
#include <vector>

namespace kura::shell {

class TStatementSplitter {
 public:
  // Adds a line (without its line break) and returns the statements it completed.
  std::vector<std::string> AddLine(const std::string &line);
  // What is left when the input ends (a last statement without ";"), or "".
  std::string Finish();
  // Whether a statement has begun but not ended.
  bool Pending() const;

 private:
  std::string FText;
  char FQuote = 0;  // ' or " while inside a quoted text
  bool FBlockComment = false;
};

}  // namespace kura::shell
