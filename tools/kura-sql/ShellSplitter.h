#pragma once
// Cuts input into statements. A statement ends exactly where the engine's lexer would end it:
// at a ";" token, never inside a quoted string, a [bracketed name] or a /* */ comment (there is
// no line comment: "5--3" is 8). Only those three forms can hide a ";", and no other token can
// hold one of their opening characters, so the splitter follows just them, carrying its state
// from one piece of input to the next: each character is looked at once, however a long quote
// is cut into lines or blocks. Text comes line by line (lines are joined with line breaks) or
// in pieces of any size.
#include <string>
#include <string_view>
#include <vector>

namespace kura::shell {

class TStatementSplitter {
 public:
  // Adds a line (without its line break) and returns the statements it completed, each
  // without its ";" (texts of blanks and comments alone are dropped).
  std::vector<std::string> AddLine(std::string_view line);
  // Adds a piece of text as it is (a line break only where the text has one). moreToCome: how
  // many bytes the input still holds after it, when known (0 otherwise); a statement that has
  // grown large (a literal of many megabytes) then takes room for them at once instead of
  // being copied each time its room doubles.
  std::vector<std::string> AddText(std::string_view text, size_t moreToCome = 0);
  // What is left when the input ends (a last statement without ";", or an unclosed quote,
  // bracket or comment that the engine then reports), or "" when only blanks and comments
  // are left.
  std::string Finish();
  // Whether a statement (or a quote, bracket or comment) has begun but not ended.
  bool Pending() const;

 private:
  enum class TState : unsigned char {
    Plain,        // between tokens, or inside one that cannot hold a ";"
    Slash,        // after a "/" that may begin a comment
    Quote,        // inside a quoted string (FQuote)
    Bracket,      // inside a [bracketed name]
    Comment,      // inside a /* */ comment
    CommentStar,  // after a "*" inside a comment
  };
  void Scan(std::vector<std::string> &done);

  std::string FText;       // the statement being gathered
  size_t FScanned = 0;     // FText before this offset has been read
  TState FState = TState::Plain;
  char FQuote = 0;
  bool FHasToken = false;  // FText holds a token (blanks and comments alone do not count)
  bool FDropBlank = false; // FText was emptied after a ";": blanks to the line's end are dropped
};

}  // namespace kura::shell
