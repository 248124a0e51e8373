#pragma once
// The SQL lexer: tokens, quoting, comments and numbers of the query language. There are no
// reserved words; parsing routines compare symbol tokens with the keyword they expect.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/errors/ErrorCodes.h"

namespace kura {

// Token kinds. Any other kind value is a single character whose code is the kind.
enum : uint8_t {
  TK_END = 0,
  TK_SYMBOL = 1,
  TK_BRACKETED = 2,
  TK_SQUOTED = 3,
  TK_DQUOTED = 4,
  TK_CHARCONST = 5,
  TK_INTEGER = 6,
  TK_REAL = 7,
};

class TSqlLexer {
 public:
  virtual ~TSqlLexer() = default;

  // Copies the text (up to a zero byte, which ends the text) and starts at its beginning.
  void SetText(std::string_view text);
  // The same without a copy: the caller keeps the text unchanged and alive until the next
  // SetText or BorrowText (a statement may carry a literal of many megabytes).
  void BorrowText(std::string_view text);
  std::string_view Text() const { return FText; }

  // Skips white space and comments, reads one token, and returns its kind.
  uint8_t NextToken();
  uint8_t TokenKind() const { return FKind; }
  const std::string &TokenText() const { return FTokenText; }
  // Moves the token's text out (TokenText is empty after it): for quoted literals, which may
  // be megabytes long.
  std::string TakeTokenText() { return std::move(FTokenText); }
  bool IsSymbol() const { return FKind >= TK_SYMBOL && FKind <= TK_DQUOTED; }
  bool IsKeyword(std::string_view word) const;
  bool IsKind(uint8_t kind) const { return FKind == kind; }
  bool AtEnd() const { return FKind == TK_END; }

  size_t Position() const { return FPos; }
  size_t TokenStart() const { return FTokenStart; }
  size_t TokenEnd() const { return FPos; }
  // Position before the token last read (where the text of an expression ends).
  size_t PreviousTokenEnd() const { return FPrevTokenEnd; }
  // The source text from `mark` up to the end of the previous token, without line breaks.
  std::string TextSince(size_t mark) const;

  // What failures raise: the error code (SQL errors by default), the context name appended
  // after " in ", and the table named by filter errors.
  void SetErrorCode(uint16_t code) { FErrorCode = code; }
  uint16_t ErrorCode() const { return FErrorCode; }
  // Assigned into the kept string: parsers set and restore names around every expression.
  void SetContextName(std::string_view name) { FContextName.assign(name); }
  const std::string &ContextName() const { return FContextName; }
  void SetErrorTable(std::string table) { FErrorTable = std::move(table); }

  // Raises the engine error of this parser with the detail text.
  [[noreturn]] void Fail(const std::string &detail) const;
  // detail + token text + "' in " + context  (for the "..., instead found '" messages)
  [[noreturn]] void FailFound(const std::string &prefix) const;
  // prefix + context  (for the messages ending in " in ")
  [[noreturn]] void FailIn(const std::string &prefix) const;

  static bool IsIdentStart(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
  }
  static bool IsIdentChar(unsigned char c) {
    return IsIdentStart(c) || IsDigit(c) || c == '!' || c == '$' || c == '@';
  }
  static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
  static bool IsWhite(unsigned char c) { return c >= 1 && c <= 32; }

 private:
  unsigned char At(size_t pos) const {
    return pos < FText.size() ? static_cast<unsigned char>(FText[pos]) : 0;
  }
  void ReadQuoted(char quote, uint8_t kind, const char *missingMessage);
  void Restart(std::string_view text);

  std::string FOwnText;   // the copy SetText made
  std::string_view FText;  // the text read: FOwnText or a borrowed one
  size_t FPos = 0;
  size_t FTokenStart = 0;
  size_t FPrevTokenEnd = 0;
  uint8_t FKind = TK_END;
  std::string FTokenText;
  uint16_t FErrorCode = KURA_SQLPARSE;
  std::string FContextName = "SQL statement";
  std::string FErrorTable;
};

}  // namespace kura
