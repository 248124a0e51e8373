#include "query/expr/Like.h"

#include "engine/locale/Collation.h"

namespace kura {

size_t Utf8CharLength(std::string_view s, size_t pos) {
  unsigned char c = static_cast<unsigned char>(s[pos]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (pos + n > s.size()) return 1;
  for (size_t i = 1; i < n; ++i)
    if ((static_cast<unsigned char>(s[pos + i]) & 0xC0) != 0x80) return 1;
  return n;
}

size_t Utf8CharCount(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0; i < s.size(); i += Utf8CharLength(s, i)) ++count;
  return count;
}

namespace {
bool SameCharacter(std::string_view a, std::string_view b, uint16_t lang, uint16_t sort) {
  if (a == b) return true;
  if (lang == 0) return false;
  return CompareStrings(lang, sort, a, b) == 0;
}
}  // namespace

bool LikeMatch(std::string_view s, std::string_view p, uint16_t lang, uint16_t sort) {
  size_t si = 0, pi = 0;
  bool haveStar = false;
  size_t starP = 0, starS = 0;
  // One backtrack point: the last "%" seen and where in the text it started matching.
  while (si < s.size()) {
    if (pi < p.size() && p[pi] == '%') {
      haveStar = true;
      starP = ++pi;
      starS = si;
      continue;
    }
    if (pi < p.size()) {
      size_t sl = Utf8CharLength(s, si);
      size_t pl = Utf8CharLength(p, pi);
      if (p[pi] == '_' || SameCharacter(s.substr(si, sl), p.substr(pi, pl), lang, sort)) {
        si += sl;
        pi += p[pi] == '_' ? 1 : pl;
        continue;
      }
    }
    if (!haveStar) return false;
    pi = starP;
    starS += Utf8CharLength(s, starS);
    si = starS;
  }
  while (pi < p.size() && p[pi] == '%') ++pi;
  return pi == p.size();
}

}  // namespace kura
