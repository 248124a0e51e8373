#pragma once
// Reading SGF (FF[4]) records.
//
// The reader takes the whole FF[4] grammar: a collection of game trees, nodes, properties with
// one or more values, escapes, soft line breaks, compressed point lists ("aa:cc"), empty
// values (B[] is a pass, as is B[tt] on boards up to 19 lines), lower-case letters in
// property names (old files write "AddBlack"; only the capitals count). Properties it does
// not know are kept with their values and written back as they were. Game information is
// taken from the root node; SZ must be 9, 13 or 19 (absent means 19), GM must be 1.
//
// It never recurses over the tree: variations nested deeper than MaxVariationDepth, more than
// MaxNodes nodes or more than MaxBytes bytes are refused with a message rather than risking
// the stack or the memory. Every fault is an ESgfError with line, column and a Japanese
// message; nothing in a damaged file makes the reader crash or loop.
#include <string>
#include <string_view>
#include <vector>

#include "go/GameTree.h"
#include "go/SgfError.h"

namespace go {

inline constexpr int MaxVariationDepth = 1000;
inline constexpr size_t MaxNodes = 500000;
inline constexpr size_t MaxBytes = 64u << 20;

struct TSgfRecord {
  std::vector<TGameTree> Trees;  // at least one
  std::string Charset;           // what the bytes were read as
  std::string Warning;           // Japanese; empty when nothing needed guessing against the file
};

// Reads the bytes of a record file (any character set, see SgfText.h).
TSgfRecord ReadSgf(std::string_view bytes);
// Reads a record file; a file that cannot be read is an ESgfError (FileUnreadable).
TSgfRecord ReadSgfFile(const std::string &path);
// Parses text that is already UTF-8 with "\n" line ends.
std::vector<TGameTree> ParseSgfText(std::string_view text);

// Value helpers for properties kept raw (TRawProperty): the text of a value with escapes
// resolved and soft line breaks removed (line breaks kept when `keepBreaks`, else blanks), and
// the split of a compose value "a:b" at its first unescaped colon (false when there is none).
std::string SgfTextValue(std::string_view raw, bool keepBreaks);
bool SplitComposeValue(std::string_view raw, std::string_view &first, std::string_view &second);

// The message for the user: "<line>行<column>列: …" (the message already holds the place).
inline std::string ErrorText(const ESgfError &e) { return e.what(); }

}  // namespace go
