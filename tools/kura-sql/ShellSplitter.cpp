#include "ShellSplitter.h"

#include <array>
#include <cstring>
#include <new>

#include "query/expr/Lexer.h"

namespace kura::shell {

namespace {

// The length of the blanks that begin the text, through its first line break, or through its
// end when it is all blanks; npos when something else comes first on the line.
size_t BlankRun(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') return i + 1;
    if (!TSqlLexer::IsWhite(static_cast<unsigned char>(text[i]))) return std::string_view::npos;
  }
  return text.size();
}

// What a character is between tokens: a blank, part of a token that cannot hide a ";", or
// one that needs a look (";", "/", quotes and "[").
constexpr unsigned char kBlank = 0, kTokenPart = 1, kSpecial = 2;
const auto kPlainKinds = [] {
  std::array<unsigned char, 256> kinds{};
  for (int c = 0; c < 256; ++c) kinds[c] = TSqlLexer::IsWhite(static_cast<unsigned char>(c)) ? kBlank : kTokenPart;
  for (unsigned char c : {';', '/', '\'', '"', '['}) kinds[c] = kSpecial;
  return kinds;
}();

}  // namespace

std::vector<std::string> TStatementSplitter::AddLine(std::string_view line) {
  std::vector<std::string> done = AddText(line);
  std::vector<std::string> more = AddText("\n");
  for (std::string &statement : more) done.push_back(std::move(statement));
  return done;
}

std::vector<std::string> TStatementSplitter::AddText(std::string_view text, size_t moreToCome) {
  std::vector<std::string> done;
  // A zero byte would end the text for the lexer (and for the engine, which would silently
  // drop the rest of the statement); the shell reads it as a blank.
  if (FDropBlank) {
    const size_t blank = BlankRun(text);
    if (blank != std::string_view::npos) {
      // Still dropping only when the line has not ended yet.
      FDropBlank = blank == text.size() && (blank == 0 || text[blank - 1] != '\n');
      text.remove_prefix(blank);
      if (text.empty()) return done;
    }
    FDropBlank = false;
  }
  const size_t from = FText.size();
  // Room not written to is only address space: a statement past a megabyte takes room for the
  // rest of the input in one step (a smaller one grows as usual, so that ordinary statements do
  // not each carry the rest of a large script's room). Without that room it grows as usual.
  constexpr size_t kLargeStatement = 1u << 20;
  const size_t needed = from + text.size();
  if (needed > FText.capacity() && needed > kLargeStatement && moreToCome > 0 &&
      moreToCome <= FText.max_size() - needed) {
    try {
      FText.reserve(needed + moreToCome);
    } catch (const std::bad_alloc &) {
    }
  }
  FText.append(text);
  for (char *c = FText.data() + from; (c = static_cast<char *>(std::memchr(c, '\0', FText.data() + FText.size() - c)));)
    *c++ = ' ';
  Scan(done);
  return done;
}

void TStatementSplitter::Scan(std::vector<std::string> &done) {
  const char *text = FText.data();
  size_t size = FText.size();
  size_t i = FScanned;
  size_t start = 0;  // where the statement being gathered begins
  auto skipTo = [&](char wanted) {
    const void *found = std::memchr(text + i, wanted, size - i);
    i = found ? static_cast<size_t>(static_cast<const char *>(found) - text) : size;
  };
  while (i < size) {
    if (FState == TState::Plain) {
      // Blanks and the characters of tokens that cannot hide a ";" go by in a tight loop.
      unsigned char seen = 0;
      while (i < size) {
        const unsigned char kind = kPlainKinds[static_cast<unsigned char>(text[i])];
        if (kind == kSpecial) break;
        seen |= kind;
        ++i;
      }
      if (seen) FHasToken = true;
      if (i == size) break;
    }
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (FState) {
      case TState::Quote:
        // Long literals are the bulk of large inputs: jump to the next quote. A doubled quote
        // (one quote character in the string) reads here as the string closed and opened
        // again, which hides a ";" just the same.
        skipTo(FQuote);
        if (i < size) {
          FState = TState::Plain;
          ++i;
        }
        continue;
      case TState::Bracket:
        skipTo(']');
        if (i < size) {
          FState = TState::Plain;
          ++i;
        }
        continue;
      case TState::Comment:
        skipTo('*');
        if (i < size) {
          FState = TState::CommentStar;
          ++i;
        }
        continue;
      case TState::CommentStar:
        if (c == '/') {
          FState = TState::Plain;
          ++i;
        } else if (c == '*') {
          ++i;
        } else {
          FState = TState::Comment;
        }
        continue;
      case TState::Slash:
        if (c == '*') {
          FState = TState::Comment;
          ++i;
          continue;
        }
        // The "/" alone was a token (the division sign).
        FHasToken = true;
        FState = TState::Plain;
        continue;
      case TState::Plain:
        break;
    }
    ++i;
    if (TSqlLexer::IsWhite(c)) continue;
    if (c == '/') {
      FState = TState::Slash;
      continue;
    }
    if (c != ';') {
      FHasToken = true;
      if (c == '\'' || c == '"') {
        FState = TState::Quote;
        FQuote = static_cast<char>(c);
      } else if (c == '[') {
        FState = TState::Bracket;
      }
      continue;
    }
    // A ";" token ends the statement; blanks and comments alone make no statement. A statement
    // may hold a literal of many megabytes: when the text after the ";" is the smaller part,
    // that part is copied and the statement moved out; otherwise the statement is copied and
    // the start moves on (the text is cut once at the end). Either way each byte is copied at
    // most once more.
    const size_t cut = i - 1;
    if (size - i <= cut - start) {
      std::string rest(FText, i);
      if (FHasToken) {
        FText.resize(cut);
        FText.erase(0, start);
        done.push_back(std::move(FText));
      }
      FText = std::move(rest);
      text = FText.data();
      size = FText.size();
      i = start = 0;
    } else {
      if (FHasToken) done.push_back(FText.substr(start, cut - start));
      start = i;
    }
    FHasToken = false;
    // Blanks after a last ";" on its line, and that line break, begin nothing.
    const size_t blank = BlankRun(std::string_view(text + i, size - i));
    if (blank != std::string_view::npos) start = i += blank;
    FDropBlank = start == size;
  }
  if (start > 0) FText.erase(0, start);
  FScanned = i - start;
}

std::string TStatementSplitter::Finish() {
  std::string rest = Pending() ? std::move(FText) : std::string();
  FText.clear();
  FScanned = 0;
  FState = TState::Plain;
  FHasToken = FDropBlank = false;
  return rest;
}

bool TStatementSplitter::Pending() const { return FHasToken || FState != TState::Plain; }

}  // namespace kura::shell
