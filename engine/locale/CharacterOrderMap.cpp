// The 256 byte values in collation order, built once per (language, sort).
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <utility>

#include "engine/locale/Collation.h"

namespace kura {

namespace {

// A single byte value as a character: the values below 128 are ASCII, the rest are taken as
// the Latin-1 characters of the same number (the table's text is UTF-8, so a byte of its own
// above 127 has no meaning otherwise).
std::string ByteAsCharacter(uint8_t value) {
  std::string s;
  if (value < 0x80) {
    s.push_back(static_cast<char>(value));
  } else {
    s.push_back(static_cast<char>(0xC0 | (value >> 6)));
    s.push_back(static_cast<char>(0x80 | (value & 0x3F)));
  }
  return s;
}

std::array<uint8_t, 256> BuildMap(uint16_t languageId, uint16_t sortId) {
  std::array<uint8_t, 256> map;
  std::iota(map.begin(), map.end(), 0);
  if (languageId == 0) return map;
  std::array<std::string, 256> chars;
  for (int i = 0; i < 256; ++i) chars[i] = ByteAsCharacter(static_cast<uint8_t>(i));
  // Equal characters keep their byte order so the map is the same on every run.
  std::stable_sort(map.begin(), map.end(), [&](uint8_t x, uint8_t y) {
    return CompareStrings(languageId, sortId, chars[x], chars[y]) < 0;
  });
  return map;
}

class LanguageCharMapsList {
 public:
  const std::array<uint8_t, 256> &Get(uint16_t languageId, uint16_t sortId) {
    std::lock_guard<std::mutex> lock(FMutex);
    auto key = std::make_pair(languageId, sortId);
    auto it = FMaps.find(key);
    if (it == FMaps.end())
      it = FMaps.emplace(key, std::make_unique<std::array<uint8_t, 256>>(
                                  BuildMap(languageId, sortId))).first;
    return *it->second;
  }

 private:
  std::mutex FMutex;
  std::map<std::pair<uint16_t, uint16_t>, std::unique_ptr<std::array<uint8_t, 256>>> FMaps;
};

}  // namespace

const std::array<uint8_t, 256> &CharacterOrderMap(uint16_t languageId, uint16_t sortId) {
  static LanguageCharMapsList list;
  return list.Get(languageId, sortId);
}

}  // namespace kura
