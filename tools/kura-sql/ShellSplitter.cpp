#include "ShellSplitter.h"

#include <cctype>

namespace kura::shell {

namespace {

bool Blank(const std::string &text) {
  for (unsigned char c : text)
    if (!std::isspace(c)) return false;
  return true;
}

}  // namespace

std::vector<std::string> TStatementSplitter::AddLine(const std::string &line) {
  std::vector<std::string> done;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (FBlockComment) {
      FText += c;
      if (c == '*' && i + 1 < line.size() && line[i + 1] == '/') {
        FText += '/';
        ++i;
        FBlockComment = false;
      }
      continue;
    }
    if (FQuote) {
      FText += c;
      if (c == FQuote) FQuote = 0;  // a doubled quote reopens at once on the next character
      continue;
    }
    if (c == '-' && i + 1 < line.size() && line[i + 1] == '-') break;  // comment to the end of the line
    if (c == '/' && i + 1 < line.size() && line[i + 1] == '*') {
      FBlockComment = true;
      FText += "/*";
      ++i;
      continue;
    }
    if (c == '\'' || c == '"') FQuote = c;
    if (c == ';') {
      if (!Blank(FText)) done.push_back(FText);
      FText.clear();
      continue;
    }
    FText += c;
  }
  if (!FText.empty()) FText += '\n';
  return done;
}

std::string TStatementSplitter::Finish() {
  std::string rest = Blank(FText) ? std::string() : FText;
  FText.clear();
  FQuote = 0;
  FBlockComment = false;
  return rest;
}

bool TStatementSplitter::Pending() const { return !Blank(FText); }

}  // namespace kura::shell
