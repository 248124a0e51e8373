#pragma once
// Small locale-independent helpers for reading the text forms of values. The C library's
// classification and number parsing follow the process locale, which a desktop program sets
// from the user's environment; the text forms of the table store must read the same
// everywhere, so these look at plain ASCII only.
#include <string_view>

namespace kura {

// Removes leading and trailing blanks and control characters (every byte up to ' ').
inline std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

inline bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace kura
