#pragma once
// A scratch working directory holding the lesson directory "kyozai" with the tables
// "figure" (no primary index, rows in append order), "figurek" (the same rows, with secondary
// indexes) and "mokuji" (primary index on MNB).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/cursor/DataCursor.h"
#include "engine/errors/EngineError.h"
#include "engine/table/Engine.h"
#include "query/dataset/DataSetErrors.h"
#include "query/dataset/KuraDatabase.h"
#include "query/dataset/KuraQuery.h"
#include "query/dataset/KuraSession.h"
#include "query/dataset/KuraTable.h"

namespace kura::dstest {

struct FigureRow {
  int MNB, TES, COL, PST, BFR, BTO, DTX;
  const char *CMT;
};

// Figure 1000: a root branch (1..2), branch 1 continues with rows 3..4 (branch 2), and two
// branches (3 and 4) hang at the end of branch 2. Figure 1001 is another lesson.
inline const std::vector<FigureRow> &FigureRows() {
  static const std::vector<FigureRow> rows = {
      {1000, 0, 1, 10, 0, 9999, 0, ""},  {1000, 0, 2, 11, 1, 0, 0, ""},    {1000, 1, 1, 20, 0, 1, 0, "a"},
      {1000, 2, 2, 21, 2, 0, 0, "b"},    {1000, 3, 1, 30, 3, 2, 0, "c"},   {1000, 3, 1, 31, 4, 2, 1, "d"},
      {1001, 0, 1, 10, 5, 9999, 1, "x"},
  };
  return rows;
}

inline TFieldDescriptor MakeField(const std::string &name, EngineFieldType type, uint8_t size = 0) {
  TFieldDescriptor f;
  f.Name = name;
  f.Type = type;
  f.DeclaredSize = size;
  return f;
}

inline TIndexDefinition MakeIndex(const std::string &name, std::vector<uint16_t> fields, bool unique = false,
                                  bool caseInsensitive = false) {
  TIndexDefinition d;
  d.Name = name;
  for (uint16_t n : fields) {
    TIndexDefinitionField f;
    f.FieldNumber = n;
    d.Fields.push_back(f);
  }
  d.Unique = unique || name.empty();
  d.CaseInsensitive = caseInsensitive;
  return d;
}

inline TDataFileDefinition FigureDefinition() {
  TDataFileDefinition def;
  for (const char *name : {"MNB", "TES", "COL", "PST", "BFR", "BTO", "DTX"})
    def.Fields.push_back(MakeField(name, EngineFieldType::Integer));
  def.Fields.push_back(MakeField("CMT", EngineFieldType::String, 40));
  return def;
}

inline std::string MessageOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const std::exception &e) {
    return e.what();
  }
  return "(no error)";
}

inline unsigned CodeOf(const std::function<void()> &f) {
  try {
    f();
  } catch (const std::exception &e) {
    return ErrorCodeOf(e);
  }
  return 0;
}

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "kura-dataset-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    ASSERT_NE(mkdtemp(buffer.data()), nullptr);
    FDir = buffer.data();
    FOldDir = std::filesystem::current_path().string();
    std::filesystem::create_directory(FDir + "/kyozai");
    std::filesystem::current_path(FDir);
    // Result tables of queries go to the session's private directory.
    Session().PrivateDir = FDir;
    TKuraDatabase &db = Session().OpenDatabase("kyozai");
    db.Open();
    TDataDirectory &dir = db.Handle();
    {
      TDataCursor c(&dir, "figure");
      c.CreateTable(FigureDefinition(), {});
    }
    {
      TDataCursor c(&dir, "figurek");
      c.CreateTable(FigureDefinition(), {MakeIndex("ByTesPst", {2, 4}), MakeIndex("ByDtx", {7}),
                                         MakeIndex("ByBfr", {5}), MakeIndex("ByCmt", {8}, false, true)});
    }
    {
      TDataCursor c(&dir, "mokuji");
      TDataFileDefinition def;
      def.Fields = {MakeField("MNB", EngineFieldType::Integer), MakeField("ITEM", EngineFieldType::String, 40),
                    MakeField("PRB", EngineFieldType::Integer)};
      c.CreateTable(def, {MakeIndex("", {1})});
    }
    for (const char *table : {"figure", "figurek"}) {
      TDataCursor c(&dir, table);
      c.OpenCursor();
      for (const FigureRow &r : FigureRows()) {
        std::vector<uint8_t> rec = c.NewRecordBuffer();
        c.InitRecord(rec.data());
        int values[] = {r.MNB, r.TES, r.COL, r.PST, r.BFR, r.BTO, r.DTX};
        for (int i = 0; i < 7; ++i) c.SetInteger(i + 1, rec.data(), values[i]);
        c.SetString(8, rec.data(), r.CMT);
        c.AppendRecord(rec.data(), false);
      }
      c.CloseCursor();
    }
    {
      TDataCursor c(&dir, "mokuji");
      c.OpenCursor();
      struct M { int mnb; const char *item; int prb; };
      for (M m : {M{0, "目次", 0}, M{1000, "第1章", 0}, M{1010, "石の取り方", 0}, M{1020, "問題", 2}}) {
        std::vector<uint8_t> rec = c.NewRecordBuffer();
        c.InitRecord(rec.data());
        c.SetInteger(1, rec.data(), m.mnb);
        c.SetString(2, rec.data(), m.item);
        c.SetInteger(3, rec.data(), m.prb);
        c.AppendRecord(rec.data(), false);
      }
      c.CloseCursor();
    }
    db.Close();
  }

  void TearDown() override {
    Session().Close();
    Session().PrivateDir.clear();
    std::filesystem::current_path(FOldDir);
    std::error_code ignored;
    std::filesystem::remove_all(FDir, ignored);
  }

  // The application's pattern: close, new lines, parameter, open.
  static void OpenFigure(TKuraQuery &q, int mnb) {
    q.Close();
    q.SQL().Clear();
    q.SQL().Add("select * from figure");
    q.SQL().Add("Where MNB = :MNB");
    q.Params()[0].SetAsInteger(mnb);
    q.Open();
  }
  static void Setup(TKuraQuery &q) {
    q.SetDatabaseName("kyozai");
    q.SetRequestLive(true);
    q.SetMaxRowCount(-1);
  }
  static std::vector<int64_t> Column(TKuraDataSet &ds, const std::string &field) {
    std::vector<int64_t> values;
    ds.First();
    while (!ds.Eof()) {
      values.push_back(ds.FieldByName(field).AsInteger());
      ds.Next();
    }
    return values;
  }

  std::string FDir, FOldDir;
};

}  // namespace kura::dstest
