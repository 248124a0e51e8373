#pragma once
// Turning the bytes of a record file into UTF-8 text.
//
// The character set is found in this order: a byte-order mark (UTF-8, UTF-16 LE or BE); the
// CA property (any name ICU knows: "UTF-8", "Shift_JIS", "EUC-JP", "GB2312", "ISO-8859-1"…);
// otherwise a guess. Japanese records are often Shift_JIS without CA, so the guess tries UTF-8
// first (it almost never decodes text of another set without error), then every set of the
// region that decodes the bytes without error, and keeps the one whose text reads most like
// Japanese (kana and kanji, few half-width katakana). A CA that does not fit the bytes (a
// Shift_JIS file that claims UTF-8) falls back to the guess, and says so in Warning.
// Line ends become "\n".
#include <string>
#include <string_view>

namespace go {

struct TDecodedText {
  std::string Text;     // UTF-8, without byte-order mark, "\n" line ends
  std::string Charset;  // the character set the bytes were read in
  std::string Warning;  // Japanese; empty when the file said what it is and was right
};

// Throws ESgfError (BadEncoding) only when no character set reads the bytes.
TDecodedText DecodeRecordBytes(std::string_view bytes);

// Converts `bytes` from the named character set strictly (nullopt-like: false on any invalid
// or unmapped sequence). Exposed for tests and for the writer's checks.
bool ConvertToUtf8(std::string_view bytes, const std::string &charset, std::string &out);
// Converts UTF-8 text to the named character set (for tests that make Shift_JIS or UTF-16 files).
std::string ConvertFromUtf8(std::string_view text, const std::string &charset);

// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

}  // namespace go
