#pragma once
// Small locale-independent text helpers. The C library's classification and number parsing
// follow the process locale, which a desktop program sets from the user's environment; names
// and the text forms of values must read the same everywhere, so these look at ASCII only and
// leave every other byte (UTF-8 sequences) as it is.
#include <string>
#include <string_view>

namespace kura {

// Removes leading and trailing blanks and control characters (every byte up to ' ') around
// the text form of a value.
inline std::string_view TrimValueText(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

inline char UpperAsciiChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = UpperAsciiChar(c);
  return out;
}

inline bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAsciiChar(a[i]) != UpperAsciiChar(b[i])) return false;
  return true;
}

}  // namespace kura
