#include "query/expr/Lexer.h"

#include <algorithm>
#include <cstring>

#include "engine/errors/EngineError.h"
#include "engine/util/TextScan.h"

namespace kura {

void TSqlLexer::SetText(std::string_view text) {
  FOwnText.assign(text.substr(0, text.find('\0')));
  Restart(FOwnText);
}

void TSqlLexer::BorrowText(std::string_view text) {
  FOwnText.clear();
  FOwnText.shrink_to_fit();
  Restart(text.substr(0, text.find('\0')));
}

void TSqlLexer::Restart(std::string_view text) {
  FText = text;
  FPos = FTokenStart = FPrevTokenEnd = 0;
  FKind = TK_END;
  FTokenText.clear();
}

bool TSqlLexer::IsKeyword(std::string_view word) const {
  return FKind == TK_SYMBOL && SameTextIgnoringCase(FTokenText, word);
}

std::string TSqlLexer::TextSince(size_t mark) const {
  // Copied in runs between line breaks: the text may hold a literal of many megabytes.
  const size_t end = std::min(FPrevTokenEnd, FText.size());
  std::string out;
  if (mark >= end) return out;
  out.reserve(end - mark);
  const char *p = FText.data() + mark;
  const char *stop = FText.data() + end;
  while (p < stop) {
    const char *run = p;
    while (p < stop && *p != '\r' && *p != '\n') ++p;
    out.append(run, p);
    while (p < stop && (*p == '\r' || *p == '\n')) ++p;
  }
  return out;
}

void TSqlLexer::Fail(const std::string &detail) const {
  if (FErrorCode == KURA_SQLPARSE) RaiseSqlError(detail);
  ErrorTexts texts;
  texts.Table = FErrorTable;
  texts.Message = detail;
  RaiseEngineErrorOS(FErrorCode, 0, texts);
}

void TSqlLexer::FailFound(const std::string &prefix) const {
  Fail(prefix + FTokenText + "' in " + FContextName);
}

void TSqlLexer::FailIn(const std::string &prefix) const { Fail(prefix + FContextName); }

void TSqlLexer::ReadQuoted(char quote, uint8_t kind, const char *missingMessage) {
  // Two passes, each jumping from quote to quote: the first finds the closing quote and the
  // length, the second copies the runs between doubled quotes into a string reserved once.
  const char *text = FText.data();
  const size_t size = FText.size();
  const size_t begin = FPos + 1;  // after the opening quote
  size_t doubled = 0;
  size_t close = begin;
  for (;;) {
    const void *found = close < size ? std::memchr(text + close, quote, size - close) : nullptr;
    if (!found) {
      close = size;
      break;
    }
    close = static_cast<size_t>(static_cast<const char *>(found) - text);
    if (close + 1 < size && text[close + 1] == quote) {
      ++doubled;
      close += 2;
      continue;
    }
    break;
  }
  std::string out;
  out.reserve(close - begin - doubled);
  for (size_t from = begin; from < close;) {
    const void *found = std::memchr(text + from, quote, close - from);
    const size_t at = found ? static_cast<size_t>(static_cast<const char *>(found) - text) : close;
    out.append(text + from, at - from);
    if (at == close) break;
    out.push_back(quote);  // a doubled quote is one quote character
    from = at + 2;
  }
  if (close == size) {
    FPos = size;
    FTokenText = out;
    Fail(std::string(missingMessage) + out + "' in " + FContextName);
  }
  FPos = close + 1;
  FKind = kind;
  FTokenText = std::move(out);
}

// Token texts are assigned into the one string the lexer keeps, which reuses its room: a
// statement's many short tokens cost no allocations.
uint8_t TSqlLexer::NextToken() {
  FPrevTokenEnd = FPos;
  // White space and /* */ comments.
  for (;;) {
    while (IsWhite(At(FPos))) ++FPos;
    if (At(FPos) == '/' && At(FPos + 1) == '*') {
      size_t close = FText.find("*/", FPos + 2);
      if (close == std::string::npos) {
        FPos = FText.size();
        Fail("Missing ending comment slash and asterisk in " + FContextName);
      }
      FPos = close + 2;
      continue;
    }
    break;
  }
  FTokenStart = FPos;
  unsigned char c = At(FPos);
  if (c == 0) {
    FKind = TK_END;
    FTokenText.clear();
    return FKind;
  }
  if (IsIdentStart(c)) {
    while (IsIdentChar(At(FPos))) ++FPos;
    FKind = TK_SYMBOL;
    FTokenText.assign(FText, FTokenStart, FPos - FTokenStart);
    return FKind;
  }
  if (c == '#') {
    ++FPos;
    while (IsDigit(At(FPos))) ++FPos;
    FKind = TK_CHARCONST;
    FTokenText.assign(FText, FTokenStart, FPos - FTokenStart);
    return FKind;
  }
  if (c == '\'') {
    ReadQuoted('\'', TK_SQUOTED, "Missing single quote after '");
    return FKind;
  }
  if (c == '"') {
    ReadQuoted('"', TK_DQUOTED, "Missing double quote after '");
    return FKind;
  }
  if (c == '[') {
    size_t close = FText.find(']', FPos + 1);
    if (close == std::string::npos) {
      std::string read(FText.substr(FPos + 1));
      FPos = FText.size();
      FTokenText = read;
      Fail("Missing right bracket after '" + read + "' in " + FContextName);
    }
    FTokenText.assign(FText, FPos + 1, close - FPos - 1);
    FPos = close + 1;
    FKind = TK_BRACKETED;
    return FKind;
  }
  if (IsDigit(c)) {
    FKind = TK_INTEGER;
    while (IsDigit(At(FPos))) ++FPos;
    for (;;) {
      unsigned char d = At(FPos);
      if (IsDigit(d)) {
        ++FPos;
      } else if (d == '.' || d == 'E' || d == 'e') {
        FKind = TK_REAL;
        ++FPos;
      } else if ((d == '+' || d == '-') && (At(FPos - 1) == 'E' || At(FPos - 1) == 'e')) {
        FKind = TK_REAL;
        ++FPos;
      } else {
        break;
      }
    }
    FTokenText.assign(FText, FTokenStart, FPos - FTokenStart);
    return FKind;
  }
  if (c == '.' && IsDigit(At(FPos + 1))) {
    ++FPos;
    for (;;) {
      unsigned char d = At(FPos);
      if (IsDigit(d) || d == 'E' || d == 'e')
        ++FPos;
      else if ((d == '+' || d == '-') && (At(FPos - 1) == 'E' || At(FPos - 1) == 'e'))
        ++FPos;
      else
        break;
    }
    FKind = TK_REAL;
    FTokenText.assign(FText, FTokenStart, FPos - FTokenStart);
    return FKind;
  }
  ++FPos;
  FKind = c;
  FTokenText.assign(1, static_cast<char>(c));
  return FKind;
}

}  // namespace kura
