#include "LessonTables.h"

#include <filesystem>
#include <stdexcept>

#include "engine/table/DataSession.h"
#include "engine/table/Engine.h"
#include "query/run/SqlRunner.h"

namespace kyozai {

namespace fs = std::filesystem;

struct TLessonTables::TState {
  kura::TDataSession *Session = nullptr;
  std::unique_ptr<kura::TSqlRunner> Runner;
};

std::string SqlText(const std::string &text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

TLessonTables::TLessonTables(const std::string &dir) : FState(new TState) {
  const fs::path path = fs::absolute(fs::path(dir));
  if (!fs::is_directory(path)) {
    delete FState;
    throw std::runtime_error("教材フォルダ " + dir + " がありません。");
  }
  for (const char *table : {"mokuji.DAT", "figure.DAT"})
    if (!fs::exists(path / table)) {
      delete FState;
      throw std::runtime_error(dir + " は教材フォルダではありません（" + table + " がありません）。");
    }
  kura::StartEngine();
  FState->Session = &kura::CreateSession();
  FState->Session->SetPrivateDir(fs::temp_directory_path().string());
  FState->Runner = std::make_unique<kura::TSqlRunner>(*FState->Session, path.string() + "/");
}

TLessonTables::~TLessonTables() {
  FState->Runner.reset();
  if (FState->Session) kura::DestroySession(FState->Session);
  delete FState;
}

void TLessonTables::Run(const std::string &sql) { FState->Runner->Run(sql); }

std::vector<TFigureRow> TLessonTables::Figure(int mnb) {
  std::vector<TFigureRow> rows;
  kura::TRunResult r = FState->Runner->Run("select * from figure where MNB = " + std::to_string(mnb));
  if (!r.Select) return rows;
  for (int64_t i = 0; i < r.Select->RowCount(); ++i) {
    const std::vector<kura::TExpValue> v = r.Select->Row(i);
    TFigureRow row;
    int *fields[] = {&row.MNB, &row.TES, &row.COL, &row.PST, &row.BFR, &row.BTO, &row.DTX};
    for (size_t k = 0; k < 7; ++k) *fields[k] = v[k].Null ? 0 : static_cast<int>(v[k].Int);
    row.CMT = v[7].Null ? std::string() : v[7].Str;
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<TContentsRow> TLessonTables::Contents(int mnb) {
  kura::TRunResult r = FState->Runner->Run("select * from mokuji where MNB = " + std::to_string(mnb));
  if (!r.Select || r.Select->RowCount() == 0) return std::nullopt;
  const std::vector<kura::TExpValue> v = r.Select->Row(0);
  TContentsRow row;
  row.MNB = mnb;
  row.ITEM = v[1].Null ? std::string() : v[1].Str;
  row.PRB = v[2].Null ? 0 : static_cast<int>(v[2].Int);
  return row;
}

void TLessonTables::ReplaceFigure(int mnb, const std::vector<TFigureRow> &rows) {
  const std::string staging = std::to_string(-mnb);
  Run("delete from figure where MNB = " + staging);  // left by a run that was cut short
  for (const TFigureRow &r : rows) {
    std::string values = staging;
    for (int v : {r.TES, r.COL, r.PST, r.BFR, r.BTO, r.DTX}) values += ", " + std::to_string(v);
    Run("insert into figure (MNB, TES, COL, PST, BFR, BTO, DTX, CMT) values (" + values + ", " + SqlText(r.CMT) + ")");
  }
  Run("delete from figure where MNB = " + std::to_string(mnb));
  Run("update figure set MNB = " + std::to_string(mnb) + " where MNB = " + staging);
}

void TLessonTables::StoreContents(const TContentsRow &row) {
  if (Contents(row.MNB))
    Run("update mokuji set ITEM = " + SqlText(row.ITEM) + ", PRB = " + std::to_string(row.PRB) +
        " where MNB = " + std::to_string(row.MNB));
  else
    Run("insert into mokuji (MNB, ITEM, PRB) values (" + std::to_string(row.MNB) + ", " + SqlText(row.ITEM) + ", " +
        std::to_string(row.PRB) + ")");
}

}  // namespace kyozai
