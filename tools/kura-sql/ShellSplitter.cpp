#include "ShellSplitter.h"

#include "query/expr/Lexer.h"

namespace kura::shell {

namespace {

bool Blank(const std::string &text) {
  for (unsigned char c : text)
    if (!TSqlLexer::IsWhite(c)) return false;
  return true;
}

}  // namespace

std::vector<std::string> TStatementSplitter::AddLine(const std::string &line) {
  std::vector<std::string> done;
  // A zero byte would end the text for the lexer (and for the engine, which would silently
  // drop the rest of the statement); the shell reads it as a blank.
  std::string added = line;
  for (char &c : added)
    if (c == '\0') c = ' ';
  FText += added;
  FText += '\n';
  // Only the part not yet known to be free of ";" is read again. Every line ends with a line
  // break, so a token before it can no longer grow.
  TSqlLexer lexer;
  for (;;) {
    lexer.SetText(std::string_view(FText).substr(FScanned));
    size_t cut = std::string::npos;
    size_t resume = FText.size();
    FUnclosed = false;
    try {
      for (;;) {
        const uint8_t kind = lexer.NextToken();
        if (kind == TK_END) break;
        if (kind == ';') {
          cut = FScanned + lexer.TokenStart();
          break;
        }
        FHasToken = true;
      }
    } catch (const std::exception &) {
      // An unclosed quote, bracket or comment: wait for more lines, and read again from where
      // the token before it began.
      FUnclosed = true;
      resume = FScanned + lexer.TokenStart();
    }
    if (cut == std::string::npos) {
      FScanned = resume;
      return done;
    }
    // Blanks and comments alone make no statement.
    if (FHasToken) done.push_back(FText.substr(0, cut));
    FText.erase(0, cut + 1);
    if (Blank(FText)) FText.clear();  // the line break after a last ";" begins nothing
    FScanned = 0;
    FHasToken = false;
  }
}

std::string TStatementSplitter::Finish() {
  std::string rest = Pending() ? FText : std::string();
  FText.clear();
  FScanned = 0;
  FHasToken = FUnclosed = false;
  return rest;
}

bool TStatementSplitter::Pending() const { return FHasToken || FUnclosed; }

}  // namespace kura::shell
