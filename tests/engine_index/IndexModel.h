#pragma once
// A B+-tree driven side by side with an ordered container that serves as its model.
#include <map>
#include <memory>
#include <random>

#include "IndexTestSupport.h"

namespace kura::indextest {

enum class KeyKind { Integer, String, StringLocale, Multi, LongBytes };

struct TKeyLess {
  const TIndexKeyDefinition *Keys;
  bool operator()(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) const {
    return Keys->Compare(a.data(), b.data()) < 0;
  }
};

// Makes random records for a kind of key; values repeat often so that non-unique indexes see
// long runs of equal field values.
class TRecordMaker {
 public:
  TRecordMaker(KeyKind kind, uint32_t seed) : FKind(kind), FRng(seed) {
    switch (kind) {
      case KeyKind::Integer:
        FFields = {FLayout.Add(EngineFieldType::Integer, 4)};
        break;
      case KeyKind::String:
      case KeyKind::StringLocale:
        FFields = {FLayout.Add(EngineFieldType::String, 21)};
        break;
      case KeyKind::Multi:
        FFields = {FLayout.Add(EngineFieldType::SmallInt, 2), FLayout.Add(EngineFieldType::String, 9),
                   FLayout.Add(EngineFieldType::Float, 8)};
        break;
      case KeyKind::LongBytes:
        FFields = {FLayout.Add(EngineFieldType::Bytes, 300)};
        break;
    }
  }
  const TRecordLayout &Layout() const { return FLayout; }
  const std::vector<size_t> &Fields() const { return FFields; }

  std::vector<uint8_t> Make(int32_t autoInc) {
    std::vector<uint8_t> r = FLayout.NewRecord();
    FLayout.SetAutoInc(r, autoInc);
    auto chance = [&](int percent) { return static_cast<int>(FRng() % 100) < percent; };
    switch (FKind) {
      case KeyKind::Integer:
        if (chance(4)) FLayout.SetNull(r, FFields[0]);
        else FLayout.SetInt32(r, FFields[0], static_cast<int32_t>(FRng() % 4001) - 2000);
        break;
      case KeyKind::String:
      case KeyKind::StringLocale:
        if (chance(4)) FLayout.SetNull(r, FFields[0]);
        else FLayout.SetString(r, FFields[0], Text(1 + FRng() % 20));
        break;
      case KeyKind::Multi:
        FLayout.SetInt16(r, FFields[0], static_cast<int16_t>(FRng() % 5) - 2);
        if (chance(10)) FLayout.SetNull(r, FFields[1]);
        else FLayout.SetString(r, FFields[1], Text(1 + FRng() % 3));
        FLayout.SetDouble(r, FFields[2], (static_cast<double>(FRng() % 2001) - 1000.0) / 8.0);
        break;
      case KeyKind::LongBytes: {
        std::vector<uint8_t> bytes(300, 0);
        size_t n = 1 + FRng() % 100;  // zero tails of every length for the trailing-byte compression
        for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>("AAAB\x01\xFF"[FRng() % 6]);
        FLayout.SetBytes(r, FFields[0], bytes.data(), bytes.size());
        break;
      }
    }
    return r;
  }

 private:
  std::string Text(size_t n) {
    static const char letters[] = "aAbBcCdz";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += letters[FRng() % 8];
    return s;
  }

  KeyKind FKind;
  std::mt19937 FRng;
  TRecordLayout FLayout;
  std::vector<size_t> FFields;
};

}  // namespace kura::indextest
