#pragma once
// LIKE patterns: "%" matches any run of characters (also none), "_" exactly one character;
// every other pattern character matches one character that the collation finds equal
// (case-sensitive). Characters are UTF-8 sequences.
#include <cstdint>
#include <string_view>

namespace kura {

bool LikeMatch(std::string_view text, std::string_view pattern, uint16_t languageId,
               uint16_t sortId);

// Length in bytes of the UTF-8 character starting at s[pos] (1 for a stray byte).
size_t Utf8CharLength(std::string_view s, size_t pos);
// Number of UTF-8 characters.
size_t Utf8CharCount(std::string_view s);

}  // namespace kura
