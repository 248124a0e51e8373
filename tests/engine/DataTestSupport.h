#pragma once
// Table definitions and file helpers for the data file tests.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/data/DataFile.h"

namespace kura::test {

inline TFieldDescriptor MakeField(const std::string &name, EngineFieldType type, uint8_t size = 0,
                                  FieldSubType subType = FieldSubType::None, uint8_t scale = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.SubType = subType;
  f.DeclaredSize = size;
  f.DeclaredScale = scale;
  return f;
}

// One field of every stored type (and the subtypes that change meaning).
inline TDataFileDefinition EveryTypeDefinition() {
  using T = EngineFieldType;
  TDataFileDefinition def;
  def.Fields = {
      MakeField("ID", T::Integer, 0, FieldSubType::AutoInc),
      MakeField("Name", T::String, 20),
      MakeField("Born", T::Date),
      MakeField("Notes", T::Blob, 0, FieldSubType::Memo),
      MakeField("Active", T::Boolean),
      MakeField("Small", T::SmallInt),
      MakeField("Count", T::Integer),
      MakeField("Ratio", T::Float),
      MakeField("Price", T::Float, 0, FieldSubType::Money),
      MakeField("Amount", T::BCD, 0, FieldSubType::None, 2),
      MakeField("Raw", T::Bytes, 6),
      MakeField("AtTime", T::Time),
      MakeField("Stamp", T::TimeStamp),
      MakeField("W", T::Word),
      MakeField("LW", T::LongWord),
      MakeField("Ext", T::Extended),
      MakeField("VB", T::VarBytes, 5),
      MakeField("Big", T::LargeInt),
      MakeField("Fixed", T::String, 4, FieldSubType::FixedChar),
  };
  def.Description = "every type";
  def.UserMajorVersion = 3;
  def.UserMinorVersion = 7;
  return def;
}

inline std::vector<uint8_t> ReadWholeFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace kura::test
