// The kura-sql statement splitter over arbitrary input lines. It must cut exactly where the
// language's lexer finds ";" tokens: every statement it hands out lexes completely without a
// ";" token, and the tokens of all statements and of what is left at the end are, in order,
// the tokens of the whole input without its ";" tokens.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ShellSplitter.h"
#include "engine/errors/EngineError.h"
#include "query/expr/Lexer.h"

namespace {

std::string Input;

[[noreturn]] void Finding(const char *what) {
  std::fprintf(stderr, "finding: %s\n", what);
  std::fwrite(Input.data(), 1, Input.size(), stderr);
  std::fputc('\n', stderr);
  std::abort();
}

struct TLexed {
  std::vector<std::pair<uint8_t, std::string>> Tokens;  // ";" tokens left out
  bool Semicolon = false;
  bool Unclosed = false;  // the text ended inside a quote, bracket or comment
};

TLexed Lex(const std::string &text) {
  TLexed out;
  kura::TSqlLexer lexer;
  lexer.SetText(text);
  try {
    for (;;) {
      const uint8_t kind = lexer.NextToken();
      if (kind == kura::TK_END) break;
      if (kind == ';') out.Semicolon = true;
      else out.Tokens.emplace_back(kind, lexer.TokenText());
    }
  } catch (const kura::EKuraEngineError &) {
    out.Unclosed = true;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input.assign(reinterpret_cast<const char *>(data), size);
  kura::shell::TStatementSplitter splitter;
  std::vector<std::string> statements;
  std::string whole;  // the text as the splitter sees it: lines with line breaks, zero bytes blank
  size_t begin = 0;
  while (begin <= Input.size()) {
    size_t end = Input.find('\n', begin);
    if (end == std::string::npos) end = Input.size();
    const std::string line = Input.substr(begin, end - begin);
    for (std::string &s : splitter.AddLine(line)) statements.push_back(std::move(s));
    whole += line + '\n';
    begin = end + 1;
  }
  const std::string rest = splitter.Finish();
  for (char &c : whole)
    if (c == '\0') c = ' ';

  std::vector<std::pair<uint8_t, std::string>> joined;
  for (const std::string &s : statements) {
    const TLexed lexed = Lex(s);
    if (lexed.Unclosed) Finding("a statement ends inside a quote, bracket or comment");
    if (lexed.Semicolon) Finding("a statement holds a ; token");
    if (lexed.Tokens.empty()) Finding("an empty statement was handed out");
    joined.insert(joined.end(), lexed.Tokens.begin(), lexed.Tokens.end());
  }
  const TLexed last = Lex(rest);
  if (last.Semicolon) Finding("the rest holds a ; token");
  joined.insert(joined.end(), last.Tokens.begin(), last.Tokens.end());
  const TLexed all = Lex(whole);
  if (all.Unclosed != last.Unclosed) Finding("the rest does not end as the whole input does");
  if (joined != all.Tokens) Finding("the statements' tokens differ from the input's");
  return 0;
}
