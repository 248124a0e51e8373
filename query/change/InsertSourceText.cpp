#include "query/change/InsertSourceText.h"

#include "query/expr/Lexer.h"

namespace kura {

std::string InsertSourceText(std::string_view statementText) {
  TSqlLexer lexer;
  lexer.SetText(statementText);
  size_t begin = std::string::npos;
  size_t end = std::string::npos;
  int depth = 0;
  // Words are compared by the lexer, so names and strings spelled SELECT do not count.
  for (lexer.NextToken(); !lexer.AtEnd(); lexer.NextToken()) {
    if (lexer.IsKind('(')) ++depth;
    else if (lexer.IsKind(')')) --depth;
    else if (lexer.IsKind(';') && depth == 0) {
      end = lexer.TokenStart();
      break;
    }
    if (lexer.TokenKind() != TK_SYMBOL) continue;
    if (begin == std::string::npos) {
      if (depth == 0 && lexer.IsKeyword("SELECT")) begin = lexer.TokenStart();
      continue;
    }
    if (depth == 0 && (lexer.IsKeyword("NOAUTOINC") || lexer.IsKeyword("COMMIT"))) {
      end = lexer.TokenStart();
      break;
    }
  }
  if (begin == std::string::npos) return {};
  if (end == std::string::npos) end = lexer.Text().size();
  return lexer.Text().substr(begin, end - begin);
}

}  // namespace kura
