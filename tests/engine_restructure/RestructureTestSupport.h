#pragma once
// A scratch database with the "people" table of the cursor tests, a private directory of its
// own, and helpers to describe a table's current structure, change it and read it back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/index/IndexFile.h"
#include "engine/table/DataDirectory.h"
#include "engine/table/DataTable.h"
#include "tests/engine_cursor/CursorTestSupport.h"

namespace kura::restructuretest {

using namespace kura::cursortest;

// One reported loss.
struct TLoss {
  TDataLossCause Cause;
  std::string Context;
  bool operator==(const TLoss &o) const { return Cause == o.Cause && Context == o.Context; }
};

inline std::ostream &operator<<(std::ostream &out, const TLoss &l) {
  return out << "{" << static_cast<int>(l.Cause) << ", " << l.Context << "}";
}

inline std::vector<uint8_t> FileBytes(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The structure a table has now, as a restructure takes it: field numbers kept, index key
// fields by position, table properties as they are.
inline TRestructureDefinition CurrentDefinition(TDataCursor &c) {
  TRestructureDefinition def;
  TDataFile &data = c.Table()->DataFile();
  def.Fields = data.Fields();
  def.LanguageId = data.LanguageId();
  def.SortId = data.SortId();
  def.Description = data.Description();
  def.Encrypted = data.Encrypted();
  def.Password = data.Password();
  def.UserMajorVersion = data.UserMajorVersion();
  def.UserMinorVersion = data.UserMinorVersion();
  def.BlobBlockSize = data.BlobBlockSize();
  const TIndexHeader &h = c.IndexFile()->Header();
  for (int i = 0; i <= h.SecondaryCount; ++i) {
    if (!h.IndexInUse(i)) continue;
    const TIndexDescriptor &d = h.Descriptors[i];
    TIndexDefinition x;
    x.Name = d.Name;
    x.Unique = d.Unique;
    x.Descending = d.Descending;
    x.CaseInsensitive = d.CaseInsensitive;
    x.Compression = d.Compression;
    for (int k = 0; k < d.FieldCount; ++k) {
      TIndexDefinitionField f;
      f.FieldNumber = d.FieldNumbers[k];
      f.Descending = d.FieldDescending[k] != 0;
      x.Fields.push_back(f);
    }
    def.Indexes.push_back(x);
  }
  return def;
}

// A field's value as text: NULL, strings as stored, numbers in decimal.
inline std::string ValueText(TDataCursor &c, int f, const uint8_t *r) {
  if (c.IsFieldNull(f, r)) return "NULL";
  switch (c.Field(f).Type) {
    case EngineFieldType::String: return c.GetString(f, r);
    case EngineFieldType::Float: {
      std::ostringstream out;
      out << c.GetFloat(f, r);
      return out.str();
    }
    case EngineFieldType::Blob: return "<blob>";
    default: return std::to_string(c.GetInteger(f, r));
  }
}

class RestructureTest : public CursorTest {
 protected:
  void SetUp() override {
    CursorTest::SetUp();
    std::filesystem::create_directories(FPrivate.Path());
    DefaultSession().SetPrivateDir(FPrivate.Path());
  }

  TCursorOptions Exclusive() {
    TCursorOptions o;
    o.Exclusive = true;
    return o;
  }
  // Fills "people": codes 1..n, name "n<code>", value code * 10, tag -code.
  void Fill(int n, const std::string &table = "people") {
    TDataCursor &c = Open({}, table);
    for (int i = 1; i <= n; ++i) Add(c, i, "n" + std::to_string(i), i * 10);
    c.CloseCursor();
  }
  // The callback that records every loss and answers with the given flags.
  TDataLossCallback Recorder(std::vector<TLoss> &losses, bool continueAfter = true, size_t stopAskingAfter = 0,
                             size_t cancelAt = 0) {
    return [&losses, continueAfter, stopAskingAfter, cancelAt](TDataLossCause cause, const std::string &context,
                                                             bool &cont, bool &stop) {
      EXPECT_TRUE(cont);
      EXPECT_FALSE(stop);
      losses.push_back({cause, context});
      if (!continueAfter) cont = false;
      if (cancelAt != 0 && losses.size() == cancelAt) cont = false;
      if (stopAskingAfter != 0 && losses.size() >= stopAskingAfter) stop = true;
    };
  }
  // Every file of the database directory with its bytes.
  std::map<std::string, std::vector<uint8_t>> DirectoryFiles() const {
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto &entry : std::filesystem::directory_iterator(FDir.Path()))
      files[entry.path().filename().string()] = FileBytes(entry.path().string());
    return files;
  }
  std::vector<std::string> PrivateFiles() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(FPrivate.Path()))
      names.push_back(entry.path().filename().string());
    return names;
  }
  // "code|name|value|tag" lines of people in primary order.
  std::vector<std::string> PeopleRows(const std::string &table = "people") {
    TDataCursor c(FDirectory, table);
    c.OpenCursor();
    std::vector<std::string> rows;
    std::vector<uint8_t> r = c.NewRecordBuffer();
    c.SetToBegin();
    while (c.GetNextRecord(r.data()) == KURA_NONE) {
      std::string line;
      for (int f = 1; f <= c.FieldCount(); ++f) {
        if (f > 1) line += "|";
        line += ValueText(c, f, r.data());
      }
      rows.push_back(line);
    }
    c.CloseCursor();
    return rows;
  }

  TempDir FPrivate;
};

}  // namespace kura::restructuretest
