// Stand-ins for the locale functions the engine calls, used only until the locale library is
// linked in. They are weak: the real definitions win as soon as they are present.
#include <cctype>
#include <string>
#include <string_view>

#include "engine/locale/Collation.h"

namespace kura {

__attribute__((weak)) bool LocaleIsValid(uint16_t languageId, uint16_t sortId) {
  uint16_t primary = languageId & 0x3FF;
  return languageId == 0 || (primary > 0 && primary < 0x80 && sortId <= 1);
}

__attribute__((weak)) std::string UpperCase(uint16_t, std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

__attribute__((weak)) std::string LowerCase(uint16_t, std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace kura
