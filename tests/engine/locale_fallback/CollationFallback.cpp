// Stand-ins for the locale functions the engine calls. They sit in a library linked after the
// engine, so the linker takes them only while the engine library has no definitions of its own.
#include <cctype>
#include <string>
#include <string_view>

#include "engine/locale/Collation.h"

namespace kura {

bool LocaleIsValid(uint16_t languageId, uint16_t sortId) {
  uint16_t primary = languageId & 0x3FF;
  return languageId == 0 || (primary > 0 && primary < 0x80 && sortId <= 1);
}

std::string UpperCase(uint16_t, std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string LowerCase(uint16_t, std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace kura
